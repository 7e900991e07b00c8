#include "pdf/jpeg_structure.h"

#include "pdf/icc_profile.h"
#include "pdf/pdf_error.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace {
constexpr unsigned char kSOI = 0xD8;
constexpr unsigned char kEOI = 0xD9;
constexpr unsigned char kSOS = 0xDA;
constexpr unsigned char kDHT = 0xC4;
constexpr unsigned char kDQT = 0xDB;

unsigned U16(const unsigned char* p) {
    return unsigned(p[0]) << 8 | p[1];
}

bool IsFrameMarker(unsigned char m) {
    return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
}

bool IsStandalone(unsigned char m) {
    return m == 0x01 || (m >= 0xD0 && m <= 0xD7);
}

// Markers that carry a length and may appear between scans or before the first one.
bool IsSegment(unsigned char m) {
    return IsFrameMarker(m) || m == 0xC4 || m == 0xCC || (m >= 0xDB && m <= 0xDF) ||
           (m >= 0xE0 && m <= 0xEF) || m == 0xFE || m == kSOS;
}

[[noreturn]] void Broken(const std::string& what) {
    throw PdfError(PDF_ERROR_CORRUPT, "broken JPEG: " + what);
}

[[noreturn]] void Truncated() {
    throw PdfError(PDF_ERROR_CORRUPT, "truncated JPEG (no end-of-image marker)");
}

void ReadFrame(const unsigned char* p, size_t length, unsigned char marker, JpegInfo& info) {
    if (info.components != 0) {
        Broken("more than one frame header");
    }
    if (length < 8) {
        Broken("short frame header");
    }
    info.frameMarker = marker;
    info.precision = p[0];
    info.height = static_cast<int>(U16(p + 1));
    info.width = static_cast<int>(U16(p + 3));
    info.components = p[5];
    if (length != 6 + 3 * static_cast<size_t>(info.components)) {
        Broken("frame header length");
    }
    for (int i = 0; i < info.components; ++i) {
        info.componentIds.push_back(p[6 + 3 * i]);
        info.sampling.push_back(p[7 + 3 * i]);
        info.quantTables.push_back(p[8 + 3 * i]);
        const int h = p[7 + 3 * i] >> 4;
        const int v = p[7 + 3 * i] & 0x0F;
        if (h < 1 || h > 4 || v < 1 || v > 4 || p[8 + 3 * i] > 3) {
            Broken("bad frame component");
        }
    }
    if (marker == 0xC3 || marker == 0xCB || (marker >= 0xC5 && marker <= 0xC7) || marker >= 0xCD) {
        throw PdfError(PDF_ERROR_UNSUPPORTED_IMAGE,
                       "lossless or hierarchical JPEG, which PDF cannot hold");
    }
    info.arithmetic = marker >= 0xC9;
    if (info.precision != 8) {
        throw PdfError(PDF_ERROR_UNSUPPORTED_IMAGE,
                       std::to_string(info.precision) + "-bit JPEG, which PDF cannot hold");
    }
    if (info.width == 0 || info.height == 0) {
        throw PdfError(PDF_ERROR_UNSUPPORTED_IMAGE, "JPEG without its image size in the header");
    }
    if (info.components != 1 && info.components != 3 && info.components != 4) {
        throw PdfError(PDF_ERROR_UNSUPPORTED_IMAGE,
                       "JPEG with " + std::to_string(info.components) + " colour components");
    }
}

class ProfileChunks {
public:
    void Add(const unsigned char* p, size_t length) {
        m_count = p[13];
        m_bytes += length - 14;
        if (m_bytes <= IccProfile::kMaxSize) {
            m_chunks[p[12]].assign(reinterpret_cast<const char*>(p + 14), length - 14);
        }
    }
    // The profile counts only when every chunk is there.
    std::string Assemble() const {
        std::string icc;
        if (m_count == 0 || m_bytes > IccProfile::kMaxSize ||
            static_cast<int>(m_chunks.size()) != m_count) {
            return icc;
        }
        for (int i = 1; i <= m_count; ++i) {
            const auto found = m_chunks.find(i);
            if (found == m_chunks.end()) {
                return {};
            }
            icc += found->second;
        }
        return icc;
    }

private:
    std::map<int, std::string> m_chunks;
    int m_count = 0;
    size_t m_bytes = 0;
};

// Application segments that a page needs; others are skipped unread.
bool IsWanted(unsigned char marker) {
    return marker == 0xE0 || marker == 0xE1 || marker == 0xE2 || marker == 0xEE;
}

