#include "pdf/bmp_source.h"

#include "pdf/flate_row_encoder.h"
#include "pdf/icc_profile.h"
#include "pdf/image_encoder.h"
#include "pdf/jpeg_source.h"
#include "pdf/pdf_error.h"
#include "pdf/png_source.h"

#include <bit>
#include <cstring>

namespace {
enum Compression {
    kRgb = 0,
    kRle8 = 1,
    kRle4 = 2,
    kBitFields = 3,
    kJpeg = 4,
    kPng = 5,
    kAlphaBitFields = 6
};

uint16_t U16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

uint32_t U32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

[[noreturn]] void Broken(const std::string& what) {
    throw PdfError(PDF_ERROR_CORRUPT, "broken BMP: " + what);
}

// The value of a bit field of a pixel, and the Decode scale that maps it exactly.
uint32_t FieldValue(uint32_t pixel, uint32_t mask, int shift) {
    return (pixel & mask) >> shift;
}
} // namespace

BmpSource::BmpSource(const SourceData& data) : ImageSource(data) {
    Parse(m_data.ReadAll());
}

BmpSource::~BmpSource() = default;

void BmpSource::Parse(const std::string& bytes) {
    const auto* d = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t size = bytes.size();
    const Header header = ReadHeader(d, size);
    ImageLayout layout;
    layout.width = static_cast<int>(header.width);
    layout.height = static_cast<int>(header.height);
    if (header.xPerMetre > 0 && header.yPerMetre > 0) {
        const double ratio = double(std::max(header.xPerMetre, header.yPerMetre)) /
                             std::min(header.xPerMetre, header.yPerMetre);
        if (ratio > 100) {
            Broken("implausible pixel density");
        }
        layout.xDpi = header.xPerMetre * 0.0254;
        layout.yDpi = header.yPerMetre * 0.0254;
    }

    if (m_compression == kJpeg || m_compression == kPng) {
        // The pixel data is a whole JPEG or PNG file.
        const size_t length = header.sizeImage != 0
                                  ? std::min<size_t>(header.sizeImage, size - m_dataOffset)
                                  : size - m_dataOffset;
        SourceData inner = SourceData::FromMemory(bytes.substr(m_dataOffset, length), Name());
        if (m_compression == kJpeg) {
            m_embedded = std::make_unique<JpegSource>(inner);
        } else {
            m_embedded = std::make_unique<PngSource>(inner);
        }
        m_pages.push_back(m_embedded->Layout(0));
        return;
    }

    CheckCompression();
    const int bits = m_bitCount;
    const bool rle = m_compression == kRle8 || m_compression == kRle4;
    m_stride = ((static_cast<size_t>(header.width) * bits + 31) / 32) * 4;
    if (!rle) {
        if (m_stride * static_cast<size_t>(header.height) > size - m_dataOffset) {
            Broken("truncated pixel data");
        }
        if (header.sizeImage != 0 && header.sizeImage > size - m_dataOffset) {
            Broken("the image size field is larger than the pixel data");
        }
    }
    if (IsIndexed()) {
        ReadPalette(d, header, layout);
    } else {
        ReadBitFields(d, header, layout);
        if (m_channels[3].mask != 0) {
            FindAlpha(d, header, layout);
        }
    }
    ReadProfile(d, size, header, layout);
    if (IsIndexed() && !rle) {
        CheckIndices(d, header);
    }
    if (IsIndexed()) {
        layout.palette.resize(3u << layout.bitsPerComponent, '\0');
    }
    m_pages.push_back(std::move(layout));
}

bool BmpSource::IsIndexed() const {
    return m_bitCount == 1 || m_bitCount == 2 || m_bitCount == 4 || m_bitCount == 8;
}

