#pragma once

#include "pdf/jpeg_structure.h"
#include "pdf/source_data.h"

#include <string>

// Rewrites an arithmetic-coded JPEG with Huffman coding, keeping its DCT coefficients (as
// `jpegtran` does): lossless, and readable by every PDF reader.
class JpegTranscoder {
public:
    // `data` holds the JPEG stream whose frame is `frame`. Throws PdfError when libjpeg
    // cannot read it, or its coefficients would take more memory than an image may.
    static std::string ToHuffman(const SourceData& data, const JpegInfo& frame);
};
