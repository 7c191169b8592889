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
exec timeout --kill-after=10 "${ZK_WINE_TIMEOUT:-900}" wine "$@"
