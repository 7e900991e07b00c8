#!/usr/bin/env bash
# The desktop integration files: the desktop entry and the AppStream metadata pass their
# validators, they name the same icon and application, the icon exists in every size it is
# installed in, and the newest release the metadata announces is the project's version.
#   desktop_entry_test.sh VERSION PACKAGING_DIR
set -uo pipefail
version=$1 dir=$2
id=com.ombrix.ImageToPdf
desktop=$dir/$id.desktop
metainfo=$dir/$id.metainfo.xml
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
entry() { sed -n "s/^$1=//p" "$desktop"; }

desktop-file-validate "$desktop" || fail "desktop-file-validate rejects $desktop"
# --strict: warnings and remarks fail too (pedantic hints do not).
appstreamcli validate --no-net --strict "$metainfo" || fail "appstreamcli rejects $metainfo"

# "Open with" hands the files to the program through a field code that takes many files.
[[ $(entry Exec) == "ombrix-image-to-pdf %F" ]] || fail "Exec is '$(entry Exec)'"
for type in image/jpeg image/png image/tiff image/bmp image/gif image/webp image/jp2 image/jpx \
    image/heic image/heif image/avif image/jxl; do
    [[ ";$(entry MimeType)" == *";$type;"* ]] || fail "MimeType lacks $type"
done

icon=$(entry Icon)
[ "$icon" = "$id" ] || fail "the desktop entry's icon is '$icon', not $id"
grep -q "<icon type=\"stock\">$icon</icon>" "$metainfo" || fail "the metadata names another icon"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
    fail "the metadata launches another desktop entry"
for size in 16 22 24 32 48 64 128 256; do
    png=$dir/icons/hicolor/${size}x$size/apps/$icon.png
    if [ ! -f "$png" ]; then
        fail "no $size px icon"
    elif [ "$(identify -format '%wx%h' "$png")" != "${size}x$size" ]; then
        fail "the $size px icon is $(identify -format '%wx%h' "$png")"
    fi
done

newest=$(grep -o '<release version="[^"]*"' "$metainfo" | head -n 1 | cut -d'"' -f2)
[ "$newest" = "$version" ] || fail "the metadata's newest release is '$newest', not $version"

if ((failures)); then
    echo "$failures failed"
    exit 1
fi
echo "desktop entry and metadata valid, icons complete, release $version"
