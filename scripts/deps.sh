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
# Commands some tests run (the glTF checks, the browser among them); the
# machine may have its own.
command -v python3 >/dev/null || packages+=(python3)
command -v node >/dev/null || packages+=(nodejs)
command -v npm >/dev/null || packages+=(npm)
command -v chromium >/dev/null || packages+=(chromium)
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "deps: installing ${missing[*]}" >&2
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
