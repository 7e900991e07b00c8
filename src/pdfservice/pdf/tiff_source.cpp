#include "pdf/tiff_source.h"

#include "pdf/fax_encoder.h"
#include "pdf/flate_row_encoder.h"
#include "pdf/group4_check.h"
#include "pdf/icc_profile.h"
#include "pdf/image_encoder.h"
#include "pdf/jpeg_structure.h"
#include "pdf/pdf_error.h"
#include "pdf/tiff_file.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <tiffio.h>

namespace {
constexpr uint32_t kMaxPages = 100000;
// Strips decoded at once up to this size; larger ones are read row by row.
constexpr uint64_t kMaxStrip = 16 * 1024 * 1024;
// Tiles, and the rows of tiles read at once, up to these sizes.
constexpr uint64_t kMaxTile = 64 * 1024 * 1024;
constexpr uint64_t kMaxBand = 256 * 1024 * 1024;
// CIE L*a*b*: D50 when the file gives no white point.
const std::vector<double> kD50 = {0.9642, 1.0, 0.8249};

[[noreturn]] void Unsupported(const std::string& what) {
    throw PdfError(PDF_ERROR_UNSUPPORTED_IMAGE, "TIFF with " + what);
}

// The depth a sample of `bits` bits is written at.
int OutputBits(int bits) {
    switch (bits) {
    case 1:
    case 2:
    case 4:
    case 8:
    case 16:
        return bits;
    default:
        return bits < 8 ? 8 : 16;
    }
}

// Samples wider than 16 bits are reduced to their top 16 bits first.
int EffectiveBits(int bits) {
    return bits > 16 ? 16 : bits;
}

uint32_t ReadSample(const unsigned char* row, size_t index, int bits) {
    switch (bits) {
    case 8:
        return row[index];
    case 16: {
        uint16_t v;
        std::memcpy(&v, row + 2 * index, 2);
        return v;
    }
    case 24: {
        const unsigned char* p = row + 3 * index;
        return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
    }
    case 32: {
        uint32_t v;
        std::memcpy(&v, row + 4 * index, 4);
        return v;
    }
    case 64: {
        uint64_t v;
        std::memcpy(&v, row + 8 * index, 8);
        return static_cast<uint32_t>(v >> 32);
    }
    default: {
        // Packed, most significant bit first.
        const size_t bit = index * bits;
        uint32_t value = 0;
        for (int i = 0; i < bits; ++i) {
            const size_t b = bit + i;
            value = value << 1 | ((row[b / 8] >> (7 - b % 8)) & 1);
        }
        return value;
    }
    }
}

// A sample as an unsigned value of EffectiveBits(bits) bits.
uint32_t NormalSample(const unsigned char* row, size_t index, int bits, bool isSigned) {
    uint32_t value = ReadSample(row, index, bits);
    const int stored = bits == 64 ? 32 : bits;
    if (isSigned) {
        value ^= uint32_t(1) << (stored - 1); // two's complement to offset binary
    }
    if (stored > 16) {
        value >>= stored - 16;
    }
    return value;
}

void PackSample(unsigned char* row, size_t index, uint32_t value, int bits) {
    switch (bits) {
    case 8:
        row[index] = static_cast<unsigned char>(value);
        break;
    case 16:
        row[2 * index] = static_cast<unsigned char>(value >> 8);
        row[2 * index + 1] = static_cast<unsigned char>(value);
        break;
    default: {
        const size_t bit = index * bits;
        const unsigned shift = 8 - bits - bit % 8;
        const unsigned mask = ((1u << bits) - 1) << shift;
        row[bit / 8] =
            static_cast<unsigned char>((row[bit / 8] & ~mask) | ((value << shift) & mask));
        break;
    }
    }
}

template <typename T> T Field(TIFF* tif, uint32_t tag, T fallback) {
    T value{};
    return TIFFGetField(tif, tag, &value) == 1 ? value : fallback;
}

template <typename T> T FieldDefaulted(TIFF* tif, uint32_t tag) {
    T value{};
    TIFFGetFieldDefaulted(tif, tag, &value);
    return value;
}
} // namespace

TiffSource::TiffSource(const SourceData& data)
    : ImageSource(data), m_file(std::make_unique<TiffFile>(m_data)) {
    // One handle for the whole file: the directories are walked once, and each page's is
    // found again by its offset.
    TIFF* tif = m_file->Get();
    std::vector<bool> reduced;
    for (uint32_t directory = 0; directory < kMaxPages; ++directory) {
        if (directory > 0) {
            m_file->ClearError();
            if (!m_file->ReadDirectory()) {
                break; // the end of the chain, or a chain that loops or breaks: keep what came
                       // before
            }
        }
        auto [page, layout] = Describe(tif);
        page.offset = TIFFCurrentDirOffset(tif);
        m_plans.push_back(std::move(page));
        m_pages.push_back(std::move(layout));
        reduced.push_back((Field<uint32_t>(tif, TIFFTAG_SUBFILETYPE, 0) & FILETYPE_REDUCEDIMAGE) !=
                          0);
    }
    // Reduced-resolution copies (thumbnails) are no pages of their own.
    bool anyFull = false;
    for (bool r : reduced) {
        anyFull = anyFull || !r;
    }
    if (anyFull) {
        for (size_t i = reduced.size(); i-- > 0;) {
            if (reduced[i]) {
                m_pages.erase(m_pages.begin() + static_cast<long>(i));
                m_plans.erase(m_plans.begin() + static_cast<long>(i));
            }
        }
    }
    if (m_pages.empty()) {
        m_file->Fail("no image");
    }
}

