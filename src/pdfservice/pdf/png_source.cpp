#include "pdf/png_source.h"

#include "pdf/exif_reader.h"
#include "pdf/flate_row_check.h"
#include "pdf/flate_row_encoder.h"
#include "pdf/icc_profile.h"
#include "pdf/image_encoder.h"
#include "pdf/pdf_error.h"

#include <csetjmp>
#include <cstring>
#include <memory>
#include <png.h>
#include <zlib.h>

namespace {
constexpr size_t kPiece = 256 * 1024;
// The most zlib data can expand: 1032 to 1.
constexpr uint64_t kMaxInflation = 1032;
// Chunks read whole for the page: larger ones are left out.
constexpr size_t kMaxTransparency = 4096;
constexpr size_t kMaxExif = 1024 * 1024;
// The type of IDAT chunks, as libpng names the chunk it reads.
constexpr png_uint_32 kImageData = 0x49444154;

uint32_t U32(const unsigned char* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

[[noreturn]] void Broken(const std::string& what) {
    throw PdfError(PDF_ERROR_CORRUPT, "broken PNG: " + what);
}

// Walks the chunks of a PNG as they are read, checking lengths and checksums: a chunk's body
// is read in pieces (or whole, when small) and its checksum checked when it ends.
class ChunkReader {
public:
    explicit ChunkReader(SourceData::Stream& stream) : m_stream(stream) {
        if (!m_stream.Ensure(8) || std::memcmp(m_stream.Data(), "\x89PNG\r\n\x1A\n", 8) != 0) {
            Broken("bad signature");
        }
        m_stream.Skip(8);
    }

    // Moves to the next chunk; false at the end of the data.
    bool Next() {
        if (m_open) {
            End();
        }
        if (!m_stream.Ensure(1)) {
            return false;
        }
        if (!m_stream.Ensure(8)) {
            Broken("truncated chunk");
        }
        const unsigned char* head = m_stream.Data();
        const uint32_t length = U32(head);
        const uint64_t left = m_stream.Size() - m_stream.Position() - 8;
        if (length > 0x7FFFFFFF || uint64_t(length) + 4 > left) {
            Broken("truncated chunk");
        }
        m_type.assign(reinterpret_cast<const char*>(head + 4), 4);
        for (char c : m_type) {
            if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) {
                Broken("bad chunk type");
            }
        }
        m_crc = crc32(0, head + 4, 4);
        m_length = length;
        m_left = length;
        m_open = true;
        m_stream.Skip(8);
        return true;
    }

    const std::string& Type() const { return m_type; }
    uint32_t Length() const { return m_length; }

    // The next piece of the body, valid until the next call; 0 at the end of the body.
    size_t Piece(const unsigned char** data) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(m_left, kPiece));
        if (n == 0) {
            return 0;
        }
        if (!m_stream.Ensure(n)) {
            Broken("truncated chunk");
        }
        *data = m_stream.Data();
        m_crc = crc32(m_crc, *data, static_cast<uInt>(n));
        m_stream.Skip(n);
        m_left -= n;
        return n;
    }

    // The rest of the body; the caller has checked that it is small.
    std::string Body() {
        std::string body;
        const unsigned char* data = nullptr;
        for (size_t n; (n = Piece(&data)) > 0;) {
            body.append(reinterpret_cast<const char*>(data), n);
        }
        return body;
    }

    // Reads the rest of the chunk and checks its checksum.
    void End() {
        const unsigned char* data = nullptr;
        while (Piece(&data) > 0) {
        }
        if (!m_stream.Ensure(4)) {
            Broken("truncated chunk");
        }
        if (U32(m_stream.Data()) != m_crc) {
            Broken("checksum error in " + m_type + " chunk");
        }
        m_stream.Skip(4);
        m_open = false;
    }

private:
    SourceData::Stream& m_stream;
    std::string m_type;
    uint32_t m_length = 0;
    uint64_t m_left = 0;
    uLong m_crc = 0;
    bool m_open = false;
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

