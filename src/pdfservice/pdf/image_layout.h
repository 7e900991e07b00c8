#pragma once

#include <string>
#include <vector>

// Everything the PDF needs to know about one image before its data is written: the image
// dictionary (size, colour space, depth, filter, masks) and how the image is placed (its
// resolution, orientation and position on a larger canvas).
struct ImageLayout {
    enum class ColourSpace { Gray, RGB, CMYK, Indexed, Lab };
    enum class Filter {
        Flate,    // our own Flate stream with PNG predictors (FlateRowEncoder)
        FlatePng, // a PNG's own zlib data, PNG predictors
        DCT,      // JPEG data as it is
        CCITT,    // CCITT fax data as it is
        JPX,      // a JPEG 2000 file as it is
    };

    int width = 0; // stored pixels, before orientation
    int height = 0;
    int bitsPerComponent = 8;
    ColourSpace colourSpace = ColourSpace::RGB;

    // Indexed images: the palette's base space (Gray, RGB or CMYK) and its entries, 8 bits
    // per component, as many entries as the index depth can address.
    ColourSpace paletteBase = ColourSpace::RGB;
    std::string palette;

    // Lab: the white point (CIE XYZ) and the range of a* and b*.
    std::vector<double> whitePoint;
    std::vector<double> labRange;

    // An ICC profile of the colour space (of the palette's base space for Indexed images).
    std::string icc;

    // The Decode array; empty for the default.
    std::vector<double> decode;

    Filter filter = Filter::Flate;
    int dctColorTransform = -1; // DCT: -1 leave to the reader, 0 or 1 force
    int ccittK = 0;             // CCITT parameters
    bool ccittBlackIs1 = false;
    bool ccittByteAlign = false;

    // Transparency: a soft mask written with the image data, or a colour-key mask.
    bool softMask = false;
    int softMaskBits = 8;
    std::vector<double> softMaskDecode; // the soft mask's Decode array; empty for the default
    std::vector<double> matte;          // premultiplied colour data: the matte colour
    std::vector<int> colourKey;         // /Mask ranges, two values per component

    // Physical size: dots per inch, 0 when the image stores none.
    double xDpi = 0;
    double yDpi = 0;
    // EXIF orientation, 1 (upright) to 8.
    int orientation = 1;

    // The canvas the image is part of (a GIF frame on its logical screen), in pixels.
    // Zero canvas size: the image is its own canvas.
    int canvasWidth = 0;
    int canvasHeight = 0;
    int offsetX = 0;
    int offsetY = 0;

    int Components() const {
        switch (colourSpace) {
        case ColourSpace::Gray:
        case ColourSpace::Indexed:
            return 1;
        case ColourSpace::RGB:
        case ColourSpace::Lab:
            return 3;
        case ColourSpace::CMYK:
            return 4;
        }
        return 0;
    }
    bool operator==(const ImageLayout&) const = default;

    int CanvasWidth() const { return canvasWidth > 0 ? canvasWidth : width; }
    int CanvasHeight() const { return canvasHeight > 0 ? canvasHeight : height; }
};
