#include "pdf/bmp_source.h"

#include "pdf/flate_row_encoder.h"
#include "pdf/icc_profile.h"
#include "pdf/image_encoder.h"
#include "pdf/jpeg_source.h"
#include "pdf/pdf_error.h"
#include "pdf/png_source.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

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

namespace {
// The headers, the bit-field masks and the largest palette.
constexpr size_t kHeadSize = 14 + 124 + 16 + 256 * 4;
// RLE codes of two bytes draw at most 255 pixels.
constexpr uint64_t kRlePixelsPerByte = 128;
// RLE data is read backwards in pieces of this size.
constexpr uint64_t kRleWindow = 256 * 1024;
} // namespace

BmpSource::BmpSource(const SourceData& data) : ImageSource(data) {
    Parse();
}

BmpSource::~BmpSource() = default;

void BmpSource::Parse() {
    SourceData::Reader reader(m_data);
    const uint64_t size = reader.Size();
    m_head.resize(static_cast<size_t>(std::min<uint64_t>(size, kHeadSize)));
    m_head.resize(reader.ReadAt(0, m_head.data(), m_head.size()));
    const auto* d = reinterpret_cast<const unsigned char*>(m_head.data());
    const Header header = ReadHeader(d, m_head.size(), size);
    ImageLayout layout;
    layout.width = static_cast<int>(header.width);
    layout.height = static_cast<int>(header.height);
    if (header.xPerMetre > 0 && header.yPerMetre > 0) {
        layout.xDpi = header.xPerMetre * 0.0254;
        layout.yDpi = header.yPerMetre * 0.0254;
    }

    if (m_compression == kJpeg || m_compression == kPng) {
        // The pixel data is a whole JPEG or PNG file, read in place.
        const uint64_t length = header.sizeImage != 0 ? header.sizeImage : size - m_dataOffset;
        const SourceData inner = m_data.Slice(m_dataOffset, length);
        if (m_compression == kJpeg) {
            m_embedded = std::make_unique<JpegSource>(inner);
        } else {
            m_embedded = std::make_unique<PngSource>(inner);
        }
        m_pages.push_back(m_embedded->Layout(0));
        return;
    }

    CheckCompression();
    const bool rle = m_compression == kRle8 || m_compression == kRle4;
    m_stride = ((static_cast<uint64_t>(header.width) * m_bitCount + 31) / 32) * 4;
    if (rle) {
        // Decoded one byte a pixel.
        CheckDataSize(static_cast<uint64_t>(header.width) * static_cast<uint64_t>(header.height),
                      size - m_dataOffset, kRlePixelsPerByte);
    } else {
        if (m_stride * static_cast<uint64_t>(header.height) > size - m_dataOffset) {
            Broken("truncated pixel data");
        }
        if (header.sizeImage != 0 && header.sizeImage > size - m_dataOffset) {
            Broken("the image size field is larger than the pixel data");
        }
    }
    if (IsIndexed()) {
        ReadPalette(d, header, layout);
        layout.palette.resize(3u << layout.bitsPerComponent, '\0');
    } else {
        ReadBitFields(d, header, layout);
        if (m_channels[3].mask != 0) {
            FindAlpha(reader, header, layout);
        }
    }
    ReadProfile(reader, header, layout);
    m_pages.push_back(std::move(layout));
}

bool BmpSource::IsIndexed() const {
    return m_bitCount == 1 || m_bitCount == 2 || m_bitCount == 4 || m_bitCount == 8;
}

