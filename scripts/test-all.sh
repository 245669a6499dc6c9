#!/usr/bin/env bash
# Builds everything and runs every test:
#   1. Linux, g++, warnings as errors
#   2. Linux, clang, AddressSanitizer + UndefinedBehaviorSanitizer
#   3. Windows, mingw-w64 cross-build, tests under Wine
#   4. Linux, clang, ThreadSanitizer: the threaded size walk's tests only
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/deps.sh" test
jobs=$(nproc)

build() {  # name, cmake arguments...
  local dir="$top/build/$1"; shift
  echo "=== configure and build: $dir"
  cmake -S "$top" -B "$dir" -G Ninja -DVORKSTAT_WERROR=ON "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

check() {  # name
  echo "=== tests: $1"
  ctest --test-dir "$top/build/$1" --output-on-failure -j "$jobs"
}

build linux-gcc -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=g++ -DCMAKE_C_COMPILER=gcc
check linux-gcc

build linux-asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
  -DVORKSTAT_SANITIZE=ON -DVORKSTAT_FUZZ=ON
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 check linux-asan

build linux-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
  -DVORKSTAT_TSAN=ON
TSAN_OPTIONS=halt_on_error=1 check linux-tsan

# Wine keeps its own prefix in the build tree, so runs start from a known state.
export WINEPREFIX="$top/build/wine-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
[ -d "$WINEPREFIX" ] || wineboot --init >/dev/null 2>&1 || true
build windows -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64.cmake"
check windows
wineserver -k 2>/dev/null || true
echo "=== all builds and tests passed"
