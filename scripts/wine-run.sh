#!/usr/bin/env bash
# Runs one Windows executable under Wine, with this project's prefix settings and a
# time limit: a hardware fault under qemu makes Wine spin instead of failing.
set -euo pipefail
: "${WINEPREFIX:?set WINEPREFIX to the prefix of the build tree}"
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=wine-env.sh
. "$here/wine-env.sh"
# Where qemu-user runs Wine, two guest threads running at once bring the process down
# (threads that take turns are fine), so the tests that need that stay out: GoogleTest
# reads its filter from GTEST_FILTER. A test must not skip itself instead: a skip makes
# GoogleTest on Windows start a watcher thread that runs beside the main one.
if [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ] && grep -qx enabled /proc/sys/fs/binfmt_misc/qemu-i386; then
  export GTEST_FILTER="${GTEST_FILTER:--ThreadsAtOnce.*}"
  echo "wine-run.sh: qemu-user runs Wine here; GoogleTest filter $GTEST_FILTER" >&2
fi
limit=${ZK_WINE_TIMEOUT:-900}
# Shortly before the limit, list the session's processes: a hang shows what it waited on.
# (The sleep gets no pipe of ctest's, so stopping the watcher leaves nothing holding one.)
warn_at=$((limit > 10 ? limit - 5 : limit))
( sleep "$warn_at" </dev/null >/dev/null 2>&1
  echo "wine-run.sh: still running after $warn_at s; Wine processes:"
  ps -eo pid,pgid,pcpu,etime,args | grep -E '[q]emu-i386|[w]ineserver' ) >&2 &
watch=$!
# timeout runs Wine in a process group of its own and kills the whole group, so nothing
# the test started outlives it (ctest's own limit, set later, would kill only this script).
set +e
timeout --kill-after=10 "$limit" wine "$@"
rc=$?
kill "$watch" 2>/dev/null
exit $rc
