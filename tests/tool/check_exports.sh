#!/usr/bin/env bash
# What the converters write is read back by `rigwright-batch check`, and the
# problems it finds are exactly the ones written down in check_findings.txt:
# every shared export (../shared/testdata/ase) and the generated bipeds
# (../shared/peers/gen_ase.py) go through the five commands (mesh, physique,
# motion, character-mesh, chr) in a folder of their own, and the check of the
# character file, the character mesh and every model file is compared line
# for line with the table. An export without a row must check clean; a file
# without one ASE line must be refused.
# Where the bipeds cannot be generated (no python3 or no gen_ase.py), the
# shared exports are still checked against their rows, the bipeds' rows are
# left out, and the test says so with a "SKIPPED:" line and ends with 77
# unless something failed.
# usage: check_exports.sh RIGWRIGHT-BATCH SHARED-FOLDER TABLE
set -u
. "$(dirname "$0")/../common/skip.sh"
batch=$1
shared=$2
table=$3
compgen -G "$shared/testdata/ase/*" >/dev/null || skip "no shared exports in $shared/testdata/ase"
bipeds='biped --objects 0 --samples 30 --skin-verts 300
biped-local --objects 0 --samples 30 --skin-verts 300 --local-motion
biped-objects --objects 2 --samples 30 --skin-verts 300 --anim-objects
biped-flat-crlf --objects 1 --samples 20 --skin-verts 200 --physique-flat --crlf'
left_out=
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# convert LABEL ASE: the character's files in $work/LABEL; the check's lines,
# each prefixed with LABEL, on stdout; its status must be 0 or 1.
convert() {
  local label=$1 ase=$2 dir=$work/$1
  mkdir -p "$dir/m"
  cp "$ase" "$dir/in.ase"
  (
    cd "$dir" || exit 99
    "$batch" physique in.ase c.mpd && "$batch" motion in.ase c.mca && "$batch" character-mesh in.ase c.mcm &&
      "$batch" chr in.ase c.mpd c.mca c.bmp c.chr && (cd m && "$batch" mesh ../in.ase) || exit 98
    : >c.bmp
    shopt -s nullglob
    "$batch" check c.chr c.mcm m/*.t3m >check.txt
    status=$?
    said=0
    [ -s check.txt ] && said=1
    if [ $status -gt 1 ] || [ $status -ne $said ]; then
      echo "$label: status $status with $(wc -l <check.txt) lines" >&2
      exit 97
    fi
  ) 2>"$dir/stderr.txt" || {
    echo "FAIL: $label: $(tail -3 "$dir/stderr.txt")"
    failures=$((failures + 1))
  }
  sed "s|^|$label |" "$dir/check.txt" 2>/dev/null
}

{
  for ase in "$shared"/testdata/ase/*; do
    # A file without one ASE line (empty.ase) is refused before anything is
    # written; the command-line test covers its message.
    if ! grep -qE '^[[:space:]]*\*' "$ase"; then
      (cd "$work" && "$batch" physique "$ase" refused.mpd 2>/dev/null)
      [ $? -eq 1 ] && [ ! -e "$work/refused.mpd" ] || echo "FAIL: $(basename "$ase"): no ASE line, yet not refused"
      continue
    fi
    convert "$(basename "$ase")" "$ase"
  done
  gen=$shared/peers/gen_ase.py
  if command -v python3 >/dev/null && [ -f "$gen" ]; then
    while read -r label options; do
      python3 "$gen" -o "$work/$label.ase" --biped --quiet $options || echo "FAIL: gen_ase.py $options"
      convert "$label" "$work/$label.ase"
    done <<<"$bipeds"
  fi
} >"$work/found.txt"

if ! command -v python3 >/dev/null || [ ! -f "$shared/peers/gen_ase.py" ]; then
  left_out="the generated bipeds ($(cut -d' ' -f1 <<<"$bipeds" | paste -sd' ' -)) and their rows: python3 or $shared/peers/gen_ase.py missing"
fi
grep -v '^FAIL' "$work/found.txt" | sort >"$work/actual.txt"
grep '^FAIL' "$work/found.txt" && failures=$((failures + 1))
grep -v -e '^#' -e '^$' "$table" | sort >"$work/expected.txt"
if [ -n "$left_out" ]; then
  cut -d' ' -f1 <<<"$bipeds" | sed 's/.*/^& /' >"$work/biped-labels.txt"
  grep -v -f "$work/biped-labels.txt" "$work/expected.txt" >"$work/expected-exports.txt"
  mv "$work/expected-exports.txt" "$work/expected.txt"
fi
if ! diff -u "$work/expected.txt" "$work/actual.txt"; then
  echo "FAIL: the findings differ from $table (- expected, + found)"
  failures=$((failures + 1))
fi
echo "checked $(ls -d "$work"/*/ | wc -l) exports; $(wc -l <"$work/actual.txt") findings"
[ $failures -eq 0 ] || exit 1
[ -z "$left_out" ] || skip "$left_out"
