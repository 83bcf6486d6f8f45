#!/usr/bin/env bash
# Every program's command line, with no display at all: --help (usage on
# stdout, status 0) and --version (the project's version, status 0) answer
# without one, an unknown option gets a usage line on stderr and status 2,
# and the two programs that need a display say that none could be opened
# and end at once with status 1, in one line of their own. Then what they
# print is lost (a full disk, /dev/full; a closed stdout): the status says so.
# usage: command_lines.sh VERSION BUILD_DIR PROGRAM...
# (BUILD_DIR holds the sample world, sample/, and its exports, sample-sources/)
set -u
version=$1
build=$2
shift 2
unset DISPLAY WAYLAND_DISPLAY XDG_RUNTIME_DIR
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
out=$(mktemp)
err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT

# run PROGRAM ARGS...: status in $status, output in $out and $err.
run() {
  timeout 10 "$@" >"$out" 2>"$err"
  status=$?
}

for program in "$@"; do
  name=$(basename "$program")
  run "$program" --help
  [ $status -eq 0 ] || fail "$name --help: status $status"
  grep -q "^usage: $name" "$out" || fail "$name --help: no usage on stdout: $(head -c 200 "$out")"

  run "$program" --version
  [ $status -eq 0 ] || fail "$name --version: status $status"
  [ "$(cat "$out")" = "$name $version" ] || fail "$name --version printed '$(head -c 200 "$out")'"

  run "$program" --no-such-option
  [ $status -eq 2 ] || fail "$name --no-such-option: status $status"
  grep -q "usage: $name" "$err" || fail "$name --no-such-option: no usage line on stderr"
  [ -s "$out" ] && fail "$name --no-such-option wrote to stdout"

  case $name in
    tarnview | rigwright)
      start=$(date +%s%N)
      run "$program"
      ms=$((($(date +%s%N) - start) / 1000000))
      [ $status -eq 1 ] || fail "$name without a display: status $status"
      grep -q "^$name: no display could be opened" "$err" && [ "$(wc -l <"$err")" -eq 1 ] ||
        fail "$name without a display said: $(head -c 300 "$err")"
      [ $ms -lt 5000 ] || fail "$name without a display took $ms ms to end"
      echo "$name without a display: status $status after $ms ms"
      ;;
  esac
done

# Output that cannot be written. Each row runs twice in a folder of its own
# (world: a copy of the sample world; empty: nothing): once with stdout and
# stderr to /dev/null, expecting NULL, and once with the streams named by
# LOST going to /dev/full (out, err, both) or stdout closed (closed),
# expecting FULL. Where the status changes and stderr still works, the
# program says why, once: "NAME: write error: REASON", or the converter's own
# message for an output it wrote to stdout itself. Nothing printed, nothing
# lost: a run that writes nothing to a lost stream keeps its status.
ase=$build/sample-sources/models.ase
[ -f "$ase" ] && [ -f "$build/sample/exam.map" ] || fail "no sample world in $build"
table() {
  cat <<'ROWS'
# program       folder null full lost   arguments
tarnview        empty  0    1    out    --help
tarnview        empty  0    1    out    --version
tarnview        empty  0    1    closed --version
tarnview        empty  2    2    both   --no-such-option
tarnview        empty  1    1    err
rigwright       empty  0    1    out    --help
rigwright       empty  0    1    out    --version
rigwright       empty  2    2    both   --screenshot
rigwright       empty  1    1    err
tarnview-replay empty  0    1    out    --help
tarnview-replay empty  0    1    closed --help
tarnview-replay empty  0    1    out    --version
tarnview-replay empty  2    2    err    --frames
tarnview-replay world  0    1    out    --stats --frames 0
tarnview-replay world  0    1    out    --frames 3 --clock virtual
tarnview-replay world  0    0    err    --frames 3 --clock virtual
tarnview-replay world  0    1    closed --frames 0
tarnview-replay world  0    1    out    --frames 0 --export /dev/stdout
rigwright-batch empty  0    1    out    --help
rigwright-batch empty  0    1    out    --version
rigwright-batch empty  2    2    both
rigwright-batch empty  2    2    err    mesh
rigwright-batch empty  0    1    err    mesh @ASE@ -C .
rigwright-batch empty  0    0    out    mesh @ASE@ -C .
rigwright-batch empty  0    0    closed mesh @ASE@ -C .
rigwright-batch empty  1    1    err    physique missing.ase out.mpd
rigwright-batch empty  2    2    err    check
rigwright-batch empty  2    2    err    check notes.txt
rigwright-batch empty  2    2    err    check --all x.mpd
rigwright-batch empty  2    2    err    gltf x.chr
rigwright-batch empty  1    1    err    gltf missing.chr out.glb
rigwright-batch empty  0    1    out    motion @ASE@ /dev/stdout
ROWS
}

