#!/usr/bin/env bash
# The whole test suite: the normal (g++) and the sanitizer (clang, ASan +
# UBSan) configuration under ctest, both built with warnings as errors, as
# is the Debian package's Release build (g++ -O3, _FORTIFY_SOURCE; built
# before the normal configuration's tests, which check the package); then a
# regression run of every fuzz target (FUZZ_SECONDS each, default 30;
# 0 skips it). The normal configuration also builds the Windows programs
# (build-win32 and build-win64) and runs them under Wine: the 32-bit ones
# where this machine runs 32-bit programs, the 64-bit ones where it does not;
# where Wine or mingw-w64 cannot be installed those tests are skipped, and
# why is printed.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
windows=yes
if ! scripts/deps-win32.sh all; then
  echo "== windows: the Windows builds' packages could not be installed; their Wine tests are skipped"
  windows=no
fi
jobs=$(nproc 2>/dev/null || echo 2)
export TARN_WERROR=ON
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
passed=0
failed=0
for config in normal asan; do
  echo "== $config configuration"
  if [ $config = normal ] && [ $windows = yes ]; then scripts/build.sh win32; scripts/build.sh win64; fi
  scripts/build.sh $config
  if [ $config = normal ]; then echo "== Debian package: $(scripts/package.sh)"; fi
  dir=build; [ $config = asan ] && dir=build-asan
  log=$(mktemp)
  set +e
  ctest --test-dir $dir --output-on-failure -j"$jobs" 2>&1 | tee "$log"
  status=${PIPESTATUS[0]}
  set -e
  total=$(grep -oE 'tests failed out of [0-9]+' "$log" | grep -oE '[0-9]+$' || echo 0)
  bad=$(grep -oE '[0-9]+ tests failed out of' "$log" | grep -oE '^[0-9]+' || echo 0)
  rm -f "$log"
  # Skipped tests print their reason, and the Wine set-ups their route;
  # ctest shows neither.
  grep -hE '^(SKIPPED|route):' $dir/Testing/Temporary/LastTest.log 2>/dev/null | sort -u || true
  passed=$((passed + total - bad))
  failed=$((failed + bad))
  if [ "$status" -ne 0 ] && [ "$bad" -eq 0 ]; then failed=$((failed + 1)); fi
done
fuzz_seconds=${FUZZ_SECONDS:-30}
if [ "$fuzz_seconds" != 0 ]; then
  echo "== fuzz regression run, ${fuzz_seconds}s per target"
  if scripts/fuzz.sh "$fuzz_seconds"; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
fi
echo "all: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
