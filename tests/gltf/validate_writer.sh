#!/usr/bin/env bash
# validate_writer.sh WRITER-TEST BUILD-DIR: the Khronos validator on the
# writer test's tiny skinned, animated scene; any error or warning fails.
# Skips (77) where node or npm is missing or the package cannot be installed.
set -u
writer=$(realpath "$1") build=$(realpath "$2")
here=$(cd "$(dirname "$0")" && pwd)
. "$here/npm_install.sh"
npm_install "$build/node" gltf-validator "$gltf_validator_version"
tmp=$(mktemp -d "${TMPDIR:-/tmp}/tarn-gltf-XXXXXX")
trap 'rm -rf "$tmp"' EXIT
TARN_GLTF_OUT=$tmp/tiny.glb "$writer" --gtest_filter=GltfWriter.TinySkinnedAnimatedScene >"$tmp/log" 2>&1 ||
  { cat "$tmp/log"; echo "FAIL: the writer test"; exit 1; }
node "$here/validate.js" "$build/node/node_modules/gltf-validator" "$tmp/tiny.glb"