TiffSource::~TiffSource() = default;

void TiffSource::CheckChunk(TIFF* tif, uint32_t chunk) const {
    // A strip or tile whose data lies beyond the end of the file means a truncated file.
    const uint32_t chunks = TIFFIsTiled(tif) ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
    if (chunk >= chunks) {
        throw PdfError(PDF_ERROR_CORRUPT, "broken TIFF: missing image data");
    }
    const uint64_t offset = TIFFGetStrileOffset(tif, chunk);
    const uint64_t count = TIFFGetStrileByteCount(tif, chunk);
    const uint64_t size = m_file->SourceSize();
    if (count > 0 && (offset > size || count > size - offset)) {
        throw PdfError(PDF_ERROR_CORRUPT, "truncated TIFF (image data beyond the end of the file)");
    }
    if (FieldDefaulted<uint16_t>(tif, TIFFTAG_COMPRESSION) == COMPRESSION_JPEG) {
        // libjpeg holds the coefficients of a progressive strip whole before it decodes any
        // of it: as many as the strip's data can code.
        JpegInfo info;
        const SourceData strip = m_data.Slice(offset, count); // the stream reads it in place
        SourceData::Stream stream(strip);
        try {
            JpegStructure::ParseHeader(stream, info);
        } catch (const PdfError&) {
            return; // libjpeg says what is wrong with it
        }
        if (info.BuffersWholeImage()) {
            CheckBuffer(info.CoefficientBytes());
            CheckDataSize(info.CoefficientBytes(), count, JpegInfo::kCoefficientBytesPerByte);
        }
    }
}

std::pair<TiffSource::Page, ImageLayout> TiffSource::Describe(TIFF* tif) {
    Page page;
    ImageLayout layout;
    const Fields fields = ReadFields(tif, layout);
    page.samplesPerPixel = fields.samples;
    page.bitsPerSample = fields.bits;
    page.signedSamples = fields.format == SAMPLEFORMAT_INT;
    page.planar = fields.planar == PLANARCONFIG_SEPARATE && fields.samples > 1;
    const bool rgba = ChooseColourModel(tif, fields, page, layout);
    const uint16_t orientation = FieldDefaulted<uint16_t>(tif, TIFFTAG_ORIENTATION);
    layout.orientation = orientation >= 1 && orientation <= 8 ? orientation : 1;

    if (rgba) {
        PlanRgba(tif, fields, page, layout);
    } else if (fields.bits == 1 && fields.samples == 1 && !page.signedSamples &&
               layout.colourSpace == ImageLayout::ColourSpace::Gray &&
               (fields.photometric == PHOTOMETRIC_MINISWHITE ||
                fields.photometric == PHOTOMETRIC_MINISBLACK)) {
        // Black and white: Group 4 fax data, far smaller than Flate for scans. A file's own
        // Group 4 data is copied when it is strictly valid; anything else is coded afresh by
        // libtiff, as readers refuse some fax data that libtiff tolerates. The bits keep the
        // file's sense: a min-is-black image shows its 1 bits white.
        page.method = Page::Method::Ccitt;
        page.outBits = 1;
        page.colours = 1;
        layout.colourSpace = ImageLayout::ColourSpace::Gray;
        layout.bitsPerComponent = 1;
        layout.filter = ImageLayout::Filter::CCITT;
        layout.ccittK = -1;
        layout.ccittBlackIs1 = fields.photometric == PHOTOMETRIC_MINISBLACK;
        const uint32_t options = Field<uint32_t>(tif, TIFFTAG_GROUP4OPTIONS, 0);
        page.group4Strip = fields.compression == COMPRESSION_CCITTFAX4 &&
                           TIFFNumberOfStrips(tif) == 1 && (options & GROUP4OPT_UNCOMPRESSED) == 0;
    } else {
        PlanSamples(tif, fields, page, layout);
    }
    ReadResolution(tif, layout);
    ReadProfile(tif, page, layout);
    return {std::move(page), std::move(layout)};
}