void ReadApplication(const unsigned char* p, size_t length, unsigned char marker, JpegInfo& info,
                     ProfileChunks& profile) {
    if (marker == 0xE0 && length >= 12 && std::memcmp(p, "JFIF\0", 5) == 0) {
        info.jfif = true;
        info.jfifUnits = p[7];
        info.jfifXDensity = static_cast<int>(U16(p + 8));
        info.jfifYDensity = static_cast<int>(U16(p + 10));
    } else if (marker == 0xE1 && length > 6 && std::memcmp(p, "Exif\0\0", 6) == 0 &&
               info.exif.empty()) {
        info.exif.assign(reinterpret_cast<const char*>(p + 6), length - 6);
    } else if (marker == 0xE2 && length > 14 && std::memcmp(p, "ICC_PROFILE\0", 12) == 0) {
        profile.Add(p, length);
    } else if (marker == 0xEE && length >= 12 && std::memcmp(p, "Adobe", 5) == 0) {
        info.adobe = true;
        info.adobeTransform = p[11];
    }
}

// The tables the segments so far define: quantisation, and Huffman with the length of their
// shortest code (0: not defined).
struct Tables {
    bool quant[4] = {};
    int shortestCode[2][4] = {};
};

void ReadQuantTables(const unsigned char* p, size_t length, Tables& tables) {
    size_t at = 0;
    while (at < length) {
        const int precision = p[at] >> 4;
        const int id = p[at] & 0x0F;
        const size_t size = 1 + 64 * (precision == 0 ? 1 : 2);
        if (precision > 1 || id > 3 || length - at < size) {
            Broken("bad quantisation table");
        }
        tables.quant[id] = true;
        at += size;
    }
}

void ReadHuffmanTables(const unsigned char* p, size_t length, Tables& tables) {
    size_t at = 0;
    while (at < length) {
        if (length - at < 17) {
            Broken("short Huffman table");
        }
        const int tableClass = p[at] >> 4;
        const int id = p[at] & 0x0F;
        if (tableClass > 1 || id > 3) {
            Broken("bad Huffman table number");
        }
        size_t symbols = 0;
        int shortest = 0;
        for (int i = 1; i <= 16; ++i) {
            symbols += p[at + i];
            if (shortest == 0 && p[at + i] != 0) {
                shortest = i;
            }
        }
        if (symbols == 0 || symbols > 256 || length - at - 17 < symbols) {
            Broken("bad Huffman table");
        }
        tables.shortestCode[tableClass][id] = shortest;
        at += 17 + symbols;
    }
}

// Segments a PDF keeps of a JPEG it embeds: all but comments and application segments, save
// JFIF (APP0, which tells decoders that three components are YCbCr) and Adobe (APP14, which
// tells how the colours are coded: CMYK stored inverted, YCCK). A reader takes the colour space
// from the image dictionary, which holds the ICC profile of the APP2 segments (once for all
// the pages that share it), and the page applies the Exif orientation: the rest would only take
// room (an Exif thumbnail, XMP, Photoshop resources, the index of the further images of an MPO).
bool KeptInPdf(unsigned char marker, const unsigned char* body, size_t length) {
    if (marker == 0xE0) {
        return length >= 5 && std::memcmp(body, "JFIF\0", 5) == 0;
    }
    if (marker == 0xEE) {
        return length >= 5 && std::memcmp(body, "Adobe", 5) == 0;
    }
    return !(marker >= 0xE1 && marker <= 0xEF) && marker != 0xFE;
}

