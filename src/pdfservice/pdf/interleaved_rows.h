#pragma once

#include "pdf/image_source.h"

#include <cstddef>
#include <string>

// Writes a decoded image held in memory, with its samples interleaved (colour components,
// then alpha when it has one; 16-bit samples big-endian), as the Flate data of its colours
// and, when `softMask` is given, of its alpha channel.
class InterleavedRows {
public:
    struct Format {
        int width = 0;
        int height = 0;
        int colours = 0; // 1 grey, 3 RGB
        bool alpha = false;
        int bits = 8;      // 8 or 16
        size_t stride = 0; // bytes from one row to the next
        bool fast = false; // decoded from a lossy coding: the quicker compression
    };

    static void Write(const ImageSource::Sink& out, std::string* softMask,
                      const unsigned char* pixels, const Format& format);
};
