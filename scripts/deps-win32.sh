#!/usr/bin/env bash
# deps-win32.sh [build|wine|all]: the Debian packages of the Windows builds
# (build: the mingw-w64 cross compilers for 32-bit and 64-bit Windows) and of
# their tests under Wine (wine: wine64 with the GL libraries its Direct3D
# needs, the X tools of the tests and the ko_KR.UTF-8 locale for the Korean
# ANSI code page; and, where this machine runs 32-bit programs, 32-bit Wine
# with its i386 GL libraries). Some kernels run no 32-bit program: the i386
# loader's answer decides, and the Wine tests then take the 64-bit programs.
# Installs only what is missing; a Linux-only build never needs these.
# Exit status 1, with the reason, when something cannot be installed.
set -euo pipefail
what=${1:-all}
case "$what" in
  build|wine|all) ;;
  *) echo "usage: deps-win32.sh [build|wine|all]" >&2; exit 2 ;;
esac
i386_loader=/lib/ld-linux.so.2

. "$(dirname "$0")/apt-missing.sh"
install() { apt_missing deps-win32 "$@" || exit 1; }

if [ "$what" != wine ]; then install g++-mingw-w64-i686 g++-mingw-w64-x86-64; fi
[ "$what" != build ] || exit 0

install wine wine64 libgl1 libglx-mesa0 libgl1-mesa-dri xvfb xdotool x11-apps locales
# The i386 loader comes with libc6:i386; whether it runs is this machine's answer.
install libc6:i386
if answer=$(LC_ALL=C "$i386_loader" --version 2>&1 </dev/null); then
  install wine32:i386 libgl1:i386 libglx-mesa0:i386 libgl1-mesa-dri:i386
else
  echo "deps-win32: this machine runs no 32-bit program ($i386_loader: $(printf '%s' "$answer" | head -1));" \
       "the Wine tests run the 64-bit programs under wine64" >&2
fi

# Wine takes the ANSI code page from the locale: ko_KR.UTF-8 gives 949.
if ! locale -a 2>/dev/null | grep -qix 'ko_KR.utf-\?8'; then
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
