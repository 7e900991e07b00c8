#!/usr/bin/env bash
# Builds the image-reader fuzzer with clang (libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer), replays the inputs that once broke a reader
# (tests/fuzz/regressions) and the seeds, then fuzzes for a bounded time. The seeds are small
# images of the public suites when they are beside the checkout, and a few made here.
#   scripts/fuzz.sh [SECONDS] [BUILD_DIR]      SECONDS: 600 by default; 0 replays only
# The test suite runs it for a minute; longer sessions are for people. An input that breaks a
# reader is left in BUILD_DIR as crash-*, leak-*, timeout-* or oom-*: with the fault mended,
# it goes into tests/fuzz/regressions under a name that says what it broke.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-600}
out=${2:-$root/build/fuzz}
mkdir -p "$out/work" "$out/seeds"

sources=(bmp_source exif_reader fax_encoder flate_row_check flate_row_encoder gif_source group4_check heif_source
         icc_profile image_encoder image_source interleaved_rows jp2_source jpeg_source jpeg_structure
         jpeg_transcoder jxl_source png_source source_data tiff_file tiff_source webp_source)
codecs=(libpng libtiff-4 libjpeg zlib libdeflate lcms2 libwebp libwebpdemux libopenjp2 libheif libjxl)
files=("$root/tests/fuzz/image_reader_fuzzer.cpp")
for s in "${sources[@]}"; do files+=("$root/src/pdfservice/pdf/$s.cpp"); done

binary=$out/image_reader_fuzzer
if [ ! -x "$binary" ] || [ -n "$(find "$root/src/pdfservice/pdf" "$root/tests/fuzz" -newer "$binary" -name '*.[ch]*' | head -n 1)" ]; then
    echo "Building the fuzzer"
    clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
        -DOMBRIX_FUZZING -I"$root/src/pdfservice" $(pkg-config --cflags "${codecs[@]}") \
        "${files[@]}" -o "$binary" $(pkg-config --libs "${codecs[@]}") -lgif
fi

# Seeds: the small images of the suites, or a few made here.
if [ -z "$(ls -A "$out/seeds")" ]; then
    corpus=${OMBRIX_CORPUS_DIR:-$root/../shared/corpus}
    if [ -d "$corpus" ]; then
        # (head ends the listing early: that is no failure)
        { find "$corpus" -type f -size -24k \( -iname '*.png' -o -iname '*.jp*g' -o -iname '*.tif*' \
            -o -iname '*.bmp' -o -iname '*.gif' \) -print0 | head -z -n 400 |
            xargs -0 -n 1 sh -c 'cp -- "$1" "$0/$(printf %s "$1" | md5sum | cut -c1-16)"' "$out/seeds"; } || true
    fi
    for spec in "png:-size 16x16 gradient:" "jpg:-size 16x16 plasma:" "tif:-size 16x16 xc:red" \
                "bmp:-size 16x16 xc:blue" "gif:-size 16x16 xc:green"; do
        ext=${spec%%:*}
        convert ${spec#*:} "$out/seeds/made.$ext" 2>/dev/null || true
    done
    # The newer formats, by their own encoders.
    convert -size 16x16 gradient:red-blue "$out/made.png" 2>/dev/null || true
    convert -size 16x16 gradient:red-blue -alpha set -channel A -fx 'i/w' "$out/alpha.png" 2>/dev/null || true
    for input in made alpha; do
        cwebp -quiet -lossless "$out/$input.png" -o "$out/seeds/$input-lossless.webp" || true
        cwebp -quiet "$out/$input.png" -o "$out/seeds/$input-lossy.webp" || true
        opj_compress -n 2 -i "$out/$input.png" -o "$out/seeds/$input.jp2" >/dev/null || true
        opj_compress -n 2 -i "$out/$input.png" -o "$out/seeds/$input.j2k" >/dev/null || true
        heif-enc -q 50 "$out/$input.png" -o "$out/seeds/$input.heic" >/dev/null || true
        avifenc -l "$out/$input.png" -o "$out/seeds/$input.avif" >/dev/null || true
        cjxl -d 0 "$out/$input.png" "$out/seeds/$input.jxl" 2>/dev/null || true
    done
    convert "$out/made.png" "$out/made.jpg" 2>/dev/null && cjxl "$out/made.jpg" "$out/seeds/jpeg.jxl" 2>/dev/null || true
fi

options=(-timeout=20 -rss_limit_mb=2560 -artifact_prefix="$out/")
# The leaks the codec libraries have themselves, as for the sanitized tests.
export LSAN_OPTIONS=suppressions=$root/tests/sanitizer/lsan.supp:print_suppressions=0

# Regression mode: every input once (files only: libFuzzer runs each and stops).
shopt -s nullglob
replay=("$root"/tests/fuzz/regressions/* "$out"/seeds/*)
echo "Replaying ${#replay[@]} inputs: the found faults and the seeds"
"$binary" "${options[@]}" "${replay[@]}" 2>&1 | { grep -v -e '^Running: ' -e '^Executed ' || true; } |
    tail -n 25

if [ "$seconds" -gt 0 ]; then
    echo "Fuzzing the image readers for $seconds s"
    "$binary" "${options[@]}" -max_total_time="$seconds" -max_len=65536 -print_final_stats=1 \
        "$out/work" "$out/seeds" "$root/tests/fuzz/regressions" 2>&1 | tail -n 25
fi
