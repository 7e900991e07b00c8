#pragma once

#include <cstddef>
#include <string>

// Rewrites an arithmetic-coded JPEG with Huffman coding, keeping its DCT coefficients (as
// `jpegtran` does): lossless, and readable by every PDF reader.
class JpegTranscoder {
public:
    // Throws PdfError when libjpeg cannot read the data.
    static std::string ToHuffman(const unsigned char* data, size_t size);
};
