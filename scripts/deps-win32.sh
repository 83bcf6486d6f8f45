#!/usr/bin/env bash
# deps-win32.sh [build|wine|all]: the Debian packages of the Windows build
# (build: the mingw-w64 cross compiler) and of its tests under Wine (wine:
# 32-bit Wine with the i386 GL libraries its Direct3D needs, the X tools of
# the tests, and the ko_KR.UTF-8 locale for the Korean ANSI code page).
# Installs only what is missing; a Linux-only build never needs these.
# Exit status 1, with the reason, when something cannot be installed.
set -euo pipefail
what=${1:-all}
packages=()
case "$what" in
  build) packages=(g++-mingw-w64-i686) ;;
  wine) packages=(wine wine32:i386 libgl1:i386 libglx-mesa0:i386 libgl1-mesa-dri:i386 xvfb xdotool x11-apps locales) ;;
  all) packages=(g++-mingw-w64-i686 wine wine32:i386 libgl1:i386 libglx-mesa0:i386 libgl1-mesa-dri:i386
                 xvfb xdotool x11-apps locales) ;;
  *) echo "usage: deps-win32.sh [build|wine|all]" >&2; exit 2 ;;
esac
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then missing+=("$p"); fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "deps-win32: installing ${missing[*]}" >&2
  if printf '%s\n' "${missing[@]}" | grep -q ':i386$' && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  if ! { $SUDO apt-get update -qq &&
         DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"; } >&2; then
    echo "deps-win32: could not install ${missing[*]}" >&2
    exit 1
  fi
fi

# Wine takes the ANSI code page from the locale: ko_KR.UTF-8 gives 949.
if [ "$what" != build ] && ! locale -a 2>/dev/null | grep -qix 'ko_KR.utf-\?8'; then
  echo "deps-win32: generating the ko_KR.UTF-8 locale" >&2
  if [ -f /etc/locale.gen ] && command -v locale-gen >/dev/null; then
    $SUDO sed -i 's/^# *\(ko_KR.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^ko_KR.UTF-8 UTF-8' /etc/locale.gen || echo 'ko_KR.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
    $SUDO locale-gen >/dev/null
  else
    $SUDO localedef -i ko_KR -f UTF-8 ko_KR.UTF-8
  fi
  locale -a 2>/dev/null | grep -qix 'ko_KR.utf-\?8' || { echo "deps-win32: no ko_KR.UTF-8 locale" >&2; exit 1; }
fi
