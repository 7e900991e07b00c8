#pragma once

#include "pdf/image_source.h"

#include <functional>

// A PNG file. Where a PDF predictor expresses the PNG's own compressed data (no interlacing,
// no alpha channel) that data is copied as it is; otherwise the image is decoded with libpng
// and compressed anew, its alpha channel becoming a soft mask.
class PngSource : public ImageSource {
public:
    explicit PngSource(const SourceData& data);

    void WriteImage(int page, const Sink& out, std::string* softMask) override;

private:
    // Reads the chunks up to the image data into the layout.
    void ReadHeader(const std::string& head);
    void ReadImageHeader(const unsigned char* body, size_t length, ImageLayout& layout);
    // The colour space, depth and palette of the image header's colour type.
    void DescribeColour(ImageLayout& layout, std::string palette) const;
    void ReadTransparency(ImageLayout& layout, const std::string& transparency);
    // Decodes every row of the image, in order, at the file's own depth and layout.
    void DecodeRows(const unsigned char* data, size_t size,
                    const std::function<void(const unsigned char*)>& onRow) const;
    // Writes the IDAT data, checking the chunk structure and checksums on the way.
    void WriteImageData(const unsigned char* data, size_t size, const Sink& out) const;

    // Samples per pixel of the colour type.
    int Channels() const;

    int m_colourType = 0;
    int m_depth = 0;
    bool m_interlaced = false;
    bool m_passthrough = false;
    std::string m_paletteAlpha; // palette images with tRNS: one alpha per entry
};
