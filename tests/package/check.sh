#!/usr/bin/env bash
# check.sh [--install]: builds the Debian package (scripts/package.sh, which
# reuses build-deb/) and checks it without installing it: its file list,
# lintian, the desktop entries, the AppStream metainfo, the manual pages, the
# bash completion and the programs it holds. Ends with one line, "package:
# ..."; exit status 1 on a failed check, 77 ("SKIPPED: reason") without
# dpkg-deb.
#
# --install (as root) also installs the package with apt-get, walks the
# installed sample as root and as nobody (their logs in their own
# ~/.local/state/tarn, nothing written in /usr/share/tarn/sample), runs the
# programs and man from /usr, then removes and purges it and compares a
# listing of /usr with the one from before: nothing may be left behind.
set -u
. "$(dirname "$0")/../common/skip.sh"
cd "$(dirname "$0")/../.."
if ! command -v dpkg-deb >/dev/null; then
  skip "no dpkg-deb (not a Debian system)"
fi
install=no
case "${1:-}" in
  --install) install=yes ;;
  "") ;;
  *) echo "usage: check.sh [--install]" >&2; exit 2 ;;
esac
if [ $install = yes ] && [ "$(id -u)" -ne 0 ]; then
  echo "package: --install needs root"
  exit 2
fi

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
tmp=$(mktemp -d /tmp/tarn-package-XXXXXX)
trap 'rm -rf "$tmp"' EXIT

if ! deb=$(scripts/package.sh 2>"$tmp/package.err"); then
  cat "$tmp/package.err"
  echo "package: FAILED, scripts/package.sh did not build the package"
  exit 1
fi
version=$(dpkg-deb -f "$deb" Version)
dpkg-deb -x "$deb" "$tmp/root"
root=$tmp/root
programs=(tarnview tarnview-replay rigwright rigwright-batch)

# Every file the package promises.
expected=(
  usr/share/applications/tarnview.desktop usr/share/applications/rigwright.desktop
  usr/share/icons/hicolor/32x32/apps/rigwright.xpm
  usr/share/metainfo/local.tarn.tarnview.metainfo.xml usr/share/metainfo/local.tarn.rigwright.metainfo.xml
  usr/share/bash-completion/completions/rigwright-batch usr/share/bash-completion/completions/tarnview-replay
  usr/share/doc/tarn/copyright usr/share/doc/tarn/changelog.gz
  usr/share/tarn/sample/tarn.cfg usr/share/tarn/sample/exam.map usr/share/tarn/sample/textures.lst
  usr/share/tarn/sample/floor.txt usr/share/tarn/sample/house1.ase usr/share/tarn/sample/Model/0.t3m
)
for p in "${programs[@]}"; do expected+=("usr/bin/$p" "usr/share/man/man1/$p.1.gz"); done
dpkg-deb --contents "$deb" | awk '{print $6}' | sed 's|^\./||' >"$tmp/contents"
for f in "${expected[@]}"; do grep -qxF "$f" "$tmp/contents" || fail "$f is not in the package"; done
# The world's leftovers of a run must not ship.
leftovers=$(grep -E '(^|/)(Tarn\.log|[^/]*\.part-[^/]*|CMakeFiles)$' "$tmp/contents")
[ -n "$leftovers" ] && fail "the package holds what a run leaves: $(echo $leftovers)"

depends=$(dpkg-deb -f "$deb" Depends)
for want in unifont libsdl2 libgtk-3 libpng; do
  grep -q "$want" <<<"$depends" || fail "Depends lacks $want: $depends"
done

# The programs in the package answer from their installed place.
for p in "${programs[@]}"; do
  out=$(env -u DISPLAY -u WAYLAND_DISPLAY "$root/usr/bin/$p" --version 2>&1)
  [ "$out" = "$p $version" ] || fail "$p --version printed '$out', not '$p $version'"
done

if ! lintian --pedantic "$deb" >"$tmp/lintian" 2>&1; then
  grep -q '^E: ' "$tmp/lintian" || fail "lintian did not run: $(head -3 "$tmp/lintian")"
