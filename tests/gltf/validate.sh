#!/usr/bin/env bash
# validate.sh REPLAY SAMPLE-DIR BUILD-DIR: the Khronos glTF validator (npm
# package gltf-validator, installed once into BUILD-DIR/node) on the sample
# world's export; any error or warning fails. Skips (77) where node or npm
# is missing or the package cannot be installed (no network).
set -u
. "$(dirname "$0")/../common/skip.sh"
replay=$(realpath "$1") sample=$(realpath "$2") build=$(realpath "$3")
here=$(cd "$(dirname "$0")" && pwd)
. "$here/npm_install.sh"
[ -f "$sample/exam.map" ] || skip "no sample world at $sample"
npm_install "$build/node" gltf-validator "$gltf_validator_version"
package=$build/node/node_modules/gltf-validator

tmp=$(mktemp -d "${TMPDIR:-/tmp}/tarn-gltf-XXXXXX")
trap 'rm -rf "$tmp"' EXIT
cp -r "$sample" "$tmp/world"
(cd "$tmp/world" && "$replay" --frames 0 --export ../world.glb >/dev/null 2>../err) ||
  { echo "FAIL: export: $(cat "$tmp/err")"; exit 1; }

node "$here/validate.js" "$package" "$tmp/world.glb"