BmpSource::Header BmpSource::ReadHeader(const unsigned char* d, size_t size) {
    if (size < 26) {
        Broken("truncated header");
    }
    const uint32_t fileSize = U32(d + 2);
    if (fileSize != 0 && fileSize > size) {
        Broken("the file is shorter than its header says");
    }
    m_dataOffset = U32(d + 10);
    Header header;
    header.size = U32(d + 14);
    const uint32_t headerSize = header.size;
    if (headerSize != 12 && headerSize != 16 && headerSize != 40 && headerSize != 52 &&
        headerSize != 56 && headerSize != 64 && headerSize != 108 && headerSize != 124) {
        Broken("unknown header size " + std::to_string(headerSize));
    }
    if (14 + static_cast<size_t>(headerSize) > size) {
        Broken("truncated header");
    }
    const unsigned char* h = d + 14;
    int planes = 0;
    if (headerSize == 12) {
        header.width = U16(h + 4);
        header.height = static_cast<int16_t>(U16(h + 6));
        planes = U16(h + 8);
        m_bitCount = U16(h + 10);
    } else {
        header.width = static_cast<int32_t>(U32(h + 4));
        header.height = static_cast<int32_t>(U32(h + 8));
        planes = U16(h + 12);
        m_bitCount = U16(h + 14);
        if (headerSize >= 20) {
            m_compression = static_cast<int>(U32(h + 16));
        }
        if (headerSize >= 40) {
            header.sizeImage = U32(h + 20);
            header.xPerMetre = static_cast<int32_t>(U32(h + 24));
            header.yPerMetre = static_cast<int32_t>(U32(h + 28));
            header.colours = U32(h + 32);
        }
    }
    if (planes != 1) {
        Broken("plane count is not 1");
    }
    if (header.width <= 0 || header.height == 0 || header.height == INT32_MIN) {
        Broken("bad image size");
    }
    m_topDown = header.height < 0;
    if (m_topDown) {
        header.height = -header.height;
    }
    CheckSize(static_cast<uint64_t>(header.width), static_cast<uint64_t>(header.height));
    if (m_dataOffset > size) {
        Broken("pixel data offset beyond the end of the file");
    }
    // OS/2 2.x headers use compression 3 and 4 for Huffman and RLE24.
    if ((headerSize == 16 || headerSize == 64) && (m_compression == 3 || m_compression == 4)) {
        throw PdfError(PDF_ERROR_UNSUPPORTED_IMAGE,
                       "OS/2 bitmap with Huffman or RLE24 compression");
    }
    return header;
}

void BmpSource::CheckCompression() const {
    const int bits = m_bitCount;
    if (!IsIndexed() && bits != 16 && bits != 24 && bits != 32) {
        if (bits == 64) {
            throw PdfError(PDF_ERROR_UNSUPPORTED_IMAGE, "64-bit BMP");
        }
        Broken("bad bit count " + std::to_string(bits));
    }
    switch (m_compression) {
    case kRgb:
        break;
    case kRle8:
        if (bits != 8) {
            Broken("RLE8 without 8 bits per pixel");
        }
        break;
    case kRle4:
        if (bits != 4) {
            Broken("RLE4 without 4 bits per pixel");
        }
        break;
    case kBitFields:
    case kAlphaBitFields:
        if (bits != 16 && bits != 32) {
            Broken("bit fields without 16 or 32 bits per pixel");
        }
        break;
    default:
        Broken("unknown compression " + std::to_string(m_compression));
    }
    if ((m_compression == kRle8 || m_compression == kRle4) && m_topDown) {
        Broken("a compressed image cannot be top-down");
    }
}

void BmpSource::ReadPalette(const unsigned char* d, const Header& header, ImageLayout& layout) {
    // The palette follows the header.
    const int bits = m_bitCount;
    const size_t tableOffset = 14 + header.size;
    const size_t entrySize = header.size == 12 ? 3 : 4;
    const uint32_t maxEntries = 1u << bits;
    if (header.colours > maxEntries) {
        Broken("more palette entries than the bit depth allows");
    }
    m_paletteEntries = static_cast<int>(header.colours == 0 ? maxEntries : header.colours);
    if (tableOffset + m_paletteEntries * entrySize > m_dataOffset) {
        Broken("palette overlaps the pixel data");
    }
    layout.colourSpace = ImageLayout::ColourSpace::Indexed;
    layout.paletteBase = ImageLayout::ColourSpace::RGB;
    layout.bitsPerComponent = bits;
    for (int i = 0; i < m_paletteEntries; ++i) {
        const unsigned char* e = d + tableOffset + i * entrySize;
        layout.palette.push_back(static_cast<char>(e[2]));
        layout.palette.push_back(static_cast<char>(e[1]));
        layout.palette.push_back(static_cast<char>(e[0]));
    }
    if (m_compression == kRle8 || m_compression == kRle4) {
        // Pixels that the data skips are transparent, as viewers show them; they get an
        // index of their own when the palette leaves one free.
        layout.bitsPerComponent = 8;
        m_skippedIndex = m_paletteEntries < 256 ? m_paletteEntries : 0;
        if (m_paletteEntries < 256) {
            layout.colourKey = {m_skippedIndex, m_skippedIndex};
        }
    }
}

