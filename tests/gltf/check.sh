#!/usr/bin/env bash
# check.sh REPLAY SAMPLE-DIR: tarnview-replay --export on the sample world and
# on a hostile one, each file checked by glb_check.py against --stats; the
# world's own files are never written over. Skips (77) without python3.
set -u
. "$(dirname "$0")/../common/skip.sh"
replay=$(realpath "$1") sample=$(realpath "$2")
here=$(cd "$(dirname "$0")" && pwd)
command -v python3 >/dev/null || skip "no python3 to read the JSON"
[ -f "$sample/exam.map" ] || skip "no sample world at $sample"
tmp=$(mktemp -d "${TMPDIR:-/tmp}/tarn-gltf-XXXXXX")
trap 'rm -rf "$tmp"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }

# The sample world: every structural check, the validator's input too.
cp -r "$sample" "$tmp/sample"
rm -f "$tmp/sample/Tarn.log"
(cd "$tmp/sample" && "$replay" --stats --frames 0 --export ../sample.glb >../sample.stats 2>../sample.err) ||
  fail "sample export: $(cat "$tmp/sample.err")"
python3 "$here/glb_check.py" "$tmp/sample.glb" "$tmp/sample.stats" || fail "sample world's file"
# What the sample world's pictures and start camera give: opaque pictures,
# the tree's cut-out (alpha 0 or 255) as MASK at the device's reference 8,
# the houses' glass (alpha 221) as BLEND; the camera at (0, 1, 0) looking
# down the engine's +z, which is glTF's -z: no rotation.
python3 - "$tmp/sample.glb" <<'PY' || fail "the sample world's materials or camera"
import json, math, struct, sys
data = open(sys.argv[1], 'rb').read()
doc = json.loads(data[20:20 + struct.unpack_from('<I', data, 12)[0]].decode('utf-8'))
modes = {m['name']: (m.get('alphaMode', 'OPAQUE'), m.get('alphaCutoff')) for m in doc['materials']}
want = {'texture 0': ('OPAQUE', None), 'texture 1': ('BLEND', None), 'texture 2': ('OPAQUE', None),
        'texture 4': ('OPAQUE', None)}
ok = all(modes.get(k) == v for k, v in want.items())
ok &= modes.get('texture 3', ('', 0))[0] == 'MASK' and abs(modes['texture 3'][1] - 8 / 255) < 1e-6
cam = [n for n in doc['nodes'] if 'camera' in n][0]
p = doc['cameras'][0]['perspective']
ok &= cam['translation'] == [0, 1, 0] and cam['rotation'] == [0, 0, 0, 1]
ok &= abs(p['yfov'] - math.pi / 4) < 1e-6 and abs(p['aspectRatio'] - 800 / 600) < 1e-6
ok &= 'mirrors z' in doc['asset']['extras']['axes']
# Every kind of object names the line that placed it.
sources = {n['name']: n['extras'].get('source') for n in doc['nodes'] if 'extras' in n}
where = {'object 0 kind 2': 'exam.map line 5: heights.bmp', 'object 2 kind 1': 'exam.map line 3: house1.ase',
         'object 3 kind 1': 'floor.txt line 2: floor/0.t3m', 'object 9 kind 1': 'floor.txt line 1: Model/0.t3m'}
ok &= all(sources.get(k) == v for k, v in where.items())
if not ok:
    print(modes, cam, p, sources)
sys.exit(0 if ok else 1)
PY
grep -q "glTF export" "$tmp/sample/Tarn.log" && fail "sample world logged: $(grep 'glTF export' "$tmp/sample/Tarn.log")"

# A world from a stranger: a model with a NaN corner, a texture whose
# picture is missing, a model without vertices.
w=$tmp/hostile
mkdir -p "$w/Model" "$w/texture"
printf 'Screen 320 200\n' >"$w/tarn.cfg"
printf 'FloorMap floor.txt\nEnd\n' >"$w/exam.map"
printf 'NumTexture 1\nTexture 0 missing.bmp\nNumObject 3\nEnd\n' >"$w/floor.txt"
printf 'NumVertex 3\nNumFace 1\nVERTEX 0 0 0 0\nVERTEX 1 1 0 0\nVERTEX 2 0 1 0\nFACE 0 0 1 2\nMatID 0\nEnd\n' >"$w/Model/0.t3m"
printf 'NumVertex 3\nNumFace 1\nVERTEX 0 0 0 0\nVERTEX 1 nan 0 0\nVERTEX 2 0 1 0\nFACE 0 0 1 2\nEnd\n' >"$w/Model/1.t3m"
printf 'NumVertex 0\nEnd\n' >"$w/Model/2.t3m"
(cd "$w" && "$replay" --stats --frames 0 --export out.glb >../hostile.stats 2>../hostile.err) ||
  fail "hostile export: $(cat "$tmp/hostile.err")"
