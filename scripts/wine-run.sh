#!/usr/bin/env bash
# Runs one Windows executable under Wine, with this project's prefix settings and a
# time limit: a hardware fault under qemu makes Wine spin instead of failing.
set -euo pipefail
: "${WINEPREFIX:?set WINEPREFIX to the prefix of the build tree}"
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=wine-env.sh
. "$here/wine-env.sh"
exec timeout --kill-after=10 "${ZK_WINE_TIMEOUT:-900}" wine "$@"
