#include "pdf/exif_reader.h"
#include "pdf/jpeg_structure.h"
#include "pdf/pdf_error.h"

#include <gtest/gtest.h>

#include <string>

namespace {
std::string Segment(unsigned char marker, const std::string& body) {
    const size_t length = body.size() + 2;
    return std::string("\xFF") + static_cast<char>(marker) + static_cast<char>(length >> 8) +
           static_cast<char>(length & 0xFF) + body;
}

// A minimal baseline JPEG structure: a grey frame (16 x 8 unless said), its quantisation and
// Huffman tables 0, one scan, some entropy data.
std::string Jpeg(const std::string& scanParameters = std::string("\x00\x3F\x00", 3),
                 unsigned char frame = 0xC0, unsigned char precision = 8,
                 const std::string& extra = "",
                 const std::string& size = std::string("\x00\x08\x00\x10", 4),
                 const std::string& tables = std::string("\x01\x00", 2)) {
    std::string frameBody;
    frameBody += static_cast<char>(precision);
    frameBody += size + std::string("\x01\x01\x11\x00", 4);
    std::string scan = std::string("\x01\x01", 2) + tables.substr(1) + scanParameters;
    const std::string quant = std::string(1, '\0') + std::string(64, '\x01');
    // One code of one bit for the symbol 0.
    const std::string huffman = std::string("\x01", 1) + std::string(15, '\0') + '\0';
    return std::string("\xFF\xD8", 2) + extra + Segment(0xDB, quant) + Segment(frame, frameBody) +
           Segment(0xC4, std::string(1, '\x00') + huffman) +
           Segment(0xC4, std::string(1, '\x10') + huffman) + Segment(0xDA, scan) +
           std::string("\x12\x34\xFF\x00\x56\xFF\xD0\x78", 8) + std::string("\xFF\xD9", 2);
}

int Code(const std::string& data) {
    try {
        JpegInfo info;
        JpegStructure::ParseHeader(reinterpret_cast<const unsigned char*>(data.data()), data.size(),
                                   info);
        JpegStructure::FindEnd(reinterpret_cast<const unsigned char*>(data.data()), data.size());
        return 0;
    } catch (const PdfError& error) {
        return error.Code();
    }
}
} // namespace

TEST(JpegStructureTest, WalksToTheEndMarker) {
    const std::string jpeg = Jpeg() + "trailing bytes";
    JpegInfo info;
    ASSERT_TRUE(JpegStructure::ParseHeader(reinterpret_cast<const unsigned char*>(jpeg.data()),
                                           jpeg.size(), info));
    EXPECT_EQ(info.width, 16);
    EXPECT_EQ(info.height, 8);
    EXPECT_EQ(info.components, 1);
    EXPECT_EQ(
        JpegStructure::FindEnd(reinterpret_cast<const unsigned char*>(jpeg.data()), jpeg.size()),
        jpeg.size() - std::string("trailing bytes").size());
}

TEST(JpegStructureTest, RefusesWhatReadersCannotShow) {
    const std::string good = Jpeg();
    std::string noQuantTable = good;
    noQuantTable.replace(noQuantTable.find(std::string("\x01\x11\x00", 3)), 3,
                         std::string("\x01\x11\x01", 3));
    struct Case {
        const char* label;
        std::string data;
        int code;
    };
    const Case cases[] = {
        {"good", good, 0},
        {"truncated in the scan", good.substr(0, good.size() - 4), PDF_ERROR_CORRUPT},
        {"no end marker", good.substr(0, good.size() - 2), PDF_ERROR_CORRUPT},
        {"12-bit", Jpeg(std::string("\x00\x3F\x00", 3), 0xC0, 12), PDF_ERROR_UNSUPPORTED_IMAGE},
        {"lossless", Jpeg(std::string("\x01\x00\x00", 3), 0xC3), PDF_ERROR_UNSUPPORTED_IMAGE},
        {"progressive refinement with a bad Al", Jpeg(std::string("\x01\x3F\x1E", 3), 0xC2),
         PDF_ERROR_CORRUPT},
        {"progressive AC scan", Jpeg(std::string("\x01\x3F\x00", 3), 0xC2), 0},
        {"scan before frame",
         std::string("\xFF\xD8", 2) + Segment(0xDA, std::string("\x01\x01\x00\x00\x3F\x00", 6)) +
             "\xFF\xD9",
         PDF_ERROR_CORRUPT},
        {"bad segment length", std::string("\xFF\xD8\xFF\xE0\x00\x01", 6), PDF_ERROR_CORRUPT},
        {"not a JPEG", "GIF89a", PDF_ERROR_CORRUPT},
        {"extraneous bytes before a marker", Jpeg(std::string("\x00\x3F\x00", 3), 0xC0, 8, "junk"),
         0},
        // A 4096 x 4096 frame takes 262144 blocks, at least two bits each.
        {"scan far too short for its frame",
         Jpeg(std::string("\x00\x3F\x00", 3), 0xC0, 8, "", std::string("\x10\x00\x10\x00", 4)),
         PDF_ERROR_CORRUPT},
        {"a quantisation table named but not defined", noQuantTable, PDF_ERROR_CORRUPT},
        {"a Huffman table named but not defined",
         Jpeg(std::string("\x00\x3F\x00", 3), 0xC0, 8, "", std::string("\x00\x08\x00\x10", 4),
              std::string("\x01\x22", 2)),
         PDF_ERROR_CORRUPT},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Code(c.data), c.code) << c.label;
    }
}

