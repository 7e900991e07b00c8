#pragma once

#include "pdf/source_data.h"

#include <cstddef>
#include <functional>
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
    std::vector<int> sampling; // per component: horizontal factor << 4 | vertical factor
    std::vector<int> quantTables;

    bool jfif = false;
    int jfifUnits = 0; // 0 aspect ratio only, 1 dots per inch, 2 dots per centimetre
    int jfifXDensity = 0;
    int jfifYDensity = 0;

    bool adobe = false;
    int adobeTransform = -1; // 0 none (RGB or CMYK), 1 YCbCr, 2 YCCK

    std::string icc;  // assembled from the APP2 ICC_PROFILE segments
    std::string exif; // the TIFF structure of the first APP1 Exif segment

    int firstScanComponents = 0; // of the first scan header (0: not read)

    // The frame header's fields are those of `other`.
    bool SameFrame(const JpegInfo& other) const;
    // libjpeg holds the DCT coefficients of the whole image while decoding (progressive
    // frames, and scans of some of the components only).
    bool BuffersWholeImage() const;
    // The bytes of those coefficients: whole MCUs of 64 values of two bytes.
    uint64_t CoefficientBytes() const;
    // Huffman coding takes at least a bit for each block of 64 coefficients (its DC value):
    // data takes at most this many bytes of coefficients for each of its bytes. Arithmetic
    // coding, which has no such floor, is held to the same.
    static constexpr uint64_t kCoefficientBytesPerByte = 1024;
};

// Walks the marker structure of a JPEG file without decoding it, reading it as a stream.
class JpegStructure {
public:
    using Sink = std::function<void(const unsigned char* data, size_t size)>;

    // Reads the segments from SOI up to the first SOS. Throws PdfError when the structure is
    // broken or the frame is one that PDF cannot hold.
    static void ParseHeader(SourceData::Stream& stream, JpegInfo& info);

    // Walks every segment and entropy-coded scan up to the end-of-image marker, handing the
    // bytes to `out` (when given), and returns the frame. `forPdf` leaves out the segments that
    // mean nothing in a PDF (comments, application segments other than JFIF and Adobe); the
    // rest, the entropy-coded data among it, goes out byte for byte. Throws PdfError when the
    // data ends before the marker (a truncated file), a marker is out of place, a table that
    // the frame or a scan refers to is not defined, or a scan is too short for the image it
    // codes.
    static JpegInfo Copy(SourceData::Stream& stream, const Sink* out, bool forPdf = false);

    // The same over bytes in memory (tests). ParseHeader returns false when the data ends
    // before the first scan; FindEnd returns the size of the stream up to its end marker.
    static bool ParseHeader(const unsigned char* data, size_t size, JpegInfo& info);
    static size_t FindEnd(const unsigned char* data, size_t size);
};
