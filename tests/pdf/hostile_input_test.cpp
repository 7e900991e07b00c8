// Damaged and hostile files, each made in a few lines: every one fails with a reason (or
// converts to what it really holds), within bounded memory: the tests run under an address
// space limit, so that a reader that allocates what a header merely declares fails here
// rather than swapping.
#include "pdf/crafted_images.h"
#include "pdf/fax_encoder.h"
#include "pdf_test_support.h"

#include <gtest/gtest.h>
#include <qpdf/QPDF.hh>
#include <tiffio.h>

#include <algorithm>
#include <fcntl.h>
#include <fstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

using namespace pdftest;

namespace {
void Write(const std::string& path, const std::string& data) {
    std::ofstream(path, std::ios::binary) << data;
}

struct Case {
    const char* label;
    std::string bytes;
    int code;           // expected error code, 0 for success
    const char* reason; // a part of the reason
};

void ExpectOutcome(const std::string& label, const std::string& path, int code,
                   const std::string& reason) {
    TempDir out;
    const Conversion conversion = Convert({path}, out.Path());
    EXPECT_EQ(conversion.code, code) << label << ": " << conversion.reason;
    EXPECT_NE(conversion.reason.find(reason), std::string::npos)
        << label << ": " << conversion.reason;
    if (code == 0) {
        EXPECT_TRUE(QpdfCheckPasses(conversion.path)) << label;
    } else {
        EXPECT_TRUE(out.List().empty()) << label;
    }
}

void ExpectOutcomes(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        TempDir in;
        const std::string path = in.File("image");
        Write(path, c.bytes);
        ExpectOutcome(c.label, path, c.code, c.reason);
    }
}

// A lossless WebP whose image data (after its header) is `data`.
std::string LosslessWebp(uint32_t width, uint32_t height, const std::string& data) {
    const uint32_t bits = (width - 1) | (height - 1) << 14;
    const std::string chunk = "\x2F" + Le32(bits) + data;
    const std::string body = "WEBP" + std::string("VP8L") +
                             Le32(static_cast<uint32_t>(chunk.size())) + chunk +
                             (chunk.size() % 2 ? std::string(1, '\0') : "");
    return "RIFF" + Le32(static_cast<uint32_t>(body.size())) + body;
}

// A grey JPEG 2000 codestream: its main header (one tile, reversible 5-level transform), then
// one tile part holding `data`.
std::string J2kCodestream(uint32_t width, uint32_t height, const std::string& data) {
    const std::string siz = Be16(0) + Be32(width) + Be32(height) + Be32(0) + Be32(0) + Be32(width) +
                            Be32(height) + Be32(0) + Be32(0) + Be16(1) +
                            std::string("\x07\x01\x01", 3);
    const std::string cod = std::string("\x00\x00\x00\x01\x00\x05\x04\x04\x00\x01", 10);
    const std::string qcd = "\x40" + std::string(16, '\x48');
    const std::string sot = Be16(0) + Be32(0) + std::string("\x00\x01", 2);
    const auto marker = [](const char* code, const std::string& body) {
        return std::string(code, 2) + Be16(static_cast<uint32_t>(body.size() + 2)) + body;
    };
    return std::string("\xFF\x4F", 2) + marker("\xFF\x51", siz) + marker("\xFF\x52", cod) +
           marker("\xFF\x5C", qcd) + marker("\xFF\x90", sot) + std::string("\xFF\x93", 2) + data +
           std::string("\xFF\xD9", 2);
}

// A grey PNG whose IDAT data is replaced.
std::string PngWithData(uint32_t width, uint32_t height, const std::string& data) {
    return PngFile({PngHeader(width, height, 8, 0), PngChunk("IDAT", data), PngChunk("IEND", "")});
}

std::string Rows(uint32_t width, uint32_t height, char filter = 0) {
    std::string raw;
    for (uint32_t y = 0; y < height; ++y) {
        raw += filter;
        raw += std::string(width, static_cast<char>(y));
    }
    return raw;
}

