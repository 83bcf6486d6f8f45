#!/usr/bin/env bash
# browser.sh REPLAY SAMPLE-DIR BUILD-DIR [KEEP-DIR]: the sample world's export
# opened by three.js (npm package three, installed once into BUILD-DIR/node)
# in headless Chromium from the file's camera, with unlit materials, against
# the engine's first frame drawn with --unlit. KEEP-DIR, when given, keeps
# both pictures and the two side by side at half size. Skips (77) where
# python3, chromium, node or npm is missing or three cannot be installed.
#
# browser.sh --character RIGWRIGHT-BATCH BUILD-DIR [KEEP-DIR]: a generated
# biped character (../shared/peers/gen_ase.py, converted and exported by
# rigwright-batch) in three.js: its animation played by an AnimationMixer
# and drawn at two keys side by side (character.html); the drawn mesh must
# cover the joints at both keys, and the joints must move between them.
# KEEP-DIR keeps the picture (character.png).
set -u
. "$(dirname "$0")/../common/skip.sh"
character=0
if [ "${1:-}" = --character ]; then character=1; shift; fi
if [ $character = 1 ]; then
  batch=$(realpath "$1") build=$(realpath "$2") keep=${3:-}
else
  replay=$(realpath "$1") sample=$(realpath "$2") build=$(realpath "$3") keep=${4:-}
fi
here=$(cd "$(dirname "$0")" && pwd)
version=0.187.0
. "$here/npm_install.sh"
command -v python3 >/dev/null || skip "no python3"
browser=$(command -v chromium || command -v chromium-browser) ||
  skip "no chromium (scripts/deps.sh installs it)"
if [ $character = 1 ]; then
  peers=$here/../../../shared/peers
  [ -f "$peers/gen_ase.py" ] || skip "no ASE generator at $peers"
else
  [ -f "$sample/exam.map" ] || skip "no sample world at $sample"
fi
npm_install "$build/node" three "$version"

# The frames differ by the device's 16-bit colour with dithering, its 4-4-4-4
# textures, where the two rasterisers put an edge's pixels and how they
# filter: on the sample world that is a mean difference of 5.0 per channel,
# 5.6 with every texel of the file moved at random by up to 8 (about what
# full-colour pictures in the file against the device's 4-bit ones add).
# Wrong pictures score far higher: the picture 10 pixels to the right 9,
# the camera 0.3 to the side 11, turned 2 degrees 14, its field of view 10%
# wider 17, mirrored 24, the winding reversed (the fronts culled) 54, the
# textures left out 116. The bound sits between.
bound=8