# lost_run LOST ARGS...: the run with LOST's streams lost; status in $status.
lost_run() {
  local lost=$1
  shift
  case $lost in
    out) timeout 20 "$@" >/dev/full 2>"$err" ;;
    err) timeout 20 "$@" >/dev/null 2>/dev/full ;;
    both) timeout 20 "$@" >/dev/full 2>/dev/full ;;
    closed) timeout 20 "$@" >&- 2>"$err" ;;
  esac
  status=$?
}

declare -A path
for program in "$@"; do path[$(basename "$program")]=$program; done
rows=0
while read -r name folder null full lost rest; do
  [ -z "$name" ] || [ "${name:0:1}" = "#" ] || [ -z "${path[$name]:-}" ] && continue
  rows=$((rows + 1))
  read -ra args <<<"${rest//@ASE@/$ase}"
  label="$name ${args[*]}"
  for mode in null "$lost"; do
    dir=$(mktemp -d)
    [ "$folder" = world ] && cp -R "$build/sample/." "$dir"
    : >"$err"
    if [ "$mode" = null ]; then
      (cd "$dir" || exit 99; timeout 20 "${path[$name]}" "${args[@]}" >/dev/null 2>"$err")
      status=$?
      [ $status -eq "$null" ] || fail "$label: status $status, not $null: $(head -c 300 "$err")"
    else
      (cd "$dir" || exit 99; lost_run "$lost" "${path[$name]}" "${args[@]}"; exit $status)
      status=$?
      [ $status -eq "$full" ] || fail "$label, $lost lost: status $status, not $full"
      case $lost in
        out) reason="No space left on device" ;;
        closed) reason="Bad file descriptor" ;;
        *) reason= ;;
      esac
      said=$(grep -c "^$name: write error" "$err")
      if [ -n "$reason" ] && [ "$full" != "$null" ]; then
        [ "$said" -le 1 ] && grep -q "^$name: .*: $reason\$" "$err" ||
          fail "$label, $lost lost: not said once on stderr ($reason): $(head -c 300 "$err")"
      elif [ "$said" -ne 0 ]; then
        fail "$label, $lost lost: a write error for what was not lost: $(head -c 300 "$err")"
      fi
    fi
    rm -rf "$dir"
  done
done < <(table)
[ $rows -gt 0 ] || fail "no row of the lost-output table ran"
echo "lost output: $rows rows run"

