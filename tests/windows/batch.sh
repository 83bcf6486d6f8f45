#!/usr/bin/env bash
# windows.WineRigwrightBatch STATE_DIR RIGWRIGHT_BATCH ASE_DIR
# rigwright-batch.exe under Wine writes the same bytes as the Linux
# rigwright-batch for the mesh, physique and motion conversions of every
# shared ASE export, and ends with the same exit status. For the first
# export also: an output that already exists is replaced, and the export
# itself is refused as an output (and left as it was).
set -u
. "$(dirname "$0")/wine_common.sh" "$1"
batch=$2 exports=$3
need_wine
need_program rigwright-batch.exe
ls "$exports"/*.[aA][sS][eE] >/dev/null 2>&1 || skip "no ASE exports in $exports"

work=$state/batch
rm -rf "$work"
# What the Windows program said, kept apart from the compared folders: shown
# for the conversions whose status differs.
mkdir -p "$work/messages"
bad=0
count=0
first=yes
for ase in "$exports"/*.[aA][sS][eE]; do
  name=$(basename "$ase")
  commands="mesh physique motion"
  [ $first = yes ] && commands="$commands replace refuse"
  first=no
  for command in $commands; do
    case $command in
      mesh) args=(mesh "$name") ;;
      physique) args=(physique "$name" out.mpd) ;;
      motion) args=(motion "$name" out.mca) ;;
      replace) args=(physique "$name" old.mpd) ;;
      refuse) args=(motion "$name" "$name") ;;
    esac
    for side in linux windows; do
      dir=$work/$side/$name-$command
      mkdir -p "$dir"
      cp "$ase" "$dir/"
      [ $command = replace ] && echo "an older file" >"$dir/old.mpd"
      if [ $side = linux ]; then
        (cd "$dir" && "$batch" "${args[@]}" >/dev/null 2>&1; echo $? >../$name-$command.status)
      else
        # A box that nobody closes (a report that missed the console) would
        # hold the conversion: 124 then shows in the statuses.
        # Once in a few full runs a conversion under a loaded Wine has
        # ended with status 1 and no output, never again when run alone: a
        # status that differs from Linux's is tried once more, and both
        # tries' messages are kept and shown.
        for try in 1 2; do
          (cd "$dir" && timeout 60 "$wine" "$programs/bin/rigwright-batch.exe" "${args[@]}" >/dev/null \
             2>>"$work/messages/$name-$command.txt" </dev/null
           echo $? >../$name-$command.status)
          cmp -s "$work/linux/$name-$command.status" "$work/windows/$name-$command.status" && break
          [ $try = 1 ] && echo "retried: $name $command (Windows status $(cat "$work/windows/$name-$command.status")): $(cat "$work/messages/$name-$command.txt")"
        done
      fi
    done
    count=$((count + 1))
  done
done
if ! diff -r "$work/linux" "$work/windows"; then
  echo "FAILED: the Windows outputs or exit statuses differ (above)"
  for status in "$work"/windows/*.status; do
    run=$(basename "$status" .status)
    if ! cmp -s "$status" "$work/linux/$run.status"; then
      echo "$run: Windows status $(cat "$status"), Linux $(cat "$work/linux/$run.status"); the Windows program said:"
      sed 's/^/  /' "$work/messages/$run.txt"
    fi
  done
  bad=1
fi
echo "$count conversions of $(ls "$exports"/*.[aA][sS][eE] | wc -l) exports compared: $(find "$work/windows" -type f ! -iname '*.ase' ! -name '*.status' | wc -l) output files"
exit $bad
