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
    # A server left over from an interrupted run would refuse a second one: replace it.
    wineserver -k 2>/dev/null || true
    if [ -d "$WINEPREFIX" ]; then wineserver -w || true; fi
    fresh=
    if [ ! -f "$WINEPREFIX/system.reg" ] || [ ! -f "$WINEPREFIX/.zk-ready" ]; then
      rm -rf "$WINEPREFIX"
      fresh=1
    fi
    mkdir -p "$WINEPREFIX"
    wineserver -p
    # Booting also starts Wine's own background processes (services.exe and friends).
    # They inherit the output of the program that starts them and outlive it; were that a
    # test, ctest would wait for them until the test timed out. So they start here, on
    # output of their own.
    if [ -n "$fresh" ]; then
      echo "Creating the Wine prefix $WINEPREFIX (once per build tree)..."
      timeout 1500 wine wineboot -i </dev/null >"$WINEPREFIX.log" 2>&1 ||
        { tail -20 "$WINEPREFIX.log"; exit 1; }
      touch "$WINEPREFIX/.zk-ready"
    else
      timeout 600 wine wineboot </dev/null >/dev/null 2>&1 || true
    fi
    ;;
  stop)
    wineserver -k 2>/dev/null || true
    ;;
  *) echo "usage: $0 PREFIX start|stop" >&2; exit 2 ;;
esac
