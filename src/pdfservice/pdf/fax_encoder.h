#pragma once

#include <cstdint>
#include <string>

// CCITT Group 4 coding of black and white images, by libtiff's encoder.
class FaxEncoder {
public:
    // `bits` holds `height` rows of (width + 7) / 8 bytes, 1 for black, most significant bit
    // first. Returns the Group 4 data (with its end-of-block code).
    static std::string EncodeGroup4(const unsigned char* bits, uint32_t width, uint32_t height);
};
