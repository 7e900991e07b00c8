#pragma once

#include <cstddef>
#include <string>
#include <vector>

// What the marker segments of a JPEG file say about its image.
struct JpegInfo {
    int width = 0;
    int height = 0;
    int components = 0;
    int precision = 0;
    int frameMarker = 0; // the SOF marker: 0xC0 baseline, 0xC2 progressive, 0xC9 arithmetic...
    bool arithmetic = false;
    std::vector<int> componentIds;

    bool jfif = false;
    int jfifUnits = 0; // 0 aspect ratio only, 1 dots per inch, 2 dots per centimetre
    int jfifXDensity = 0;
    int jfifYDensity = 0;

    bool adobe = false;
    int adobeTransform = -1; // 0 none (RGB or CMYK), 1 YCbCr, 2 YCCK

    std::string icc;  // assembled from the APP2 ICC_PROFILE segments
    std::string exif; // the TIFF structure of the first APP1 Exif segment
};

// Walks the marker structure of a JPEG file without decoding it.
class JpegStructure {
public:
    // Reads the segments from SOI up to the first SOS. Returns false when `size` bytes end
    // before that (more data is needed); throws PdfError when the structure is broken or the
    // frame is one that PDF cannot hold.
    static bool ParseHeader(const unsigned char* data, size_t size, JpegInfo& info);

    // Walks every segment and entropy-coded scan up to the end-of-image marker and returns
    // the size of the JPEG stream including it. Throws PdfError when the data ends before it
    // (a truncated file) or a marker is out of place.
    static size_t FindEnd(const unsigned char* data, size_t size);
};
