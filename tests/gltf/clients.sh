#!/usr/bin/env bash
# clients.sh REPLAY SAMPLE-DIR BUILD-DIR [RIGWRIGHT-BATCH]: real clients on
# real worlds, and on characters when the batch converter is given. Each
# world is exported with --stats; assimp (`assimp info -r`, no
# post-processing) must read as many triangles as --stats counts, the Khronos
# validator (one node process for all files) must report no error and no
# warning, and clients_check.py compares the textures with their picture
# files. The worlds: the sample world, the three bench worlds that
# ../shared/peers writes, and a world of the shared ASE exports and pictures
# (../shared/testdata). The characters: generated bipeds whose first key is
# their rest pose (../shared/peers/gen_ase.py --biped --local-motion, one with
# CRLF line ends and flat physique lines) and the motion capture of
# ../shared/testdata (German names: nearly every node has the id 24),
# converted and exported by rigwright-batch; assimp reads the skin's bones
# and the animation's channels, character_check.py compares the joints with
# assimp's reading of the same ASE and the first key with the rest pose, and
# the validator sees them with the worlds. A missing client or world folder
# is said with a "SKIPPED:" line; the test then ends with 77 unless
# something failed.
set -u
. "$(dirname "$0")/../common/skip.sh"
replay=$(realpath "$1") sample=$(realpath "$2") build=$(realpath "$3") batch=${4:+$(realpath "$4")}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
peers=$root/../shared/peers testdata=$root/../shared/testdata
command -v python3 >/dev/null || skip "no python3"
[ -f "$sample/exam.map" ] || skip "no sample world at $sample"
tmp=$(mktemp -d "${TMPDIR:-/tmp}/tarn-gltf-clients-XXXXXX")
trap 'rm -rf "$tmp"' EXIT
failed=0 skipped=()
fail() { echo "FAIL: $*"; failed=1; }

worlds=(sample)
cp -r "$sample" "$tmp/sample"

# The bench worlds, generated side by side (each takes seconds of python).
if [ -f "$peers/make_bench_world.py" ] && [ -f "$peers/to_tarn_world.py" ]; then
  for kind in objects fill draws; do
    (python3 "$peers/make_bench_world.py" $kind "$tmp/src-$kind" >/dev/null &&
      python3 "$peers/to_tarn_world.py" "$tmp/src-$kind" "$tmp/$kind" >/dev/null &&
      rm -rf "$tmp/src-$kind") 2>"$tmp/$kind.gen" &
  done
  wait
  for kind in objects fill draws; do
    if [ -f "$tmp/$kind/exam.map" ]; then worlds+=($kind); else fail "bench world $kind: $(cat "$tmp/$kind.gen")"; fi
  done
else
  skipped+=("no bench world generator at $peers")
fi

# Real ASE houses with real pictures: 24-bit BMP, 8-bit BMP (alpha over
# white), 24- and 32-bit TGA, and a house whose texture coordinates hold the
# exporter's NaN tokens.
if [ -d "$testdata/ase" ]; then
  a=$tmp/ase
  mkdir -p "$a"
  printf 'Screen 640 480\n' >"$a/tarn.cfg"
  pictures=(bmp/assimp_m_rifl.bmp tga/assimp_water_can.tga tga/assimp_euro_frnt_2.tga tga/assimp_holygrail.tga
            bmp/assimp_sydney.bmp)
  {
    echo "Count ${#pictures[@]}"
    for i in "${!pictures[@]}"; do
      cp "$testdata/${pictures[$i]}" "$a/"
      echo "Bitmap $i $(basename "${pictures[$i]}")"
    done
    echo End
  } >"$a/textures.lst"
  {
    echo "TextureFile textures.lst"
    for entry in Rifle.ase:0 cafu_barrel1_a.ase:1 cafu_crate2.ase:2 cafu_lamp1.ase:3 cafu_TonneTest_LoD1.ase:2 \
        ThreeCubesGreen.ASE:4 cafu_bush1_lod1.ase:3 UVTransform_ScaleUV2x.ASE:0 cafu_box1a.ase:1; do
      cp "$testdata/ase/${entry%%:*}" "$a/"
      echo "House ${entry%%:*} ${entry##*:} 0.0 0.0 0.0 0.0"
    done
    echo End
  } >"$a/exam.map"
  worlds+=(ase)
else
  skipped+=("no shared test data at $testdata")
fi

for w in "${worlds[@]}"; do
  rm -f "$tmp/$w/Tarn.log"
  (cd "$tmp/$w" && "$replay" --stats --frames 0 --export "../$w.glb" >"../$w.stats" 2>"../$w.err") ||
    fail "$w: export: $(cat "$tmp/$w.err")"
done