TiffSource::Fields TiffSource::ReadFields(TIFF* tif, ImageLayout& layout) {
    const uint32_t width = Field<uint32_t>(tif, TIFFTAG_IMAGEWIDTH, 0);
    const uint32_t height = Field<uint32_t>(tif, TIFFTAG_IMAGELENGTH, 0);
    CheckSize(width, height);
    layout.width = static_cast<int>(width);
    layout.height = static_cast<int>(height);

    Fields fields;
    fields.bits = FieldDefaulted<uint16_t>(tif, TIFFTAG_BITSPERSAMPLE);
    fields.samples = FieldDefaulted<uint16_t>(tif, TIFFTAG_SAMPLESPERPIXEL);
    fields.format = FieldDefaulted<uint16_t>(tif, TIFFTAG_SAMPLEFORMAT);
    fields.compression = FieldDefaulted<uint16_t>(tif, TIFFTAG_COMPRESSION);
    fields.planar = FieldDefaulted<uint16_t>(tif, TIFFTAG_PLANARCONFIG);
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &fields.photometric)) {
        fields.photometric = fields.samples >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
    }
    TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &fields.extraCount, &fields.extraTypes);
    if (fields.extraTypes == nullptr) {
        fields.extraCount = 0;
    }

    const uint16_t bits = fields.bits;
    if (fields.format == SAMPLEFORMAT_IEEEFP || fields.format == SAMPLEFORMAT_COMPLEXIEEEFP) {
        throw PdfError(PDF_ERROR_UNSUPPORTED_IMAGE,
                       "TIFF with floating-point samples, which PDF cannot hold losslessly");
    }
    if (fields.compression == COMPRESSION_SGILOG || fields.compression == COMPRESSION_SGILOG24 ||
        fields.photometric == PHOTOMETRIC_LOGL || fields.photometric == PHOTOMETRIC_LOGLUV) {
        throw PdfError(
            PDF_ERROR_UNSUPPORTED_IMAGE,
            "TIFF with LogLuv (floating-point) samples, which PDF cannot hold losslessly");
    }
    if (fields.format == SAMPLEFORMAT_COMPLEXINT) {
        Unsupported("complex samples");
    }
    if (fields.samples == 0 || bits == 0 ||
        !(bits <= 16 || bits == 24 || bits == 32 || bits == 64)) {
        Unsupported(std::to_string(bits) + "-bit samples");
    }
    return fields;
}

bool TiffSource::ChooseColourModel(TIFF* tif, const Fields& fields, Page& page,
                                   ImageLayout& layout) {
    bool rgba = fields.compression == COMPRESSION_OJPEG;
    switch (fields.photometric) {
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_MINISBLACK:
        page.colours = 1;
        layout.colourSpace = ImageLayout::ColourSpace::Gray;
        break;
    case PHOTOMETRIC_RGB:
        page.colours = 3;
        layout.colourSpace = ImageLayout::ColourSpace::RGB;
        break;
    case PHOTOMETRIC_PALETTE:
        page.colours = 1;
        layout.colourSpace = ImageLayout::ColourSpace::Indexed;
        break;
    case PHOTOMETRIC_SEPARATED:
        if (FieldDefaulted<uint16_t>(tif, TIFFTAG_INKSET) != INKSET_CMYK || fields.samples < 4) {
            Unsupported("inks other than CMYK");
        }
        page.colours = 4;
        layout.colourSpace = ImageLayout::ColourSpace::CMYK;
        break;
    case PHOTOMETRIC_CIELAB:
    case PHOTOMETRIC_ICCLAB:
        // PDF's Lab space holds L*a*b* samples of 8 and 16 bits as they are.
        if ((fields.bits == 8 || fields.bits == 16) && fields.format == SAMPLEFORMAT_UINT) {
            page.colours = 3;
            page.labSigned = fields.photometric == PHOTOMETRIC_CIELAB;
            layout.colourSpace = ImageLayout::ColourSpace::Lab;
        } else {
            rgba = true;
        }
        break;
    case PHOTOMETRIC_YCBCR:
        if (fields.compression == COMPRESSION_JPEG && fields.bits == 8) {
            page.jpegToRgb = true;
            page.colours = 3;
            layout.colourSpace = ImageLayout::ColourSpace::RGB;
        } else {
            rgba = true;
        }
        break;
    default:
        rgba = true;
        break;
    }
    if (!rgba && fields.samples < page.colours) {
        Unsupported("too few samples for its colour model");
    }
    // Extra samples: the first alpha is kept as a soft mask.
    for (int i = page.colours; i < fields.samples && !rgba; ++i) {
        const int extra = i - page.colours;
        if (extra < fields.extraCount && IsAlpha(fields.extraTypes[extra])) {
            page.alphaSample = i;
            page.associatedAlpha = fields.extraTypes[extra] == EXTRASAMPLE_ASSOCALPHA;
            break;
        }
    }
    return rgba;
}

bool TiffSource::IsAlpha(uint16_t extraType) {
    return extraType == EXTRASAMPLE_ASSOCALPHA || extraType == EXTRASAMPLE_UNASSALPHA;
}

void TiffSource::PlanRgba(TIFF* tif, const Fields& fields, Page& page, ImageLayout& layout) {
    // Colour models PDF has no space for: libtiff's RGBA rendering.
    char message[1024] = "";
    if (!TIFFRGBAImageOK(tif, message)) {
        Unsupported(message[0] ? std::string(message) : std::string("an unknown colour model"));
    }
    page.method = Page::Method::Rgba;
    page.outBits = 8;
    layout.colourSpace = ImageLayout::ColourSpace::RGB;
    layout.bitsPerComponent = 8;
    if (fields.extraCount > 0 && IsAlpha(fields.extraTypes[0])) {
        // libtiff hands out premultiplied colour.
        layout.softMask = true;
        layout.softMaskBits = 8;
        layout.matte = {0, 0, 0};
    }
}

