#include "pdf/jpeg_structure.h"

#include "pdf/pdf_error.h"

#include <cstring>
#include <map>

namespace {
constexpr unsigned char kSOI = 0xD8;
constexpr unsigned char kEOI = 0xD9;
constexpr unsigned char kSOS = 0xDA;

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

void ReadApplication(const unsigned char* p, size_t length, unsigned char marker, JpegInfo& info,
                     std::map<int, std::string>& iccChunks, int& iccCount) {
    if (marker == 0xE0 && length >= 12 && std::memcmp(p, "JFIF\0", 5) == 0) {
        info.jfif = true;
        info.jfifUnits = p[7];
        info.jfifXDensity = static_cast<int>(U16(p + 8));
        info.jfifYDensity = static_cast<int>(U16(p + 10));
    } else if (marker == 0xE1 && length > 6 && std::memcmp(p, "Exif\0\0", 6) == 0 &&
               info.exif.empty()) {
        info.exif.assign(reinterpret_cast<const char*>(p + 6), length - 6);
    } else if (marker == 0xE2 && length > 14 && std::memcmp(p, "ICC_PROFILE\0", 12) == 0) {
        iccCount = p[13];
        iccChunks[p[12]].assign(reinterpret_cast<const char*>(p + 14), length - 14);
    } else if (marker == 0xEE && length >= 12 && std::memcmp(p, "Adobe", 5) == 0) {
        info.adobe = true;
        info.adobeTransform = p[11];
    }
}

// Skips an entropy-coded segment starting at `pos`; returns the position of the marker that
// ends it, or `size` when the data ends first.
size_t SkipEntropyData(const unsigned char* data, size_t size, size_t pos) {
    while (pos < size) {
        const void* found = std::memchr(data + pos, 0xFF, size - pos);
        if (found == nullptr) {
            return size;
        }
        pos = static_cast<const unsigned char*>(found) - data;
        size_t next = pos + 1;
        while (next < size && data[next] == 0xFF) {
            ++next; // fill bytes
        }
        if (next >= size) {
            return size;
        }
        const unsigned char m = data[next];
        if (m == 0x00 || (m >= 0xD0 && m <= 0xD7)) {
            pos = next + 1; // stuffed zero or restart marker
            continue;
        }
        return next - 1;
    }
    return size;
}

// Records the Huffman tables a DHT segment defines.
void ReadHuffmanTables(const unsigned char* p, size_t length, bool (&defined)[2][4]) {
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
        for (int i = 1; i <= 16; ++i) {
            symbols += p[at + i];
        }
        if (symbols > 256 || length - at - 17 < symbols) {
            Broken("bad Huffman table");
        }
        defined[tableClass][id] = true;
        at += 17 + symbols;
    }
}

// Checks a scan header the way decoders do before they read the scan: readers refuse a
// whole page when a scan names a missing table or impossible progression parameters.
void CheckScan(const unsigned char* p, size_t length, const JpegInfo& frame,
               const bool (&defined)[2][4]) {
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
        const int dc = p[2 + 2 * i] >> 4;
        const int ac = p[2 + 2 * i] & 0x0F;
        if (dc > 3 || ac > 3) {
            Broken("scan names a table that does not exist");
        }
        // Decoders supply the standard tables 0 and 1 when a file leaves them out.
        const bool usesDc = !progressive || (ss == 0 && ah == 0);
        const bool usesAc = !progressive || se > 0;
        if (huffman &&
            ((usesDc && dc > 1 && !defined[0][dc]) || (usesAc && ac > 1 && !defined[1][ac]))) {
            Broken("scan names a Huffman table that is not defined");
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
}
} // namespace