# assimp, no post-processing: as many triangles as the engine draws.
have_assimp=1
command -v assimp >/dev/null || { have_assimp=0; skipped+=("no assimp (apt-get install assimp-utils)"); }
for w in "${worlds[@]}"; do
  [ -f "$tmp/$w.glb" ] || continue
  args=("$tmp/$w" "$tmp/$w.glb" "$tmp/$w.stats")
  if [ $have_assimp = 1 ]; then
    timeout 120 assimp info "$tmp/$w.glb" -r >"$tmp/$w.assimp" 2>&1 || fail "$w: assimp: $(tail -3 "$tmp/$w.assimp")"
    args+=("$tmp/$w.assimp")
  fi
  python3 "$here/clients_check.py" "${args[@]}" || fail "$w: see the lines above"
done

# The characters: each converted as a user would (physique, motion, chr,
# then gltf), with a picture of coloured bands.
characters=()
if [ -z "$batch" ]; then
  skipped+=("no rigwright-batch given: no characters")
elif [ ! -f "$peers/gen_ase.py" ] || [ ! -d "$testdata/ase" ]; then
  skipped+=("no ASE generator or shared test data: no characters")
else
  python3 "$peers/gen_ase.py" --biped --local-motion --objects 0 --quiet -o "$tmp/biped.ase"
  python3 "$peers/gen_ase.py" --biped --local-motion --objects 2 --crlf --physique-flat --seed 7 --quiet \
    -o "$tmp/biped_crlf.ase"
  cp "$testdata/ase/MotionCaptureROM.ase" "$tmp/mocap.ase"
  for c in biped biped_crlf mocap; do
    python3 "$here/character_picture.py" "$tmp/$c.bmp"
    if (cd "$tmp" && "$batch" physique $c.ase $c.mpd && "$batch" motion $c.ase $c.mca &&
        "$batch" chr $c.ase $c.mpd $c.mca $c.bmp $c.chr && "$batch" gltf $c.chr $c.glb) >"$tmp/$c.out" 2>&1; then
      characters+=($c)
    else
      fail "character $c: $(cat "$tmp/$c.out")"
    fi
  done
  # The first key against the rest pose: both come from four decimals (the
  # node rows, the samples), and on the motion capture's longest chain
  # (pelvis to toe) that rounding alone makes 0.0061 in assimp's own reading
  # of the file (its key 0 against its node transforms), 0.0060 in ours.
  bind_for() { [ "$1" = mocap ] && echo 0.0065 || echo 0.002; }
  if [ $have_assimp = 1 ]; then
    for c in "${characters[@]}"; do
      # -r: no post-processing, which refuses a scene without a mesh (the
      # motion capture's skeleton alone).
      timeout 120 assimp info "$tmp/$c.glb" -r >"$tmp/$c.info" 2>&1 || fail "$c: assimp info: $(tail -3 "$tmp/$c.info")"
      # The mesh's bones, one per joint of the skin (the motion capture has
      # no mesh), and one channel per animated joint.
      bones=$(sed -n 's|^ *0 ([^)]*): \[[0-9]* / \([0-9]*\) / .*|\1|p' "$tmp/$c.info")
      channels=$(sed -n 's/^Animation Channels: *//p' "$tmp/$c.info")
      read -r joints animated < <(python3 "$here/character_check.py" --counts "$tmp/$c.glb")
      [ "${bones:-0}" = "$joints" ] && { [ "$c" = mocap ] || [ "$joints" -gt 20 ]; } ||
        fail "$c: assimp reads ${bones:-no} bones of the mesh, its skin has $joints joints"
      [ "${channels:-x}" = "$animated" ] && [ "$animated" -gt 10 ] ||
        fail "$c: assimp reads ${channels:-no} animation channels, the file animates $animated joints"
      # The same ASE through assimp: the joints' world positions at the first,
      # a middle and the last key, and the first key against the rest pose.
      timeout 120 assimp export "$tmp/$c.ase" "$tmp/$c.peer.glb" >"$tmp/$c.peer.out" 2>&1 ||
        fail "$c: assimp export: $(tail -3 "$tmp/$c.peer.out")"
      python3 "$here/character_check.py" "$tmp/$c.glb" "$tmp/$c.peer.glb" --bind "$(bind_for $c)" || fail "$c: the lines above"
    done
  fi
fi

# The validator, installed as validate.sh installs it; where it cannot be,
# the checks above still count and the test says why it skips.
package=$build/node/node_modules/gltf-validator
npm_out=$( . "$here/npm_install.sh" && npm_install "$build/node" gltf-validator "$gltf_validator_version" )
if [ $? != 0 ]; then
  skipped+=("${npm_out#SKIPPED: }")
else
  files=()
  for w in "${worlds[@]}" "${characters[@]}"; do [ -f "$tmp/$w.glb" ] && files+=("$tmp/$w.glb"); done
  node "$here/validate.js" "$package" "${files[@]}" || fail "the validator (lines above)"
fi

for s in "${skipped[@]}"; do echo "SKIPPED: $s"; done
[ $failed = 0 ] || exit 1
[ ${#skipped[@]} = 0 ] || exit 77
echo "gltf clients: OK (${worlds[*]} ${characters[*]})"
