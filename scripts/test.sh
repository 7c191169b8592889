#!/usr/bin/env bash
# Installs what the tests need and runs every test: the native suites first (seconds;
# one of them reads the built DLL's machine code), then a short fuzz run, then the
# Windows test bench under Wine.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash scripts/install-deps.sh test

echo "== build"
cmake --preset windows >/dev/null
cmake --build --preset windows -j"$(nproc)"
cmake --preset native >/dev/null
cmake --build --preset native -j"$(nproc)"

echo "== native tests"
ctest --preset native

if [ -x scripts/fuzz.sh ]; then
  echo "== fuzzing FormatFixed (short run)"
  scripts/fuzz.sh "${ZK_FUZZ_SECONDS:-15}"
fi

echo "== Windows tests"
prefix=$PWD/build/windows/wineprefix
scripts/wine-prefix.sh "$prefix" start build/windows/bin/zk_boot_keeper.exe
trap 'scripts/wine-prefix.sh "$prefix" stop' EXIT
start=$(date +%s)
# qemu-user occasionally brings a Wine process down on its own; a real failure fails every time.
ctest --preset windows --repeat until-pass:3
echo "Windows tests took $(( $(date +%s) - start )) s"