void TiffSource::PlanSamples(TIFF* tif, const Fields& fields, Page& page, ImageLayout& layout) {
    page.method = Page::Method::Samples;
    const int bits = fields.bits;
    const int effective = EffectiveBits(bits);
    page.outBits = OutputBits(effective);
    layout.bitsPerComponent = page.outBits;
    if (fields.photometric == PHOTOMETRIC_PALETTE) {
        ReadPalette(tif, page, layout);
        return;
    }
    if (layout.colourSpace == ImageLayout::ColourSpace::Lab) {
        DescribeLab(tif, page, layout);
        return;
    }
    // Odd depths are stored in the next PDF depth; the Decode array maps them exactly.
    const double scale = effective == page.outBits
                             ? 1.0
                             : double((1u << page.outBits) - 1) / double((1u << effective) - 1);
    const bool inverted = fields.photometric == PHOTOMETRIC_MINISWHITE;
    if (scale != 1.0 || inverted) {
        for (int c = 0; c < page.colours; ++c) {
            if (inverted) {
                layout.decode.push_back(1.0);
                layout.decode.push_back(1.0 - scale);
            } else {
                layout.decode.push_back(0.0);
                layout.decode.push_back(scale);
            }
        }
    }
    if (page.alphaSample >= 0) {
        layout.softMask = true;
        layout.softMaskBits = page.outBits;
        if (scale != 1.0) {
            layout.softMaskDecode = {0.0, scale};
        }
        if (page.associatedAlpha) {
            layout.matte.assign(page.colours, inverted ? 1.0 : 0.0);
        }
    }
}

void TiffSource::DescribeLab(TIFF* tif, Page& page, ImageLayout& layout) {
    // L* from 0 to 100; a* and b* signed (CIELab, read in order as offset binary) or offset by
    // half the range (ICCLab), -128 to 127 at 8 bits, to 127 and 255/256 at 16.
    const double top = page.outBits == 8 ? 127.0 : 32767.0 / 256.0;
    layout.decode = {0.0, 100.0, -128.0, top, -128.0, top};
    layout.labRange = {-128.0, top, -128.0, top};
    layout.whitePoint = kD50;
    float* chromaticity = nullptr;
    if (TIFFGetField(tif, TIFFTAG_WHITEPOINT, &chromaticity) && chromaticity != nullptr &&
        chromaticity[1] > 0 && chromaticity[0] > 0 && chromaticity[0] + chromaticity[1] < 1) {
        const double x = chromaticity[0];
        const double y = chromaticity[1];
        layout.whitePoint = {x / y, 1.0, (1 - x - y) / y};
    }
    if (page.alphaSample >= 0) {
        layout.softMask = true;
        layout.softMaskBits = page.outBits;
    }
}

void TiffSource::ReadPalette(TIFF* tif, Page& page, ImageLayout& layout) {
    const int bits = page.bitsPerSample;
    if (page.signedSamples) {
        Unsupported("signed palette indices");
    }
    uint16_t* red = nullptr;
    uint16_t* green = nullptr;
    uint16_t* blue = nullptr;
    if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &red, &green, &blue) || bits > 16) {
        throw PdfError(PDF_ERROR_CORRUPT, "broken TIFF: palette image without a palette");
    }
    const size_t entries = size_t(1) << bits;
    if (bits > 8) {
        // PDF palettes have at most 256 entries: write the colours themselves.
        page.expandPalette = true;
        page.outBits = 16;
        layout.colourSpace = ImageLayout::ColourSpace::RGB;
        layout.bitsPerComponent = 16;
        page.colourMap.assign(red, red + entries);
        page.colourMap.insert(page.colourMap.end(), green, green + entries);
        page.colourMap.insert(page.colourMap.end(), blue, blue + entries);
        return;
    }
    // Colour maps are 16-bit; some writers put 8-bit values in them.
    bool eightBit = true;
    for (size_t i = 0; i < entries; ++i) {
        eightBit = eightBit && red[i] < 256 && green[i] < 256 && blue[i] < 256;
    }
    layout.paletteBase = ImageLayout::ColourSpace::RGB;
    for (size_t i = 0; i < entries; ++i) {
        for (const uint16_t* table : {red, green, blue}) {
            layout.palette.push_back(static_cast<char>(eightBit ? table[i] : table[i] >> 8));
        }
    }
}

void TiffSource::ReadResolution(TIFF* tif, ImageLayout& layout) {
    // Resolution: unit 2 inch, 3 centimetre, 1 none.
    float xResolution = 0;
    float yResolution = 0;
    const uint16_t unit = FieldDefaulted<uint16_t>(tif, TIFFTAG_RESOLUTIONUNIT);
    if (TIFFGetField(tif, TIFFTAG_XRESOLUTION, &xResolution) &&
        TIFFGetField(tif, TIFFTAG_YRESOLUTION, &yResolution) && xResolution > 0 &&
        yResolution > 0 && (unit == RESUNIT_INCH || unit == RESUNIT_CENTIMETER)) {
        const double toInch = unit == RESUNIT_CENTIMETER ? 2.54 : 1.0;
        layout.xDpi = xResolution * toInch;
        layout.yDpi = yResolution * toInch;
    }
}