// zlib data of `raw` as an encoder writes it that flushes after every row: each row in a
// stored block of its own, followed by the empty block of the flush.
std::string FlushedRows(const std::string& raw, size_t rowSize) {
    z_stream zlib{};
    deflateInit(&zlib, 0);
    std::string out;
    for (size_t at = 0; at < raw.size(); at += rowSize) {
        const std::string row = raw.substr(at, rowSize);
        const bool last = at + rowSize >= raw.size();
        zlib.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(row.data()));
        zlib.avail_in = static_cast<uInt>(row.size());
        do {
            char buffer[4096];
            zlib.next_out = reinterpret_cast<Bytef*>(buffer);
            zlib.avail_out = sizeof buffer;
            deflate(&zlib, last ? Z_FINISH : Z_SYNC_FLUSH);
            out.append(buffer, sizeof buffer - zlib.avail_out);
        } while (zlib.avail_out == 0);
    }
    deflateEnd(&zlib);
    return out;
}

// RLE8 data that draws `width` pixels of index 1 in each of `rows` rows.
std::string RleRows(uint32_t width, uint32_t rows) {
    std::string row;
    for (uint32_t x = 0; x < width; x += 255) {
        row += static_cast<char>(std::min<uint32_t>(255, width - x));
        row += '\x01';
    }
    row += std::string("\x00\x00", 2);
    std::string data;
    for (uint32_t y = 0; y < rows; ++y) {
        data += row;
    }
    return data + std::string("\x00\x01", 2);
}

// Group 4 data of a 64 x 64 image of stripes.
std::string StripesGroup4() {
    FaxEncoder encoder(64, 64);
    for (int y = 0; y < 64; ++y) {
        const std::string row(8, y % 4 < 2 ? '\xF0' : '\x0F');
        encoder.WriteRow(reinterpret_cast<const unsigned char*>(row.data()));
    }
    return encoder.Finish();
}

// A grey progressive JPEG of a DC scan of a few bytes.
std::string ProgressiveJpeg(uint16_t width, uint16_t height) {
    std::string jpeg = GreyJpeg(width, height, 0xC2, "\x12\x34");
    jpeg[jpeg.find("\xFF\xDA") + 8] = 0; // the scan's last coefficient: DC only
    return jpeg;
}

// A TIFF of one strip holding `strip` as its (compressed) data.
std::string TiffWithStrip(uint32_t width, uint32_t height, uint16_t photometric, uint16_t samples,
                          uint16_t compression, const std::string& strip, uint16_t bits = 8) {
    return MakeTiff([&](TIFF* tif) {
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bits);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, photometric);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, height);
        TIFFWriteRawStrip(tif, 0, const_cast<char*>(strip.data()),
                          static_cast<tmsize_t>(strip.size()));
    });
}

// A well-formed ICC profile header of `size` bytes (zeros after it) for RGB data.
std::string RgbProfile(uint32_t size, char variant) {
    std::string profile(size, '\0');
    const std::string length = Be32(size);
    profile.replace(0, 4, length);
    profile.replace(12, 4, "mntr");
    profile.replace(16, 4, "RGB ");
    profile.replace(20, 4, "XYZ ");
    profile.replace(36, 4, "acsp");
    profile[100] = variant;
    return profile;
}

std::string PngWithProfile(const std::string& profile) {
    return PngFile({PngHeader(4, 4, 8, 2),
                    PngChunk("iCCP", std::string("p\0\0", 3) + Zlib(profile)),
                    PngChunk("IDAT", Zlib(std::string(4 * 13, '\0'))), PngChunk("IEND", "")});
}
} // namespace