void BmpSource::ReadBitFields(const unsigned char* d, const Header& header, ImageLayout& layout) {
    // The masks of 16 and 32-bit pixels: in the header (V3 and later) or after it.
    const int bits = m_bitCount;
    uint32_t masks[4] = {0, 0, 0, 0};
    if (m_compression == kBitFields || m_compression == kAlphaBitFields) {
        const bool inHeader = header.size >= 52;
        const size_t at = inHeader ? 14 + 40 : 14 + header.size;
        const int count =
            m_compression == kAlphaBitFields || (inHeader && header.size >= 56) ? 4 : 3;
        if (at + count * 4 > (inHeader ? 14 + header.size : m_dataOffset)) {
            Broken("truncated bit-field masks");
        }
        for (int i = 0; i < count; ++i) {
            masks[i] = U32(d + at + 4 * i);
        }
    } else if (bits == 16) {
        masks[0] = 0x7C00;
        masks[1] = 0x03E0;
        masks[2] = 0x001F;
    } else {
        masks[0] = 0xFF0000;
        masks[1] = 0x00FF00;
        masks[2] = 0x0000FF;
    }
    if (m_compression == kRgb && header.size >= 56 && bits == 32) {
        masks[3] = 0; // the alpha mask of a plain RGB bitmap is not used
    }
    int maxBits = 0;
    for (int i = 0; i < 4; ++i) {
        uint32_t mask = masks[i];
        if (bits == 16) {
            mask &= 0xFFFF;
        }
        Channel& channel = m_channels[i];
        channel.mask = mask;
        if (mask == 0) {
            if (i < 3) {
                Broken("a colour channel without bits");
            }
            continue;
        }
        channel.shift = std::countr_zero(mask);
        channel.bits = std::popcount(mask);
        if (channel.bits > 16 || (mask >> channel.shift) != (uint32_t(1) << channel.bits) - 1) {
            Broken("bit-field mask is not contiguous");
        }
        maxBits = std::max(maxBits, channel.bits);
    }
    // Colour channels that overlap each other are nonsense.
    if ((masks[0] & masks[1]) || (masks[0] & masks[2]) || (masks[1] & masks[2]) ||
        (masks[3] & (masks[0] | masks[1] | masks[2]))) {
        Broken("overlapping bit-field masks");
    }
    const int outBits = maxBits > 8 ? 16 : 8;
    layout.colourSpace = ImageLayout::ColourSpace::RGB;
    layout.bitsPerComponent = outBits;
    bool exact = true;
    for (int i = 0; i < 3; ++i) {
        exact = exact && m_channels[i].bits == outBits;
    }
    if (!exact) {
        for (int i = 0; i < 3; ++i) {
            layout.decode.push_back(0.0);
            layout.decode.push_back(DecodeScale(m_channels[i].bits, outBits));
        }
    }
}

double BmpSource::DecodeScale(int bits, int outBits) {
    return double((1u << outBits) - 1) / double((1u << bits) - 1);
}

