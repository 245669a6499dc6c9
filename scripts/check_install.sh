#!/usr/bin/env bash
# Checks what users get from an install and from the packages. Run by ctest
# from a build folder:
#   check_install.sh install  BUILD PREFIX linux|windows   install, check the file list
#   check_install.sh consumer BUILD PREFIX cmake|pkg-config [TOOLCHAIN EMULATOR]
#   check_install.sh man      BUILD                  lint the manual page
#   check_install.sh deb      BUILD                  make the .deb, check it
#   check_install.sh zip      BUILD                  make the Windows zip, check it
set -euo pipefail
mode=$1 build=$(cd "$2" && pwd)
top=$(cd "$(dirname "$0")/.." && pwd)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
fail() { echo "FAIL: $*" >&2; exit 1; }

# The library's headers as the install must hold them, relative to include/:
# all but the platform backends' private ones.
expected_headers() {
  (cd "$top" && find filelib -name '*.h' | LC_ALL=C sort) |
    grep -Ev '^filelib/platform/(posix_[^/]*|backend)\.h$'
}

case $mode in
install)
  prefix=$3
  rm -rf "$prefix"
  cmake --install "$build" --prefix "$prefix" >/dev/null
  diff <(expected_headers) <(cd "$prefix/include" && find . -type f | sed 's|^\./||' | LC_ALL=C sort) \
    || fail "include/ must hold exactly the library's headers"
  for f in lib/cmake/filelib/filelibConfig.cmake lib/cmake/filelib/filelibConfigVersion.cmake \
           lib/cmake/filelib/filelibTargets.cmake lib/pkgconfig/filelib.pc; do
    [ -f "$prefix/$f" ] || fail "$f not installed"
  done
  ls "$prefix"/lib/libfilelib.a >/dev/null || fail "libfilelib.a not installed"
  grep -qx "Version: $version" "$prefix/lib/pkgconfig/filelib.pc" || fail "filelib.pc does not carry $version"
  grep -q "SameMajorVersion\|CVF_VERSION_MAJOR" "$prefix/lib/cmake/filelib/filelibConfigVersion.cmake" \
    || fail "the version file does not check the major version"
  if [ "${4:-}" = windows ]; then
    [ -f "$prefix/vorkstat.exe" ] || fail "vorkstat.exe not installed"
    [ -f "$prefix/README.txt" ] || fail "README.txt not installed"
  else
    [ -x "$prefix/bin/vorkstat" ] || fail "bin/vorkstat not installed"
    [ -f "$prefix/share/man/man1/vorkstat.1.gz" ] || fail "man1/vorkstat.1.gz not installed"
  fi
  echo "installed into $prefix"
  ;;
consumer)
  prefix=$3 how=$4 toolchain=${5:-} emulator=${6:-}
  dir="$build/consumer-$how"
  rm -rf "$dir"
  args=(-DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_BUILD_TYPE=Release)
  [ "$how" = pkg-config ] && args+=(-DUSE_PKG_CONFIG=ON)
  # A Windows program links the runtimes in, so that it runs where they are missing.
  [ -n "$toolchain" ] && args+=(-DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_EXE_LINKER_FLAGS=-static)
  # Nothing of the source tree may be needed: the consumer sees the prefix only.
  cp -r "$top/tests/consumer" "$dir.src"
  trap 'rm -rf "$dir.src"' EXIT
  PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig" cmake -S "$dir.src" -B "$dir" -G Ninja "${args[@]}" >"$dir.log" 2>&1 \
    || { cat "$dir.log"; fail "the consumer does not configure"; }
  cmake --build "$dir" >"$dir.log" 2>&1 || { cat "$dir.log"; fail "the consumer does not build"; }
  program="$dir/consumer"
  [ -f "$program.exe" ] && program="$program.exe"
  out=$($emulator "$program")
  echo "$out"
  [ "$(echo "$out" | tr -d '\r')" = "filelib consumer: ok" ] || fail "consumer did not report ok"
  ;;