TEST(HostileInputTest, PngImageDataMustHoldTheDeclaredRows) {
    std::string flipped = Zlib(Rows(16, 16));
    flipped[flipped.size() / 2] ^= 0x10;
    const std::string whole = Zlib(Rows(16, 16));
    const std::string large = Zlib(Rows(6000, 6000));
    ExpectOutcomes({
        {"a flipped byte, checksums right", PngWithData(16, 16, flipped), PDF_ERROR_CORRUPT,
         "broken PNG"},
        {"the stream cut short, checksums right", PngWithData(16, 16, whole.substr(0, 12)),
         PDF_ERROR_CORRUPT, "broken PNG"},
        {"fewer rows than declared", PngWithData(16, 17, whole), PDF_ERROR_CORRUPT, "last row"},
        {"more rows than declared", PngWithData(16, 15, whole), PDF_ERROR_CORRUPT, "more image"},
        {"a bad row filter", PngWithData(16, 16, Zlib(Rows(16, 16, 7))), PDF_ERROR_CORRUPT,
         "filter"},
        {"no zlib stream", PngWithData(16, 16, std::string(40, 'x')), PDF_ERROR_CORRUPT,
         "broken PNG"},
        {"sound data", PngWithData(16, 16, whole), 0, ""},
        // Valid data may be far larger than the rows it holds.
        {"sound data in a stored block a row",
         PngWithData(1, 30000, FlushedRows(Rows(1, 30000), 2)), 0, ""},
        // Images too large to be checked whole are inflated piece by piece.
        {"large, sound", PngWithData(6000, 6000, large), 0, ""},
        {"large, cut short", PngWithData(6000, 6000, large.substr(0, large.size() / 2)),
         PDF_ERROR_CORRUPT, "broken PNG"},
        {"large, a row short", PngWithData(6000, 6001, large), PDF_ERROR_CORRUPT, "last row"},
    });
}

TEST(HostileInputTest, MemoryIsBoundedByWhatTheFileHolds) {
    // Each file declares an image of about a gigapixel and holds a few bytes.
    ExpectOutcomes({
        {"interlaced PNG",
         PngFile({PngHeader(30000, 30000, 8, 2, 1), PngChunk("IDAT", Zlib(std::string(20, '\0'))),
                  PngChunk("IEND", "")}),
         PDF_ERROR_CORRUPT, "too short"},
        // (Clipped to 8 x 8 before anything is held: its data then ends in the first row.)
        {"GIF frame larger than its screen",
         GifFile(8, 8, 0, 0, 65535, 65535, std::string("\x44\x01", 2)), PDF_ERROR_CORRUPT,
         "truncated"},
        {"GIF screen far larger than its data", GifFile(32768, 32768, 0, 0, 32768, 32768, "D"),
         PDF_ERROR_CORRUPT, "too short"},
        {"CIELab TIFF in one strip",
         TiffWithStrip(65536, 16384, PHOTOMETRIC_CIELAB, 3, COMPRESSION_LZW, "0123456789"),
         PDF_ERROR_CORRUPT, "broken TIFF"},
        {"grey TIFF in one strip",
         TiffWithStrip(65536, 16384, PHOTOMETRIC_MINISBLACK, 1, COMPRESSION_ADOBE_DEFLATE,
                       "0123456789"),
         PDF_ERROR_CORRUPT, "broken TIFF"},
        {"arithmetic-coded JPEG of 32768 x 32768", GreyJpeg(32768, 32768, 0xC9, "\x12\x34"),
         PDF_ERROR_TOO_LARGE, "too large"},
        // Both rewriting arithmetic coding and decoding a progressive JPEG hold the whole
        // image's coefficients: 512 MB for these.
        {"arithmetic-coded JPEG of 16384 x 16384", GreyJpeg(16384, 16384, 0xC9, "\x12\x34"),
         PDF_ERROR_CORRUPT, "too short"},
        {"TIFF of a progressive JPEG strip",
         TiffWithStrip(16384, 16384, PHOTOMETRIC_MINISBLACK, 1, COMPRESSION_JPEG,
                       ProgressiveJpeg(16384, 16384)),
         PDF_ERROR_CORRUPT, "too short"},
        // An RLE bitmap that ends at once is a valid image of palette index 0.
        {"RLE BMP", RleBmp(8192, 8192, 8, std::string("\x00\x01", 2)), 0, ""},
        {"RLE BMP of a pixel a row", RleBmp(1 << 20, 600, 8, RleRows(1, 600)), PDF_ERROR_CORRUPT,
         "too short"},
        // Rows of a megapixel, each drawn whole: one row is held at a time.
        {"RLE BMP of long rows", RleBmp(1 << 20, 520, 8, RleRows(1 << 20, 520)), 0, ""},
        {"lossless WebP of 16384 x 16384", LosslessWebp(16384, 16384, "\x12\x34\x56\x78"),
         PDF_ERROR_CORRUPT, "too short"},
        {"JPEG 2000 codestream of 16384 x 16384", J2kCodestream(16384, 16384, "\x12\x34"),
         PDF_ERROR_CORRUPT, "too short"},
    });
}