void TiffSource::ReadProfile(TIFF* tif, const Page& page, ImageLayout& layout) {
    uint32_t iccSize = 0;
    void* iccData = nullptr;
    if (TIFFGetField(tif, TIFFTAG_ICCPROFILE, &iccSize, &iccData) && iccData != nullptr &&
        iccSize <= IccProfile::kMaxSize) {
        std::string icc(static_cast<const char*>(iccData), iccSize);
        const int components =
            layout.colourSpace == ImageLayout::ColourSpace::Indexed ? 3 : layout.Components();
        if (page.method != Page::Method::Rgba &&
            layout.colourSpace != ImageLayout::ColourSpace::Lab &&
            IccProfile::Fits(icc, components)) {
            layout.icc = std::move(icc);
        }
    }
}

void TiffSource::WriteImage(int index, const Sink& out, std::string* softMask) {
    const Page& page = m_plans.at(index);
    const ImageLayout& layout = m_pages.at(index);
    TIFF* tif = m_file->Get();
    // The directory was read when the file was opened: read again, it must still describe
    // the image its page was laid out for (and failing to read it means the file changed).
    m_file->ClearError();
    bool same = m_file->SetDirectory(page.offset);
    if (same) {
        try {
            auto [fresh, freshLayout] = Describe(tif);
            fresh.offset = page.offset;
            same = fresh == page && freshLayout == layout;
        } catch (const PdfError&) {
            same = false;
        }
    }
    if (!same) {
        Changed();
    }
    m_file->ClearError(); // what reading the directory reported: the data comes next
    if (softMask != nullptr) {
        softMask->clear();
    }
    try {
        switch (page.method) {
        case Page::Method::Ccitt:
            WriteCcitt(page, layout, out);
            break;
        case Page::Method::Rgba:
            WriteRgba(page, layout, out, softMask);
            break;
        case Page::Method::Samples:
            WriteSamples(page, layout, out, softMask);
            break;
        }
    } catch (const PdfError& error) {
        if (error.Code() == PDF_ERROR_CORRUPT && !m_file->Error().empty()) {
            m_file->Fail("");
        }
        throw;
    }
    // Decoders warn where they make up what the data lacks (a fax strip that ends early is
    // filled white, a JPEG strip short of data grey): such a page is not the image.
    if (!m_file->Warning().empty()) {
        throw PdfError(PDF_ERROR_CORRUPT, "broken TIFF: " + m_file->Warning());
    }
}

void TiffSource::WriteCcitt(const Page& page, const ImageLayout& layout, const Sink& out) {
    const uint32_t width = static_cast<uint32_t>(layout.width);
    const uint32_t height = static_cast<uint32_t>(layout.height);
    TIFF* tif = m_file->Get();
    if (page.group4Strip) {
        // The file's own Group 4 data, when every reader decodes it as libtiff does.
        CheckChunk(tif, 0);
        const uint64_t size = TIFFGetStrileByteCount(tif, 0);
        CheckBuffer(size);
        std::vector<unsigned char> data(static_cast<size_t>(size));
        if (TIFFReadRawStrip(tif, 0, data.data(), static_cast<tmsize_t>(size)) ==
            static_cast<tmsize_t>(size)) {
            if (FieldDefaulted<uint16_t>(tif, TIFFTAG_FILLORDER) == FILLORDER_LSB2MSB) {
                TIFFReverseBits(data.data(), static_cast<tmsize_t>(size));
            }
            const Group4Check::Result check =
                Group4Check::Check(data.data(), data.size(), width, height);
            if (check.valid) {
                Group4Check::Write(data.data(), check, out);
                return;
            }
        }
        m_file->ClearError();
    }
    // The rows go to libtiff's encoder one by one.
    FaxEncoder encoder(width, height);
    ReadBands(page, layout, height,
              [&](uint32_t, const unsigned char* const* planes) { encoder.WriteRow(planes[0]); });
    const std::string coded = encoder.Finish();
    out(reinterpret_cast<const unsigned char*>(coded.data()), coded.size());
}

