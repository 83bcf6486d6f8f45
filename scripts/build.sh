#!/usr/bin/env bash
# build.sh [normal|asan|win32]: configures (once) and builds one configuration.
# normal -> build/, asan -> build-asan/ (AddressSanitizer + UBSan),
# win32 -> build-win32/: the Windows programs cross-built with mingw-w64
# (build-win32/bin/*.exe) and build-win32/tarn-win32.zip, whose sample world
# comes from build/ (its target sample_world is built first).
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
  win32)
    scripts/deps.sh
    scripts/deps-win32.sh build
    [ -f build/CMakeCache.txt ] || cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build build -j"$jobs" --target sample_world
    dir=build-win32
    [ -f $dir/CMakeCache.txt ] || cmake -S . -B $dir -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake \
      -DCMAKE_BUILD_TYPE=Release -DTARN_SAMPLE_WORLD="$PWD/build/sample" >/dev/null
    ;;
  *) echo "usage: build.sh [normal|asan|win32]" >&2; exit 2 ;;
esac
cmake --build $dir -j"$jobs"