# What a person is told. Each row runs PROGRAM with ARGUMENTS in a folder of
# its own (empty; world: a copy of the sample world; notes: notes.ase, a text
# file with no ASE line; broken: the sample world whose exam.map names a
# missing house first) and expects the status and a line of stderr matching
# SAYS (an extended regular expression; "-" for nothing on stderr).
messages() {
  cat <<'ROWS'
# program       folder status arguments                 | says
rigwright-batch empty  2      physique x.ase            | ^rigwright-batch: physique: missing OUT.mpd$
rigwright-batch empty  2      chr a b c                 | ^rigwright-batch: chr: missing BMP$
rigwright-batch empty  2      gltf x.chr                | ^rigwright-batch: gltf: missing OUT.glb$
rigwright-batch empty  2      mesh x.ase -C             | ^rigwright-batch: mesh: missing DIR$
rigwright-batch empty  2      motion a b c              | ^rigwright-batch: motion: one argument too many: 'c'$
rigwright-batch notes  1      physique notes.ase o.mpd  | ^rigwright-batch: notes.ase: no ASE line .*nothing written$
rigwright-batch notes  1      mesh notes.ase            | ^rigwright-batch: notes.ase: no ASE line
tarnview-replay empty  0      --frames 0                | ^tarnview-replay: /.* holds no world \(no exam.map\)
tarnview-replay empty  0      --frames 0                | ^tarnview-replay: 2 problems loading the world, first: tarn.cfg: cannot be read; screen 800 x 600; see /.*/Tarn.log$
tarnview-replay broken 0      --frames 0                | ^tarnview-replay: 1 problem loading the world, first: exam.map line 1: gone.ase: cannot open the house file; see
tarnview-replay world  0      --frames 0                | -
tarnview        empty  0      --help                    | -
ROWS
}
rows=0
while IFS='|' read -r left says; do
  read -r name folder want rest <<<"$left"
  [ -z "$name" ] || [ "${name:0:1}" = "#" ] || [ -z "${path[$name]:-}" ] && continue
  says=${says# }
  rows=$((rows + 1))
  read -ra args <<<"$rest"
  label="$name ${args[*]} ($folder)"
  dir=$(mktemp -d)
  case $folder in
    world) cp -R "$build/sample/." "$dir" ;;
    broken) cp -R "$build/sample/." "$dir" && { echo "House gone.ase 0"; cat "$build/sample/exam.map"; } >"$dir/exam.map" ;;
    notes) echo "a shopping list" >"$dir/notes.ase" ;;
  esac
  (cd "$dir" || exit 99; timeout 20 "${path[$name]}" "${args[@]}" >"$out" 2>"$err")
  status=$?
  [ $status -eq "$want" ] || fail "$label: status $status, not $want: $(head -c 300 "$err")"
  if [ "$says" = - ]; then
    [ -s "$err" ] && fail "$label: said on stderr: $(head -c 300 "$err")"
  else
    grep -qE "$says" "$err" || fail "$label: no line of stderr matches '$says': $(head -c 500 "$err")"
  fi
  [ "$folder" = notes ] && [ -e "$dir/o.mpd" ] && fail "$label: wrote o.mpd"
  rm -rf "$dir"
done < <(messages)
[ $rows -gt 0 ] || fail "no row of the messages table ran"
echo "messages: $rows rows run"

# tarnview-replay FOLDER runs in FOLDER as tarnview does: its log is there,
# and what its options name is taken from where it started.
if [ -n "${path[tarnview-replay]:-}" ]; then
  dir=$(mktemp -d)
  cp -R "$build/sample" "$dir/world"
  (cd "$dir" && timeout 20 "${path[tarnview-replay]}" --frames 1 --shot shot.png world >"$out" 2>"$err")
  status=$?
  [ $status -eq 0 ] || fail "tarnview-replay FOLDER: status $status: $(head -c 300 "$err")"
  [ -f "$dir/world/Tarn.log" ] && [ -f "$dir/shot.png" ] && [ ! -e "$dir/Tarn.log" ] ||
    fail "tarnview-replay FOLDER: the log is not in FOLDER or the shot not where it started: $(cd "$dir" && find . -maxdepth 2 -newer world/exam.map)"
  rm -rf "$dir"
fi
# --help tells the arrow keys as the engine maps them.
if [ -n "${path[tarnview]:-}" ]; then
  "${path[tarnview]}" --help | grep -q "Up rises" || fail "tarnview --help does not say that Up rises"
fi

[ $failures -eq 0 ] && echo "command lines of $# programs as expected"
[ $failures -eq 0 ]
