# Sourced by the glTF tests: npm_install PREFIX PACKAGE VERSION makes sure
# PREFIX/node_modules/PACKAGE is that version, installing it with npm once
# per build folder. Where node or npm is missing or the install fails (no
# network) it skips the test (tests/common/skip.sh). Tests run in
# parallel share the folder, so an install holds a lock on it.
. "$(dirname "${BASH_SOURCE[0]}")/../common/skip.sh"

# The validator's version, one for every test that installs it: two would
# take turns replacing each other in the shared folder.
gltf_validator_version=2.0.0-dev.3.10

npm_install() {
  local prefix=$1 package=$2 version=$3
  command -v node >/dev/null || skip "no node (apt-get install nodejs)"
  command -v npm >/dev/null || skip "no npm (apt-get install npm)"
  mkdir -p "$prefix" || skip "cannot make $prefix"
  local installed=$prefix/node_modules/$package/package.json
  (
    flock 9
    grep -qs "\"version\": \"$version\"" "$installed" && exit 0
    timeout 300 npm install --prefix "$prefix" --no-audit --no-fund --loglevel=error "$package@$version" \
      >"$prefix/install-$package.log" 2>&1
  ) 9>"$prefix/.install-lock" || {
    skip "npm could not install $package@$version ($(grep -m 1 -i "err" "$prefix/install-$package.log"))"
  }
}