python3 "$here/glb_check.py" "$w/out.glb" "$tmp/hostile.stats" --expect-missing-mesh 1 >"$tmp/hostile.check" ||
  fail "hostile world's file: $(cat "$tmp/hostile.check")"
grep -q '"plain"' "$tmp/hostile.check" || fail "no plain material for the missing picture: $(cat "$tmp/hostile.check")"
grep -qE '^Error: glTF export: object [0-9]+ kind 1: a coordinate is not a finite number' "$w/Tarn.log" ||
  fail "no log line for the NaN object: $(cat "$w/Tarn.log")"
grep -q '^Error: glTF export: object [0-9]*: texture 0 has no picture' "$w/Tarn.log" ||
  fail "no log line for the missing picture"

# A floor file's texture named by its full name: read from there, not looked
# for again under texture/, so the picture file stands in the file.
p=$tmp/absolute
mkdir -p "$p/Model" "$p/texture"
cp "$tmp/sample/texture/stone.bmp" "$tmp/stone.bmp"
printf 'Screen 320 200\n' >"$p/tarn.cfg"
printf 'FloorMap floor.txt\nEnd\n' >"$p/exam.map"
printf 'NumTexture 1\nTexture 0 %s\nNumObject 1\nEnd\n' "$tmp/stone.bmp" >"$p/floor.txt"
cp "$w/Model/0.t3m" "$p/Model/0.t3m"
(cd "$p" && "$replay" --frames 0 --export out.glb >/dev/null 2>../absolute.err) ||
  fail "absolute picture export: $(cat "$tmp/absolute.err")"
python3 - "$p/out.glb" "$tmp/stone.bmp" <<'PY' || fail "a picture named by its full name: $(grep 'glTF export' "$p/Tarn.log")"
import json, struct, sys
data = open(sys.argv[1], 'rb').read()
doc = json.loads(data[20:20 + struct.unpack_from('<I', data, 12)[0]].decode('utf-8'))
sys.exit(0 if [i['extras']['file'] for i in doc['images']] == [sys.argv[2]] else 1)
PY

