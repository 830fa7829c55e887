#!/usr/bin/env bash
# What gets installed, as one of:
#   install: `cmake --install` into a temporary prefix: the files a desktop expects, a menu entry
#     that validates (installed_banner starts it), and manual pages that groff reads without a
#     warning;
#   deb: `cpack -G DEB` into a temporary folder, read with dpkg-deb and never installed: its
#     name, its files, and its Depends as dpkg-shlibdeps computed them from the binaries.
# Usage: install_test.sh BUILD_DIR VERSION install|deb
set -euo pipefail
build=$(cd "$1" && pwd)
version=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2 && exit 1; }
expected="bin/mapcrate
bin/mapcrate-pack
share/applications/mapcrate.desktop
share/icons/hicolor/128x128/apps/mapcrate.png
share/icons/hicolor/48x48/apps/mapcrate.png
share/locale/en/LC_MESSAGES/mapcrate.mo
share/man/fr/man1/mapcrate-pack.1
share/man/fr/man1/mapcrate.1
share/man/man1/mapcrate-pack.1
share/man/man1/mapcrate.1
share/mapcrate/mapc.png"

if [ "$3" = deb ]; then
  (cd "$build" && cpack -G DEB -B "$tmp" >/dev/null)
  deb="$tmp/mapcrate_${version}_$(dpkg --print-architecture).deb"
  [ -f "$deb" ] || fail "no $deb: $(ls "$tmp")"
  files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | LC_ALL=C sort)
  [ "$files" = "$(sed 's|^|./usr/|' <<<"$expected")" ] || fail "the package holds:"$'\n'"$files"
  [ "$(dpkg-deb -f "$deb" Package Version)" = "Package: mapcrate"$'\n'"Version: $version" ] ||
    fail "control: $(dpkg-deb -f "$deb" Package Version)"
  # Each library the programs link, by its Debian package, with a version
  # where the library's symbols file gives one.
  depends=$(dpkg-deb -f "$deb" Depends)
  for package in libc6 libgtk2.0-0 libglib2.0-0 libminizip1 libdeflate0 libnettle8 \
    libjpeg62-turbo zlib1g libstdc++6; do
    name=$(sed 's/[.+]/\\&/g' <<<"$package")
    grep -Eq "(^|, )$name( \(>= [^)]+\))?(,|$)" <<<"$depends" || fail "Depends lacks $package: $depends"
  done
  grep -Eq '(^|, )libc6 \(>= ' <<<"$depends" || fail "Depends has no version for libc6: $depends"
  [ "$(dpkg-deb -f "$deb" Suggests)" = "openarena-server, openarena, xvfb" ] || fail "Suggests: $(dpkg-deb -f "$deb" Suggests)"
  line=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/applications/mapcrate.desktop | grep '^Exec=')
  [ "$line" = 'Exec=env MAPCRATE_HOME_FOLDER=Mapcrate "/usr/bin/mapcrate"' ] || fail "the packaged menu entry: $line"
  echo "debian_package: ok"
  exit
fi

prefix="$tmp/a prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
installed=$(cd "$prefix" && find . ! -type d | sed 's|^\./||' | LC_ALL=C sort)
[ "$installed" = "$expected" ] || fail "installed files:"$'\n'"$installed"

# A PNG's width and height are the two words after its 16-byte start.
for size in 48 128; do
  dims=$(od -An -tx1 -j16 -N8 "$prefix/share/icons/hicolor/${size}x$size/apps/mapcrate.png" | tr -d ' \n')
  [ "$dims" = "$(printf '%08x%08x' "$size" "$size")" ] || fail "the ${size}x$size icon is $dims"
done

entry="$prefix/share/applications/mapcrate.desktop"
report=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate: $report"
[ -z "$report" ] || fail "desktop-file-validate: $report"

for page in man1/mapcrate.1 man1/mapcrate-pack.1 fr/man1/mapcrate.1 fr/man1/mapcrate-pack.1; do
  warnings=$(groff -ww -z -man -K utf8 "$prefix/share/man/$page" 2>&1)
  [ -z "$warnings" ] || fail "groff on $page: $warnings"
done

# The installed program speaks English under an English locale.
said=$(LC_ALL=en_US.UTF-8 "$prefix/bin/mapcrate" --version)
[ "$(tail -1 <<<"$said")" = "Written by the Mapcrate team." ] || fail "mapcrate --version in English: $said"

# A prefix the menu entry's command could not quote is refused, not mangled.
if cmake --install "$build" --prefix "$tmp/a\$HOME" >/dev/null 2>&1; then
  fail "installed under a prefix holding a dollar sign"
fi
echo "install: ok"
