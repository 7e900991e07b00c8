#include "pdf/interleaved_rows.h"

#include "pdf/image_encoder.h"

#include <cstring>

void InterleavedRows::Write(const ImageSource::Sink& out, std::string* softMask,
                            const unsigned char* pixels, const Format& format) {
    const bool alpha = format.alpha && softMask != nullptr;
    ImageEncoder encoder(out, softMask, format.width, format.height, format.colours, format.bits,
                         alpha ? format.bits : 0, format.fast);
    const size_t sample = static_cast<size_t>(format.bits / 8);
    const size_t colourBytes = sample * static_cast<size_t>(format.colours);
    const size_t pixelBytes = colourBytes + (format.alpha ? sample : 0);
    const size_t width = static_cast<size_t>(format.width);
    for (int y = 0; y < format.height; ++y) {
        const unsigned char* row = pixels + static_cast<size_t>(y) * format.stride;
        if (!format.alpha) {
            encoder.WriteRow(row);
            continue;
        }
        unsigned char* colour = encoder.ColourRow();
        unsigned char* mask = encoder.AlphaRow();
        for (size_t x = 0; x < width; ++x) {
            const unsigned char* pixel = row + x * pixelBytes;
            std::memcpy(colour + x * colourBytes, pixel, colourBytes);
            if (mask != nullptr) {
                std::memcpy(mask + x * sample, pixel + colourBytes, sample);
            }
        }
        encoder.WriteRow();
    }
    encoder.Finish();
}
