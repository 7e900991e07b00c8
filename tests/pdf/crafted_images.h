#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct tiff;

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

// A JPEG marker segment.
std::string JpegSegment(unsigned char marker, const std::string& body);
// A grey JPEG of the given frame (0xC0 baseline, 0xC9 arithmetic) with its quantisation and
// (baseline) Huffman tables 0, one scan of `entropy` bytes, and its end marker.
std::string GreyJpeg(uint16_t width, uint16_t height, unsigned char frame,
                     const std::string& entropy);

// A JPEG made by libjpeg from a pattern of `components` (1 or 3) components: Huffman or
// arithmetic coding, sequential or progressive, with a restart marker after every
// `restartRows` rows of blocks (0 for none).
struct JpegCoding {
    bool arithmetic = false;
    bool progressive = false;
    int restartRows = 0;
};
std::string EncodeJpeg(int width, int height, int components, const JpegCoding& coding = {});
// The JPEG with its entropy-coded data after `kept` bytes of it cut off, and the end marker.
std::string CutJpegScan(const std::string& jpeg, size_t kept);

// A GIF: logical screen, global palette of two colours, one image descriptor and its LZW data
// (minimum code size 2) as given, then the trailer.
std::string GifFile(uint16_t screenWidth, uint16_t screenHeight, uint16_t left, uint16_t top,
                    uint16_t width, uint16_t height, const std::string& lzwData);

// An 8-bit (RLE8) or 4-bit (RLE4) BMP with a two-colour palette and the RLE data given.
std::string RleBmp(int32_t width, int32_t height, int bits, const std::string& data);

// Little- and big-endian integers.
std::string Le16(uint32_t value);
std::string Le32(uint32_t value);
std::string Be16(uint32_t value);
std::string Be32(uint32_t value);

// A TIFF written by libtiff: `build` sets the fields and writes the data.
std::string MakeTiff(const std::function<void(struct tiff*)>& build);

} // namespace pdftest