PngSource::Header ParseHeader(const std::string& body) {
    if (body.size() != 13) {
        Broken("bad IHDR chunk");
    }
    const auto* p = reinterpret_cast<const unsigned char*>(body.data());
    PngSource::Header header;
    header.width = U32(p);
    header.height = U32(p + 4);
    header.depth = p[8];
    header.colourType = p[9];
    if (!ValidDepth(header.colourType, header.depth) || p[10] != 0 || p[11] != 0 || p[12] > 1) {
        Broken("invalid image header");
    }
    header.interlaced = p[12] == 1;
    return header;
}

// Inflates a compressed profile; empty when it is damaged or larger than profiles may be.
std::string InflateProfile(const unsigned char* data, size_t size) {
    z_stream zlib{};
    if (inflateInit(&zlib) != Z_OK) {
        return {};
    }
    std::string out;
    unsigned char buffer[16384];
    zlib.next_in = const_cast<unsigned char*>(data);
    zlib.avail_in = static_cast<uInt>(size);
    int status = Z_OK;
    while (status == Z_OK && out.size() <= IccProfile::kMaxSize) {
        zlib.next_out = buffer;
        zlib.avail_out = sizeof buffer;
        status = inflate(&zlib, Z_NO_FLUSH);
        out.append(reinterpret_cast<char*>(buffer), sizeof buffer - zlib.avail_out);
        if (status == Z_BUF_ERROR && zlib.avail_in == 0) {
            break;
        }
    }
    inflateEnd(&zlib);
    return status == Z_STREAM_END && out.size() <= IccProfile::kMaxSize ? out : std::string();
}

// libpng reading a source's stream, with errors turned into return values.
struct PngErrors {
    std::jmp_buf jump;
    char message[200];
    bool damaged; // libpng warned about the image data and went on
};

void OnPngError(png_structp png, png_const_charp message) {
    auto* errors = static_cast<PngErrors*>(png_get_error_ptr(png));
    std::snprintf(errors->message, sizeof errors->message, "%s", message);
    std::longjmp(errors->jump, 1);
}

// libpng only warns about image data it cannot make sense of (more of it than the rows, data
// after the zlib stream, image data chunks that are not consecutive) and goes on: that is a
// damaged file. Warnings about ancillary chunks (out of place, invalid) leave the image whole.
void OnPngWarning(png_structp png, png_const_charp message) {
    auto* errors = static_cast<PngErrors*>(png_get_error_ptr(png));
    if (png_get_io_chunk_type(png) == kImageData && !errors->damaged) {
        std::snprintf(errors->message, sizeof errors->message, "%s", message);
        errors->damaged = true;
    }
}

// Called from libpng's C frames: nothing is thrown through them, and png_error is called
// outside the scope of any C++ object.
void ReadFromStream(png_structp png, png_bytep out, png_size_t length) {
    auto* stream = static_cast<SourceData::Stream*>(png_get_io_ptr(png));
    size_t n = 0;
    bool failed = false;
    try {
        n = stream->Read(out, length);
    } catch (...) {
        failed = true;
    }
    if (failed) {
        png_error(png, "cannot read the file");
    }
    if (n < length) {
        png_error(png, "truncated file");
    }
}

// Receives decoded rows; implemented in C++ outside the setjmp frame.
class RowReceiver {
public:
    virtual ~RowReceiver() = default;
    virtual unsigned char* RowBuffer() = 0;  // non-interlaced: one row
    virtual unsigned char** ImageRows() = 0; // interlaced: every row
    virtual void OnRow(const unsigned char* row) = 0;
    virtual bool SameHeader(png_structp png, png_infop info) = 0;
};

// The libpng calls, in a frame that holds no C++ objects (longjmp leaves through it).
// Returns 0, 1 when libpng failed, 2 when the header is not the one the page was laid out for.
int RunDecoder(png_structp png, png_infop info, bool interlaced, png_uint_32 height,
               RowReceiver* receiver, PngErrors* errors) {
    if (setjmp(errors->jump) != 0) {
        return 1;
    }
    png_read_info(png, info);
    if (!receiver->SameHeader(png, info)) {
        return 2;
    }
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
    return 0;
}