bool JpegStructure::ParseHeader(const unsigned char* data, size_t size, JpegInfo& info) {
    if (size < 2 || data[0] != 0xFF || data[1] != kSOI) {
        Broken("no start-of-image marker");
    }
    std::map<int, std::string> iccChunks;
    int iccCount = 0;
    size_t pos = 2;
    for (;;) {
        if (pos >= size) {
            return false;
        }
        if (data[pos] != 0xFF) {
            // Extraneous bytes before a marker: skipped, as libjpeg does.
            const void* next = std::memchr(data + pos, 0xFF, size - pos);
            if (next == nullptr) {
                return false;
            }
            pos = static_cast<const unsigned char*>(next) - data;
        }
        while (pos < size && data[pos] == 0xFF) {
            ++pos;
        }
        if (pos >= size) {
            return false;
        }
        const unsigned char marker = data[pos++];
        if (IsStandalone(marker)) {
            continue;
        }
        if (!IsSegment(marker)) {
            Broken(marker == kEOI ? "no image data" : "unexpected marker");
        }
        if (pos + 2 > size) {
            return false;
        }
        const size_t length = U16(data + pos);
        if (length < 2) {
            Broken("segment length");
        }
        if (pos + length > size) {
            return false;
        }
        const unsigned char* body = data + pos + 2;
        const size_t bodyLength = length - 2;
        if (IsFrameMarker(marker)) {
            ReadFrame(body, bodyLength, marker, info);
        } else if (marker >= 0xE0 && marker <= 0xEF) {
            ReadApplication(body, bodyLength, marker, info, iccChunks, iccCount);
        } else if (marker == kSOS) {
            if (info.components == 0) {
                Broken("scan before the frame header");
            }
            break;
        }
        pos += length;
    }

    // The ICC profile counts only when every chunk is there.
    if (iccCount > 0 && static_cast<int>(iccChunks.size()) == iccCount) {
        for (int i = 1; i <= iccCount; ++i) {
            const auto found = iccChunks.find(i);
            if (found == iccChunks.end()) {
                info.icc.clear();
                break;
            }
            info.icc += found->second;
        }
    }
    return true;
}

size_t JpegStructure::FindEnd(const unsigned char* data, size_t size) {
    if (size < 2 || data[0] != 0xFF || data[1] != kSOI) {
        Broken("no start-of-image marker");
    }
    JpegInfo frame;
    bool definedTables[2][4] = {};
    bool sawScan = false;
    size_t pos = 2;
    while (pos < size) {
        if (data[pos] != 0xFF) {
            // Extraneous bytes before a marker: skipped, as libjpeg does.
            const void* next = std::memchr(data + pos, 0xFF, size - pos);
            if (next == nullptr) {
                break;
            }
            pos = static_cast<const unsigned char*>(next) - data;
        }
        while (pos < size && data[pos] == 0xFF) {
            ++pos;
        }
        if (pos >= size) {
            break;
        }
        const unsigned char marker = data[pos++];
        if (marker == kEOI) {
            if (!sawScan) {
                Broken("no image data");
            }
            return pos;
        }
        if (IsStandalone(marker)) {
            continue;
        }
        if (!IsSegment(marker)) {
            Broken("unexpected marker in the image data");
        }
        if (pos + 2 > size) {
            break;
        }
        const size_t length = U16(data + pos);
        if (length < 2) {
            Broken("segment length");
        }
        if (pos + length > size) {
            break;
        }
        const unsigned char* body = data + pos + 2;
        const size_t bodyLength = length - 2;
        if (IsFrameMarker(marker)) {
            ReadFrame(body, bodyLength, marker, frame);
        } else if (marker == 0xC4) {
            ReadHuffmanTables(body, bodyLength, definedTables);
        } else if (marker == kSOS) {
            CheckScan(body, bodyLength, frame, definedTables);
        }
        pos += length;
        if (marker == kSOS) {
            sawScan = true;
            pos = SkipEntropyData(data, size, pos);
        }
    }
    throw PdfError(PDF_ERROR_CORRUPT, "truncated JPEG (no end-of-image marker)");
}