// Checks a scan header the way decoders do before they read the scan: readers refuse a whole
// page when a scan names a missing table or impossible progression parameters. Returns the
// fewest bits the scan's data can take, for scans whose every block takes some bits.
uint64_t CheckScan(const unsigned char* p, size_t length, const JpegInfo& frame,
                   const Tables& tables) {
    if (frame.components == 0) {
        Broken("scan before the frame header");
    }
    if (length < 1) {
        Broken("short scan header");
    }
    const int count = p[0];
    if (count < 1 || count > 4 || length != 4 + 2 * static_cast<size_t>(count)) {
        Broken("bad scan header");
    }
    const int ss = p[1 + 2 * count];
    const int se = p[2 + 2 * count];
    const int ah = p[3 + 2 * count] >> 4;
    const int al = p[3 + 2 * count] & 0x0F;
    const bool progressive = frame.frameMarker == 0xC2 || frame.frameMarker == 0xCA;
    const bool huffman = !frame.arithmetic;
    int maxH = 1;
    int maxV = 1;
    for (int sampling : frame.sampling) {
        maxH = std::max(maxH, sampling >> 4);
        maxV = std::max(maxV, sampling & 0x0F);
    }
    uint64_t fewestBits = 0;
    // Scan components must be frame components, each once, in the frame's order.
    size_t nextInFrame = 0;
    for (int i = 0; i < count; ++i) {
        const int id = p[1 + 2 * i];
        size_t at = nextInFrame;
        while (at < frame.componentIds.size() && frame.componentIds[at] != id) {
            ++at;
        }
        if (at == frame.componentIds.size()) {
            Broken("scan of an unknown component");
        }
        nextInFrame = at + 1;
        if (!tables.quant[frame.quantTables[at]]) {
            Broken("scan of a component whose quantisation table is not defined");
        }
        const int dc = p[2 + 2 * i] >> 4;
        const int ac = p[2 + 2 * i] & 0x0F;
        if (dc > 3 || ac > 3) {
            Broken("scan names a table that does not exist");
        }
        // Decoders supply the standard tables 0 and 1 when a file leaves them out (Motion
        // JPEG frames); their shortest codes have two bits.
        const bool usesDc = !progressive || (ss == 0 && ah == 0);
        const bool usesAc = !progressive || se > 0;
        const int dcShortest = tables.shortestCode[0][dc] > 0 ? tables.shortestCode[0][dc]
                               : dc <= 1                      ? 2
                                                              : 0;
        const int acShortest = tables.shortestCode[1][ac] > 0 ? tables.shortestCode[1][ac]
                               : ac <= 1                      ? 2
                                                              : 0;
        if (huffman && ((usesDc && dcShortest == 0) || (usesAc && acShortest == 0))) {
            Broken("scan names a Huffman table that is not defined");
        }
        if (huffman && !progressive) {
            // Every block codes its DC difference and at least one AC symbol.
            const uint64_t h = frame.sampling[at] >> 4;
            const uint64_t v = frame.sampling[at] & 0x0F;
            uint64_t blocks = 0;
            if (count == 1) {
                const uint64_t columns = (uint64_t(frame.width) * h + maxH - 1) / maxH;
                const uint64_t rows = (uint64_t(frame.height) * v + maxV - 1) / maxV;
                blocks = ((columns + 7) / 8) * ((rows + 7) / 8);
            } else {
                const uint64_t mcuColumns = (uint64_t(frame.width) + 8 * maxH - 1) / (8 * maxH);
                const uint64_t mcuRows = (uint64_t(frame.height) + 8 * maxV - 1) / (8 * maxV);
                blocks = mcuColumns * mcuRows * h * v;
            }
            fewestBits +=
                blocks * uint64_t(tables.shortestCode[0][dc] + tables.shortestCode[1][ac]);
        }
    }
    if (progressive) {
        const bool valid = ss <= se && se <= 63 && (ss != 0 || se == 0) &&
                           (ss == 0 || count == 1) && ah <= 13 && al <= 13 &&
                           (ah == 0 || al == ah - 1);
        if (!valid) {
            Broken("bad progressive scan parameters");
        }
    }
    return fewestBits;
}

// Walks a JPEG stream marker by marker; every byte it moves past goes to the sink.
class Walker {
public:
    Walker(SourceData::Stream& stream, const JpegStructure::Sink* out)
        : m_stream(stream), m_out(out) {
        if (!m_stream.Ensure(2) || m_stream.Data()[0] != 0xFF || m_stream.Data()[1] != kSOI) {
            Broken("no start-of-image marker");
        }
        Pass(2);
    }

    // Hands the marker just passed to the sink.
    void Emit(unsigned char marker) {
        if (m_out != nullptr) {
            const unsigned char bytes[2] = {0xFF, marker};
            (*m_out)(bytes, 2);
        }
    }

    // Moves past `count` buffered bytes, leaving them out of the sink.
    void Drop(size_t count) { m_stream.Skip(count); }

    // Moves past `count` buffered bytes.
    void Pass(size_t count) {
        if (m_out != nullptr && count > 0) {
            (*m_out)(m_stream.Data(), count);
        }
        m_stream.Skip(count);
    }

