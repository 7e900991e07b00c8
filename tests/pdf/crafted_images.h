#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Small image files made byte by byte, for tests of damaged and hostile input: each fixture
// is a few lines here rather than a binary file in the repository.
namespace pdftest {

// zlib data of `raw`.
std::string Zlib(const std::string& raw, int level = 6);

// A PNG chunk with its length and checksum.
std::string PngChunk(const std::string& type, const std::string& body);
// An IHDR chunk.
std::string PngHeader(uint32_t width, uint32_t height, int depth, int colourType,
                      int interlace = 0);
// The signature followed by the chunks.
std::string PngFile(const std::vector<std::string>& chunks);
// A grey 8-bit PNG whose rows (filter 0) hold `value`.
std::string GreyPng(uint32_t width, uint32_t height, unsigned char value = 128);

// Little- and big-endian integers.
std::string Le16(uint32_t value);
std::string Le32(uint32_t value);
std::string Be16(uint32_t value);
std::string Be32(uint32_t value);

} // namespace pdftest
