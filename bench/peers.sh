#!/usr/bin/env bash
# bench/peers.sh: our programs side by side with the peers a user would
# otherwise pick, in one table.
#
#   - the device (tarnview-replay --clock real) against Mesa's llvmpipe
#     (raster_anchor, built from ../shared/peers) on the three bench worlds,
#     at 800x600 and at 1920x1080; llvmpipe on every core and on one;
#   - the converters (rigwright-batch) against assimp's parse of the same
#     100 MB exports (assimp info -r), time and peak memory.
#
# Ours and theirs run alternately, RUNS times each (default 5), and the table
# shows medians: the machine's speed drifts, so only figures taken in the same
# minute compare. Everything is built and written under build/peers/ (the
# exports are generated once and kept there: 200 MB).
#
#   bench/peers.sh [--runs N] [--only device|converters] [--sizes LIST]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=5 only=all sizes="800x600 1920x1080"
while [ $# -gt 0 ]; do
  case $1 in
    --runs) runs=$2; shift 2 ;;
    --only) only=$2; shift 2 ;;
    --sizes) sizes=$2; shift 2 ;;
    -h|--help) sed -n '2,17p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "bench/peers.sh: unknown option $1 (see --help)" >&2; exit 2 ;;
  esac
done
case $only in all|device|converters) ;; *) echo "bench/peers.sh: --only takes device or converters" >&2; exit 2 ;; esac
peers=../shared/peers
if [ ! -f $peers/raster_anchor.c ]; then
  echo "bench/peers.sh: $peers is missing (the shared peers sit beside the repository)" >&2
  exit 1
fi
. scripts/apt-missing.sh
scripts/deps.sh
apt_missing bench/peers.sh libosmesa6-dev libpng-dev assimp-utils time python3
scripts/build.sh normal >&2
out=build/peers
mkdir -p $out
make -s -f $peers/Makefile O=$out >&2
bin=$PWD/build/bin
threads=$(nproc)

# median of the numbers on stdin
median() { sort -g | awk '{ v[NR] = $1 } END { if (NR == 0) print "nan"; else if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2fx", a / b; else print "-" }'; }

# world NAME SIZE: the bench world NAME as a Tarnview world asking for SIZE.
world() {
  local name=$1 size=$2 dir=$out/worlds/$1-$2
  if [ ! -f $out/worlds/src-$name/world.lst ]; then
    python3 $peers/make_bench_world.py $name $out/worlds/src-$name >&2
  fi
  if [ ! -f $dir/exam.map ]; then
    python3 $peers/to_tarn_world.py $out/worlds/src-$name $dir >&2
    echo "screen ${size%x*} ${size#*x}" > $dir/tarn.cfg
  fi
  echo $dir
}

# ours DIR: one run's frame rate; theirs SRC SIZE THREADS: llvmpipe's.
ours() { (cd "$1" && TARN_RASTER_THREADS=$2 "$bin/tarnview-replay" --frames 40 --clock real) | awk '$1 == "fps" { print $2 }'; }
theirs() {
  GALLIUM_DRIVER=llvmpipe LP_NUM_THREADS=$3 $out/raster_anchor "$1" --frames 15 --warmup 2 \
    --fog-plane --tex16 --size "$2" --out - | sed -n 's/.* fps=\([0-9.]*\).*/\1/p'
}

if [ $only != converters ]; then
  echo
  echo "The device against llvmpipe ($(nproc) cores; ours on every core; medians of $runs runs, fps)"
  echo
  echo "| world | size | ours | llvmpipe, $threads threads | ratio | llvmpipe, 1 thread | ratio | ours, 1 thread | $threads threads gain |"
  echo "|---|---|---|---|---|---|---|---|---|"
  for size in $sizes; do
    for name in objects fill draws; do
      dir=$(world $name $size)
      a=() b=() c=() d=()
      for ((i = 0; i < runs; i++)); do
        a+=("$(ours $dir $threads)")
        d+=("$(ours $dir 1)")
        b+=("$(theirs $out/worlds/src-$name $size $threads)")
        c+=("$(theirs $out/worlds/src-$name $size 0)")
      done
      mo=$(printf '%s\n' "${a[@]}" | median)
      mt=$(printf '%s\n' "${b[@]}" | median)
      m1=$(printf '%s\n' "${c[@]}" | median)
      o1=$(printf '%s\n' "${d[@]}" | median)
      echo "| $name | $size | $mo | $mt | $(ratio $mo $mt) | $m1 | $(ratio $mo $m1) | $o1 | $(ratio $mo $o1) |"
    done
  done
fi

# timed CMD...: "SECONDS KB" of one run: elapsed time (to the millisecond;
# /usr/bin/time's %e has 10 ms steps, a tenth of a conversion) and peak
# resident memory.
timed() {
  local t0 t1
  t0=$(date +%s%N)
  /usr/bin/time -f '%M' -o $out/time.txt "$@" >/dev/null 2>&1 || true
  t1=$(date +%s%N)
  echo "$(awk -v a=$t0 -v b=$t1 'BEGIN { printf "%.3f", (b - a) / 1e9 }') $(cat $out/time.txt)"
}
megabytes() { awk -v k="$1" 'BEGIN { printf "%.1f MB", k / 1024 }'; }

if [ $only != device ]; then
  static=$out/static100.ase biped=$out/biped100.ase
  [ -f $static ] || python3 $peers/gen_ase.py -o $static --size-mb 100 >&2
  [ -f $biped ] || python3 $peers/gen_ase.py -o $biped --biped --samples 22000 --skin-verts 40000 --size-mb 100 >&2
  mkdir -p $out/mesh
  echo
  echo "The converters against assimp's parse (100 MB exports; medians of $runs runs)"
  echo
  echo "| conversion | ours | memory | assimp info -r | memory | ratio |"
  echo "|---|---|---|---|---|---|"
  for job in "mesh $static" "physique $biped" "motion $biped"; do
    set -- $job
    a=() b=() am=() bm=()
    for ((i = 0; i < runs; i++)); do
      if [ $1 = mesh ]; then
        read -r t m < <(timed $bin/rigwright-batch mesh $2 -C $out/mesh)
      else
        read -r t m < <(timed $bin/rigwright-batch $1 $2 $out/out.$1)
      fi
      a+=("$t") am+=("$m")
      read -r t m < <(timed assimp info $2 -r)
      b+=("$t") bm+=("$m")
    done
    ta=$(printf '%s\n' "${a[@]}" | median) tb=$(printf '%s\n' "${b[@]}" | median)
    ma=$(printf '%s\n' "${am[@]}" | median) mb=$(printf '%s\n' "${bm[@]}" | median)
    echo "| $1 | $ta s | $(megabytes $ma) | $tb s | $(megabytes $mb) | $(ratio $tb $ta) |"
  done
  rm -rf $out/mesh $out/out.* $out/time.txt
fi
echo
echo "Machine: $(lscpu | sed -n 's/^Model name: *//p'), $(nproc) cores; $(date -u +%Y-%m-%d)"
