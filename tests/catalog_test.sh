#!/usr/bin/env bash
# The catalogs against the message table: po/mapcrate.pot as scripts/make_pot.py makes it from the
# table now, and each translation clean for msgfmt --check and complete: every text, none fuzzy,
# none translating an older French, each {placeholder} kept.
# Usage: catalog_test.sh SOURCE_DIR
set -euo pipefail
source=$1
fail() { echo "FAIL: $*" >&2 && exit 1; }
table=$source/src/messages/messages.def
diff -u "$source/po/mapcrate.pot" <(python3 "$source/scripts/make_pot.py" "$table") ||
  fail "po/mapcrate.pot is out of date: scripts/make_pot.py src/messages/messages.def > po/mapcrate.pot"
for po in "$source"/po/*.po; do
  said=$(LC_ALL=C msgfmt --check --statistics -o /dev/null "$po" 2>&1) || fail "msgfmt: $said"
  ! grep -Eq 'fuzzy|untranslated|warning' <<<"$said" || fail "msgfmt: $said"
  python3 "$source/scripts/make_pot.py" "$table" --check "$po"
done
