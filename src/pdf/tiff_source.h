#pragma once

#include "pdf/image_source.h"

#include <cstdint>
#include <vector>

struct tiff;

// A TIFF file, read with libtiff: every image directory of the main chain is a page. Single-
// strip Group 4 fax data is copied as it is; everything else is decoded and compressed anew,
// samples at the file's own depth where PDF has it (a Decode array keeps odd depths exact),
// palettes kept, alpha as a soft mask (premultiplied alpha with its matte colour).
class TiffSource : public ImageSource {
public:
    explicit TiffSource(const SourceData& data);
    ~TiffSource() override;

    void WriteImage(int page, const Sink& out, std::string* softMask) override;

    // How a page's pixels are read.
    struct Page {
        enum class Method { Samples, Rgba, Ccitt };
        uint32_t directory = 0;
        Method method = Method::Samples;
        int samplesPerPixel = 1;
        int bitsPerSample = 1;
        bool signedSamples = false;
        bool planar = false;
        bool jpegToRgb = false;
        int colours = 1;         // colour samples per pixel in the file
        int alphaSample = -1;    // index of the alpha sample, -1 for none
        int outBits = 1;         // depth written to the PDF
        bool expandPalette = false; // palette with more than 8 bits: written as 16-bit RGB
        std::vector<uint16_t> colourMap; // expandPalette: red, green, blue tables
    };

private:
    void DescribeDirectory(struct tiff* tif, uint32_t directory);
    void WriteSamples(struct tiff* tif, const Page& page, const ImageLayout& layout, const Sink& out,
                      std::string* softMask);
    void WriteRgba(struct tiff* tif, const ImageLayout& layout, const Sink& out, std::string* softMask);
    void WriteCcitt(struct tiff* tif, const Sink& out);

    std::vector<Page> m_plans;
};
