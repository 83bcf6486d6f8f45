#!/usr/bin/env bash
# fuzz.sh [SECONDS] [fuzz_target ...]: builds the libFuzzer targets with
# clang into build-fuzz/ and runs each one for SECONDS (default 30) on its
# corpus, with the seeds of fuzz/<target>.seeds and the dictionary of
# fuzz/dict/<target>.dict. Prints executions, coverage and findings per
# target; exits non-zero when any target found a crash, leak, timeout or
# out-of-memory input (the inputs are kept in build-fuzz/artifacts/).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
shift || true
jobs=$(nproc 2>/dev/null || echo 2)
dir=$(pwd)/build-fuzz
if [ ! -f $dir/CMakeCache.txt ]; then
  CC=clang CXX=clang++ cmake -S . -B $dir -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARN_FUZZ=ON \
    -DTARN_TESTS=OFF -DTARN_BENCH=OFF -DTARN_HOSTS=OFF -DTARN_WERROR=OFF >/dev/null
fi
mkdir -p $dir
if ! cmake --build $dir -j"$jobs" >$dir/build.log 2>&1; then
  tail -40 $dir/build.log >&2
  exit 1
fi
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for t in $dir/fuzz/fuzz_*; do [ -x "$t" ] && targets+=("$(basename "$t")"); done
fi
mkdir -p $dir/artifacts $dir/logs
findings=0
printf '%-28s %12s %8s %9s\n' target executions coverage findings
for t in "${targets[@]}"; do
  corpus=$dir/corpus/$t
  mkdir -p "$corpus"
  if [ -f fuzz/$t.seeds ]; then
    # One glob per line, relative to the repository root; copies, never links.
    while IFS= read -r pattern; do
      [ -z "$pattern" ] || [ "${pattern:0:1}" = "#" ] && continue
      for f in $pattern; do [ -f "$f" ] && cp -n "$f" "$corpus/seed_$(basename "$f")" 2>/dev/null || true; done
    done < fuzz/$t.seeds
  fi
  dict=()
  [ -f fuzz/dict/$t.dict ] && dict=(-dict="$(pwd)/fuzz/dict/$t.dict")
  before=$(ls $dir/artifacts | grep -c "^$t-" || true)
  log=$dir/logs/$t.log
  # The targets' working folders go to a scratch folder of the build, emptied
  # after each run, whatever way the run ended.
  scratch=$dir/tmp
  rm -rf "$scratch" && mkdir -p "$scratch"
  set +e
  TMPDIR=$scratch $dir/fuzz/$t -max_total_time="$seconds" -rss_limit_mb=512 -timeout=2 -print_final_stats=1 \
    -artifact_prefix=$dir/artifacts/$t- "${dict[@]}" "$corpus" >"$log" 2>&1
  status=$?
  set -e
  rm -rf "$scratch"
  after=$(ls $dir/artifacts | grep -c "^$t-" || true)
  found=$((after - before))
  [ $status -ne 0 ] && [ $found -eq 0 ] && found=1
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo 0)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*' || echo 0)
  printf '%-28s %12s %8s %9s\n' "$t" "${runs:-0}" "${cov:-0}" "$found"
  if [ $found -ne 0 ]; then
    findings=$((findings + found))
    grep -m1 -E 'ERROR|WARNING|deadly|Timeout|out-of-memory' "$log" || true
  fi
done
if [ $findings -ne 0 ]; then
  echo "fuzz: $findings finding(s); inputs in $dir/artifacts, logs in $dir/logs" >&2
  exit 1
fi