void TiffSource::WriteRgba(const Page& page, const ImageLayout& layout, const Sink& out,
                           std::string* softMask) {
    // libtiff's RGBA rendering of colour models PDF has no space for. Its conversion routines
    // are given the rows as ReadBands decodes them, piece by piece; tiles go through
    // libtiff's own reading, a row of tiles at a time. Rows come as stored: the page's
    // orientation turns them.
    TIFF* tif = m_file->Get();
    const auto width = static_cast<uint32_t>(layout.width);
    const auto height = static_cast<uint32_t>(layout.height);
    // YCbCr coefficients of zero would stop the colour conversion: use the standard ones.
    float* coefficients = nullptr;
    if (TIFFGetField(tif, TIFFTAG_YCBCRCOEFFICIENTS, &coefficients) && coefficients != nullptr &&
        (coefficients[0] <= 0 || coefficients[1] <= 0 || coefficients[2] <= 0)) {
        float standard[3] = {0.299f, 0.587f, 0.114f};
        TIFFSetField(tif, TIFFTAG_YCBCRCOEFFICIENTS, standard);
    }
    char message[1024] = "";
    TIFFRGBAImage image;
    if (!TIFFRGBAImageBegin(&image, tif, 1, message)) {
        throw PdfError(PDF_ERROR_CORRUPT, std::string("broken TIFF: ") + message);
    }
    struct End {
        TIFFRGBAImage& image;
        ~End() { TIFFRGBAImageEnd(&image); }
    } end{image};
    image.req_orientation = image.orientation;

    ImageEncoder encoder(out, softMask, layout.width, layout.height, 3, 8, layout.softMask ? 8 : 0);
    unsigned char* rgb = encoder.ColourRow();
    unsigned char* a = encoder.AlphaRow();
    uint32_t written = 0;
    const auto writeRows = [&](const uint32_t* raster, uint32_t rows) {
        written += rows;
        for (uint32_t y = 0; y < rows; ++y) {
            const uint32_t* row = raster + size_t(y) * width;
            for (uint32_t x = 0; x < width; ++x) {
                rgb[3 * x] = static_cast<unsigned char>(TIFFGetR(row[x]));
                rgb[3 * x + 1] = static_cast<unsigned char>(TIFFGetG(row[x]));
                rgb[3 * x + 2] = static_cast<unsigned char>(TIFFGetB(row[x]));
                if (a != nullptr) {
                    a[x] = static_cast<unsigned char>(TIFFGetA(row[x]));
                }
            }
            encoder.WriteRow();
        }
    };

    if (TIFFIsTiled(tif)) {
        const uint32_t band =
            std::clamp<uint32_t>(FieldDefaulted<uint32_t>(tif, TIFFTAG_TILELENGTH), 1, height);
        if (uint64_t(width) * band * 4 > kMaxBand) {
            throw PdfError(PDF_ERROR_TOO_LARGE, "TIFF tiles too large to convert");
        }
        std::vector<uint32_t> raster(size_t(width) * band);
        for (uint32_t top = 0; top < height; top += band) {
            const uint32_t rows = std::min(band, height - top);
            image.row_offset = static_cast<int>(top);
            image.col_offset = 0;
            if (!TIFFRGBAImageGet(&image, raster.data(), width, rows) || !m_file->Error().empty()) {
                m_file->Fail("cannot decode the image data");
            }
            writeRows(raster.data(), rows);
        }
        encoder.Finish();
        return;
    }

    // Subsampled YCbCr comes in blocks of rows: the rows of a block are converted together
    // (the last block's rows beyond the image too, whose colour the block's rows share).
    uint16_t across = 1;
    uint16_t down = 1;
    if (image.photometric == PHOTOMETRIC_YCBCR && !page.planar) {
        TIFFGetFieldDefaulted(tif, TIFFTAG_YCBCRSUBSAMPLING, &across, &down);
        down = std::max<uint16_t>(down, 1);
    }
    const uint32_t rows = (height + down - 1) / down * down;
    const size_t rowBytes = static_cast<size_t>(TIFFScanlineSize64(tif));
    std::vector<unsigned char> block(rowBytes * down);
    std::vector<uint32_t> raster(size_t(width) * down);
    const int colours = image.photometric == PHOTOMETRIC_MINISWHITE ||
                                image.photometric == PHOTOMETRIC_MINISBLACK ||
                                image.photometric == PHOTOMETRIC_PALETTE
                            ? 1
                            : 3;
    ReadBands(page, layout, rows, [&](uint32_t y, const unsigned char* const* planes) {
        if (page.planar) {
            auto* plane = const_cast<unsigned char**>(planes);
            (*image.put.separate)(&image, raster.data(), 0, y, width, 1, 0, 0, plane[0],
                                  plane[colours > 1 ? 1 : 0], plane[colours > 1 ? 2 : 0],
                                  image.alpha ? plane[colours] : nullptr);
            writeRows(raster.data(), 1);
            return;
        }
        std::memcpy(&block[(y % down) * rowBytes], planes[0], rowBytes);
        if (y % down == down - 1u) {
            const uint32_t top = y - (down - 1u);
            const uint32_t shown = std::min<uint32_t>(down, height - top);
            (*image.put.contig)(&image, raster.data(), 0, top, width, shown, 0, 0, block.data());
            writeRows(raster.data(), shown);
        }
    });
    if (written != height) {
        m_file->Fail("cannot decode the image data");
    }
    encoder.Finish();
}

