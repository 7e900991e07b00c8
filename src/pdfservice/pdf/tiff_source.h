#pragma once

#include "pdf/image_source.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

struct tiff;
class TiffFile;

// A TIFF file, read with libtiff: every image directory of the main chain is a page. Black and
// white images are written as Group 4 fax data (the file's own, when strictly valid); everything
// else is compressed with Flate, samples at the file's own depth where PDF has it (a Decode array
// keeps odd depths exact), palettes kept, alpha as a soft mask (premultiplied alpha with its matte
// colour).
class TiffSource : public ImageSource {
public:
    explicit TiffSource(const SourceData& data);
    ~TiffSource() override;

    void WriteImage(int page, const Sink& out, std::string* softMask) override;

    // How a page's pixels are read.
    struct Page {
        enum class Method { Samples, Rgba, Ccitt };
        uint64_t offset = 0; // of the image directory
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
        bool group4Strip = false;        // Group 4 data in one strip, copied when valid
        bool associatedAlpha = false;    // colour premultiplied by alpha
        bool labSigned = false;          // CIE L*a*b* with signed a* and b*
        bool operator==(const Page&) const = default;
    };

private:
    // The fields of a directory that decide how its image is read.
    struct Fields {
        uint16_t bits = 1;
        uint16_t samples = 1;
        uint16_t format = 1;
        uint16_t compression = 1;
        uint16_t planar = 1;
        uint16_t photometric = 0;
        uint16_t extraCount = 0;
        uint16_t* extraTypes = nullptr;
    };

    std::pair<Page, ImageLayout> Describe(struct tiff* tif);
    // Reads the size and the sample fields, refusing samples PDF cannot hold.
    static Fields ReadFields(struct tiff* tif, ImageLayout& layout);
    // The colour space and the alpha sample; true when libtiff's RGBA rendering is needed.
    static bool ChooseColourModel(struct tiff* tif, const Fields& fields, Page& page,
                                  ImageLayout& layout);
    static bool IsAlpha(uint16_t extraType);
    static void PlanRgba(struct tiff* tif, const Fields& fields, Page& page, ImageLayout& layout);
    static void PlanSamples(struct tiff* tif, const Fields& fields, Page& page,
                            ImageLayout& layout);
    static void ReadPalette(struct tiff* tif, Page& page, ImageLayout& layout);
    static void DescribeLab(struct tiff* tif, Page& page, ImageLayout& layout);
    static void ReadResolution(struct tiff* tif, ImageLayout& layout);
    static void ReadProfile(struct tiff* tif, const Page& page, ImageLayout& layout);
    // Throws PdfError when a strip or tile is missing, lies beyond the end of the file, or
    // is data that libjpeg would need more memory for than it can hold.
    void CheckChunk(struct tiff* tif, uint32_t chunk) const;
    void WriteSamples(const Page& page, const ImageLayout& layout, const Sink& out,
                      std::string* softMask);
    void WriteRgba(const Page& page, const ImageLayout& layout, const Sink& out,
                   std::string* softMask);
    void WriteCcitt(const Page& page, const ImageLayout& layout, const Sink& out);
    using RowHandler = std::function<void(uint32_t, const unsigned char* const*)>;
    // Reads `rows` rows of the image (a row of each plane, as libtiff decodes it) in strips,
    // rows or rows of tiles, and hands each to `onRow`.
    void ReadBands(const Page& page, const ImageLayout& layout, uint32_t rows,
                   const RowHandler& onRow);
    void ReadScanlines(const Page& page, const ImageLayout& layout, uint32_t rows,
                       const RowHandler& onRow);

    std::unique_ptr<TiffFile> m_file;
    std::vector<Page> m_plans;
};
