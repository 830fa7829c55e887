#!/usr/bin/env bash
# `cpack -G DEB` into a temporary folder: the package's name, its files, and
# its Depends as dpkg-shlibdeps computed them from the binaries.  The
# package is read with dpkg-deb, never installed.
# Usage: deb_test.sh BUILD_DIR VERSION
set -euo pipefail
build=$(cd "$1" && pwd)
version=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

(cd "$build" && cpack -G DEB -B "$tmp" >/dev/null)
deb="$tmp/mapcrate_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "no $deb: $(ls "$tmp")"

files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | LC_ALL=C sort)
expected="./usr/bin/mapcrate
./usr/bin/mapcrate-pack
./usr/share/applications/mapcrate.desktop
./usr/share/icons/hicolor/128x128/apps/mapcrate.png
./usr/share/icons/hicolor/48x48/apps/mapcrate.png
./usr/share/man/man1/mapcrate-pack.1
./usr/share/man/man1/mapcrate.1
./usr/share/mapcrate/mapc.png"
[ "$files" = "$expected" ] || fail "the package holds:"$'\n'"$files"

[ "$(dpkg-deb -f "$deb" Package Version)" = "Package: mapcrate"$'\n'"Version: $version" ] ||
  fail "control: $(dpkg-deb -f "$deb" Package Version)"
# Each library the programs link, by its Debian package, with a version
# where the library's symbols file gives one.
depends=$(dpkg-deb -f "$deb" Depends)
for package in libc6 libgtk2.0-0 libglib2.0-0 libminizip1 libdeflate0 libnettle8 libjpeg62-turbo \
  zlib1g libstdc++6; do
  name=$(sed 's/[.+]/\\&/g' <<<"$package")
  grep -Eq "(^|, )$name( \(>= [^)]+\))?(,|$)" <<<"$depends" || fail "Depends lacks $package: $depends"
done
grep -Eq '(^|, )libc6 \(>= ' <<<"$depends" || fail "Depends has no version for libc6: $depends"

exec_line=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/applications/mapcrate.desktop | grep '^Exec=')
[ "$exec_line" = "Exec=sh -c \"mkdir -p ~/Mapcrate && cd ~/Mapcrate && exec '/usr/bin/mapcrate'\"" ] ||
  fail "the packaged menu entry: $exec_line"
echo "debian_package: ok"