class Receiver : public RowReceiver {
public:
    Receiver(const PngSource::Header& header, size_t rowBytes,
             const std::function<void(const unsigned char*)>& onRow)
        : m_header(header), m_onRow(onRow) {
        if (header.interlaced) {
            // Not zero-filled: memory is taken as rows are decoded.
            const size_t height = header.height;
            ImageSource::CheckBuffer(uint64_t(rowBytes) * height);
            m_image.reset(new unsigned char[rowBytes * height]);
            m_rows.resize(height);
            for (size_t y = 0; y < height; ++y) {
                m_rows[y] = m_image.get() + y * rowBytes;
            }
        } else {
            m_image.reset(new unsigned char[rowBytes]);
        }
    }
    unsigned char* RowBuffer() override { return m_image.get(); }
    unsigned char** ImageRows() override { return m_rows.data(); }
    void OnRow(const unsigned char* row) override { m_onRow(row); }
    bool SameHeader(png_structp png, png_infop info) override {
        PngSource::Header header;
        header.width = png_get_image_width(png, info);
        header.height = png_get_image_height(png, info);
        header.depth = png_get_bit_depth(png, info);
        header.colourType = png_get_color_type(png, info);
        header.interlaced = png_get_interlace_type(png, info) != PNG_INTERLACE_NONE;
        return header == m_header;
    }
    void EmitAll() {
        for (unsigned char* row : m_rows) {
            m_onRow(row);
        }
    }

private:
    const PngSource::Header& m_header;
    std::unique_ptr<unsigned char[]> m_image;
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
    ReadHeader();
}