    // Moves to the next marker and past it; false when the data ends first. Extraneous bytes
    // before a marker are skipped, as libjpeg does (and passed on). The marker itself goes to
    // the sink with Emit, once the caller keeps it.
    bool NextMarker(unsigned char& marker) {
        for (;;) {
            if (!m_stream.Ensure(1)) {
                return false;
            }
            const unsigned char* data = m_stream.Data();
            const size_t available = m_stream.Available();
            const void* found = std::memchr(data, 0xFF, available);
            if (found == nullptr) {
                Pass(available);
                continue;
            }
            Pass(static_cast<const unsigned char*>(found) - data);
            // Fill bytes.
            for (;;) {
                if (!m_stream.Ensure(2)) {
                    return false;
                }
                if (m_stream.Data()[1] != 0xFF) {
                    break;
                }
                Pass(1);
            }
            marker = m_stream.Data()[1];
            m_stream.Skip(2);
            return true;
        }
    }

    // The body of the segment whose marker was just passed, buffered in place; null when the
    // data ends first. `length` is the segment's length field.
    const unsigned char* Segment(size_t& length) {
        if (!m_stream.Ensure(2)) {
            return nullptr;
        }
        length = U16(m_stream.Data());
        if (length < 2) {
            Broken("segment length");
        }
        if (!m_stream.Ensure(length)) {
            return nullptr;
        }
        return m_stream.Data() + 2;
    }

    // Moves past a segment without looking at it (without a sink: unread).
    bool SkipSegment() {
        if (!m_stream.Ensure(2)) {
            return false;
        }
        const size_t length = U16(m_stream.Data());
        if (length < 2) {
            Broken("segment length");
        }
        if (m_out == nullptr) {
            if (m_stream.Size() - m_stream.Position() < length) {
                return false;
            }
            m_stream.Skip(length);
            return true;
        }
        if (!m_stream.Ensure(length)) {
            return false;
        }
        Pass(length);
        return true;
    }

    // Moves past entropy-coded data (with its stuffed zeros and restart markers) to the
    // marker that ends it; returns the bytes passed. More than `most` bytes is an error.
    uint64_t SkipEntropyData(uint64_t most) {
        uint64_t passed = 0;
        for (;;) {
            if (passed > most) {
                Broken("more image data than the image can hold");
            }
            if (!m_stream.Ensure(2)) {
                Truncated();
            }
            const unsigned char* data = m_stream.Data();
            const size_t available = m_stream.Available();
            const void* found = std::memchr(data, 0xFF, available - 1);
            if (found == nullptr) {
                Pass(available - 1);
                passed += available - 1;
                continue;
            }
            const size_t at = static_cast<const unsigned char*>(found) - data;
            const unsigned char next = data[at + 1];
            if (next == 0x00 || (next >= 0xD0 && next <= 0xD7)) {
                Pass(at + 2); // stuffed zero or restart marker
                passed += at + 2;
                continue;
            }
            if (next == 0xFF) {
                Pass(at + 1); // fill byte
                passed += at + 1;
                continue;
            }
            Pass(at);
            return passed + at;
        }
    }

private:
    SourceData::Stream& m_stream;
    const JpegStructure::Sink* m_out;
};
} // namespace

bool JpegInfo::BuffersWholeImage() const {
    return frameMarker == 0xC2 || frameMarker == 0xCA || firstScanComponents < components;
}

uint64_t JpegInfo::CoefficientBytes() const {
    int maxH = 1;
    int maxV = 1;
    for (int factors : sampling) {
        maxH = std::max(maxH, factors >> 4);
        maxV = std::max(maxV, factors & 0x0F);
    }
    const uint64_t mcuColumns = (uint64_t(width) + 8 * maxH - 1) / (8 * maxH);
    const uint64_t mcuRows = (uint64_t(height) + 8 * maxV - 1) / (8 * maxV);
    uint64_t blocks = 0;
    for (int factors : sampling) {
        blocks += mcuColumns * (factors >> 4) * mcuRows * (factors & 0x0F);
    }
    return blocks * 64 * 2;
}

bool JpegInfo::SameFrame(const JpegInfo& other) const {
    return width == other.width && height == other.height && components == other.components &&
           precision == other.precision && frameMarker == other.frameMarker &&
           componentIds == other.componentIds && sampling == other.sampling;
}