tmp=$(mktemp -d "${TMPDIR:-/tmp}/tarn-browser-XXXXXX")
server= viewer=
cleanup() {
  [ -n "$viewer" ] && kill "$viewer" 2>/dev/null && wait "$viewer" 2>/dev/null
  [ -n "$server" ] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT
mkdir "$tmp/site"
# shoot PAGE?QUERY: the page in headless Chromium, served from $tmp/site;
# its picture lands in $tmp/site/browser.png, its log in browser.log.
shoot() {
  cp "$here/${1%%\?*}" "$tmp/site/"
  ln -sfn "$build/node/node_modules/three" "$tmp/site/three"
  python3 "$here/browser_serve.py" "$tmp/site" "$tmp/port" 60 >"$tmp/serve.out" 2>&1 &
  server=$!
  for _ in $(seq 100); do [ -s "$tmp/port" ] && break; sleep 0.1; done
  [ -s "$tmp/port" ] || { echo "FAIL: the page's server did not start: $(cat "$tmp/serve.out")"; exit 1; }
  # The page is our own, from our own server: no sandbox, which root and
  # containers without user namespaces cannot have. Without a GPU, WebGL runs
  # on the software renderer, which newer Chromium offers only when asked.
  local flags=(--headless=new --no-sandbox --use-angle=swiftshader --enable-unsafe-swiftshader --window-size=800,600
               --user-data-dir="$tmp/profile" --no-first-run --no-default-browser-check --disable-extensions)
  # Chromium's scratch folders (org.chromium.Chromium.*) go under TMPDIR and
  # its caches under the XDG folders: all in this test's folder, which goes.
  mkdir -p "$tmp/tmp" "$tmp/xdg-cache" "$tmp/xdg-config"
  TMPDIR=$tmp/tmp XDG_CACHE_HOME=$tmp/xdg-cache XDG_CONFIG_HOME=$tmp/xdg-config \
    timeout 90 "$browser" "${flags[@]}" "http://127.0.0.1:$(cat "$tmp/port")/$1" >"$tmp/chromium.log" 2>&1 &
  viewer=$!
  wait "$server"
  local status=$?
  server=
  kill "$viewer" 2>/dev/null
  wait "$viewer" 2>/dev/null
  viewer=
  if [ $status != 0 ]; then
    echo "FAIL: no picture from the browser: $(cat "$tmp/serve.out")"
    grep -v -e dbus -e '^\s*$' "$tmp/chromium.log" | tail -5
    exit 1
  fi
  echo "three.js $version, $("$browser" --version 2>/dev/null | grep -o 'Chromium [0-9.]*'): $(cat "$tmp/site/browser.log")"
}

if [ $character = 1 ]; then
  # A biped whose first key is its rest pose, 31 keys, a picture of coloured
  # bands so that the limbs show where their texture coordinates go.
  c=$tmp/character
  mkdir "$c"
  python3 "$peers/gen_ase.py" --biped --local-motion --objects 0 --samples 31 --quiet -o "$c/biped.ase" ||
    { echo "FAIL: gen_ase.py"; exit 1; }
  python3 "$here/character_picture.py" "$c/biped.bmp"
  (cd "$c" && "$batch" physique biped.ase biped.mpd && "$batch" motion biped.ase biped.mca &&
     "$batch" chr biped.ase biped.mpd biped.mca biped.bmp biped.chr &&
     "$batch" gltf biped.chr ../site/character.glb) >"$tmp/batch.out" 2>&1 ||
    { echo "FAIL: rigwright-batch: $(cat "$tmp/batch.out")"; exit 1; }
  shoot "character.html?glb=character.glb&keys=0,20"
  [ -n "$keep" ] && mkdir -p "$keep" && cp "$tmp/site/browser.png" "$keep/character.png"
  # "joints N covered A B moved M": the mesh covers nearly every joint at
  # both keys (a wrong inverse bind matrix or joint order leaves the mesh
  # elsewhere), and the motion moved most of them.
  awk '{ for (i = 1; i < NF; ++i) v[$i] = $(i + 1); c2 = $5 }
       END { n = v["joints"]; exit !(n > 0 && v["covered"] >= 0.9 * n && c2 >= 0.9 * n && v["moved"] >= n / 2) }' \
    "$tmp/site/browser.log" || { echo "FAIL: the drawn character does not follow its joints"; exit 1; }
  echo "gltf browser character: OK"
  exit 0
fi

cp -r "$sample" "$tmp/world"
rm -f "$tmp/world/Tarn.log"

# The first frame is drawn after one step forward, as the demo walk's is: at
# the start the camera stands right above a corner of the terrain, a vertex
# at w = 0, which Chromium's software WebGL draws wrongly (the near cells of
# the terrain come out as one colour, over the paving). The page moves the
# file's camera by the step the engine reports, in the file's axes.
start=$(cd "$tmp/world" && "$replay" --frames 0 2>&1 | sed -n 's/^camera //p')
printf '0 W\n' >"$tmp/walk.txt"
(cd "$tmp/world" && "$replay" --input ../walk.txt --frames 1 --clock virtual --unlit --shot ../engine.png \
   --export ../site/world.glb >../replay.out 2>../replay.err) ||
  { echo "FAIL: the replay: $(cat "$tmp/replay.err")"; exit 1; }
end=$(sed -n 's/^camera //p' "$tmp/replay.out")
move=$(echo "$start $end" | awk 'NF == 6 { printf "%.4f,%.4f,%.4f", $4 - $1, $5 - $2, -($6 - $3) }')
[ -n "$move" ] || { echo "FAIL: no camera lines from the replay ('$start', '$end')"; exit 1; }

shoot "browser.html?glb=world.glb&move=$move"

failed=0
side=()
[ -n "$keep" ] && mkdir -p "$keep" && cp "$tmp/engine.png" "$tmp/site/browser.png" "$keep/" &&
  side=(--side-by-side "$keep/side-by-side.png")
result=$(python3 "$here/png_compare.py" "$tmp/engine.png" "$tmp/site/browser.png" "${side[@]}") ||
  { echo "FAIL: the pictures could not be compared"; exit 1; }
echo "engine --unlit against three.js, move $move: $result (bound $bound)"
awk -v r="$result" -v b=$bound 'BEGIN { split(r, f, " "); exit !(f[2] <= b) }' ||
  { echo "FAIL: the browser's picture is not the engine's frame"; failed=1; }
# The bound has to tell this scene from its mirror image, or it proves nothing.
mirrored=$(python3 "$here/png_compare.py" "$tmp/engine.png" "$tmp/site/browser.png" --mirror-b)
awk -v r="$mirrored" -v b=$bound 'BEGIN { split(r, f, " "); exit !(f[2] > b) }' ||
  { echo "FAIL: the mirrored picture is within the bound as well: $mirrored"; failed=1; }
[ $failed = 0 ] && echo "gltf browser: OK"
exit $failed
