#!/usr/bin/env bash
# Installs every Debian package the project needs to build, run and test.
# Idempotent: does nothing when everything is already installed.
set -euo pipefail

packages=(
    # build
    build-essential cmake pkg-config gettext zip clang libclang-rt-14-dev
    libwxgtk3.2-dev libgtk-3-dev libxml2-dev libexpat1-dev libcurl4-openssl-dev
    libqpdf-dev libjpeg62-turbo-dev libpng-dev libtiff-dev libgif-dev zlib1g-dev libdeflate-dev
    nlohmann-json3-dev libidn-dev liblcms2-dev libssl-dev
    # the newer image formats; libheif1 brings its AV1 and HEVC decoders (libdav1d6, libaom3,
    # libde265-0) itself
    libwebp-dev libopenjp2-7-dev libheif-dev libjxl-dev
    # OCR: Leptonica reads the images for Tesseract, which is loaded at run time; its English
    # data (the tests read words back)
    libleptonica-dev libtesseract-dev tesseract-ocr-eng
    # tests
    libgtest-dev libgmock-dev libx11-dev libxtst-dev xvfb xauth poppler-utils mupdf-tools qpdf
    libjpeg-turbo-progs libtiff-tools imagemagick fonts-dejavu-core openbox
    # each newer format's own encoder and decoder, which the tests compare with
    webp libopenjp2-tools libheif-examples libavif-bin libjxl-tools
    # the window read through the accessibility bus, as a screen reader reads it
    at-spi2-core dbus-daemon python3-pyatspi
    # the PDF/A validator that checks archival output (PDFBox Preflight) and what it runs on
    libpdfbox2-java libactivation-java libjaxb-api-java default-jre-headless
    # the cluster test: a one-node Slurm cluster and its authentication
    slurm-wlm munge
    # the release: the package, its checks and the clean-machine test
    dpkg-dev lintian desktop-file-utils appstream groff-base debootstrap x11-utils xdotool
    # the interface languages: a font for the Chinese and Japanese texts, the toolkit's own
    # texts translated
    fonts-noto-cjk wx3.2-i18n
    # benchmarks: the tools a user would otherwise pick
    img2pdf time
    # benchmarks of OCR: the engine's own command, the second step of the usual pipeline
    tesseract-ocr
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed'; then
        missing+=("$p")
    fi
done
((${#missing[@]})) || exit 0

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
