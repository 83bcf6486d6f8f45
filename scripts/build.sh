#!/usr/bin/env bash
# build.sh [normal|asan|win32|win64]: configures (once) and builds one configuration.
#   normal  -> build/          g++, RelWithDebInfo
#   asan    -> build-asan/     clang, Debug with AddressSanitizer + UBSan
# so that one run of the test suite builds the tree with both compilers
# (scripts/package.sh builds the third, g++ Release, into build-deb/);
#   win32   -> build-win32/: the Windows programs cross-built with mingw-w64
# (build-win32/bin/*.exe) and build-win32/tarn-win32.zip, whose sample world
# comes from build/ (its target sample_world is built first);
#   win64   -> build-win64/: the same programs for 64-bit Windows (PE32+), and
# the zip's folder staged unpacked (build-win64/tarn-win64/) for the Wine
# tests on machines that run no 32-bit program.
# TARN_WERROR=ON (the test suite sets it) makes warnings errors; unset, a
# folder keeps what it was configured with (OFF when new).
set -euo pipefail
cd "$(dirname "$0")/.."
config=${1:-normal}
jobs=$(nproc 2>/dev/null || echo 2)
werror=${TARN_WERROR:-}

# configure DIR CC CXX CXX-NAMES CMAKE-ARGS...: CXX-NAMES is the pattern of
# the compiler names a configured folder may keep.
configure() {
  local dir=$1 cc=$2 cxx=$3 names=$4
  shift 4
  local cache=$dir/CMakeCache.txt
  if [ -f "$cache" ] && ! grep -qE "^CMAKE_CXX_COMPILER:[A-Z]+=(.*/)?($names)\$" "$cache"; then
    echo "build.sh: $dir was configured with another compiler; configuring it again for $cxx" >&2
    rm -rf "$dir"
  fi
  if [ ! -f "$cache" ]; then
    CC=$cc CXX=$cxx cmake -S . -B "$dir" "$@" -DTARN_WERROR="${werror:-OFF}" >/dev/null
  elif [ -n "$werror" ] && ! grep -qx "TARN_WERROR:BOOL=$werror" "$cache"; then
    cmake -S . -B "$dir" -DTARN_WERROR="$werror" >/dev/null
  fi
}

case "$config" in
  normal)
    dir=build
    configure $dir gcc g++ 'g\+\+(-[0-9]+)?|c\+\+' -DCMAKE_BUILD_TYPE=RelWithDebInfo
    ;;
  asan)
    dir=build-asan
    configure $dir clang clang++ 'clang\+\+(-[0-9]+)?' -DCMAKE_BUILD_TYPE=Debug \
      -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" -DTARN_SANITIZE=ON -DTARN_BENCH=OFF
    ;;
  win32|win64)
    scripts/deps.sh
    scripts/deps-win32.sh build
    configure build gcc g++ 'g\+\+(-[0-9]+)?|c\+\+' -DCMAKE_BUILD_TYPE=RelWithDebInfo
    cmake --build build -j"$jobs" --target sample_world
    dir=build-$config
    toolchain=cmake/mingw-w64-i686.cmake
    [ $config = win64 ] && toolchain=cmake/mingw-w64-x86_64.cmake
    [ -f $dir/CMakeCache.txt ] || cmake -S . -B $dir -DCMAKE_TOOLCHAIN_FILE=$toolchain \
      -DCMAKE_BUILD_TYPE=Release -DTARN_SAMPLE_WORLD="$PWD/build/sample" -DTARN_WERROR="${werror:-OFF}" >/dev/null
    ;;
  *) echo "usage: build.sh [normal|asan|win32|win64]" >&2; exit 2 ;;
esac
cmake --build $dir -j"$jobs"
