// libFuzzer target over the image readers: any bytes are opened as an image source and every
// page's data is produced. A reader may refuse the input with a PdfError; nothing else may
// happen (no crash, no leak, no undefined behaviour, no hang), and what it produces must be
// what the page declares: Flate data inflates to exactly the rows of the image (and of its
// soft mask), each led by a PNG filter type.
#include "pdf/flate_row_encoder.h"
#include "pdf/image_source.h"
#include "pdf/pdf_error.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <zlib.h>

namespace {
// True when `data` is one zlib stream of `rows` rows of `rowBytes` bytes after a filter byte.
bool InflatesToRows(const std::string& data, uint64_t rows, uint64_t rowBytes) {
    z_stream zlib{};
    if (inflateInit(&zlib) != Z_OK) {
        return false;
    }
    zlib.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    zlib.avail_in = static_cast<uInt>(data.size());
    unsigned char buffer[16384];
    uint64_t total = 0;
    bool filtersValid = true;
    int status = Z_OK;
    while (status == Z_OK) {
        zlib.next_out = buffer;
        zlib.avail_out = sizeof buffer;
        status = inflate(&zlib, Z_NO_FLUSH);
        const size_t n = sizeof buffer - zlib.avail_out;
        for (size_t i = 0; i < n; ++i, ++total) {
            if (total % (rowBytes + 1) == 0 && buffer[i] > 4) {
                filtersValid = false;
            }
        }
    }
    inflateEnd(&zlib);
    return status == Z_STREAM_END && filtersValid && total == rows * (rowBytes + 1);
}

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "oracle: %s\n", what);
        std::abort();
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        auto source = ImageSource::Open(
            SourceData::FromMemory(std::string(reinterpret_cast<const char*>(data), size), "fuzz"));
        for (int page = 0; page < source->PageCount() && page < 4; ++page) {
            const ImageLayout& layout = source->Layout(page);
            std::string image;
            std::string mask;
            source->WriteImage(
                page,
                [&image](const unsigned char* bytes, size_t n) {
                    image.append(reinterpret_cast<const char*>(bytes), n);
                },
                layout.softMask ? &mask : nullptr);
            if (layout.filter == ImageLayout::Filter::Flate ||
                layout.filter == ImageLayout::Filter::FlatePng) {
                Check(InflatesToRows(image, layout.height,
                                     FlateRowEncoder::RowBytesOf(layout.width, layout.Components(),
                                                                 layout.bitsPerComponent)),
                      "the image data does not inflate to the declared rows");
            }
            if (layout.softMask) {
                Check(InflatesToRows(
                          mask, layout.height,
                          FlateRowEncoder::RowBytesOf(layout.width, 1, layout.softMaskBits)),
                      "the soft mask does not inflate to the declared rows");
            }
        }
    } catch (const PdfError&) {
    }
    return 0;
}