void TiffSource::ReadBands(
    const Page& page, const ImageLayout& layout, uint32_t rows,
    const std::function<void(uint32_t, const unsigned char* const*)>& onRow) {
    // Every row must decode: a page missing part of its image is no page of it. `rows` may
    // go beyond the image's height to the end of its last block of subsampled rows.
    TIFF* tif = m_file->Get();
    if (page.jpegToRgb) {
        TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
    }
    const uint32_t width = static_cast<uint32_t>(layout.width);
    const uint32_t height = static_cast<uint32_t>(layout.height);
    const int bits = page.bitsPerSample;
    const int planes = page.planar ? page.samplesPerPixel : 1;
    const int samplesPerPlanePixel = page.planar ? 1 : page.samplesPerPixel;
    // A row of one plane as libtiff decodes it (of blocks, for subsampled YCbCr).
    const uint64_t planeRowBytes = TIFFScanlineSize64(tif);
    if (planeRowBytes == 0) {
        m_file->Fail("bad image size");
    }
    auto broken = [&](const char* what) { m_file->Fail(what); };
    std::vector<const unsigned char*> rowPointers(planes);

    if (!TIFFIsTiled(tif)) {
        uint32_t stripRows = FieldDefaulted<uint32_t>(tif, TIFFTAG_ROWSPERSTRIP);
        if (stripRows == 0 || stripRows > height) {
            stripRows = height;
        }
        const uint64_t stripBytes = TIFFVStripSize64(tif, stripRows);
        if (stripBytes == 0) {
            m_file->Fail("bad strip size");
        }
        // Strips of a bounded size are decoded whole, each once; larger ones row by row.
        // Old-style JPEG strips of subsampled rows are decoded whole whatever their size:
        // libtiff reads no rows of theirs beyond the image.
        const bool oldJpeg =
            FieldDefaulted<uint16_t>(tif, TIFFTAG_COMPRESSION) == COMPRESSION_OJPEG;
        if (stripBytes * planes > kMaxStrip && !(rows > height && oldJpeg)) {
            ReadScanlines(page, layout, rows, onRow);
            return;
        }
        CheckBuffer(stripBytes * planes);
        std::vector<std::vector<unsigned char>> band(
            planes, std::vector<unsigned char>(static_cast<size_t>(stripBytes)));
        for (uint32_t top = 0; top < height; top += stripRows) {
            const uint32_t stored = std::min(stripRows, height - top);
            // The last strip holds the rows beyond the image that complete its last block.
            const uint32_t given = top + stored == height ? rows - top : stored;
            const tmsize_t want = TIFFVStripSize(tif, stored);
            for (int plane = 0; plane < planes; ++plane) {
                const tstrip_t strip = TIFFComputeStrip(tif, top, static_cast<uint16_t>(plane));
                CheckChunk(tif, strip);
                if (TIFFReadEncodedStrip(tif, strip, band[plane].data(), want) < want) {
                    broken("cannot decode the image data");
                }
            }
            for (uint32_t y = 0; y < given; ++y) {
                for (int plane = 0; plane < planes; ++plane) {
                    rowPointers[plane] = &band[plane][y * planeRowBytes];
                }
                onRow(top + y, rowPointers.data());
            }
        }
        return;
    }

    // Tiled: a row of tiles at a time.
    const uint32_t tileWidth = FieldDefaulted<uint32_t>(tif, TIFFTAG_TILEWIDTH);
    const uint32_t tileHeight = FieldDefaulted<uint32_t>(tif, TIFFTAG_TILELENGTH);
    if (tileWidth == 0 || tileHeight == 0 || tileWidth % 8 != 0) {
        throw PdfError(PDF_ERROR_CORRUPT, "broken TIFF: bad tile size");
    }
    const tmsize_t tileSize = TIFFTileSize(tif);
    const uint64_t bandSize = uint64_t(planeRowBytes) * tileHeight * planes;
    if (tileSize <= 0) {
        throw PdfError(PDF_ERROR_CORRUPT, "broken TIFF: bad tile size");
    }
    if (static_cast<uint64_t>(tileSize) > kMaxTile || bandSize > kMaxBand) {
        throw PdfError(PDF_ERROR_TOO_LARGE, "TIFF tiles too large to convert");
    }
    const size_t tileRowBytes =
        FlateRowEncoder::RowBytesOf(static_cast<int>(tileWidth), samplesPerPlanePixel, bits);
    std::vector<unsigned char> tileData(static_cast<size_t>(tileSize));
    std::vector<std::vector<unsigned char>> band(
        planes, std::vector<unsigned char>(planeRowBytes * tileHeight));
    for (uint32_t top = 0; top < height; top += tileHeight) {
        const uint32_t bandRows = std::min(tileHeight, height - top);
        for (int plane = 0; plane < planes; ++plane) {
            for (uint32_t left = 0; left < width; left += tileWidth) {
                const ttile_t tile =
                    TIFFComputeTile(tif, left, top, 0, static_cast<uint16_t>(plane));
                CheckChunk(tif, tile);
                if (TIFFReadEncodedTile(tif, tile, tileData.data(), tileSize) < tileSize) {
                    broken("cannot decode the image data");
                }
                const size_t offset =
                    FlateRowEncoder::RowBytesOf(static_cast<int>(left), samplesPerPlanePixel, bits);
                const size_t bytes = std::min(tileRowBytes, planeRowBytes - offset);
                for (uint32_t y = 0; y < bandRows; ++y) {
                    std::memcpy(&band[plane][y * planeRowBytes + offset],
                                &tileData[y * tileRowBytes], bytes);
                }
            }
        }
        for (uint32_t y = 0; y < bandRows; ++y) {
            for (int plane = 0; plane < planes; ++plane) {
                rowPointers[plane] = &band[plane][y * planeRowBytes];
            }
            onRow(top + y, rowPointers.data());
        }
    }
}

