#!/usr/bin/env bash
# Builds vorkstat and runs it: on the given path and switches, or on this
# checkout when none are given.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/deps.sh" build
cmake -S "$top" -B "$top/build/run" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVORKSTAT_TESTS=OFF >/dev/null
cmake --build "$top/build/run" --target vorkstat >/dev/null
[ $# -eq 0 ] && set -- "$top"
set +e
"$top/build/run/tool/vorkstat" "$@"
status=$?
echo "(exit status $status)"
exit $status
