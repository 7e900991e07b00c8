#pragma once

#include "pdf/image_source.h"

#include <cstdint>
#include <functional>
#include <vector>

struct tiff;
class TiffFile;

// A TIFF file, read with libtiff: every image directory of the main chain is a page. Black and
// white images are written as Group 4 fax data; everything else is compressed with Flate,
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
        int colours = 1;                 // colour samples per pixel in the file
        int alphaSample = -1;            // index of the alpha sample, -1 for none
        int outBits = 1;                 // depth written to the PDF
        bool expandPalette = false;      // palette with more than 8 bits: written as 16-bit RGB
        std::vector<uint16_t> colourMap; // expandPalette: red, green, blue tables
        bool invertBits = false;         // fax coding of a min-is-black image
    };

private:
    void DescribeDirectory(struct tiff* tif, uint32_t directory);
    void WriteSamples(const TiffFile& file, const Page& page, const ImageLayout& layout,
                      const Sink& out, std::string* softMask);
    void WriteRgba(struct tiff* tif, const ImageLayout& layout, const Sink& out,
                   std::string* softMask);
    void WriteCcitt(const TiffFile& file, const Page& page, const ImageLayout& layout,
                    const Sink& out);
    // Reads the image row by row (a row of each plane), in strips or rows of tiles.
    void ReadBands(const TiffFile& file, const Page& page, const ImageLayout& layout,
                   const std::function<void(uint32_t, const unsigned char* const*)>& onRow);

    std::vector<Page> m_plans;
};
