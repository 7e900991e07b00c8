#pragma once

#include "pdf/image_layout.h"

#include <cstdint>
#include <string>

// The lossy steps that make an image fit an archive format that cannot hold it as it is (no
// transparency, samples of at most 8 bits), each taken only when the user asks for it.
class ArchiveImage {
public:
    struct Steps {
        bool flatten = false;     // compose an image with a soft mask over the background
        uint32_t background = 0;  // 0xRRGGBB
        bool reduceDepth = false; // write 16-bit samples as 8-bit ones
    };

    // True when `layout` needs one of `steps` (whether or not it is asked for): it has a soft
    // mask, or 16-bit samples.
    static bool HasAlpha(const ImageLayout& layout) { return layout.softMask; }
    static bool HasDeepSamples(const ImageLayout& layout) {
        return layout.bitsPerComponent > 8 || (layout.softMask && layout.softMaskBits > 8);
    }

    // Takes the steps that `layout` needs and `steps` asks for: `image` and `mask` (the Flate
    // data of the image and of its soft mask, PNG predictors) are written anew and `layout`
    // describes them. An indexed image composed over a colour becomes one of its palette's
    // space, and a grey one composed over a colour an RGB one (unless `hasProfile`: its grey
    // is then that of its profile, and the colour's grey is taken). Only images of Flate data
    // come here (JPEG and fax data have neither alpha nor 16-bit samples). Throws PdfError
    // when the data does not decode.
    static void Apply(ImageLayout& layout, std::string& image, std::string& mask,
                      const Steps& steps, bool hasProfile);

    // "#RRGGBB" of a background colour, for notes.
    static std::string ColourText(uint32_t background);
};
