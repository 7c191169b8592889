#!/usr/bin/env bash
# Builds the FormatFixed fuzz target (clang, libFuzzer, ASan and UBSan) into build/fuzz
# and runs it against the test reference for the given number of seconds.
#   scripts/fuzz.sh [seconds]     default 15; exits non-zero on the first mismatch or crash
# Needs clang and libclang-rt-14-dev (scripts/install-deps.sh build installs them).
set -euo pipefail
seconds=${1:-15}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/fuzz

cmake -S "$root/services/fuzz" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2

# Seeds near the interesting places: halves at the cut, the ends of the exact shortcut,
# 10^18 and the largest values. Kept in the build tree with whatever the fuzzer adds.
corpus=$build/corpus
mkdir -p "$corpus"
python3 - "$corpus" <<'PY'
import math, os, struct, sys
values = [0.5, 0.005, 0.015, 2.675, 99.995, 1000.005, 1019329186099.995, 0.125, 2.0**-11,
          999999999999999.875, 1e15 + 0.125, 2.0**52 - 0.5, 2.0**53, 999999999999999872.0,
          1e18, 2.0**60, 1e100, 1.7976931348623157e308, 5e-324, 0.0, math.inf, math.nan]
for i, v in enumerate(values):
    for sign in (1.0, -1.0):
        for decimals in (0, 2):
            data = struct.pack('<dBB', math.copysign(v, sign) if not math.isnan(v) else v, decimals, i & 1)
            with open(os.path.join(sys.argv[1], 'seed-%02d-%s-%d' % (i, 'n' if sign < 0 else 'p', decimals)), 'wb') as f:
                f.write(data)
PY

cd "$build"
exec ./zk_format_fixed_fuzz -max_total_time="$seconds" -max_len=16 -use_value_profile=1 \
  -print_final_stats=1 -artifact_prefix="$build/" "$corpus"
