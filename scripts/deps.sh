#!/usr/bin/env bash
# Installs from Debian's packages whatever of the named groups is missing.
#   deps.sh build     compiler, CMake, Ninja
#   deps.sh test      the above, GoogleTest sources, clang with sanitizers,
#                     mingw-w64 and Wine
set -euo pipefail

want=(cmake ninja-build g++)
if [ "${1:-build}" = test ]; then
  want+=(python3 mandoc groff-base man-db dpkg-dev pkg-config googletest clang libclang-rt-14-dev mingw-w64 g++-mingw-w64-x86-64-posix wine wine64)
fi

missing=()
for p in "${want[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
