#!/usr/bin/env bash
# The PDF service library exports its C interface and nothing of its own beyond it: symbols
# that headers of the libraries it uses force out (qpdf's exception type, the standard
# library's) are allowed.
set -euo pipefail
library=$1
symbols=$(nm -D --defined-only -C "$library" | awk '{ $1 = ""; $2 = ""; sub(/^ +/, ""); print }')
for name in CreatePdf3Service FreePdf3Service PdfCheckPassword PdfIsComplete PdfExtractOriginals \
    PdfRecordsWork PdfOcrCheckLanguages PdfOcrListLanguages; do
    grep -qx "$name" <<<"$symbols" || { echo "missing export: $name"; exit 1; }
done
extra=$(grep -vx -e CreatePdf3Service -e FreePdf3Service -e PdfCheckPassword -e PdfIsComplete \
            -e PdfExtractOriginals -e PdfRecordsWork -e PdfOcrCheckLanguages -e PdfOcrListLanguages \
            <<<"$symbols" |
        grep -v -e '^typeinfo .*QPDFExc$' -e '^typeinfo name .*QPDFExc$' -e 'std::' || true)
if [ -n "$extra" ]; then
    echo "unexpected exports:"
    echo "$extra"
    exit 1
fi
