# Sourced by the scripts that install Debian packages.
#
# apt_missing NAME PACKAGE...: installs those of the packages that are not
# installed yet (nothing at all when every one is, so a second run costs a few
# milliseconds). Packages of another architecture (name:i386) add it to dpkg
# first. Waits for another install's lock rather than failing on it. Returns
# 1, with "NAME: could not install ..." on stderr, when the install fails;
# the caller decides whether that ends its run.
# SUDO is what the scripts put before a command that must run as root.
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
_apt_updated=no
apt_missing() {
  local name=$1 p
  shift
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -gt 0 ] || return 0
  echo "$name: installing ${missing[*]}" >&2
  if printf '%s\n' "${missing[@]}" | grep -q ':i386$' && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
    _apt_updated=no
  fi
  if ! { { [ $_apt_updated = yes ] || $SUDO apt-get update -qq; } &&
         DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq -o DPkg::Lock::Timeout=900 \
           --no-install-recommends "${missing[@]}"; } >&2; then
    echo "$name: could not install ${missing[*]}" >&2
    return 1
  fi
  _apt_updated=yes
}