void TiffSource::ReadScanlines(
    const Page& page, const ImageLayout& layout, uint32_t rows,
    const std::function<void(uint32_t, const unsigned char* const*)>& onRow) {
    // Row by row, each plane through a handle of its own, so that every plane's strips are
    // decoded once from their start: one handle would go back to the start of a strip for
    // each row of another plane (or refuse, for codings that cannot seek). Memory holds a row
    // of each plane and what libtiff reads ahead.
    const uint32_t height = static_cast<uint32_t>(layout.height);
    const int planes = page.planar ? page.samplesPerPixel : 1;
    std::vector<std::unique_ptr<TiffFile>> files;
    std::vector<std::vector<unsigned char>> buffers;
    std::vector<const unsigned char*> rowPointers(planes);
    for (int plane = 0; plane < planes; ++plane) {
        files.push_back(std::make_unique<TiffFile>(m_data));
        TIFF* tif = files.back()->Get();
        if (!files.back()->SetDirectory(page.offset)) {
            Changed();
        }
        if (page.jpegToRgb) {
            TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
        }
        if (rows > height) {
            // The rest of the last block of subsampled rows, which the strip holds: read as
            // rows of a longer image.
            if (FieldDefaulted<uint32_t>(tif, TIFFTAG_ROWSPERSTRIP) >= height) {
                TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rows);
            }
            TIFFSetField(tif, TIFFTAG_IMAGELENGTH, rows);
        }
        files.back()->ClearError();
        buffers.emplace_back(static_cast<size_t>(TIFFScanlineSize64(tif)));
    }
    uint32_t stripRows = FieldDefaulted<uint32_t>(files[0]->Get(), TIFFTAG_ROWSPERSTRIP);
    stripRows = std::max<uint32_t>(stripRows, 1);
    for (uint32_t y = 0; y < rows; ++y) {
        for (int plane = 0; plane < planes; ++plane) {
            TiffFile& file = *files[plane];
            TIFF* tif = file.Get();
            const auto sample = static_cast<uint16_t>(plane);
            if (y % stripRows == 0) {
                CheckChunk(tif, TIFFComputeStrip(tif, y, sample));
            }
            if (TIFFReadScanline(tif, buffers[plane].data(), y, sample) != 1) {
                file.Fail("cannot decode the image data");
            }
            rowPointers[plane] = buffers[plane].data();
        }
        onRow(y, rowPointers.data());
    }
    for (const auto& file : files) {
        if (!file->Warning().empty()) {
            throw PdfError(PDF_ERROR_CORRUPT, "broken TIFF: " + file->Warning());
        }
    }
}

void TiffSource::WriteSamples(const Page& page, const ImageLayout& layout, const Sink& out,
                              std::string* softMask) {
    const int width = layout.width;
    const int bits = page.bitsPerSample;
    const int outColours = page.expandPalette ? 3 : page.colours;
    ImageEncoder encoder(out, softMask, width, layout.height, outColours, page.outBits,
                         page.alphaSample >= 0 ? page.outBits : 0);
    const bool fast = !page.planar && page.alphaSample < 0 &&
                      page.samplesPerPixel == page.colours && !page.signedSamples &&
                      !page.labSigned && !page.expandPalette && page.outBits == bits && bits <= 16;
    unsigned char* colourRow = encoder.ColourRow();
    unsigned char* alphaRow = encoder.AlphaRow();
    const size_t colourBytes = FlateRowEncoder::RowBytesOf(width, outColours, page.outBits);
    const int spp = page.samplesPerPixel;

    // Signed a* and b* (CIELab) are read in order as offset binary.
    const uint32_t labFlip = page.labSigned ? uint32_t(1) << (page.outBits - 1) : 0;
    ReadBands(page, layout, static_cast<uint32_t>(layout.height),
              [&](uint32_t, const unsigned char* const* planes) {
                  const unsigned char* row = planes[0];
                  if (fast) {
                      if (bits == 16) {
                          for (size_t i = 0; i + 1 < colourBytes; i += 2) {
                              uint16_t v;
                              std::memcpy(&v, row + i, 2);
                              colourRow[i] = static_cast<unsigned char>(v >> 8);
                              colourRow[i + 1] = static_cast<unsigned char>(v);
                          }
                          encoder.WriteRow();
                      } else {
                          encoder.WriteRow(row);
                      }
                      return;
                  }
                  auto sample = [&](int x, int s) -> uint32_t {
                      if (page.planar) {
                          return NormalSample(planes[s], static_cast<size_t>(x), bits,
                                              page.signedSamples);
                      }
                      return NormalSample(row, static_cast<size_t>(x) * spp + s, bits,
                                          page.signedSamples);
                  };
                  for (int x = 0; x < width; ++x) {
                      if (page.expandPalette) {
                          const size_t entries = page.colourMap.size() / 3;
                          const uint32_t index =
                              std::min<uint32_t>(sample(x, 0), static_cast<uint32_t>(entries - 1));
                          for (int c = 0; c < 3; ++c) {
                              PackSample(colourRow, static_cast<size_t>(x) * 3 + c,
                                         page.colourMap[c * entries + index], 16);
                          }
                      } else {
                          for (int c = 0; c < page.colours; ++c) {
                              PackSample(colourRow, static_cast<size_t>(x) * page.colours + c,
                                         sample(x, c) ^ (c > 0 ? labFlip : 0), page.outBits);
                          }
                      }
                      if (alphaRow != nullptr) {
                          PackSample(alphaRow, static_cast<size_t>(x), sample(x, page.alphaSample),
                                     page.outBits);
                      }
                  }
                  encoder.WriteRow();
              });
    encoder.Finish();
}