man)
  page="$build/vorkstat.1"
  grep -q "vorkstat $version" "$page" || fail "the manual page does not carry $version"
  out=$(mandoc -T lint -W warning "$page" 2>&1) || true
  [ -z "$out" ] || fail "mandoc: $out"
  out=$(groff -man -ww -z "$page" 2>&1) || true
  [ -z "$out" ] || fail "groff: $out"
  out=$(MANWIDTH=80 man -l "$page" 2>&1 >/dev/null) || true
  [ -z "$out" ] || fail "man: $out"
  for section in NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" EXAMPLES NOTES; do
    grep -q "^\.SH \"\?$section\"\?$" "$page" || fail "section $section missing"
  done
  echo "manual page clean"
  ;;
deb)
  (cd "$build" && rm -f vorkstat_*.deb && cpack -G DEB >/dev/null)
  deb=$(ls "$build"/vorkstat_*.deb)
  files=$(dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' | grep -v '/$' | LC_ALL=C sort)
  expected=$( { echo /usr/bin/vorkstat; echo /usr/share/man/man1/vorkstat.1.gz; echo /usr/share/doc/vorkstat/README.md
                echo /usr/lib/libfilelib.a
                echo /usr/lib/cmake/filelib/filelibConfig.cmake; echo /usr/lib/cmake/filelib/filelibConfigVersion.cmake
                echo /usr/lib/cmake/filelib/filelibTargets.cmake
                echo /usr/lib/cmake/filelib/filelibTargets-relwithdebinfo.cmake
                echo /usr/lib/pkgconfig/filelib.pc
                expected_headers | sed 's|^|/usr/include/|'; } | LC_ALL=C sort)
  diff <(echo "$expected") <(echo "$files" | sed 's|filelibTargets-[a-z]*\.cmake|filelibTargets-relwithdebinfo.cmake|') \
    || fail "the package's file list (left: expected)"
  field() { dpkg-deb -f "$deb" "$1"; }
  [ "$(field Package)" = vorkstat ] || fail "Package: $(field Package)"
  [ "$(field Version)" = "$version" ] || fail "Version: $(field Version), not $version"
  [ -n "$(field Maintainer)" ] || fail "no Maintainer"
  [ -n "$(field Description)" ] || fail "no Description"
  deps=$(field Depends)
  [ -n "$deps" ] || fail "no Depends"
  for dep in $(echo "$deps" | sed 's/([^)]*)//g; s/,/ /g; s/|/ /g'); do
    case $dep in libc6|libgcc-s1|libstdc++6) ;; *) fail "Depends names $dep, beyond the C and C++ runtimes" ;; esac
  done
  echo "$(basename "$deb"): $(field Version), Depends: $deps"
  ;;
zip)
  (cd "$build" && rm -f vorkstat-*.zip && cpack -G ZIP >/dev/null)
  zip=$(ls "$build"/vorkstat-*.zip)
  dir="$build/zip-check"
  rm -rf "$dir" && mkdir -p "$dir"
  (cd "$dir" && cmake -E tar xf "$zip")
  files=$(cd "$dir" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
  top=$(basename "$zip" .zip)
  [ "$files" = "$(printf '%s/README.txt\n%s/vorkstat.exe' "$top" "$top")" ] || fail "the zip holds: $files"
  readme=$(find "$dir" -name README.txt)
  lf=$(tr -cd '\n' <"$readme" | wc -c)
  crlf=$(grep -c $'\r$' "$readme" || true)
  [ "$lf" -gt 0 ] && [ "$lf" = "$crlf" ] || fail "README.txt: $crlf of $lf lines end in CRLF"
  # Statically linked: the program imports system DLLs only.
  dlls=$(x86_64-w64-mingw32-objdump -p "$(find "$dir" -name vorkstat.exe)" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z')
  for dll in $dlls; do
    case $dll in kernel32.dll|ntdll.dll|msvcrt.dll|mpr.dll|user32.dll|advapi32.dll|api-ms-win-*) ;;
      *) fail "vorkstat.exe needs $dll, which a bare Windows lacks" ;; esac
  done
  echo "$(basename "$zip"): $(echo $files), imports $(echo $dlls)"
  ;;
*) fail "unknown mode $mode" ;;
esac
