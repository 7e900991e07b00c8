#!/usr/bin/env bash
# Makes the Debian package of a build: the installation tree as `cmake --install` lays it out,
# always under /opt/ombrix-image-to-pdf (a package never installs into /usr/local, which a
# build folder configured by hand may name as its prefix), the two commands
# linked into /usr/bin, the desktop entry, icons, AppStream metadata, manuals and the package's
# documents under /usr/share. Dependencies come from the shared libraries the programs link
# (dpkg-shlibdeps). The desktop's caches (menus, icons, manuals) are refreshed by the triggers
# of the packages that own them, so the package has no maintainer scripts.
#   scripts/make-deb.sh [BUILD_DIR [OUTPUT_DIR]]     (default: build/ and the build folder)
# Prints the path of the package it made.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
out=${2:-$build}
package=ombrix-image-to-pdf
app_id=com.ombrix.ImageToPdf

cache_value() {
    sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"
}
version=$(cache_value CMAKE_PROJECT_VERSION)
revision=$(cache_value OMBRIX_PACKAGE_REVISION)
# The programs find their files from their own location, so the tree may move.
prefix=/opt/$package
if [ -z "$version" ]; then
    echo "make-deb: $build is not a configured build folder" >&2
    exit 2
fi
if [ "$(cache_value OMBRIX_SANITIZE)" = ON ]; then
    echo "make-deb: $build is a sanitized build; package an ordinary one" >&2
    exit 2
fi
deb_version=$version-${revision:-1}
arch=$(dpkg --print-architecture)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
tree=$work/debian/$package
umask 022

# The program's own tree, exactly as installed by hand.
cmake --install "$build" --prefix "$tree$prefix" >/dev/null
# Debug information stays in the build; the package ships stripped programs, as dh_strip
# leaves them.
for file in "$tree$prefix"/bin/*; do
    strip --remove-section=.comment --remove-section=.note "$file"
done
for file in "$tree$prefix"/lib/*.so*; do
    [ -L "$file" ] || strip --remove-section=.comment --remove-section=.note --strip-unneeded "$file"
    chmod 0644 "$file"
done

# The commands on the PATH. A link between top-level folders is absolute.
mkdir -p "$tree/usr/bin"
for command in ombrix-image-to-pdf ombrix-convert; do
    ln -s "$prefix/bin/$command" "$tree/usr/bin/$command"
done

# Desktop integration and manuals.
share=$tree/usr/share
install -D -m 0644 "$root/packaging/$app_id.desktop" "$share/applications/$app_id.desktop"
install -D -m 0644 "$root/packaging/$app_id.metainfo.xml" "$share/metainfo/$app_id.metainfo.xml"
(cd "$root/packaging/icons" && find hicolor -name '*.png') | while read -r icon; do
    install -D -m 0644 "$root/packaging/icons/$icon" "$share/icons/$icon"
done
mkdir -p "$share/man/man1"
for page in "$root"/packaging/man/*.1; do
    gzip -9n <"$page" >"$share/man/man1/$(basename "$page").gz"
done

# The package's documents: copyright, the changelog and the remarks of lintian's that hold
# for a vendor's package by design.
# The date of the sources (a reproducible build's SOURCE_DATE_EPOCH, else the last commit);
# the copyright year is theirs, as in the about dialog.
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || date +%s)}
doc=$share/doc/$package
mkdir -p "$doc"
sed "s/@YEAR@/$(date -u -d "@$epoch" +%Y)/" "$root/packaging/debian/copyright" >"$doc/copyright"
install -D -m 0644 "$root/packaging/debian/lintian-overrides" "$share/lintian/overrides/$package"
{
    echo "$package ($deb_version) stable; urgency=medium"
    echo
    echo "  * Release $version of the Ombrix Image to PDF Converter."
    echo
    echo " -- Ombrix <support@ombrix.com>  $(LC_ALL=C date -u -R -d "@$epoch")"
} | gzip -9n >"$doc/changelog.Debian.gz"

# Dependencies: the packages of the shared libraries that the programs and the PDF library
# link; the PDF library itself is the package's own. The OCR engine, which the PDF library loads
# only when asked for OCR, and its English data are recommended.
mkdir -p "$tree/DEBIAN"
printf 'Source: %s\n\nPackage: %s\nArchitecture: any\n' "$package" "$package" >"$work/debian/control"
# The PDF library has no version in its name, which dpkg-shlibdeps remarks on: it is private
# to the package and looked up there.
depends=$(cd "$work" && dpkg-shlibdeps -O -l"$tree$prefix/lib" \
    "$tree$prefix"/bin/* "$tree$prefix"/lib/*.so 2> >(grep -v "can't extract name and version" >&2) |
    sed -n 's/^shlibs:Depends=//p')
[ -n "$depends" ] || { echo "make-deb: dpkg-shlibdeps found no dependencies" >&2; exit 1; }
installed_size=$(du -s -k --apparent-size "$tree" | cut -f1)
cat >"$tree/DEBIAN/control" <<EOF
Package: $package
Version: $deb_version
Architecture: $arch
Maintainer: Ombrix <support@ombrix.com>
Installed-Size: $installed_size
Depends: $depends
Recommends: xdg-utils, wx3.2-i18n, libtesseract5, tesseract-ocr-eng
Suggests: fonts-noto-cjk
Section: graphics
Priority: optional
Homepage: https://www.ombrix.com/image-to-pdf/
Description: convert images into PDF documents
 The Ombrix Image to PDF Converter turns JPEG, PNG, TIFF, BMP and GIF images
 into PDF documents: one PDF per image, or all images merged into one.
 .
 The desktop application collects images in a list, by dialog, by dragging
 them onto it or from a file manager's "Open with", sets the page size,
 margins, author, passwords and permissions, and shows each file's progress.
 The command-line converter, ombrix-convert, does the same for scripts and
 batch runs on machines without a display.
 .
 Conversion is lossless: JPEG data goes into the PDF byte for byte, and
 colour profiles, transparency and the EXIF orientation are kept.
 .
 With the Tesseract OCR engine and its language data installed, the PDFs
 can be made searchable: the recognised words lie as invisible text over
 the unchanged image.
EOF
(cd "$tree" && find . -path ./DEBIAN -prune -o -type f -printf '%P\0' | sort -z |
    xargs -0 md5sum) >"$tree/DEBIAN/md5sums"
chmod 0644 "$tree/DEBIAN/control" "$tree/DEBIAN/md5sums"

mkdir -p "$out"
deb=$out/${package}_${deb_version}_$arch.deb
# No file of the package is dated after the sources.
SOURCE_DATE_EPOCH=$epoch dpkg-deb --root-owner-group -Zxz --build "$tree" "$deb" >/dev/null
echo "$deb"
