#include "pdf/crafted_images.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <jpeglib.h>
#include <sstream>
#include <tiffio.h>
#include <unistd.h>
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

std::string JpegSegment(unsigned char marker, const std::string& body) {
    return std::string("\xFF", 1) + static_cast<char>(marker) + Be16(body.size() + 2) + body;
}

std::string GreyJpeg(uint16_t width, uint16_t height, unsigned char frame,
                     const std::string& entropy) {
    const std::string quant = std::string(1, '\0') + std::string(64, '\x01');
    const std::string frameBody =
        std::string(1, '\x08') + Be16(height) + Be16(width) + std::string("\x01\x01\x11\x00", 4);
    // One code of one bit, for the symbol 0.
    const std::string huffman = std::string("\x01", 1) + std::string(15, '\0') + '\0';
    std::string jpeg =
        std::string("\xFF\xD8", 2) + JpegSegment(0xDB, quant) + JpegSegment(frame, frameBody);
    if (frame < 0xC8) {
        jpeg += JpegSegment(0xC4, std::string(1, '\x00') + huffman) +
                JpegSegment(0xC4, std::string(1, '\x10') + huffman);
    }
    return jpeg + JpegSegment(0xDA, std::string("\x01\x01\x00\x00\x3F\x00", 6)) + entropy +
           std::string("\xFF\xD9", 2);
}

std::string EncodeJpeg(int width, int height, int components, const JpegCoding& coding) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = components;
    info.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    info.arith_code = coding.arithmetic ? TRUE : FALSE;
    info.restart_in_rows = coding.restartRows;
    if (coding.progressive) {
        jpeg_simple_progression(&info);
    }
    jpeg_start_compress(&info, TRUE);
    std::vector<unsigned char> row(static_cast<size_t>(width) * components);
    for (int y = 0; y < height; ++y) {
        for (size_t i = 0; i < row.size(); ++i) {
            row[i] = static_cast<unsigned char>((i * 7 + static_cast<size_t>(y) * 13) ^ (i * y));
        }
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::string jpeg(reinterpret_cast<const char*>(out), size);
    std::free(out);
    return jpeg;
}

std::string CutJpegScan(const std::string& jpeg, size_t kept) {
    const size_t scan = jpeg.find("\xFF\xDA");
    const size_t data = scan + 2 +
                        (static_cast<unsigned char>(jpeg[scan + 2]) << 8 |
                         static_cast<unsigned char>(jpeg[scan + 3]));
    return jpeg.substr(0, data + kept) + std::string("\xFF\xD9", 2);
}

std::string GifFile(uint16_t screenWidth, uint16_t screenHeight, uint16_t left, uint16_t top,
                    uint16_t width, uint16_t height, const std::string& lzwData) {
    std::string gif = "GIF89a" + Le16(screenWidth) + Le16(screenHeight);
    gif += std::string("\x80\x00\x00", 3);             // global palette of two entries
    gif += std::string("\x00\x00\x00\xFF\xFF\xFF", 6); // black, white
    gif += "," + Le16(left) + Le16(top) + Le16(width) + Le16(height) + '\0';
    gif += '\x02';
    for (size_t at = 0; at < lzwData.size(); at += 255) {
        const std::string block = lzwData.substr(at, 255);
        gif += static_cast<char>(block.size()) + block;
    }
    return gif + '\0' + ';';
}

std::string RleBmp(int32_t width, int32_t height, int bits, const std::string& data) {
    const uint32_t offset = 14 + 40 + 8;
    std::string bmp =
        "BM" + Le32(offset + static_cast<uint32_t>(data.size())) + Le32(0) + Le32(offset);
    bmp += Le32(40) + Le32(static_cast<uint32_t>(width)) + Le32(static_cast<uint32_t>(height));
    bmp += Le16(1) + Le16(static_cast<uint32_t>(bits)) + Le32(bits == 8 ? 1 : 2);
    bmp += Le32(static_cast<uint32_t>(data.size())) + Le32(2835) + Le32(2835) + Le32(2) + Le32(0);
    bmp += std::string("\x00\x00\xFF\x00\xFF\x00\x00\x00", 8); // red, blue
    return bmp + data;
}

std::string MakeTiff(const std::function<void(TIFF*)>& build) {
    std::string pattern = (std::filesystem::temp_directory_path() / "ombrix-tiff-XXXXXX").string();
    const int fd = mkstemp(pattern.data());
    if (fd >= 0) {
        ::close(fd);
    }
    const char* path = pattern.c_str();
    TIFF* tif = TIFFOpen(path, "w");
    build(tif);
    TIFFClose(tif);
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    std::remove(path);
    return bytes.str();
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