TEST(HostileInputTest, NothingBrokenIsReportedAsConverted) {
    const std::string group4 = StripesGroup4();
    const std::string jpeg = EncodeJpeg(64, 64, 1);
    const std::string restarts = EncodeJpeg(64, 64, 1, {.arithmetic = true, .restartRows = 1});
    const std::string progressive = EncodeJpeg(256, 256, 3, {.progressive = true});
    // An interlaced 8 x 8 PNG (decoded by libpng): its seven passes take 79 bytes.
    const std::string interlacedRows(79, '\0');
    const std::string interlacedHeader = PngHeader(8, 8, 8, 0, 1);
    std::string badText = PngChunk("tEXt", std::string("Comment\0text", 12));
    badText[badText.size() - 1] ^= 1;
    ExpectOutcomes({
        {"baseline JPEG whose scan is far too short", GreyJpeg(4096, 4096, 0xC0, "\x12\x34"),
         PDF_ERROR_CORRUPT, "too short"},
        {"TIFF whose data does not decode",
         TiffWithStrip(16, 16, PHOTOMETRIC_MINISBLACK, 1, COMPRESSION_LZW, "0123456789"),
         PDF_ERROR_CORRUPT, "broken TIFF"},
        {"TIFF whose data decodes in part",
         TiffWithStrip(16, 16, PHOTOMETRIC_MINISBLACK, 1, COMPRESSION_ADOBE_DEFLATE,
                       Zlib(std::string(16 * 8, '\x40'))),
         PDF_ERROR_CORRUPT, "broken TIFF"},
        {"GIF without an image", std::string("GIF89a\x01\x00\x01\x00\x00\x00\x00;", 14),
         PDF_ERROR_CORRUPT, "no image"},
        // Decoders that fill in what the data lacks, and only warn about it.
        {"GIF whose data ends before the last row", GifFile(16, 16, 0, 0, 16, 16, "\x44\x01"),
         PDF_ERROR_CORRUPT, "truncated"},
        {"Group 4 TIFF whose strip is cut short (filled white)",
         TiffWithStrip(64, 64, PHOTOMETRIC_MINISWHITE, 1, COMPRESSION_CCITTFAX4,
                       group4.substr(0, group4.size() / 2), 1),
         PDF_ERROR_CORRUPT, "Premature"},
        {"JPEG TIFF whose strip is cut short (filled grey)",
         TiffWithStrip(64, 64, PHOTOMETRIC_MINISBLACK, 1, COMPRESSION_JPEG, CutJpegScan(jpeg, 200)),
         PDF_ERROR_CORRUPT, "premature end"},
        {"arithmetic-coded JPEG cut short before a restart marker", CutJpegScan(restarts, 300),
         PDF_ERROR_CORRUPT, "broken JPEG"},
        // Passed on as it is, its coefficients would be held whole by every PDF reader.
        {"progressive JPEG of 30000 x 30000 with a scan of a few bytes",
         ProgressiveJpeg(30000, 30000), PDF_ERROR_CORRUPT, "too short"},
        {"progressive JPEG, sound", progressive, 0, ""},
        {"interlaced PNG with more image data than its rows",
         PngFile({interlacedHeader, PngChunk("IDAT", Zlib(interlacedRows + interlacedRows)),
                  PngChunk("IEND", "")}),
         PDF_ERROR_CORRUPT, "broken PNG"},
        {"interlaced PNG with a checksum error in a text chunk after the image data",
         PngFile({interlacedHeader, PngChunk("IDAT", Zlib(interlacedRows)), badText,
                  PngChunk("IEND", "")}),
         PDF_ERROR_CORRUPT, "CRC"},
        {"interlaced PNG, sound",
         PngFile({interlacedHeader, PngChunk("IDAT", Zlib(interlacedRows)), PngChunk("IEND", "")}),
         0, ""},
    });
}