void JpegStructure::ParseHeader(SourceData::Stream& stream, JpegInfo& info) {
    Walker walker(stream, nullptr);
    ProfileChunks profile;
    for (;;) {
        unsigned char marker = 0;
        if (!walker.NextMarker(marker)) {
            throw PdfError(PDF_ERROR_CORRUPT, "truncated JPEG (the headers are incomplete)");
        }
        if (IsStandalone(marker)) {
            continue;
        }
        if (!IsSegment(marker)) {
            Broken(marker == kEOI ? "no image data" : "unexpected marker");
        }
        if (marker == kSOS) {
            if (info.components == 0) {
                Broken("scan before the frame header");
            }
            size_t length = 0;
            const unsigned char* body = walker.Segment(length);
            if (body != nullptr && length > 2) {
                info.firstScanComponents = body[0];
            }
            break;
        }
        if (!IsFrameMarker(marker) && !IsWanted(marker)) {
            if (!walker.SkipSegment()) {
                throw PdfError(PDF_ERROR_CORRUPT, "truncated JPEG (the headers are incomplete)");
            }
            continue;
        }
        size_t length = 0;
        const unsigned char* body = walker.Segment(length);
        if (body == nullptr) {
            throw PdfError(PDF_ERROR_CORRUPT, "truncated JPEG (the headers are incomplete)");
        }
        if (IsFrameMarker(marker)) {
            ReadFrame(body, length - 2, marker, info);
        } else {
            ReadApplication(body, length - 2, marker, info, profile);
        }
        walker.Pass(length);
    }
    info.icc = profile.Assemble();
}

JpegInfo JpegStructure::Copy(SourceData::Stream& stream, const Sink* out, bool forPdf) {
    Walker walker(stream, out);
    JpegInfo frame;
    Tables tables;
    bool sawScan = false;
    for (;;) {
        unsigned char marker = 0;
        if (!walker.NextMarker(marker)) {
            Truncated();
        }
        if (marker == kEOI) {
            if (!sawScan) {
                Broken("no image data");
            }
            walker.Emit(marker);
            return frame;
        }
        if (IsStandalone(marker)) {
            walker.Emit(marker);
            continue;
        }
        if (!IsSegment(marker)) {
            Broken("unexpected marker in the image data");
        }
        if (forPdf && ((marker >= 0xE0 && marker <= 0xEF) || marker == 0xFE)) {
            size_t length = 0;
            const unsigned char* body = walker.Segment(length);
            if (body == nullptr) {
                Truncated();
            }
            if (KeptInPdf(marker, body, length - 2)) {
                walker.Emit(marker);
                walker.Pass(length);
            } else {
                walker.Drop(length);
            }
            continue;
        }
        walker.Emit(marker);
        if (!IsFrameMarker(marker) && marker != kDHT && marker != kDQT && marker != kSOS) {
            if (!walker.SkipSegment()) {
                Truncated();
            }
            continue;
        }
        size_t length = 0;
        const unsigned char* body = walker.Segment(length);
        if (body == nullptr) {
            Truncated();
        }
        uint64_t fewestBits = 0;
        if (IsFrameMarker(marker)) {
            ReadFrame(body, length - 2, marker, frame);
        } else if (marker == kDHT) {
            ReadHuffmanTables(body, length - 2, tables);
        } else if (marker == kDQT) {
            ReadQuantTables(body, length - 2, tables);
        } else {
            fewestBits = CheckScan(body, length - 2, frame, tables);
        }
        walker.Pass(length);
        if (marker == kSOS) {
            sawScan = true;
            // Coded data takes at most a few bytes a sample (with stuffing): data that runs
            // on far beyond that is not an image of this size.
            const uint64_t samples = uint64_t(frame.width) * frame.height * frame.components;
            const uint64_t bytes = walker.SkipEntropyData(16 * samples + (1 << 20));
            if (bytes * 8 < fewestBits) {
                Broken("the image data is too short for the image size");
            }
        }
    }
}

bool JpegStructure::ParseHeader(const unsigned char* data, size_t size, JpegInfo& info) {
    const SourceData source =
        SourceData::FromMemory(std::string(reinterpret_cast<const char*>(data), size), "memory");
    SourceData::Stream stream(source);
    try {
        ParseHeader(stream, info);
    } catch (const PdfError& error) {
        if (std::string(error.what()).find("headers are incomplete") != std::string::npos) {
            return false;
        }
        throw;
    }
    return true;
}

size_t JpegStructure::FindEnd(const unsigned char* data, size_t size) {
    const SourceData source =
        SourceData::FromMemory(std::string(reinterpret_cast<const char*>(data), size), "memory");
    SourceData::Stream stream(source);
    size_t end = 0;
    const Sink count = [&end](const unsigned char*, size_t n) { end += n; };
    Copy(stream, &count);
    return end;
}
