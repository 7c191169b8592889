#!/usr/bin/env bash
# wine-prefix.sh PREFIX start KEEPER.exe | PREFIX stop
#   start: creates the 32-bit prefix if it is missing (several minutes the first time),
#          starts a persistent wineserver for the test run and boots the session by
#          starting KEEPER.exe (zk_boot_keeper), which keeps it booted until stop.
#   stop:  stops that wineserver and every Windows process of the session.
set -euo pipefail
export WINEPREFIX=$1
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=wine-env.sh
. "$here/wine-env.sh"
# Ends every process of this prefix's session. wineserver -k alone does not end a process
# that qemu has left spinning on a fault, and such a process would eat a core for the rest
# of the run.
end_session() {
  wineserver -k 2>/dev/null || true
  local pid
  for pid in $(pgrep -f 'qemu-i386 ' || true); do
    if tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX"; then
      kill -9 "$pid" 2>/dev/null || true
    fi
  done
}

case $2 in
  start)
    keeper=${3:?usage: $0 PREFIX start KEEPER.exe}
    # A server left over from an interrupted run would refuse a second one: replace it.
    end_session
    if [ -d "$WINEPREFIX" ]; then wineserver -w || true; fi
    fresh=
    if [ ! -f "$WINEPREFIX/system.reg" ] || [ ! -f "$WINEPREFIX/.zk-ready" ]; then
      rm -rf "$WINEPREFIX"
      fresh=1
    fi
    mkdir -p "$WINEPREFIX"
    wineserver -p
    # Booting starts Wine's own background processes (services.exe and friends). They
    # inherit the output of the program that starts them and outlive it; were that a
    # test, ctest would wait for them until the test timed out. So they start here, on
    # output of their own.
    if [ -n "$fresh" ]; then
      echo "Creating the Wine prefix $WINEPREFIX (once per build tree)..."
      timeout 1500 wine wineboot -i </dev/null >"$WINEPREFIX.log" 2>&1 ||
        { tail -20 "$WINEPREFIX.log"; exit 1; }
      touch "$WINEPREFIX/.zk-ready"
    fi
    # The keeper's own start boots the session when it is not booted; it then holds the
    # boot event so that no test has to boot it again (see boot_keeper.cpp).
    log=$WINEPREFIX.keeper
    rm -f "$log"
    setsid wine "$keeper" </dev/null >"$log" 2>&1 &
    for _ in $(seq 600); do
      grep -q holding "$log" 2>/dev/null && exit 0
      kill -0 $! 2>/dev/null || break
      sleep 1
    done
    echo "wine-prefix.sh: the boot keeper did not start; tests may boot the session themselves:" >&2
    tail -5 "$log" >&2 || true
    ;;
  stop)
    end_session
    ;;
  *) echo "usage: $0 PREFIX start KEEPER.exe | PREFIX stop" >&2; exit 2 ;;
esac
