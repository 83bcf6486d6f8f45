#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the programs need,
# but only those that are missing, so a second run costs a few milliseconds.
set -euo pipefail
packages=(
  cmake g++ make pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libpng-dev libsdl2-dev libgtk-3-dev
  unifont xvfb xdotool xauth x11-utils jwm
  clang libclang-rt-14-dev
)
. "$(dirname "$0")/apt-missing.sh"
apt_missing deps "${packages[@]}"
# Commands only some tests run (the glTF checks: python3, node and npm for the
# validator and three.js, the browser, assimp): where they cannot be installed
# the build goes on and those tests say why they skip. The machine may have
# its own node or chromium.
optional=()
command -v python3 >/dev/null || optional+=(python3)
command -v node >/dev/null || optional+=(nodejs)
command -v npm >/dev/null || optional+=(npm)
command -v chromium >/dev/null || optional+=(chromium)
command -v assimp >/dev/null || optional+=(assimp-utils)
for p in ${optional[@]+"${optional[@]}"}; do
  apt_missing deps "$p" || echo "deps: the tests that need $p will skip" >&2
done
