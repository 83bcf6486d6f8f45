#!/usr/bin/env bash
# The whole test suite, in the normal and the sanitizer configuration.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
jobs=$(nproc 2>/dev/null || echo 2)
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
for config in normal asan; do
  echo "== $config configuration"
  scripts/build.sh $config
  dir=build; [ $config = asan ] && dir=build-asan
  ctest --test-dir $dir --output-on-failure -j"$jobs"
done