TEST(HostileInputTest, WholeFilesAreNeverReadAtOnce) {
    // Sparse files far larger than the memory limit: a PNG whose image data chunk declares
    // two gigabytes, and a JPEG whose scan runs on for 700 megabytes.
    TempDir in;
    struct Sparse {
        const char* name;
        std::string head;
        off_t size;
        const char* reason;
    };
    const Sparse files[] = {
        {"huge.png", PngFile({PngHeader(100, 100, 8, 0)}) + Be32(2000000000) + "IDAT",
         off_t(2000000020) + 41, "broken PNG"},
        {"huge.jpg", GreyJpeg(64, 64, 0xC0, "").substr(0, 200), off_t(700) << 20, "broken JPEG"},
    };
    for (const Sparse& file : files) {
        const std::string path = in.File(file.name);
        Write(path, file.head.substr(0, file.head.size() - (file.name[5] == 'j' ? 2 : 0)));
        ASSERT_EQ(::truncate(path.c_str(), file.size), 0);
        ExpectOutcome(file.name, path, PDF_ERROR_CORRUPT, file.reason);
    }
}

namespace {
// The bytes this process has read from files so far; -1 when the system does not tell.
long long BytesRead() {
    std::ifstream io("/proc/self/io");
    std::string key;
    long long value = -1;
    while (io >> key >> value) {
        if (key == "rchar:") {
            return value;
        }
    }
    return -1;
}
} // namespace

TEST(HostileInputTest, LargeTiffTagsAreNotReadWhole) {
    // A small image whose XMP packet is a gigabyte (of a sparse file): the tag is left out
    // after a few megabytes, not read into memory.
    if (BytesRead() < 0) {
        GTEST_SKIP() << "the system does not count the bytes a process reads";
    }
    std::string tiff = MakeTiff([](TIFF* tif) {
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 16);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 16);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
        TIFFSetField(tif, TIFFTAG_XMLPACKET, 8, "<x:xmp/>");
        const std::string row(16, '\x80');
        for (uint32_t y = 0; y < 16; ++y) {
            TIFFWriteScanline(tif, const_cast<char*>(row.data()), y, 0);
        }
    });
    // The tag's entry: XMLPacket (700), bytes, 8 of them.
    const size_t entry = tiff.find(std::string("\xBC\x02\x01\x00\x08\x00\x00\x00", 8));
    ASSERT_NE(entry, std::string::npos);
    const uint32_t offset = static_cast<uint32_t>((tiff.size() + 4095) / 4096 * 4096);
    const uint32_t size = 1000000000;
    tiff.replace(entry + 4, 8, Le32(size) + Le32(offset));
    TempDir in;
    const std::string path = in.File("xmp.tif");
    Write(path, tiff);
    ASSERT_EQ(::truncate(path.c_str(), off_t(offset) + size), 0);
    const long long before = BytesRead();
    ExpectOutcome("XMP of a gigabyte", path, 0, "");
    EXPECT_LT(BytesRead() - before, 64LL << 20);
}

TEST(HostileInputTest, JpegDataGoesFromTheFileIntoThePdf) {
    // Three JPEGs of 120 MB each, merged: their data is read when their page is written, not
    // held ahead in memory (which could hold only a few of them).
    TempDir in;
    const std::string path = in.File("large.jpg");
    Write(path, GreyJpeg(4096, 4096, 0xC0, std::string(120 << 20, '\x55')));
    TempDir out;
    const Conversion conversion = Convert(std::vector<std::string>(3, path), out.Path());
    EXPECT_EQ(conversion.code, 0) << conversion.reason;
    EXPECT_EQ(conversion.pages, 3);
}

TEST(HostileInputTest, AMergeOfManyPagesTakesAFewBytesAPage) {
    // 40000 pages (of one TIFF of 1 x 1 pixels): each is written whole as it comes, and
    // leaves only the places of its objects behind (a PDF library's objects of every page
    // took some 8 KB a page, beyond the memory limit here).
    TempDir in;
    const std::string path = in.File("pages.tif");
    Write(path, MakeTiff([](TIFF* tif) {
              for (int page = 0; page < 40000; ++page) {
                  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 1);
                  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 1);
                  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
                  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
                  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
                  unsigned char pixel = static_cast<unsigned char>(page);
                  TIFFWriteScanline(tif, &pixel, 0, 0);
                  TIFFWriteDirectory(tif);
              }
          }));
    TempDir out;
    const Conversion conversion = Convert({path}, out.Path());
    ASSERT_EQ(conversion.code, 0) << conversion.reason;
    EXPECT_EQ(conversion.pages, 40000);
}