void BmpSource::FindAlpha(const unsigned char* d, const Header& header, ImageLayout& layout) {
    // An alpha channel counts only when some pixel is not fully transparent, as viewers
    // treat an all-zero alpha channel as no alpha at all.
    const Channel& a = m_channels[3];
    const int bits = m_bitCount;
    const size_t bytesPerPixel = bits / 8;
    for (int64_t y = 0; y < header.height && !m_hasAlpha; ++y) {
        const unsigned char* row = d + m_dataOffset + y * m_stride;
        for (int64_t x = 0; x < header.width; ++x) {
            const uint32_t pixel = bits == 16 ? U16(row + 2 * x) : U32(row + bytesPerPixel * x);
            if (FieldValue(pixel, a.mask, a.shift) != 0) {
                m_hasAlpha = true;
                break;
            }
        }
    }
    if (m_hasAlpha) {
        layout.softMask = true;
        layout.softMaskBits = layout.bitsPerComponent;
        if (a.bits != layout.bitsPerComponent) {
            layout.softMaskDecode = {0.0, DecodeScale(a.bits, layout.bitsPerComponent)};
        }
    }
}

void BmpSource::ReadProfile(const unsigned char* d, size_t size, const Header& header,
                            ImageLayout& layout) {
    // An embedded ICC profile (V5 header).
    const unsigned char* h = d + 14;
    if (header.size >= 124 && std::memcmp(h + 56, "DEBM", 4) == 0) {
        const uint32_t profileOffset = U32(h + 112);
        const uint32_t profileSize = U32(h + 116);
        const size_t at = 14 + static_cast<size_t>(profileOffset);
        if (profileSize > 0 && at < size && profileSize <= size - at) {
            std::string icc(reinterpret_cast<const char*>(d + at), profileSize);
            if (IccProfile::Fits(icc, 3)) {
                layout.icc = std::move(icc);
            }
        }
    }
}

void BmpSource::CheckIndices(const unsigned char* d, const Header& header) const {
    // Indices beyond the palette are an error rather than a guess.
    const int bits = m_bitCount;
    if (m_paletteEntries >= (1 << bits)) {
        return;
    }
    for (int64_t y = 0; y < header.height; ++y) {
        const unsigned char* row = d + m_dataOffset + y * m_stride;
        for (int64_t x = 0; x < header.width; ++x) {
            const size_t bit = static_cast<size_t>(x) * bits;
            const int index = (row[bit / 8] >> (8 - bits - bit % 8)) & ((1 << bits) - 1);
            if (index >= m_paletteEntries) {
                Broken("pixels use colours that are not in the palette");
            }
        }
    }
}

std::vector<unsigned char> BmpSource::DecodeRle(const std::string& bytes) const {
    const ImageLayout& layout = m_pages.front();
    const auto* d = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t size = bytes.size();
    const size_t width = static_cast<size_t>(layout.width);
    const size_t height = static_cast<size_t>(layout.height);
    CheckBuffer(uint64_t(width) * height);
    std::vector<unsigned char> indices(width * height, static_cast<unsigned char>(m_skippedIndex));
    const bool four = m_compression == kRle4;
    size_t x = 0;
    size_t y = 0; // counted from the bottom row
    size_t pos = m_dataOffset;
    // A repeated run that overshoots the end of its row is cut there (some encoders write
    // them); literal pixels outside the image mean damaged data.
    auto put = [&](int index, bool literal) {
        if (x >= width || y >= height) {
            if (literal) {
                Broken("RLE data runs outside the image");
            }
            return;
        }
        if (index >= m_paletteEntries) {
            Broken("pixels use colours that are not in the palette");
        }
        indices[(height - 1 - y) * width + x] = static_cast<unsigned char>(index);
        ++x;
    };
    for (;;) {
        if (pos + 2 > size) {
            Broken("truncated RLE data");
        }
        const unsigned count = d[pos];
        const unsigned value = d[pos + 1];
        pos += 2;
        if (count > 0) {
            for (unsigned i = 0; i < count; ++i) {
                put(four ? (i % 2 == 0 ? value >> 4 : value & 0x0F) : static_cast<int>(value),
                    false);
            }
            continue;
        }
        switch (value) {
        case 0: // end of line
            x = 0;
            ++y;
            break;
        case 1: // end of bitmap
            return indices;
        case 2: // delta
            if (pos + 2 > size) {
                Broken("truncated RLE data");
            }
            x += d[pos];
            y += d[pos + 1];
            pos += 2;
            if (x > width || y > height) {
                Broken("RLE delta moves outside the image");
            }
            break;
        default: { // a run of literal pixels, padded to a 16-bit boundary
            const size_t bytesUsed = four ? (value + 1) / 2 : value;
            if (pos + bytesUsed > size) {
                Broken("truncated RLE data");
            }
            for (unsigned i = 0; i < value; ++i) {
                put(four ? (i % 2 == 0 ? d[pos + i / 2] >> 4 : d[pos + i / 2] & 0x0F)
                         : static_cast<int>(d[pos + i]),
                    true);
            }
            pos += (bytesUsed + 1) & ~size_t(1);
            break;
        }
        }
        if (y >= height && x == 0) {
            // Past the top row: nothing more can be drawn; an end-of-bitmap should follow.
            if (pos + 2 <= size && d[pos] == 0 && d[pos + 1] == 1) {
                return indices;
            }
        }
    }
}

