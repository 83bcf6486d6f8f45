#!/usr/bin/env bash
# validate.sh REPLAY SAMPLE-DIR BUILD-DIR: the Khronos glTF validator (npm
# package gltf-validator, installed once into BUILD-DIR/node) on the sample
# world's export; any error or warning fails. Skips (77) where node or npm
# is missing or the package cannot be installed (no network).
set -u
replay=$(realpath "$1") sample=$(realpath "$2") build=$(realpath "$3")
version=2.0.0-dev.3.10
here=$(cd "$(dirname "$0")" && pwd)
. "$here/npm_install.sh"
[ -f "$sample/exam.map" ] || { echo "SKIPPED: no sample world at $sample"; exit 77; }
npm_install "$build/node" gltf-validator "$version"
package=$build/node/node_modules/gltf-validator

tmp=$(mktemp -d "${TMPDIR:-/tmp}/tarn-gltf-XXXXXX")
trap 'rm -rf "$tmp"' EXIT
cp -r "$sample" "$tmp/world"
(cd "$tmp/world" && "$replay" --frames 0 --export ../world.glb >/dev/null 2>../err) ||
  { echo "FAIL: export: $(cat "$tmp/err")"; exit 1; }

node - "$package" "$tmp/world.glb" <<'JS'
const [validatorPath, file] = process.argv.slice(2);
const validator = require(validatorPath);
const bytes = new Uint8Array(require('fs').readFileSync(file));
validator.validateBytes(bytes, {maxIssues: 0, writeTimestamp: false}).then((report) => {
  const issues = report.issues;
  for (const m of issues.messages)
    if (m.severity <= 1) console.log(`${m.severity === 0 ? 'error' : 'warning'} ${m.code} at ${m.pointer}: ${m.message}`);
  console.log(`validator ${report.validatorVersion}: ${issues.numErrors} errors, ${issues.numWarnings} warnings, ` +
              `${issues.numInfos} infos; ${report.info.totalTriangleCount} triangles, ` +
              `${report.info.totalVertexCount} vertices`);
  process.exit(issues.numErrors === 0 && issues.numWarnings === 0 ? 0 : 1);
}, (error) => {
  console.log(`FAIL: the validator could not read the file: ${error}`);
  process.exit(1);
});
JS
