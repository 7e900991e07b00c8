#include "pdf/crafted_images.h"

#include <zlib.h>

namespace pdftest {

std::string Zlib(const std::string& raw, int level) {
    uLongf size = compressBound(raw.size());
    std::string out(size, '\0');
    compress2(reinterpret_cast<Bytef*>(out.data()), &size,
              reinterpret_cast<const Bytef*>(raw.data()), raw.size(), level);
    out.resize(size);
    return out;
}

std::string PngChunk(const std::string& type, const std::string& body) {
    const std::string typed = type + body;
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(typed.data()), typed.size());
    return Be32(static_cast<uint32_t>(body.size())) + typed + Be32(static_cast<uint32_t>(crc));
}

std::string PngHeader(uint32_t width, uint32_t height, int depth, int colourType, int interlace) {
    std::string body = Be32(width) + Be32(height);
    body += static_cast<char>(depth);
    body += static_cast<char>(colourType);
    body += std::string(2, '\0');
    body += static_cast<char>(interlace);
    return PngChunk("IHDR", body);
}

std::string PngFile(const std::vector<std::string>& chunks) {
    std::string file = "\x89PNG\r\n\x1A\n";
    for (const std::string& chunk : chunks) {
        file += chunk;
    }
    return file;
}

std::string GreyPng(uint32_t width, uint32_t height, unsigned char value) {
    std::string raw;
    for (uint32_t y = 0; y < height; ++y) {
        raw += '\0';
        raw += std::string(width, static_cast<char>(value));
    }
    return PngFile(
        {PngHeader(width, height, 8, 0), PngChunk("IDAT", Zlib(raw)), PngChunk("IEND", "")});
}

std::string Le16(uint32_t value) {
    return {static_cast<char>(value), static_cast<char>(value >> 8)};
}

std::string Le32(uint32_t value) {
    return Le16(value) + Le16(value >> 16);
}

std::string Be16(uint32_t value) {
    return {static_cast<char>(value >> 8), static_cast<char>(value)};
}

std::string Be32(uint32_t value) {
    return Be16(value >> 16) + Be16(value);
}

} // namespace pdftest
