#!/usr/bin/env bash
# The manuals against the programs: every option that a program's --help lists has an entry
# in its manual page, the page has no entry for an option the program does not know, the
# pages render without a warning, and --version shows the project's version.
#   manual_test.sh VERSION MAN_DIR CONVERT_PROGRAM APP_PROGRAM
set -uo pipefail
version=$1 man_dir=$2 convert=$3 app=$4
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# The option names of a help text: on each line that starts with an option, the names before
# the description ("  -o, --output DIR        the output folder",
# "      --user-password TEXT, --owner-password TEXT").
help_options() {
    awk '/^ +-/ { sub(/^ +/, ""); split($0, column, /  +/); print column[1] }' |
        grep -oE '(^|[ ,])--?[a-zA-Z0-9][a-zA-Z0-9-]*' | sed 's/^[ ,]*//' | sort -u
}

# The option names on the first line of each entry (.TP, .TQ) of a manual page, with the
# page's escaped dashes read as dashes.
page_options() {
    sed -n '/^\.T[PQ]/{n;p}' "$1" | sed 's/\\-/-/g; s/\\f[BIRP]//g' |
        grep -o -- '\(^\|[^a-zA-Z0-9-]\)--\?[a-zA-Z0-9][a-zA-Z0-9-]*' |
        sed 's/^[^-]*//' | grep '^-' | sort -u
}

# The environment variables a help text names, and those the page documents.
help_variables() { grep -o 'OMBRIX_[A-Z_]*' | sort -u; }
page_variables() { sed 's/\\_/_/g' "$1" | grep -o 'OMBRIX_[A-Z_]*' | sort -u; }

check_program() {
    local program=$1 page=$2 name
    name=$(basename "$page" .1)
    [ -f "$page" ] || { fail "no manual page $page"; return; }
    local help
    if ! help=$("$program" --help); then
        fail "$name --help failed"
        return
    fi
    local listed documented
    listed=$(help_options <<<"$help")
    documented=$(page_options "$page")
    [ -n "$listed" ] || fail "$name --help lists no option"
    local missing extra
    missing=$(comm -23 <(echo "$listed") <(echo "$documented"))
    extra=$(comm -13 <(echo "$listed") <(echo "$documented"))
    [ -z "$missing" ] || fail "$name(1) lacks the options of --help: $(echo $missing)"
    [ -z "$extra" ] || fail "$name(1) documents options that --help does not list: $(echo $extra)"
    missing=$(comm -23 <(help_variables <<<"$help") <(page_variables "$page"))
    [ -z "$missing" ] || fail "$name(1) lacks the environment variables of --help: $(echo $missing)"

    local shown
    shown=$("$program" --version) || fail "$name --version failed"
    [[ $shown == *" $version" ]] || fail "$name --version shows '$shown', not version $version"

    # groff warns about unknown macros, bad escapes and lines it cannot set.
    local warnings
    warnings=$(LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z "$page" 2>&1)
    [ -z "$warnings" ] || fail "$name(1) renders with warnings: $warnings"
}

check_program "$convert" "$man_dir/ombrix-convert.1"
check_program "$app" "$man_dir/ombrix-image-to-pdf.1"

if ((failures)); then
    echo "$failures failed"
    exit 1
fi
echo "manual pages match --help and --version of both programs"
