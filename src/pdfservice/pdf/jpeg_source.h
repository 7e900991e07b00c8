#pragma once

#include "pdf/image_source.h"
#include "pdf/jpeg_structure.h"

// A JPEG file: embedded as it is (DCT passthrough), less the segments that mean nothing in a
// PDF, its marker structure walked on the way; arithmetic coding is rewritten as Huffman
// coding without touching the image.
class JpegSource : public ImageSource {
public:
    explicit JpegSource(const SourceData& data);

    void WriteImage(int page, const Sink& out, std::string* softMask) override;

private:
    JpegInfo m_frame; // the frame header the page was laid out from
};
