#!/usr/bin/env bash
# package.sh: builds the Debian package build/tarn_VERSION_ARCH.deb (VERSION
# is the project's version in CMake) from a Release build of its own in
# build-deb/, installed with prefix /usr into build-deb/pkg/debian/tarn
# (DESTDIR; the layout Debian's tools expect).
# Prints the package's path. A second run rebuilds only what changed.
#
# The package is put together with dpkg-deb, not CPack's DEB generator:
# Debian wants things CPack does not do for us (man pages and the changelog
# compressed with gzip -9n, a machine-readable copyright file, binaries
# stripped of .comment and .note, md5sums), the tools that compute Depends
# (dpkg-shlibdeps) and write the control file (dpkg-gencontrol) are the ones
# Debian's own packages use, and the tree dpkg-deb packs is the same tree
# tests/package/check.sh and lintian look at.
#
# The build takes dpkg-buildflags' hardening flags (PIE, RELRO, BIND_NOW,
# stack protector, FORTIFY_SOURCE), without -g: the binaries are stripped.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)
build=build-deb
work=$build/pkg
root=$work/debian/tarn

scripts/deps.sh
# The packaging tools, and what tests/package/check.sh checks the package
# with; only those that are missing.
tools=(dpkg-dev lintian desktop-file-utils appstream man-db groff-base)
. scripts/apt-missing.sh
apt_missing package "${tools[@]}" || exit 1

# TARN_WERROR=ON (the test suite sets it) makes warnings errors here too:
# this is the build at g++'s highest optimisation and with _FORTIFY_SOURCE,
# both of which find warnings that the tested configurations do not see.
werror=${TARN_WERROR:-}
if [ -f $build/CMakeCache.txt ] && [ -n "$werror" ] && ! grep -qx "TARN_WERROR:BOOL=$werror" $build/CMakeCache.txt; then
  cmake -S . -B $build -DTARN_WERROR="$werror" >/dev/null
fi
if [ ! -f $build/CMakeCache.txt ]; then
  export DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CFLAGS_MAINT_STRIP=-g DEB_CXXFLAGS_MAINT_STRIP=-g
  eval "$(dpkg-buildflags --export=sh)"
  # CMake reads no CPPFLAGS: the preprocessor's flags go with the compiler's.
  CFLAGS="$CPPFLAGS $CFLAGS" CXXFLAGS="$CPPFLAGS $CXXFLAGS" LDFLAGS="$LDFLAGS" \
    cmake -S . -B $build -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
      -DTARN_TESTS=OFF -DTARN_BENCH=OFF -DTARN_WERROR="${werror:-OFF}" >/dev/null
fi
cmake --build $build -j"$jobs" >$build/build.log 2>&1 || { cat $build/build.log >&2; exit 1; }

# The changelog is written by hand; it must speak of the version it ships.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' $build/CMakeCache.txt)
logged=$(dpkg-parsechangelog -l dist/debian/changelog -SVersion)
if [ "$version" != "$logged" ]; then
  echo "package: the project is version $version, dist/debian/changelog's last entry is $logged;" \
       "add an entry for $version" >&2
  exit 1
fi
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(dpkg-parsechangelog -l dist/debian/changelog -STimestamp)}

# The tree, from nothing each time, so that nothing of an earlier run stays.
rm -rf $work
DESTDIR=$PWD/$root cmake --install $build >/dev/null
strip --remove-section=.comment --remove-section=.note --strip-unneeded $root/usr/bin/*
gzip -9n $root/usr/share/man/man1/*.1
doc=$root/usr/share/doc/tarn
install -d $doc
install -m 644 dist/debian/copyright $doc/copyright
# A native package's changelog is the Debian changelog.
gzip -9n <dist/debian/changelog >$doc/changelog.gz
install -D -m 644 dist/debian/lintian-overrides $root/usr/share/lintian/overrides/tarn
find $root -type d -exec chmod 755 {} +
find $root -type f -exec chmod 644 {} +
chmod 755 $root/usr/bin/*

# Depends from the libraries the programs link (dpkg-shlibdeps), the
# control file from dist/debian/control with them filled in.
install -d -m 755 $root/DEBIAN
cp dist/debian/control dist/debian/changelog $work/debian/
(cd $work && dpkg-shlibdeps -Tdebian/substvars debian/tarn/usr/bin/*)
(cd $work && dpkg-gencontrol -ptarn -Pdebian/tarn)
(cd $root && find usr -type f -print0 | LC_ALL=C sort -z | xargs -0 md5sum >DEBIAN/md5sums)
chmod 644 $root/DEBIAN/*

arch=$(dpkg --print-architecture)
mkdir -p build
deb=build/tarn_${version}_${arch}.deb
dpkg-deb --root-owner-group -Zxz --build $root $deb >/dev/null
echo "$deb"
