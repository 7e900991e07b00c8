#!/usr/bin/env bash
# Checks the translations against the sources.
#   catalogue_test.sh template SOURCE_ROOT WORK_DIR
#       The committed template po/ombrix.pot holds exactly the texts that the sources mark
#       today: a text added, changed or removed without running po/update.sh fails here.
#   catalogue_test.sh catalogue SOURCE_ROOT LANGUAGE
#       po/LANGUAGE.po passes msgfmt --check, translates every text of the template (none
#       fuzzy, none missing, none left over) and keeps the blanks and line breaks at the
#       start and end of each text, which the interface relies on ("Start ", "Stop  ").
set -euo pipefail
mode=$1 root=$2
template=$root/po/ombrix.pot

case $mode in
template)
    work=$3
    mkdir -p "$work"
    fresh=$work/ombrix.pot
    "$root/po/extract.sh" "$fresh"
    status=0
    msgcmp --no-fuzzy-matching --use-untranslated "$template" "$fresh" ||
        { echo "texts in the sources but not in po/ombrix.pot: run po/update.sh"; status=1; }
    msgcmp --no-fuzzy-matching --use-untranslated "$fresh" "$template" ||
        { echo "texts in po/ombrix.pot that no source uses: run po/update.sh"; status=1; }
    exit $status
    ;;
catalogue)
    catalogue=$root/po/$3.po
    status=0
    msgfmt --check --statistics --output-file=/dev/null "$catalogue" || status=1
    msgcmp --no-fuzzy-matching "$catalogue" "$template" ||
        { echo "$3.po: texts untranslated or fuzzy"; status=1; }
    msgcmp --no-fuzzy-matching --use-untranslated "$template" "$catalogue" ||
        { echo "$3.po: texts that are not in the template: run po/update.sh"; status=1; }
    if [ -n "$(msgattrib --only-obsolete "$catalogue")" ]; then
        echo "$3.po: obsolete entries: run po/update.sh"
        status=1
    fi
    # The escaped text of every msgid and msgstr, one a line, then their edges compared.
    msgcat --no-wrap "$catalogue" | awk -v file="$3.po" '
        function edges(s) {
            lead = ""; trail = ""
            while (match(s, /^( |\\n|\\t)/)) { lead = lead substr(s, 1, RLENGTH); s = substr(s, RLENGTH + 1) }
            while (match(s, /( |\\n|\\t)$/)) { trail = substr(s, RSTART) trail; s = substr(s, 1, RSTART - 1) }
            return "[" lead "]...[" trail "]"
        }
        function check() {
            if (id != "" && edges(id) != edges(str)) {
                printf "%s: \"%s\" is translated \"%s\": the blanks or line breaks at its edges differ\n", file, id, str
                bad = 1
            }
        }
        /^msgid "/ { check(); part = "id"; id = substr($0, 8, length($0) - 8); str = ""; next }
        /^msgstr "/ { part = "str"; str = substr($0, 9, length($0) - 9); next }
        /^"/ { text = substr($0, 2, length($0) - 2); if (part == "id") id = id text; else if (part == "str") str = str text; next }
        { part = "" }
        END { check(); exit bad }
    ' || status=1
    exit $status
    ;;
esac
echo "unknown mode: $mode" >&2
exit 2
