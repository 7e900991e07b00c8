#!/usr/bin/env bash
# Extracts every translatable text of the interface into a template:
#   po/extract.sh OUTPUT.pot
# The interface is src/ui plus the texts of src/core that the windows show; the workers' log
# lines and the command-line converter stay in English and are not looked up. Texts are marked
# with _() or wxGetTranslation(), and with wxTRANSLATE() where they are looked up later.
# References name the file without a line number, so that an edit elsewhere in a file leaves
# the template alone.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
output=$1
cd "$root"
# The project's version, from project() in CMakeLists.txt, as the programs and the package
# carry it.
version=$(sed -n 's/^project([^ ]* VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "no version in CMakeLists.txt" >&2; exit 1; }
mapfile -t sources < <(find src/ui src/core -name '*.cpp' -o -name '*.h' | LC_ALL=C sort)
xgettext --language=C++ --from-code=UTF-8 --add-comments=TRANSLATORS: \
    --keyword=_ --keyword=wxTRANSLATE --keyword=wxGetTranslation:1 \
    --keyword=wxPLURAL:1,2 --keyword=wxGetTranslation:1,2 \
    --add-location=file --package-name="Ombrix Image to PDF Converter" \
    --package-version="$version" --msgid-bugs-address=https://www.ombrix.com/support.html \
    --output="$output" "${sources[@]}"
