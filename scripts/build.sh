#!/usr/bin/env bash
# Builds zelvankor.dll from a fresh clone and prints its path. Installs the cross
# compiler and build tools first if they are missing.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash scripts/install-deps.sh build
cmake --preset windows >/dev/null
cmake --build --preset windows --target zelvankor -j"$(nproc)" >/dev/null
echo "$PWD/build/windows/bin/zelvankor.dll"
