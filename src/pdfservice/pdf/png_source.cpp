#include "pdf/png_source.h"

#include "pdf/exif_reader.h"
#include "pdf/flate_row_check.h"
#include "pdf/flate_row_encoder.h"
#include "pdf/icc_profile.h"
#include "pdf/image_encoder.h"
#include "pdf/pdf_error.h"

#include <csetjmp>
#include <cstring>
#include <png.h>
#include <zlib.h>

namespace {
constexpr size_t kSignatureSize = 8;
constexpr size_t kMaxIccSize = 16 * 1024 * 1024;

uint32_t U32(const unsigned char* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

[[noreturn]] void Broken(const std::string& what) {
    throw PdfError(PDF_ERROR_CORRUPT, "broken PNG: " + what);
}

// Walks the chunks of a PNG held in memory, checking lengths and checksums.
class ChunkWalker {
public:
    explicit ChunkWalker(const std::string& bytes)
        : ChunkWalker(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()) {}
    ChunkWalker(const unsigned char* data, size_t size) : m_data(data), m_size(size) {
        if (m_size < kSignatureSize ||
            std::memcmp(m_data, "\x89PNG\r\n\x1A\n", kSignatureSize) != 0) {
            Broken("bad signature");
        }
        m_pos = kSignatureSize;
    }

    // Moves to the next chunk; false at the end of the data.
    bool Next() {
        if (m_pos >= m_size) {
            return false;
        }
        if (m_size - m_pos < 12) {
            Broken("truncated chunk");
        }
        const uint32_t length = U32(m_data + m_pos);
        if (length > 0x7FFFFFFF || length > m_size - m_pos - 12) {
            Broken("truncated chunk");
        }
        m_type.assign(reinterpret_cast<const char*>(m_data + m_pos + 4), 4);
        for (char c : m_type) {
            if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) {
                Broken("bad chunk type");
            }
        }
        m_body = m_data + m_pos + 8;
        m_length = length;
        const uint32_t stored = U32(m_body + length);
        const uLong computed = crc32(crc32(0, m_data + m_pos + 4, 4), m_body, length);
        if (stored != computed) {
            Broken("checksum error in " + m_type + " chunk");
        }
        m_pos += 12 + static_cast<size_t>(length);
        return true;
    }

    const std::string& Type() const { return m_type; }
    const unsigned char* Body() const { return m_body; }
    size_t Length() const { return m_length; }

private:
    const unsigned char* m_data;
    size_t m_size;
    size_t m_pos = 0;
    std::string m_type;
    const unsigned char* m_body = nullptr;
    size_t m_length = 0;
};

bool ValidDepth(int colourType, int depth) {
    switch (colourType) {
    case 0:
        return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case 3:
        return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    case 2:
    case 4:
    case 6:
        return depth == 8 || depth == 16;
    default:
        return false;
    }
}

std::string Inflate(const unsigned char* data, size_t size, size_t limit) {
    z_stream zlib{};
    if (inflateInit(&zlib) != Z_OK) {
        return {};
    }
    std::string out;
    unsigned char buffer[16384];
    zlib.next_in = const_cast<unsigned char*>(data);
    zlib.avail_in = static_cast<uInt>(size);
    int status = Z_OK;
    while (status == Z_OK && out.size() <= limit) {
        zlib.next_out = buffer;
        zlib.avail_out = sizeof buffer;
        status = inflate(&zlib, Z_NO_FLUSH);
        out.append(reinterpret_cast<char*>(buffer), sizeof buffer - zlib.avail_out);
        if (status == Z_BUF_ERROR && zlib.avail_in == 0) {
            break;
        }
    }
    inflateEnd(&zlib);
    return status == Z_STREAM_END && out.size() <= limit ? out : std::string();
}

// libpng reading from memory, with errors turned into return values.
struct MemoryReader {
    const unsigned char* data;
    size_t size;
    size_t pos;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t length) {
    auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
    if (length > reader->size - reader->pos) {
        png_error(png, "truncated file");
    }
    std::memcpy(out, reader->data + reader->pos, length);
    reader->pos += length;
}

struct PngErrors {
    std::jmp_buf jump;
    char message[200];
};

void OnPngError(png_structp png, png_const_charp message) {
    auto* errors = static_cast<PngErrors*>(png_get_error_ptr(png));
    std::snprintf(errors->message, sizeof errors->message, "%s", message);
    std::longjmp(errors->jump, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

// Receives decoded rows; implemented in C++ outside the setjmp frame.
class RowReceiver {
public:
    virtual ~RowReceiver() = default;
    virtual unsigned char* RowBuffer() = 0;  // non-interlaced: one row
    virtual unsigned char** ImageRows() = 0; // interlaced: every row
    virtual void OnRow(const unsigned char* row) = 0;
};

// The libpng calls, in a frame that holds no C++ objects (longjmp leaves through it).
bool RunDecoder(png_structp png, png_infop info, bool interlaced, png_uint_32 height,
                RowReceiver* receiver, PngErrors* errors) {
    if (setjmp(errors->jump) != 0) {
        return false;
    }
    png_read_info(png, info);
    if (interlaced) {
        png_set_interlace_handling(png);
        png_read_update_info(png, info);
        png_read_image(png, receiver->ImageRows());
    } else {
        png_read_update_info(png, info);
        for (png_uint_32 y = 0; y < height; ++y) {
            png_read_row(png, receiver->RowBuffer(), nullptr);
            receiver->OnRow(receiver->RowBuffer());
        }
    }
    png_read_end(png, nullptr);
    return true;
}

class Receiver : public RowReceiver {
public:
    Receiver(size_t rowBytes, size_t height, bool interlaced,
             const std::function<void(const unsigned char*)>& onRow)
        : m_rowBytes(rowBytes), m_onRow(onRow) {
        if (interlaced) {
            ImageSource::CheckBuffer(uint64_t(rowBytes) * height);
            m_image.resize(rowBytes * height);
            for (size_t y = 0; y < height; ++y) {
                m_rows.push_back(m_image.data() + y * rowBytes);
            }
        } else {
            m_image.resize(rowBytes);
        }
    }
    unsigned char* RowBuffer() override { return m_image.data(); }
    unsigned char** ImageRows() override { return m_rows.data(); }
    void OnRow(const unsigned char* row) override { m_onRow(row); }
    void EmitAll() {
        for (unsigned char* row : m_rows) {
            m_onRow(row);
        }
    }

private:
    size_t m_rowBytes;
    std::vector<unsigned char> m_image;
    std::vector<unsigned char*> m_rows;
    const std::function<void(const unsigned char*)>& m_onRow;
};

// One sample of a packed row.
unsigned Sample(const unsigned char* row, size_t index, int depth) {
    switch (depth) {
    case 8:
        return row[index];
    case 16:
        return unsigned(row[2 * index]) << 8 | row[2 * index + 1];
    default: {
        const size_t bit = index * depth;
        const unsigned shift = 8 - depth - bit % 8;
        return (row[bit / 8] >> shift) & ((1u << depth) - 1);
    }
    }
}
} // namespace

PngSource::PngSource(const SourceData& data) : ImageSource(data) {
    // The chunks before the image data tell everything the page needs; read the start of
    // the file, and all of it when the start does not reach the image data.
    std::string head = m_data.ReadPrefix(256 * 1024);
    const bool complete = head.size() < 256 * 1024;
    try {
        ReadHeader(head);
    } catch (const PdfError&) {
        if (complete) {
            throw;
        }
        ReadHeader(m_data.ReadAll());
    }
}

void PngSource::ReadHeader(const std::string& head) {
    m_pages.clear();
    ImageLayout layout;
    std::string palette;
    std::string transparency;
    bool sawHeader = false;
    bool sawImageData = false;
    ChunkWalker walker(head);
    while (walker.Next()) {
        const std::string& type = walker.Type();
        const unsigned char* body = walker.Body();
        const size_t length = walker.Length();
        if (!sawHeader && type != "IHDR") {
            Broken("the first chunk is not IHDR");
        }
        if (type == "IHDR") {
            if (sawHeader) {
                Broken("bad IHDR chunk");
            }
            sawHeader = true;
            ReadImageHeader(body, length, layout);
        } else if (type == "PLTE") {
            if (length == 0 || length % 3 != 0 || length > 768) {
                Broken("bad palette");
            }
            palette.assign(reinterpret_cast<const char*>(body), length);
        } else if (type == "tRNS") {
            transparency.assign(reinterpret_cast<const char*>(body), length);
        } else if (type == "iCCP") {
            const void* end = std::memchr(body, 0, std::min<size_t>(length, 80));
            if (end != nullptr) {
                const size_t at = static_cast<const unsigned char*>(end) - body + 2;
                if (at <= length) {
                    layout.icc = Inflate(body + at, length - at, kMaxIccSize);
                }
            }
        } else if (type == "pHYs" && length == 9 && body[8] == 1) {
            layout.xDpi = U32(body) * 0.0254;
            layout.yDpi = U32(body + 4) * 0.0254;
        } else if (type == "eXIf") {
            layout.orientation = ExifReader(body, length).Orientation();
        } else if (type == "IDAT") {
            sawImageData = true;
            break;
        } else if (type == "IEND") {
            break;
        }
    }
    if (!sawHeader) {
        Broken("no IHDR chunk");
    }
    if (!sawImageData) {
        Broken("no image data");
    }

    DescribeColour(layout, palette);
    if (!transparency.empty()) {
        ReadTransparency(layout, transparency);
    }
    if (m_colourType == 4 || m_colourType == 6) {
        layout.softMask = true;
        layout.softMaskBits = m_depth;
    }

    m_passthrough = !m_interlaced && (m_colourType == 0 || m_colourType == 2 || m_colourType == 3);
    layout.filter = m_passthrough ? ImageLayout::Filter::FlatePng : ImageLayout::Filter::Flate;
    m_pages.push_back(std::move(layout));
}

void PngSource::ReadImageHeader(const unsigned char* body, size_t length, ImageLayout& layout) {
    if (length != 13) {
        Broken("bad IHDR chunk");
    }
    layout.width = static_cast<int>(std::min<uint32_t>(U32(body), 0x7FFFFFFF));
    layout.height = static_cast<int>(std::min<uint32_t>(U32(body + 4), 0x7FFFFFFF));
    m_depth = body[8];
    m_colourType = body[9];
    if (!ValidDepth(m_colourType, m_depth) || body[10] != 0 || body[11] != 0 || body[12] > 1) {
        Broken("invalid image header");
    }
    m_interlaced = body[12] == 1;
    CheckSize(U32(body), U32(body + 4));
}

void PngSource::DescribeColour(ImageLayout& layout, std::string palette) const {
    layout.bitsPerComponent = m_depth;
    switch (m_colourType) {
    case 0:
    case 4:
        layout.colourSpace = ImageLayout::ColourSpace::Gray;
        break;
    case 2:
    case 6:
        layout.colourSpace = ImageLayout::ColourSpace::RGB;
        break;
    case 3: {
        if (palette.empty()) {
            Broken("palette image without a palette");
        }
        layout.colourSpace = ImageLayout::ColourSpace::Indexed;
        layout.paletteBase = ImageLayout::ColourSpace::RGB;
        // Indices beyond the palette show black rather than whatever a reader makes of them.
        palette.resize(3u << m_depth, '\0');
        layout.palette = palette;
        break;
    }
    default:
        break;
    }
    const int iccComponents = m_colourType == 0 || m_colourType == 4 ? 1 : 3;
    if (!IccProfile::Fits(layout.icc, iccComponents)) {
        layout.icc.clear();
    }
}

void PngSource::ReadTransparency(ImageLayout& layout, const std::string& transparency) {
    // tRNS: a colour key for grey and RGB, an alpha per palette entry for palettes.
    const auto* t = reinterpret_cast<const unsigned char*>(transparency.data());
    const unsigned maxValue = (1u << m_depth) - 1;
    if (m_colourType == 0 && transparency.size() == 2) {
        const int grey = static_cast<int>(std::min<unsigned>(t[0] << 8 | t[1], maxValue));
        layout.colourKey = {grey, grey};
    } else if (m_colourType == 2 && transparency.size() == 6) {
        for (int i = 0; i < 3; ++i) {
            const int value =
                static_cast<int>(std::min<unsigned>(t[2 * i] << 8 | t[2 * i + 1], maxValue));
            layout.colourKey.push_back(value);
            layout.colourKey.push_back(value);
        }
    } else if (m_colourType == 3) {
        m_paletteAlpha.assign(1u << m_depth, '\xFF');
        const size_t entries = std::min(transparency.size(), m_paletteAlpha.size());
        std::memcpy(m_paletteAlpha.data(), transparency.data(), entries);
        // One fully transparent entry among opaque ones is a colour key; anything
        // else needs a soft mask.
        int transparentEntries = 0;
        int key = -1;
        bool partial = false;
        for (size_t i = 0; i < m_paletteAlpha.size(); ++i) {
            const auto alpha = static_cast<unsigned char>(m_paletteAlpha[i]);
            if (alpha == 0) {
                ++transparentEntries;
                key = static_cast<int>(i);
            } else if (alpha != 255) {
                partial = true;
            }
        }
        if (transparentEntries == 0 && !partial) {
            m_paletteAlpha.clear();
        } else if (transparentEntries == 1 && !partial) {
            layout.colourKey = {key, key};
            m_paletteAlpha.clear();
        } else {
            layout.softMask = true;
            layout.softMaskBits = 8;
        }
    }
}

void PngSource::WriteImageData(const unsigned char* data, size_t size, const Sink& out) const {
    // The IDAT chunks go out one by one as their checksums pass: no copy of the whole. Their
    // data is inflated on the way, as a reader would, to prove that it holds the image.
    const ImageLayout& layout = m_pages.front();
    FlateRowCheck check(static_cast<uint64_t>(layout.height),
                        FlateRowEncoder::RowBytesOf(layout.width, Channels(), m_depth));
    ChunkWalker walker(data, size);
    bool inData = false;
    bool dataEnded = false;
    try {
        while (walker.Next()) {
            const std::string& type = walker.Type();
            if (type == "IDAT") {
                if (dataEnded) {
                    Broken("image data chunks are not consecutive");
                }
                inData = true;
                if (walker.Length() > 0) {
                    check.Add(walker.Body(), walker.Length());
                    out(walker.Body(), walker.Length());
                }
            } else {
                if (inData) {
                    dataEnded = true;
                }
                if (type == "IEND") {
                    if (!inData) {
                        Broken("no image data");
                    }
                    check.Finish();
                    return;
                }
            }
        }
    } catch (const PdfError&) {
        if (!check.Problem().empty()) {
            Broken(check.Problem());
        }
        throw;
    }
    Broken("truncated file (no IEND chunk)");
}

int PngSource::Channels() const {
    switch (m_colourType) {
    case 2:
        return 3;
    case 4:
        return 2;
    case 6:
        return 4;
    default:
        return 1;
    }
}

void PngSource::DecodeRows(const unsigned char* data, size_t size,
                           const std::function<void(const unsigned char*)>& onRow) const {
    PngErrors errors{};
    png_structp png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, &errors, OnPngError, OnPngWarning);
    if (png == nullptr) {
        throw PdfError(PDF_ERROR_INTERNAL, "cannot start the PNG decoder");
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        throw PdfError(PDF_ERROR_INTERNAL, "cannot start the PNG decoder");
    }
    struct Cleanup {
        png_structp& png;
        png_infop& info;
        ~Cleanup() { png_destroy_read_struct(&png, &info, nullptr); }
    } cleanup{png, info};

    MemoryReader reader{data, size, 0};
    png_set_read_fn(png, &reader, ReadFromMemory);
    png_set_user_limits(png, kMaxSide, kMaxSide);
    png_set_chunk_malloc_max(png, 64 * 1024 * 1024);

    const ImageLayout& layout = m_pages.front();
    const size_t rowBytes = FlateRowEncoder::RowBytesOf(layout.width, Channels(), m_depth);
    Receiver receiver(rowBytes, static_cast<size_t>(layout.height), m_interlaced, onRow);
    if (!RunDecoder(png, info, m_interlaced, static_cast<png_uint_32>(layout.height), &receiver,
                    &errors)) {
        Broken(errors.message);
    }
    if (m_interlaced) {
        receiver.EmitAll();
    }
}

void PngSource::WriteImage(int, const Sink& out, std::string* softMask) {
    const ImageLayout& layout = m_pages.front();
    // Screenshots come one after another in a merge: one buffer serves them all.
    static thread_local ByteBuffer bytes;
    m_data.ReadAll(bytes);
    const int width = layout.width;

    if (m_passthrough) {
        WriteImageData(bytes.Data(), bytes.Size(), out);
        if (!layout.softMask) {
            return;
        }
    }
    // Passed-through colour data needs its alpha rows only.
    ImageEncoder encoder(out, softMask, width, layout.Components(), m_passthrough ? 0 : m_depth,
                         layout.softMask ? layout.softMaskBits : 0);
    unsigned char* colourRow = encoder.ColourRow();
    unsigned char* alphaRow = encoder.AlphaRow();
    const size_t sampleBytes = m_depth / 8;

    DecodeRows(bytes.Data(), bytes.Size(), [&](const unsigned char* row) {
        if (m_colourType == 4 || m_colourType == 6) {
            // Split interleaved colour and alpha samples.
            const size_t colours = m_colourType == 4 ? 1 : 3;
            const size_t pixelBytes = (colours + 1) * sampleBytes;
            for (int x = 0; x < width; ++x) {
                const unsigned char* pixel = row + x * pixelBytes;
                std::memcpy(&colourRow[x * colours * sampleBytes], pixel, colours * sampleBytes);
                if (alphaRow != nullptr) {
                    std::memcpy(&alphaRow[x * sampleBytes], pixel + colours * sampleBytes,
                                sampleBytes);
                }
            }
            encoder.WriteRow();
        } else {
            if (alphaRow != nullptr) {
                for (int x = 0; x < width; ++x) {
                    alphaRow[x] =
                        static_cast<unsigned char>(m_paletteAlpha[Sample(row, x, m_depth)]);
                }
            }
            encoder.WriteRow(row);
        }
    });
    encoder.Finish();
}
