#include "pdf/jpeg_structure.h"

#include "pdf/pdf_error.h"

#include <cstring>
#include <map>

namespace {
constexpr unsigned char kSOI = 0xD8;
constexpr unsigned char kEOI = 0xD9;
constexpr unsigned char kSOS = 0xDA;

unsigned U16(const unsigned char* p)
{
    return unsigned(p[0]) << 8 | p[1];
}

bool IsFrameMarker(unsigned char m)
{
    return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
}

bool IsStandalone(unsigned char m)
{
    return m == 0x01 || (m >= 0xD0 && m <= 0xD7);
}

// Markers that carry a length and may appear between scans or before the first one.
bool IsSegment(unsigned char m)
{
    return IsFrameMarker(m) || m == 0xC4 || m == 0xCC || (m >= 0xDB && m <= 0xDF) ||
           (m >= 0xE0 && m <= 0xEF) || m == 0xFE || m == kSOS;
}

[[noreturn]] void Broken(const std::string& what)
{
    throw PdfError(PDF_ERROR_CORRUPT, "broken JPEG: " + what);
}

void ReadFrame(const unsigned char* p, size_t length, unsigned char marker, JpegInfo& info)
{
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
    if (marker == 0xC3 || marker == 0xCB || (marker >= 0xC5 && marker <= 0xC7) ||
        marker >= 0xCD) {
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
                     std::map<int, std::string>& iccChunks, int& iccCount)
{
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
size_t SkipEntropyData(const unsigned char* data, size_t size, size_t pos)
{
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
} // namespace

bool JpegStructure::ParseHeader(const unsigned char* data, size_t size, JpegInfo& info)
{
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
            Broken("data where a marker belongs");
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

size_t JpegStructure::FindEnd(const unsigned char* data, size_t size)
{
    if (size < 2 || data[0] != 0xFF || data[1] != kSOI) {
        Broken("no start-of-image marker");
    }
    bool sawScan = false;
    size_t pos = 2;
    while (pos < size) {
        if (data[pos] != 0xFF) {
            Broken("data where a marker belongs");
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
        pos += length;
        if (marker == kSOS) {
            sawScan = true;
            pos = SkipEntropyData(data, size, pos);
        }
    }
    throw PdfError(PDF_ERROR_CORRUPT, "truncated JPEG (no end-of-image marker)");
}
