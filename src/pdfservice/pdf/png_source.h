#pragma once

#include "pdf/image_source.h"

#include <cstdint>
#include <functional>

// A PNG file. Where a PDF predictor expresses the PNG's own compressed data (no interlacing,
// no alpha channel) that data is copied as it is, inflated on the way to prove that it holds
// the image; otherwise the image is decoded with libpng and compressed anew, its alpha
// channel becoming a soft mask. The file is read chunk by chunk.
class PngSource : public ImageSource {
public:
    explicit PngSource(const SourceData& data);

    void WriteImage(int page, const Sink& out, std::string* softMask) override;

    // What the image header says.
    struct Header {
        uint32_t width = 0;
        uint32_t height = 0;
        int depth = 0;
        int colourType = 0;
        bool interlaced = false;
        bool operator==(const Header&) const = default;
    };

private:
    // Reads the chunks up to the image data into the layout.
    void ReadHeader();
    // The colour space, depth and palette of the image header's colour type.
    void DescribeColour(ImageLayout& layout, std::string palette) const;
    void ReadTransparency(ImageLayout& layout, const std::string& transparency);
    // Decodes every row of the image, in order, at the file's own depth and layout.
    void DecodeRows(const std::function<void(const unsigned char*)>& onRow) const;
    // Writes the IDAT data, checking the chunk structure and checksums on the way.
    void WriteImageData(const Sink& out) const;
    // The bytes of the IDAT chunks in all.
    uint64_t ImageDataSize() const;
    // Samples per pixel of the colour type.
    int Channels() const;

    Header m_header;
    bool m_passthrough = false;
    std::string m_paletteAlpha; // palette images with tRNS: one alpha per entry
};
