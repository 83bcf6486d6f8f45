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
# skip_reasons LAST_TEST_LOG CTEST_OUTPUT: one line per skipped test, its
# name and the reasons it printed ("SKIPPED: why"); nothing, and success,
# when no test skipped.
skip_reasons() {
  { grep -E '^[[:space:]]*[0-9]+ - .* \(Skipped\)$' "$2" || true; } | sed -E 's/^[[:space:]]*[0-9]+ - (.*) \(Skipped\)$/\1/' |
    while read -r name; do
      why=$(awk -v name="$name" '
        /^[0-9]+\/[0-9]+ Test: / { sub(/^[0-9]+\/[0-9]+ Test: /, ""); current = $0; next }
        current == name && /^SKIPPED: / { sub(/^SKIPPED: /, ""); print }' "$1" | sort -u | paste -sd';' -)
      echo "$name: ${why:-skipped without saying why}"
    done
}
passed=0
failed=0
skipped=0
reasons=$(mktemp)
trap 'rm -f "$reasons"' EXIT
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
  # ctest counts a skipped test in the total and lists it as "(Skipped)".
  skips=$(grep -cE '^[[:space:]]*[0-9]+ - .* \(Skipped\)$' "$log" || true)
  # Why each test skipped, and the Wine set-ups' route: ctest shows neither.
  skip_reasons $dir/Testing/Temporary/LastTest.log "$log" | sed "s/^/$config: /" >>"$reasons"
  rm -f "$log"
  grep -hE '^route:' $dir/Testing/Temporary/LastTest.log 2>/dev/null | sort -u || true
  passed=$((passed + total - bad - skips))
  failed=$((failed + bad))
  skipped=$((skipped + skips))
  if [ "$status" -ne 0 ] && [ "$bad" -eq 0 ]; then failed=$((failed + 1)); fi
done
fuzz_seconds=${FUZZ_SECONDS:-30}
if [ "$fuzz_seconds" != 0 ]; then
  echo "== fuzz regression run, ${fuzz_seconds}s per target"
  if scripts/fuzz.sh "$fuzz_seconds"; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
fi
if [ -s "$reasons" ]; then
  echo "== skipped, and why"
  cat "$reasons"
fi
echo "all: $passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