void BmpSource::WriteImage(int page, const Sink& out, std::string* softMask) {
    if (m_embedded) {
        m_embedded->WriteImage(page, out, softMask);
        return;
    }
    const ImageLayout& layout = m_pages.front();
    const std::string bytes = m_data.ReadAll();
    const auto* d = reinterpret_cast<const unsigned char*>(bytes.data());
    const int width = layout.width;
    const int height = layout.height;
    if (softMask != nullptr) {
        softMask->clear();
    }

    if (m_compression == kRle8 || m_compression == kRle4) {
        const std::vector<unsigned char> indices = DecodeRle(bytes);
        FlateRowEncoder colour(out, width, 1, 8);
        for (int y = 0; y < height; ++y) {
            colour.WriteRow(&indices[static_cast<size_t>(y) * width]);
        }
        colour.Finish();
        return;
    }
    if (m_stride * static_cast<size_t>(height) >
        bytes.size() - std::min<size_t>(bytes.size(), m_dataOffset)) {
        Broken("truncated pixel data");
    }
    auto fileRow = [&](int y) {
        const int stored = m_topDown ? y : height - 1 - y;
        return d + m_dataOffset + static_cast<size_t>(stored) * m_stride;
    };

    if (layout.colourSpace == ImageLayout::ColourSpace::Indexed) {
        FlateRowEncoder colour(out, width, 1, m_bitCount);
        for (int y = 0; y < height; ++y) {
            colour.WriteRow(fileRow(y));
        }
        colour.Finish();
        return;
    }

    const int outBits = layout.bitsPerComponent;
    ImageEncoder encoder(out, softMask, width, 3, outBits, layout.softMask ? outBits : 0);
    unsigned char* rgb = encoder.ColourRow();
    unsigned char* a = encoder.AlphaRow();
    const size_t bytesPerPixel = static_cast<size_t>(m_bitCount) / 8;
    auto put = [outBits](unsigned char* row, size_t index, uint32_t value) {
        if (outBits == 8) {
            row[index] = static_cast<unsigned char>(value);
        } else {
            row[2 * index] = static_cast<unsigned char>(value >> 8);
            row[2 * index + 1] = static_cast<unsigned char>(value);
        }
    };
    for (int y = 0; y < height; ++y) {
        const unsigned char* row = fileRow(y);
        for (int x = 0; x < width; ++x) {
            const unsigned char* p = row + x * bytesPerPixel;
            uint32_t pixel;
            if (m_bitCount == 16) {
                pixel = U16(p);
            } else if (m_bitCount == 24) {
                pixel = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
            } else {
                pixel = U32(p);
            }
            for (int c = 0; c < 3; ++c) {
                put(rgb, static_cast<size_t>(x) * 3 + c,
                    FieldValue(pixel, m_channels[c].mask, m_channels[c].shift));
            }
            if (a != nullptr) {
                put(a, static_cast<size_t>(x),
                    FieldValue(pixel, m_channels[3].mask, m_channels[3].shift));
            }
        }
        encoder.WriteRow();
    }
    encoder.Finish();
}
