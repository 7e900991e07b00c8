#!/usr/bin/env bash
# Brings the template and the catalogues up to date with the sources: extracts the texts into
# po/ombrix.pot, merges it into every po/<language>.po and drops the entries no source uses
# any more. New texts arrive untranslated, changed ones as fuzzy: the tests fail until they
# are translated and reviewed.
#   po/update.sh        (or: cmake --build build --target pot)
set -euo pipefail
po=$(cd "$(dirname "$0")" && pwd)
fresh=$(mktemp --suffix=.pot)
trap 'rm -f "$fresh"' EXIT
"$po/extract.sh" "$fresh"
# The template is rewritten only when more than its date changed.
undated() { grep -v '^"POT-Creation-Date:' "$1" 2>/dev/null || true; }
if ! cmp -s <(undated "$fresh") <(undated "$po/ombrix.pot"); then
    cp "$fresh" "$po/ombrix.pot"
fi
for catalogue in "$po"/*.po; do
    msgmerge --quiet --update --backup=none --add-location=file "$catalogue" "$po/ombrix.pot"
    msgattrib --no-obsolete --add-location=file --output-file="$catalogue" "$catalogue"
done
