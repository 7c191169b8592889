#!/usr/bin/env bash
# Runs one Windows executable under Wine, with this project's prefix settings and a
# time limit: a hardware fault under qemu makes Wine spin instead of failing.
set -euo pipefail
: "${WINEPREFIX:?set WINEPREFIX to the prefix of the build tree}"
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=wine-env.sh
. "$here/wine-env.sh"
# Tests that need two threads running at once skip themselves where qemu runs Wine.
if [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ] && grep -qx enabled /proc/sys/fs/binfmt_misc/qemu-i386; then
  export ZK_WINE_UNDER_QEMU=1
fi
exec timeout --kill-after=10 "${ZK_WINE_TIMEOUT:-900}" wine "$@"