TEST(HostileInputTest, AFifoNamedLikeAnImageIsNoFile) {
    TempDir in;
    const std::string fifo = in.File("scan.png");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ExpectOutcome("FIFO", fifo, PDF_ERROR_READ, "not a file");
}

#if defined(__SANITIZE_ADDRESS__)
constexpr int kProfiledImages = 200;
#else
constexpr int kProfiledImages = 2000;
#endif

TEST(HostileInputTest, ColourProfilesAreReadOneAtATimeAndStoredOnce) {
    TempDir in;
    // Profiles that inflate to 16 MB are beyond what a profile may be: left out.
    const std::string bomb = PngWithProfile(RgbProfile(16 << 20, 'a'));
    std::vector<std::string> paths;
    for (int i = 0; i < 100; ++i) {
        paths.push_back(in.File("bomb-" + std::to_string(i) + ".png"));
        Write(paths.back(), bomb);
    }
    // 2000 images with profiles of 384 KB (four distinct ones): half as much again as the limit
    // (under AddressSanitizer, which allows no limit, a tenth of them).
    for (int i = 0; i < kProfiledImages; ++i) {
        paths.push_back(in.File("profiled-" + std::to_string(i) + ".png"));
        Write(paths.back(), PngWithProfile(RgbProfile(384 << 10, static_cast<char>('a' + i % 4))));
    }
    // Only a PNG's first profile counts.
    std::vector<std::string> chunks = {PngHeader(4, 4, 8, 2)};
    for (int i = 0; i < 300; ++i) {
        chunks.push_back(
            PngChunk("iCCP", std::string("p\0\0", 3) + Zlib(RgbProfile(1 << 20, 'z'))));
    }
    chunks.push_back(PngChunk("IDAT", Zlib(std::string(4 * 13, '\0'))));
    chunks.push_back(PngChunk("IEND", ""));
    paths.push_back(in.File("many-profiles.png"));
    Write(paths.back(), PngFile(chunks));

    TempDir out;
    const Conversion conversion = Convert(paths, out.Path());
    ASSERT_EQ(conversion.code, 0) << conversion.reason;
    EXPECT_EQ(conversion.pages, kProfiledImages + 101);
    QPDF pdf;
    pdf.processFile(conversion.path.c_str());
    int profiles = 0;
    for (QPDFObjectHandle object : pdf.getAllObjects()) {
        if (object.isStream() && object.getDict().hasKey("/Alternate")) {
            ++profiles;
            const size_t size = object.getStreamData()->getSize();
            EXPECT_TRUE(size == 384u << 10 || size == 1u << 20) << size;
        }
    }
    EXPECT_EQ(profiles, 5);
}

TEST(HostileInputTest, ManyPagesOfOneTiff) {
    // One handle walks the directories once: pages cost the same whatever their number.
    TempDir in;
    const std::string path = in.File("pages.tif");
    Write(path, MakeTiff([](TIFF* tif) {
              for (int page = 0; page < 3000; ++page) {
                  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 1);
                  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 1);
                  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
                  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
                  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
                  unsigned char pixel = static_cast<unsigned char>(page);
                  TIFFWriteScanline(tif, &pixel, 0, 0);
                  TIFFWriteDirectory(tif);
              }
          }));
    TempDir out;
    const Conversion conversion = Convert({path}, out.Path());
    ASSERT_EQ(conversion.code, 0) << conversion.reason;
    EXPECT_EQ(conversion.pages, 3000);
    const std::vector<PdfImage> images = ReadImages(conversion.path);
    ASSERT_EQ(images.size(), 3000u);
    EXPECT_EQ(images[2999].samples, std::string("\xB7", 1)); // 2999 % 256
}

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
#if !defined(__SANITIZE_ADDRESS__)
    // Far below what the hostile headers declare (gigabytes), well above what the files hold
    // (and what the codecs' libraries map, some 32 MB of it HEIF's and JPEG XL's).
    const rlim_t limit = rlim_t(544) << 20;
    const rlimit cap{limit, limit};
    setrlimit(RLIMIT_AS, &cap);
#endif
    return RUN_ALL_TESTS();
}
