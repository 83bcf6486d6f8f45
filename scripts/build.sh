#!/usr/bin/env bash
# build.sh [normal|asan]: configures (once) and builds one configuration.
# normal -> build/, asan -> build-asan/ (AddressSanitizer + UBSan).
set -euo pipefail
cd "$(dirname "$0")/.."
config=${1:-normal}
jobs=$(nproc 2>/dev/null || echo 2)
case "$config" in
  normal)
    dir=build
    [ -f $dir/CMakeCache.txt ] || cmake -S . -B $dir -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    ;;
  asan)
    dir=build-asan
    [ -f $dir/CMakeCache.txt ] || cmake -S . -B $dir -DCMAKE_BUILD_TYPE=Debug \
      -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" -DTARN_SANITIZE=ON -DTARN_BENCH=OFF >/dev/null
    ;;
  *) echo "usage: build.sh [normal|asan]" >&2; exit 2 ;;
esac
cmake --build $dir -j"$jobs"