BmpSource::Header BmpSource::ReadHeader(const unsigned char* d, size_t headSize, uint64_t size) {
    if (headSize < 26) {
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
    if (14 + static_cast<size_t>(headerSize) > headSize) {
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
        // Decoded RLE images are written one index a byte. Pixels that the data skips take
        // palette index 0, one of the renderings the BMP suite allows.
        layout.bitsPerComponent = 8;
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

const unsigned char* BmpSource::ReadRow(SourceData::Reader& reader, int stored,
                                        std::vector<unsigned char>& row) const {
    row.resize(m_stride);
    const uint64_t at = m_dataOffset + static_cast<uint64_t>(stored) * m_stride;
    if (reader.ReadAt(at, row.data(), row.size()) != row.size()) {
        Broken("truncated pixel data");
    }
    return row.data();
}

void BmpSource::FindAlpha(SourceData::Reader& reader, const Header& header, ImageLayout& layout) {
    // An alpha channel counts only when some pixel is not fully transparent, as viewers
    // treat an all-zero alpha channel as no alpha at all.
    const Channel& a = m_channels[3];
    const int bits = m_bitCount;
    const size_t bytesPerPixel = bits / 8;
    std::vector<unsigned char> buffer;
    for (int64_t y = 0; y < header.height && !m_hasAlpha; ++y) {
        const unsigned char* row = ReadRow(reader, static_cast<int>(y), buffer);
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

void BmpSource::ReadProfile(SourceData::Reader& reader, const Header& header, ImageLayout& layout) {
    // An embedded ICC profile (V5 header), read when it is of a size profiles have.
    const auto* h = reinterpret_cast<const unsigned char*>(m_head.data()) + 14;
    if (header.size < 124 || std::memcmp(h + 56, "DEBM", 4) != 0) {
        return;
    }
    const uint64_t at = 14 + uint64_t(U32(h + 112));
    const uint32_t profileSize = U32(h + 116);
    if (profileSize == 0 || profileSize > IccProfile::kMaxSize || at >= reader.Size() ||
        profileSize > reader.Size() - at) {
        return;
    }
    std::string icc(profileSize, '\0');
    icc.resize(reader.ReadAt(at, icc.data(), icc.size()));
    if (IccProfile::Fits(icc, 3)) {
        layout.icc = std::move(icc);
    }
}

void BmpSource::CheckIndices(const unsigned char* row) const {
    // Indices beyond the palette are an error rather than a guess.
    const int bits = m_bitCount;
    if (m_paletteEntries >= (1 << bits)) {
        return;
    }
    const int width = m_pages.front().width;
    for (int x = 0; x < width; ++x) {
        const size_t bit = static_cast<size_t>(x) * bits;
        const int index = (row[bit / 8] >> (8 - bits - bit % 8)) & ((1 << bits) - 1);
        if (index >= m_paletteEntries) {
            Broken("pixels use colours that are not in the palette");
        }
    }
}

std::vector<BmpSource::RleRow> BmpSource::IndexRle() const {
    // The data draws the image from the bottom row up; end-of-line codes and deltas move to
    // rows above (deltas also to the right), and the end of the bitmap leaves the rest
    // undrawn. Each row is entered at most once: where its data begins is noted, with the
    // column it begins at, and where it ends (at the code that moves on). The data is checked
    // on the way, so that nothing is written of a damaged file.
    const ImageLayout& layout = m_pages.front();
    const size_t width = static_cast<size_t>(layout.width);
    const size_t height = static_cast<size_t>(layout.height);
    const bool four = m_compression == kRle4;
    std::vector<RleRow> rows;
    SourceData::Stream stream(m_data, m_dataOffset);
    size_t x = 0;
    size_t y = 0;
    const auto enter = [&] {
        if (y < height) {
            rows.push_back(
                {static_cast<uint32_t>(y), static_cast<uint32_t>(x), stream.Position(), 0});
        }
    };
    const auto leave = [&](uint64_t at) {
        if (!rows.empty() && rows.back().end == 0) {
            rows.back().end = at;
        }
    };
    // A repeated run that overshoots the end of its row is cut there (some encoders write
    // them); literal pixels outside the image mean damaged data.
    const auto put = [&](int index, bool literal) {
        if (x >= width || y >= height) {
            if (literal) {
                Broken("RLE data runs outside the image");
            }
            return;
        }
        if (index >= m_paletteEntries) {
            Broken("pixels use colours that are not in the palette");
        }
        ++x;
    };
    const auto next = [&](size_t count) {
        if (!stream.Ensure(count)) {
            Broken("truncated RLE data");
        }
        return stream.Data();
    };
    enter();
    bool done = false;
    while (!done) {
        const uint64_t at = stream.Position();
        const unsigned char* op = next(2);
        const unsigned count = op[0];
        const unsigned value = op[1];
        stream.Skip(2);
        if (count > 0) {
            for (unsigned i = 0; i < count; ++i) {
                put(four ? (i % 2 == 0 ? value >> 4 : value & 0x0F) : static_cast<int>(value),
                    false);
            }
            continue;
        }
        switch (value) {
        case 0: // end of line
            leave(at);
            x = 0;
            ++y;
            enter();
            break;
        case 1: // end of bitmap
            leave(at);
            done = true;
            break;
        case 2: { // delta
            const unsigned char* delta = next(2);
            const unsigned dx = delta[0];
            const unsigned dy = delta[1];
            stream.Skip(2);
            x += dx;
            y += dy;
            if (x > width || y > height) {
                Broken("RLE delta moves outside the image");
            }
            if (dy > 0) {
                leave(at);
                enter();
            }
            break;
        }
        default: { // a run of literal pixels, padded to a 16-bit boundary
            const size_t bytesUsed = four ? (value + 1) / 2 : value;
            const unsigned char* p = next(bytesUsed);
            for (unsigned i = 0; i < value; ++i) {
                put(four ? (i % 2 == 0 ? p[i / 2] >> 4 : p[i / 2] & 0x0F) : static_cast<int>(p[i]),
                    true);
            }
            stream.Skip((bytesUsed + 1) & ~size_t(1));
            break;
        }
        }
        if (!done && y >= height && x == 0) {
            // Past the top row: nothing more can be drawn; an end-of-bitmap should follow.
            const bool more = stream.Ensure(2);
            done = more && stream.Data()[0] == 0 && stream.Data()[1] == 1;
        }
    }
    leave(stream.Position());
    return rows;
}

void BmpSource::WriteRle(const Sink& out) const {
    // The rows are written top-down, each decoded from where its data begins: only one row is
    // held, and the data is read backwards in windows (the top row's comes last). Rows the
    // data does not draw, and pixels it skips, are palette index 0.
    const ImageLayout& layout = m_pages.front();
    const size_t width = static_cast<size_t>(layout.width);
    const size_t height = static_cast<size_t>(layout.height);
    const std::vector<RleRow> rows = IndexRle();
    const bool four = m_compression == kRle4;
    ImageEncoder encoder(out, nullptr, layout.width, layout.height, 1, 8, 0);
    unsigned char* row = encoder.ColourRow();
    SourceData::Reader reader(m_data);
    std::vector<unsigned char> window;
    uint64_t windowStart = 0;
    auto drawn = rows.rbegin();
    for (size_t top = 0; top < height; ++top) {
        std::memset(row, 0, width);
        if (drawn == rows.rend() || drawn->y != height - 1 - top) {
            encoder.WriteRow();
            continue;
        }
        const RleRow& r = *drawn++;
        if (r.begin < windowStart || r.end > windowStart + window.size()) {
            const uint64_t size = std::max<uint64_t>(r.end - r.begin, kRleWindow);
            windowStart = std::min(r.begin, r.end > size ? r.end - size : 0);
            CheckBuffer(r.end - windowStart);
            window.resize(static_cast<size_t>(r.end - windowStart));
            if (reader.ReadAt(windowStart, window.data(), window.size()) != window.size()) {
                Changed();
            }
        }
        const unsigned char* p = window.data() + (r.begin - windowStart);
        const unsigned char* end = window.data() + (r.end - windowStart);
        size_t x = r.x;
        // The row's data holds runs, literal pixels and deltas along the row; what lies
        // beyond the row's end was cut when the data was checked.
        const auto put = [&](unsigned index) {
            if (x < width) {
                row[x++] = static_cast<unsigned char>(index);
            }
        };
        while (end - p >= 2) {
            const unsigned count = p[0];
            const unsigned value = p[1];
            p += 2;
            if (count > 0) {
                for (unsigned i = 0; i < count; ++i) {
                    put(four ? (i % 2 == 0 ? value >> 4 : value & 0x0F) : value);
                }
            } else if (value == 2 && end - p >= 2) {
                x += p[0];
                p += 2;
            } else if (value > 2) {
                const size_t bytesUsed = four ? (value + 1) / 2 : value;
                if (static_cast<size_t>(end - p) < bytesUsed) {
                    Changed();
                }
                for (unsigned i = 0; i < value; ++i) {
                    put(four ? (i % 2 == 0 ? p[i / 2] >> 4 : p[i / 2] & 0x0F) : p[i]);
                }
                p += std::min<size_t>((bytesUsed + 1) & ~size_t(1), static_cast<size_t>(end - p));
            }
        }
        encoder.WriteRow();
    }
    encoder.Finish();
}

void BmpSource::WriteImage(int page, const Sink& out, std::string* softMask) {
    if (m_embedded) {
        m_embedded->WriteImage(page, out, softMask);
        return;
    }
    SourceData::Reader reader(m_data);
    std::string head(m_head.size(), '\0');
    head.resize(reader.ReadAt(0, head.data(), head.size()));
    if (head != m_head) {
        Changed();
    }
    if (m_compression == kRle8 || m_compression == kRle4) {
        WriteRle(out);
        return;
    }

    const ImageLayout& layout = m_pages.front();
    const int width = layout.width;
    const int height = layout.height;
    std::vector<unsigned char> buffer;
    auto fileRow = [&](int y) { return ReadRow(reader, m_topDown ? y : height - 1 - y, buffer); };
    if (layout.colourSpace == ImageLayout::ColourSpace::Indexed) {
        ImageEncoder encoder(out, softMask, width, height, 1, m_bitCount, 0);
        for (int y = 0; y < height; ++y) {
            const unsigned char* row = fileRow(y);
            CheckIndices(row);
            encoder.WriteRow(row);
        }
        encoder.Finish();
        return;
    }

    const int outBits = layout.bitsPerComponent;
    ImageEncoder encoder(out, softMask, width, height, 3, outBits, layout.softMask ? outBits : 0);
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