# A model of 120,000 corners, most of them distinct: past 16-bit indices.
b=$tmp/wide
mkdir -p "$b/Model"
printf 'Screen 320 200\n' >"$b/tarn.cfg"
printf 'FloorMap floor.txt\nEnd\n' >"$b/exam.map"
printf 'NumObject 1\nEnd\n' >"$b/floor.txt"
python3 -c '
n = 45000
print("NumVertex %d" % n)
print("NumFace 40000")
for i in range(n):
    print("VERTEX %d %d %d %d" % (i, i % 173, i * 7 % 31, i // 173))
for i in range(40000):
    print("FACE %d %d %d %d" % (i, i, i + 1, i + 2))
print("End")' >"$b/Model/0.t3m"
(cd "$b" && "$replay" --stats --frames 0 --export wide.glb >../wide.stats 2>../wide.err) ||
  fail "wide export: $(cat "$tmp/wide.err")"
python3 "$here/glb_check.py" "$b/wide.glb" "$tmp/wide.stats" >/dev/null || fail "wide model's file"
python3 - "$b/wide.glb" <<'PY' || fail "the wide model is not indexed in 32 bits"
import json, struct, sys
data = open(sys.argv[1], 'rb').read()
doc = json.loads(data[20:20 + struct.unpack_from('<I', data, 12)[0]].decode('utf-8'))
index = doc['accessors'][doc['meshes'][0]['primitives'][0]['indices']]
sys.exit(0 if index['componentType'] == 5125 and doc['accessors'][0]['count'] > 65535 else 1)
PY

# Names in code page 949 (a house file and its node name, "집") arrive as UTF-8.
k=$tmp/korean
cp -r "$tmp/sample" "$k"
sed 's/^\(\s*\)\*MESH {/&\n\1\t*NODE_NAME "\xC1\xFD01"/' "$k/house1.ase" >"$k/집.ase"
sed 's/house1\.ase/\xC1\xFD.ase/' "$tmp/sample/exam.map" >"$k/exam.map"
(cd "$k" && "$replay" --frames 0 --export k.glb >/dev/null 2>../korean.err) || fail "korean export: $(cat "$tmp/korean.err")"
python3 - "$k/k.glb" <<'PY' || fail "code page 949 names in the file"
import json, struct, sys
data = open(sys.argv[1], 'rb').read()
doc = json.loads(data[20:20 + struct.unpack_from('<I', data, 12)[0]].decode('utf-8'))
extras = [n.get('extras', {}) for n in doc['nodes']]
found = [e for e in extras if e.get('nodeName') == '집01' and e.get('source', '').endswith(': 집.ase')]
print('korean house:', found)
sys.exit(0 if len(found) == 1 else 1)
PY

# The world's own files are refused, a failure is status 1 with a message,
# and an older export is replaced. Each case: the name as typed, then the
# world's file it must not touch; the refusal looks at the very file that
# would be written, whatever the name's spelling or prefix.
for case in exam.map:exam.map Model/0.t3m:Model/0.t3m Tarn.log:Tarn.log "/proc/self/cwd/exam.map:exam.map" \
    "$w/Model/../exam.map:exam.map"; do
  own=${case%:*} file=${case##*:}
  before=$(md5sum <"$w/$file")
  (cd "$w" && "$replay" --frames 0 --export "$own" >/dev/null 2>../refused.err)
  status=$?
  [ $status = 1 ] || fail "--export $own: status $status"
  grep -q "not written over (it may be one of the world's files)" "$tmp/refused.err" || fail "--export $own: $(cat "$tmp/refused.err")"
  # The run appends to its own log; only the other files must stay as they were.
  if [ $file = Tarn.log ]; then
    [ "$(head -c 4 "$w/$file")" = glTF ] && fail "$own was written over"
  else
    [ "$(md5sum <"$w/$file")" = "$before" ] || fail "--export $own changed $file"
  fi
done
# A backslash is part of a Linux name: '.\exam.map' and 'Model\0.t3m' are
# new files of their own, never the world's exam.map and model.
for own in '.\exam.map' 'Model\0.t3m'; do
  before=$(cat "$w/exam.map" "$w/Model/0.t3m" | md5sum)
  (cd "$w" && "$replay" --frames 0 --export "$own" >/dev/null 2>../backslash.err) ||
    fail "--export $own: $(cat "$tmp/backslash.err")"
  [ "$(head -c 4 "$w/$own" 2>/dev/null)" = glTF ] || fail "--export $own did not write a file of that name"
  [ "$(cat "$w/exam.map" "$w/Model/0.t3m" | md5sum)" = "$before" ] || fail "--export $own changed the world's files"
  rm -f "$w/$own"
done
# An empty file (mktemp --suffix=.glb makes one) is taken.
empty=$(mktemp "$tmp/empty-XXXXXX.glb")
(cd "$w" && "$replay" --frames 0 --export "$empty" >/dev/null 2>../empty.err) ||
  fail "--export into an empty file: $(cat "$tmp/empty.err")"
[ "$(head -c 4 "$empty")" = glTF ] || fail "--export into an empty file wrote no glTF"
(cd "$w" && "$replay" --frames 0 --export no/such/folder.glb >/dev/null 2>../nofolder.err)
[ $? = 1 ] && [ -s "$tmp/nofolder.err" ] || fail "an export into a missing folder did not fail with a message"
# Standard output as the file, into a file and into a pipe: the file holds
# the GLB alone (its length as its header says), the report goes to stderr.
(cd "$w" && "$replay" --stats --frames 0 --export /dev/stdout >stdout.glb 2>../stdout.err) ||
  fail "--export /dev/stdout into a file: $(cat "$tmp/stdout.err")"
(cd "$w" && "$replay" --stats --frames 0 --export /dev/stdout 2>../pipe.err | cat >piped.glb) ||
  fail "--export /dev/stdout into a pipe: $(cat "$tmp/pipe.err")"
for f in stdout piped; do
  python3 -c 'import struct, sys; d = open(sys.argv[1], "rb").read(); sys.exit(not (d[:4] == b"glTF" and struct.unpack_from("<I", d, 8)[0] == len(d)))' \
    "$w/$f.glb" || fail "--export /dev/stdout ($f): not one whole GLB: $(tail -c 120 "$w/$f.glb" | tr -c '[:print:]' .)"
done
grep -q '^frames 0$' "$tmp/stdout.err" && grep -q '^textures ' "$tmp/stdout.err" ||
  fail "--export /dev/stdout: the report is not on stderr: $(cat "$tmp/stdout.err")"
cp "$tmp/sample.glb" "$w/old.glb"
(cd "$w" && "$replay" --frames 0 --export old.glb >/dev/null 2>&1) || fail "an older export was not replaced"
cmp -s "$w/old.glb" "$w/out.glb" || fail "the replaced export differs from a fresh one"
ls "$w" | grep -q '\.part-' && fail "a temporary file was left: $(ls "$w")"

[ $failed = 0 ] && echo "gltf: OK"
exit $failed