TEST(JpegStructureTest, AssemblesIccProfileChunksAndReadsMarkers) {
    const std::string icc1 = std::string("ICC_PROFILE\0\x01\x02", 14) + "first-";
    const std::string icc2 = std::string("ICC_PROFILE\0\x02\x02", 14) + "second";
    const std::string adobe = std::string("Adobe\x00\x64\x00\x00\x00\x00\x02", 12);
    const std::string jfif = std::string("JFIF\0\x01\x02\x01\x01\x2C\x00\x96\x00\x00", 14);
    const std::string jpeg = Jpeg(std::string("\x00\x3F\x00", 3), 0xC0, 8,
                                  Segment(0xE0, jfif) + Segment(0xE2, icc2) + Segment(0xE2, icc1) +
                                      Segment(0xEE, adobe));
    JpegInfo info;
    ASSERT_TRUE(JpegStructure::ParseHeader(reinterpret_cast<const unsigned char*>(jpeg.data()),
                                           jpeg.size(), info));
    EXPECT_EQ(info.icc, "first-second");
    EXPECT_TRUE(info.adobe);
    EXPECT_EQ(info.adobeTransform, 2);
    EXPECT_TRUE(info.jfif);
    EXPECT_EQ(info.jfifUnits, 1);
    EXPECT_EQ(info.jfifXDensity, 300);
    EXPECT_EQ(info.jfifYDensity, 150);
}

TEST(JpegStructureTest, APdfKeepsTheSegmentsItNeedsAndTheImageDataByteForByte) {
    // Kept: JFIF, Adobe, a restart interval, the tables, frame and scan (with its stuffed
    // bytes and restart markers); left out: a comment, Exif, an ICC chunk (the profile is in
    // the image's colour space), Photoshop resources, a JFIF extension, an MPF index.
    const std::string jfif =
        Segment(0xE0, std::string("JFIF\0\x01\x02\x01\x00\x48\x00\x48\0\0", 14));
    const std::string adobe = Segment(0xEE, std::string("Adobe\0\x64\0\0\0\0\x01", 12));
    const std::string restarts = Segment(0xDD, std::string("\x00\x04", 2));
    const std::string dropped =
        Segment(0xFE, "made by a camera") + Segment(0xE1, std::string("Exif\0\0II*\0", 10)) +
        Segment(0xE2, std::string("ICC_PROFILE\0\x01\x01", 14) + std::string(128, 'p')) +
        Segment(0xED, "Photoshop 3.0") + Segment(0xE0, std::string("JFXX\0\x10", 6)) +
        Segment(0xE2, std::string("MPF\0II*\0", 8));
    const std::string kept = Jpeg(std::string("\x00\x3F\x00", 3), 0xC0, 8, jfif + adobe + restarts);
    const std::string file =
        Jpeg(std::string("\x00\x3F\x00", 3), 0xC0, 8, jfif + dropped + adobe + restarts) +
        "after the end";
    const SourceData source = SourceData::FromMemory(file);
    for (const bool forPdf : {true, false}) {
        SourceData::Stream stream(source);
        std::string out;
        const JpegStructure::Sink sink = [&out](const unsigned char* data, size_t size) {
            out.append(reinterpret_cast<const char*>(data), size);
        };
        const JpegInfo frame = JpegStructure::Copy(stream, &sink, forPdf);
        EXPECT_EQ(frame.width, 16);
        EXPECT_EQ(out, forPdf ? kept : file.substr(0, file.size() - 13)) << forPdf;
    }
}

TEST(ExifReaderTest, OrientationAndResolution) {
    // Little-endian TIFF header, IFD with Orientation 6, XResolution 72/1, YResolution
    // 144/2, ResolutionUnit 3 (cm).
    std::string exif("II*\0\x08\0\0\0", 8);
    auto u16 = [&](unsigned v) {
        exif += static_cast<char>(v & 0xFF);
        exif += static_cast<char>(v >> 8);
    };
    auto u32 = [&](unsigned v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    };
    u16(4);
    u16(0x0112);
    u16(3);
    u32(1);
    u16(6);
    u16(0);
    u16(0x011A);
    u16(5);
    u32(1);
    u32(62);
    u16(0x011B);
    u16(5);
    u32(1);
    u32(70);
    u16(0x0128);
    u16(3);
    u32(1);
    u16(3);
    u16(0);
    u32(0);
    u32(72);
    u32(1);
    u32(144);
    u32(2);
    const ExifReader reader(reinterpret_cast<const unsigned char*>(exif.data()), exif.size());
    EXPECT_EQ(reader.Orientation(), 6);
    EXPECT_DOUBLE_EQ(reader.XDpi(), 72 * 2.54);
    EXPECT_DOUBLE_EQ(reader.YDpi(), 72 * 2.54);

    // An orientation outside 1 to 8 reads as upright; damaged data as nothing.
    exif[8 + 2 + 8] = 9;
    EXPECT_EQ(
        ExifReader(reinterpret_cast<const unsigned char*>(exif.data()), exif.size()).Orientation(),
        1);
    EXPECT_EQ(ExifReader(reinterpret_cast<const unsigned char*>(exif.data()), 12).Orientation(), 1);
}
