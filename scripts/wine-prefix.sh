#!/usr/bin/env bash
# wine-prefix.sh PREFIX start|stop
#   start: creates the 32-bit prefix if it is missing (several minutes the first
#          time) and starts a persistent wineserver for the test run.
#   stop:  stops that wineserver.
set -euo pipefail
export WINEPREFIX=$1
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=wine-env.sh
. "$here/wine-env.sh"
case $2 in
  start)
    if [ ! -f "$WINEPREFIX/system.reg" ] || [ ! -f "$WINEPREFIX/.zk-ready" ]; then
      echo "Creating the Wine prefix $WINEPREFIX (once per build tree)..."
      rm -rf "$WINEPREFIX"
      mkdir -p "$WINEPREFIX"
      timeout 1500 wine wineboot -i >"$WINEPREFIX.log" 2>&1 || { tail -20 "$WINEPREFIX.log"; exit 1; }
      wineserver -w
      touch "$WINEPREFIX/.zk-ready"
    fi
    # A server left over from an interrupted run would refuse a second one: replace it.
    wineserver -k 2>/dev/null || true
    wineserver -w
    wineserver -p
    # The first Windows program of a session starts Wine's own background processes
    # (services.exe and friends), which inherit its output and outlive it; ctest would
    # then wait for them until the test times out. Start them here, on no output at all.
    timeout 600 wine wineboot </dev/null >/dev/null 2>&1 || true
    ;;
  stop)
    wineserver -k 2>/dev/null || true
    ;;
  *) echo "usage: $0 PREFIX start|stop" >&2; exit 2 ;;
esac