void PngSource::ReadHeader() {
    // The chunks before the image data tell everything the page needs.
    ImageLayout layout;
    std::string palette;
    std::string transparency;
    bool sawHeader = false;
    bool sawImageData = false;
    bool sawProfile = false;
    SourceData::Stream stream(m_data);
    ChunkReader chunks(stream);
    while (chunks.Next()) {
        const std::string& type = chunks.Type();
        const size_t length = chunks.Length();
        if (!sawHeader && type != "IHDR") {
            Broken("the first chunk is not IHDR");
        }
        if (type == "IHDR") {
            if (sawHeader || length != 13) {
                Broken("bad IHDR chunk");
            }
            sawHeader = true;
            m_header = ParseHeader(chunks.Body());
            CheckSize(m_header.width, m_header.height);
            layout.width = static_cast<int>(m_header.width);
            layout.height = static_cast<int>(m_header.height);
        } else if (type == "PLTE") {
            if (length == 0 || length % 3 != 0 || length > 768) {
                Broken("bad palette");
            }
            palette = chunks.Body();
        } else if (type == "tRNS" && length <= kMaxTransparency) {
            transparency = chunks.Body();
        } else if (type == "iCCP" && !sawProfile) {
            // PNG allows one profile; any further ones are not read.
            sawProfile = true;
            if (length <= IccProfile::kMaxSize + 81) {
                const std::string body = chunks.Body();
                const auto* p = reinterpret_cast<const unsigned char*>(body.data());
                const void* end = std::memchr(p, 0, std::min<size_t>(body.size(), 80));
                if (end != nullptr) {
                    const size_t at = static_cast<const unsigned char*>(end) - p + 2;
                    if (at <= body.size()) {
                        layout.icc = InflateProfile(p + at, body.size() - at);
                    }
                }
            }
        } else if (type == "pHYs" && length == 9) {
            const std::string body = chunks.Body();
            const auto* p = reinterpret_cast<const unsigned char*>(body.data());
            if (p[8] == 1) {
                layout.xDpi = U32(p) * 0.0254;
                layout.yDpi = U32(p + 4) * 0.0254;
            }
        } else if (type == "eXIf" && length <= kMaxExif) {
            const std::string body = chunks.Body();
            layout.orientation =
                ExifReader(reinterpret_cast<const unsigned char*>(body.data()), body.size())
                    .Orientation();
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
    const int colourType = m_header.colourType;
    if (colourType == 4 || colourType == 6) {
        layout.softMask = true;
        layout.softMaskBits = m_header.depth;
    }
    m_passthrough = !m_header.interlaced && (colourType == 0 || colourType == 2 || colourType == 3);
    layout.filter = m_passthrough ? ImageLayout::Filter::FlatePng : ImageLayout::Filter::Flate;
    m_pages.push_back(std::move(layout));
}

void PngSource::DescribeColour(ImageLayout& layout, std::string palette) const {
    layout.bitsPerComponent = m_header.depth;
    switch (m_header.colourType) {
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
        palette.resize(3u << m_header.depth, '\0');
        layout.palette = palette;
        break;
    }
    default:
        break;
    }
    const int iccComponents = m_header.colourType == 0 || m_header.colourType == 4 ? 1 : 3;
    if (!IccProfile::Fits(layout.icc, iccComponents)) {
        layout.icc.clear();
    }
}

void PngSource::ReadTransparency(ImageLayout& layout, const std::string& transparency) {
    // tRNS: a colour key for grey and RGB, an alpha per palette entry for palettes.
    const auto* t = reinterpret_cast<const unsigned char*>(transparency.data());
    const unsigned maxValue = (1u << m_header.depth) - 1;
    if (m_header.colourType == 0 && transparency.size() == 2) {
        const int grey = static_cast<int>(std::min<unsigned>(t[0] << 8 | t[1], maxValue));
        layout.colourKey = {grey, grey};
    } else if (m_header.colourType == 2 && transparency.size() == 6) {
        for (int i = 0; i < 3; ++i) {
            const int value =
                static_cast<int>(std::min<unsigned>(t[2 * i] << 8 | t[2 * i + 1], maxValue));
            layout.colourKey.push_back(value);
            layout.colourKey.push_back(value);
        }
    } else if (m_header.colourType == 3) {
        m_paletteAlpha.assign(1u << m_header.depth, '\xFF');
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

void PngSource::WriteImageData(const Sink& out) const {
    // The IDAT chunks go out as they are read. Their data is inflated on the way, as a reader
    // would, to prove that it holds the image: at once by libdeflate when the image is of a
    // size held whole, else piece by piece through zlib.
    const uint64_t rowBytes =
        FlateRowEncoder::RowBytesOf(static_cast<int>(m_header.width), Channels(), m_header.depth);
    const uint64_t inflated = uint64_t(m_header.height) * (rowBytes + 1);
    bool whole = inflated <= FlateRowEncoder::kWholeImage;
    // Data is gathered whole up to what deflate's stored blocks take for the rows (5 bytes in
    // 65535, and the zlib header and checksum). Valid data may take more (an encoder that
    // flushes after each row adds 5 bytes a row): it is then checked piece by piece.
    const uint64_t mostGathered = inflated + 5 * (inflated / 65535 + 1) + 6 + 1024;
    static thread_local std::vector<unsigned char> gathered;
    gathered.clear();
    FlateRowCheck check(m_header.height, rowBytes);
    std::string problem;
    SourceData::Stream stream(m_data);
    ChunkReader chunks(stream);
    bool sawHeader = false;
    bool inData = false;
    bool dataEnded = false;
    try {
        while (chunks.Next()) {
            const std::string& type = chunks.Type();
            if (!sawHeader) {
                if (type != "IHDR" || chunks.Length() != 13 ||
                    !(ParseHeader(chunks.Body()) == m_header)) {
                    Changed();
                }
                sawHeader = true;
            } else if (type == "IDAT") {
                if (dataEnded) {
                    Broken("image data chunks are not consecutive");
                }
                inData = true;
                const unsigned char* data = nullptr;
                for (size_t n; (n = chunks.Piece(&data)) > 0;) {
                    if (whole && gathered.size() + n > mostGathered) {
                        whole = false;
                        const size_t used = check.Add(gathered.data(), gathered.size());
                        out(gathered.data(), used);
                        gathered.clear();
                    }
                    if (whole) {
                        gathered.insert(gathered.end(), data, data + n);
                        continue;
                    }
                    // Bytes after the end of the zlib stream are left out.
                    const size_t used = check.Add(data, n);
                    if (used > 0) {
                        out(data, used);
                    }
                }
            } else {
                if (inData) {
                    dataEnded = true;
                }
                if (type == "IEND") {
                    if (!inData) {
                        Broken("no image data");
                    }
                    chunks.End();
                    if (whole) {
                        const size_t used = FlateRowCheck::CheckWhole(
                            gathered.data(), gathered.size(), m_header.height, rowBytes, problem);
                        out(gathered.data(), used);
                    } else {
                        check.Finish();
                    }
                    return;
                }
            }
        }
    } catch (const PdfError&) {
        if (!check.Problem().empty()) {
            Broken(check.Problem());
        }
        if (!problem.empty()) {
            Broken(problem);
        }
        throw;
    }
    Broken("truncated file (no IEND chunk)");
}

uint64_t PngSource::ImageDataSize() const {
    SourceData::Stream stream(m_data);
    if (!stream.Ensure(8)) {
        Broken("bad signature");
    }
    stream.Skip(8);
    uint64_t total = 0;
    while (stream.Ensure(8)) {
        const uint32_t length = U32(stream.Data());
        if (std::memcmp(stream.Data() + 4, "IDAT", 4) == 0) {
            total += length;
        }
        stream.Skip(uint64_t(length) + 12);
    }
    return total;
}

int PngSource::Channels() const {
    switch (m_header.colourType) {
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

void PngSource::DecodeRows(const std::function<void(const unsigned char*)>& onRow) const {
    const size_t rowBytes =
        FlateRowEncoder::RowBytesOf(static_cast<int>(m_header.width), Channels(), m_header.depth);
    if (m_header.interlaced &&
        uint64_t(rowBytes) * m_header.height > kMaxInflation * (ImageDataSize() + 1)) {
        // The whole image is held to be deinterlaced: only as much as the data can hold.
        Broken("the image data is too short for the image size");
    }
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

    SourceData::Stream stream(m_data);
    png_set_read_fn(png, &stream, ReadFromStream);
    png_set_user_limits(png, kMaxSide, kMaxSide);
    // Text and profiles are of no use here: libpng skips them.
    static const png_byte kSkipped[] = "iCCP\0iTXt\0tEXt\0zTXt\0sPLT\0eXIf";
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kSkipped, 6);
    png_set_chunk_malloc_max(png, 8 * 1024 * 1024);
    // A checksum error fails the file, as it does where the data is copied.
    png_set_crc_action(png, PNG_CRC_ERROR_QUIT, PNG_CRC_ERROR_QUIT);

    Receiver receiver(m_header, rowBytes, onRow);
    switch (RunDecoder(png, info, m_header.interlaced, m_header.height, &receiver, &errors)) {
    case 1:
        Broken(errors.message);
    case 2:
        Changed();
    default:
        break;
    }
    if (errors.damaged) {
        Broken(errors.message);
    }
    if (m_header.interlaced) {
        receiver.EmitAll();
    }
}

void PngSource::WriteImage(int, const Sink& out, std::string* softMask) {
    const ImageLayout& layout = m_pages.front();
    const int width = layout.width;

    if (m_passthrough) {
        WriteImageData(out);
        if (!layout.softMask) {
            return;
        }
    }
    // Passed-through colour data needs its alpha rows only.
    ImageEncoder encoder(out, softMask, width, layout.height, layout.Components(),
                         m_passthrough ? 0 : m_header.depth,
                         layout.softMask ? layout.softMaskBits : 0);
    unsigned char* colourRow = encoder.ColourRow();
    unsigned char* alphaRow = encoder.AlphaRow();
    const size_t sampleBytes = m_header.depth / 8;

    DecodeRows([&](const unsigned char* row) {
        if (m_header.colourType == 4 || m_header.colourType == 6) {
            // Split interleaved colour and alpha samples.
            const size_t colours = m_header.colourType == 4 ? 1 : 3;
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
                        static_cast<unsigned char>(m_paletteAlpha[Sample(row, x, m_header.depth)]);
                }
            }
            encoder.WriteRow(row);
        }
    });
    encoder.Finish();
}