fi
grep '^[EW]: ' "$tmp/lintian"
grep -q '^E: ' "$tmp/lintian" && fail "lintian reports errors"
lintian_notes=$(grep -c '^[WIP]: ' "$tmp/lintian")

for entry in "$root"/usr/share/applications/*.desktop; do
  desktop-file-validate "$entry" >"$tmp/out" 2>&1 && [ ! -s "$tmp/out" ] ||
    fail "desktop-file-validate $(basename "$entry"): $(cat "$tmp/out")"
  # Exec names files of the package, where it installs them.
  for word in $(grep '^Exec=' "$entry" | grep -o '"[^"]*"' | tr -d '"'); do
    [ -e "$root$word" ] || fail "$(basename "$entry") runs $word, which the package does not hold"
  done
done
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml >"$tmp/out" 2>&1 ||
  fail "appstreamcli validate: $(cat "$tmp/out")"

# Each manual page has the sections a reader looks for, and renders
# without a warning from groff.
for p in "${programs[@]}"; do
  page=$root/usr/share/man/man1/$p.1.gz
  [ -f "$page" ] || continue
  for section in NAME SYNOPSIS DESCRIPTION OPTIONS FILES "EXIT STATUS" EXAMPLES; do
    zcat "$page" | grep -qE "^\.SH \"?$section\"?\$" || fail "$p.1 has no $section section"
  done
  MANWIDTH=80 LC_ALL=C.UTF-8 man --warnings -l "$page" >"$tmp/out" 2>"$tmp/err"
  [ -s "$tmp/err" ] && fail "man $p: $(head -5 "$tmp/err")"
  grep -q "^NAME" "$tmp/out" || fail "man $p rendered nothing"
done

# Completion: in a folder of likely names, a line "PROGRAM WORD... |
# +CANDIDATE -NOT-A-CANDIDATE ..." completes the last word ("" for a new
# one) with the program's installed script.
mkdir -p "$tmp/cwd/sub"
touch "$tmp/cwd"/{a.ase,B.ASE,notes.txt,pic.bmp,shot.png,body.mpd,walk.txt,hero.chr,0.T3M}
cases=(
  'rigwright-batch ""                      | +mesh +physique +motion +character-mesh +chr +check +--help'
  'rigwright-batch check hero.chr ""       | +body.mpd +hero.chr +0.T3M +sub -a.ase -notes.txt -pic.bmp'
  'rigwright-batch ph                      | +physique -mesh'
  'rigwright-batch mesh ""                 | +a.ase +B.ASE +sub -notes.txt -pic.bmp'
  'rigwright-batch mesh a.ase ""           | +-C'
  'rigwright-batch mesh a.ase -C ""        | +sub -a.ase'
  'rigwright-batch physique a.ase ""       | +body.mpd -a.ase -notes.txt'
  'rigwright-batch chr a.ase m.mpd m.mca "" | +pic.bmp -a.ase -shot.png'
  'tarnview-replay --s                     | +--shot +--shots +--stats ---frames'
  'tarnview-replay --clock ""              | +real +virtual'
  'tarnview-replay --shot ""               | +shot.png +sub -a.ase'
  'tarnview-replay --input ""              | +walk.txt +notes.txt'
  'tarnview-replay --shots ""              | +sub -shot.png'
  'tarnview-replay ""                      | +sub -shot.png'
)
for p in rigwright-batch tarnview-replay; do
  bash -n "$root/usr/share/bash-completion/completions/$p" || fail "completion of $p does not parse"
done
for c in "${cases[@]}"; do
  words=${c%%|*}
  eval "set -- $words"
  program=$1
  got=$(cd "$tmp/cwd" && bash -c '
    source "$1" || exit 1
    shift
    fn=$(complete -p "$1" | sed -n "s/.*-F \([^ ]*\) .*/\1/p")
    COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMPREPLY=()
    "$fn" "$1" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}" 2>/dev/null
    printf "%s\n" "${COMPREPLY[@]}"' completion "$root/usr/share/bash-completion/completions/$program" "$@")
  for want in ${c#*|}; do
    if [ "${want:0:1}" = + ]; then
      grep -qxF -- "${want:1}" <<<"$got" || fail "completing '$words' offers no ${want:1}: $(echo $got)"
    else
      grep -qxF -- "${want:1}" <<<"$got" && fail "completing '$words' offers ${want:1}"
    fi
  done
done

if [ $install = yes ]; then
  # What the package may touch. apt's and dpkg's own records, caches and
  # logs change with any install and are left out; another install running
  # at the same time would show here too.
  listing() {
    find /usr /etc /var -xdev \( -path /var/cache -o -path /var/log -o -path /var/lib/apt -o -path /var/lib/dpkg \) \
      -prune -o -print 2>/dev/null | LC_ALL=C sort
  }
  listing >"$tmp/before"
  find /var/lib/dpkg/info -name 'tarn.*' | grep . && fail "tarn is already installed"
  if DEBIAN_FRONTEND=noninteractive apt-get install -y -qq -o DPkg::Lock::Timeout=900 "./$deb" >"$tmp/apt" 2>&1; then
    for p in "${programs[@]}"; do
      out=$(env -u DISPLAY -u WAYLAND_DISPLAY "/usr/bin/$p" --version 2>&1)
      [ "$out" = "$p $version" ] || fail "installed $p --version printed '$out'"
    done
    MANWIDTH=80 man rigwright-batch 2>&1 | grep -q "rigwright-batch - convert" || fail "man rigwright-batch shows no page"
    # The installed sample, walked by root and by a user: the package's folder
    # takes nothing; each keeps a log of its own under its XDG state folder.
    sample=/usr/share/tarn/sample
    touch "$tmp/installed"
    for who in root nobody; do
      # Outside $tmp, which only root may enter.
      home=$(mktemp -d /tmp/tarn-home-XXXXXX)
      run_as=()
      if [ $who = nobody ]; then
        chown nobody "$home"
        run_as=(runuser -u nobody --)
      fi
      "${run_as[@]}" env -u XDG_STATE_HOME HOME="$home" /usr/bin/tarnview-replay --frames 1 "$sample" >"$tmp/run" 2>&1 ||
        fail "tarnview-replay $sample as $who: $(tail -3 "$tmp/run")"
      [ -s "$home/.local/state/tarn/Tarn.log" ] || fail "as $who, no Tarn.log in $home/.local/state/tarn"
      written=$(find "$sample" -newer "$tmp/installed" 2>/dev/null)
      [ -z "$written" ] || fail "as $who, the run wrote into $sample: $written"
      rm -rf "$home"
    done
    DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq -o DPkg::Lock::Timeout=900 tarn >>"$tmp/apt" 2>&1 ||
      fail "apt-get remove tarn: $(tail -3 "$tmp/apt")"
    # With no conffiles, removing forgets the package and there is nothing
    # left for purge to find; with some, purge takes them.
    if [ "$(dpkg-query -W -f='${db:Status-Status}' tarn 2>/dev/null)" = config-files ]; then
      DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq -o DPkg::Lock::Timeout=900 tarn >>"$tmp/apt" 2>&1 ||
        fail "apt-get purge tarn: $(tail -3 "$tmp/apt")"
    fi
    dpkg-query -W tarn >/dev/null 2>&1 && fail "dpkg still knows tarn after remove and purge"
    listing >"$tmp/after"
    diff "$tmp/before" "$tmp/after" | grep '^[<>]' >"$tmp/left"
    [ -s "$tmp/left" ] && fail "install and purge changed /usr, /etc or /var: $(head -20 "$tmp/left")"
  else
    fail "apt-get install ./$deb: $(tail -5 "$tmp/apt")"
  fi
fi

if [ $failures -eq 0 ]; then
  done_install=
  [ $install = yes ] && done_install=", installed, run and purged"
  echo "package: OK $deb: ${#expected[@]} files, ${#programs[@]} programs, ${#cases[@]} completions," \
    "lintian without error ($lintian_notes notes)$done_install"
else
  echo "package: FAILED, $failures problems in $deb"
fi
[ $failures -eq 0 ]
