#!/usr/bin/env bash
# Runs every fuzz target (or the ones named) for a while under
# AddressSanitizer and UndefinedBehaviorSanitizer.
#   scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/deps.sh" test
seconds=${1:-180}
shift || true
dir="$top/build/fuzz"
cmake -S "$top" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_C_COMPILER=clang -DVORKSTAT_SANITIZE=ON -DVORKSTAT_FUZZ=ON -DVORKSTAT_TESTS=OFF >/dev/null
cmake --build "$dir" -j "$(nproc)"
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=($(cd "$top/fuzz" && ls *_fuzz.cpp 2>/dev/null | sed 's/\.cpp$//'))
for t in "${targets[@]}"; do
  echo "=== $t for ${seconds}s"
  mkdir -p "$dir/corpus-$t"
  "$dir/fuzz/$t" -max_total_time="$seconds" -max_len=4096 "$dir/corpus-$t"
done
