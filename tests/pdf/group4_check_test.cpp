// The strict Group 4 reader: libtiff's own coding passes and decodes to the same pixels;
// data that readers would take differently (rows missing behind an early end-of-block, a
// cut stream, rows of the wrong width) does not.
#include "pdf/fax_encoder.h"
#include "pdf/group4_check.h"
#include "pdf_test_support.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <random>

using namespace pdftest;

namespace {
// Rows of `width` pixels, 1 for black: noise of the given density, with solid bands.
std::vector<unsigned char> Image(uint32_t width, uint32_t height, double density, unsigned seed) {
    std::mt19937 random(seed);
    std::bernoulli_distribution black(density);
    const size_t rowBytes = (size_t(width) + 7) / 8;
    std::vector<unsigned char> bits(rowBytes * height, 0);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const bool band = (y / 7) % 5 == 0 && x > width / 3;
            if (band || black(random)) {
                bits[y * rowBytes + x / 8] |= static_cast<unsigned char>(0x80 >> (x % 8));
            }
        }
    }
    return bits;
}

std::string Encode(const std::vector<unsigned char>& bits, uint32_t width, uint32_t height) {
    FaxEncoder encoder(width, height);
    const size_t rowBytes = (size_t(width) + 7) / 8;
    for (uint32_t y = 0; y < height; ++y) {
        encoder.WriteRow(&bits[y * rowBytes]);
    }
    return encoder.Finish();
}

const unsigned char* Bytes(const std::string& data) {
    return reinterpret_cast<const unsigned char*>(data.data());
}
} // namespace

TEST(Group4CheckTest, LibtiffsCodingPassesAndDecodesToTheSamePixels) {
    struct Case {
        uint32_t width;
        uint32_t height;
        double density;
    };
    for (const Case& c : {Case{1, 1, 0.5}, Case{13, 9, 0.5}, Case{640, 80, 0.02},
                          Case{1000, 60, 0.5}, Case{2551, 40, 0.9}}) {
        const std::vector<unsigned char> bits = Image(c.width, c.height, c.density, c.width);
        const std::string coded = Encode(bits, c.width, c.height);
        std::vector<unsigned char> decoded;
        const Group4Check::Result result =
            Group4Check::Check(Bytes(coded), coded.size(), c.width, c.height, &decoded);
        EXPECT_TRUE(result.valid) << c.width;
        EXPECT_TRUE(result.endOfBlock) << c.width;
        EXPECT_EQ(decoded, bits) << c.width;
    }
}

TEST(Group4CheckTest, DataReadersWouldTakeDifferentlyIsRefused) {
    const uint32_t width = 300;
    const uint32_t height = 50;
    const std::string coded = Encode(Image(width, height, 0.3, 7), width, height);
    auto valid = [&](const std::string& data, uint32_t w, uint32_t h) {
        return Group4Check::Check(Bytes(data), data.size(), w, h).valid;
    };
    EXPECT_TRUE(valid(coded, width, height));
    // An end-of-block where rows are still due: libtiff leaves them as they were.
    EXPECT_FALSE(valid(coded, width, height + 3));
    EXPECT_FALSE(valid(coded, width + 1, height));
    EXPECT_FALSE(valid(coded, width - 1, height));
    EXPECT_FALSE(valid(coded.substr(0, coded.size() / 2), width, height));
    // Codes where the end-of-block should be.
    EXPECT_FALSE(valid(coded, width, height - 1));
}

TEST(Group4CheckTest, WhatFollowsTheRowsIsAnEndOfBlockAndNothingElse) {
    const uint32_t width = 123;
    const uint32_t height = 17;
    const std::vector<unsigned char> bits = Image(width, height, 0.4, 3);
    const std::string coded = Encode(bits, width, height);
    auto written = [&](const std::string& data) {
        const Group4Check::Result result =
            Group4Check::Check(Bytes(data), data.size(), width, height);
        EXPECT_TRUE(result.valid);
        std::string out;
        Group4Check::Write(Bytes(data), result, [&](const unsigned char* p, size_t n) {
            out.append(reinterpret_cast<const char*>(p), n);
        });
        return out;
    };
    // Bytes after the end-of-block are left out.
    EXPECT_EQ(written(coded + "trailing junk"), coded);
    // Without an end-of-block (rows then zero padding), one is put in place of the padding.
    const Group4Check::Result result =
        Group4Check::Check(Bytes(coded), coded.size(), width, height);
    std::string bare = coded.substr(0, (result.rowsEndBit + 7) / 8);
    if (result.rowsEndBit % 8 != 0) {
        bare.back() = static_cast<char>(bare.back() & (0xFF00 >> (result.rowsEndBit % 8)));
    }
    const std::string terminated = written(bare);
    std::vector<unsigned char> decoded;
    const Group4Check::Result again =
        Group4Check::Check(Bytes(terminated), terminated.size(), width, height, &decoded);
    EXPECT_TRUE(again.valid && again.endOfBlock);
    EXPECT_EQ(decoded, bits);
}

TEST(Group4CheckTest, TheSuitesGroup4FilesDecodeAsLibtiffDecodesThem) {
    std::string corpus;
    OMBRIX_USE_CORPUS(corpus);
    TIFFSetWarningHandler(nullptr);
    TIFFSetErrorHandler(nullptr);
    struct Case {
        const char* path;
        bool valid;
    };
    const Case cases[] = {
        {"image-tiff/images/fax4.tiff", true},
        {"image-rs-image/images/tiff/testsuite/fax4.tiff", true},
        {"image-tiff/images/imagemagick_group4.tiff", true},
        // libtiff decodes it without a word; poppler and MuPDF refuse it.
        {"libtiff-test-images/testfax4.tiff", false},
    };
    for (const Case& c : cases) {
        TIFF* tif = TIFFOpen((corpus + "/" + c.path).c_str(), "r");
        ASSERT_NE(tif, nullptr) << c.path;
        uint32_t width = 0;
        uint32_t height = 0;
        uint64_t* counts = nullptr;
        TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
        TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
        TIFFGetField(tif, TIFFTAG_STRIPBYTECOUNTS, &counts);
        std::vector<unsigned char> raw(counts[0]);
        TIFFReadRawStrip(tif, 0, raw.data(), static_cast<tmsize_t>(raw.size()));
        std::vector<unsigned char> decoded;
        const Group4Check::Result result =
            Group4Check::Check(raw.data(), raw.size(), width, height, &decoded);
        EXPECT_EQ(result.valid, c.valid) << c.path;
        if (result.valid) {
            std::vector<unsigned char> reference(static_cast<size_t>(TIFFStripSize(tif)));
            TIFFReadEncodedStrip(tif, 0, reference.data(), static_cast<tmsize_t>(reference.size()));
            EXPECT_EQ(decoded, reference) << c.path;
        }
        TIFFClose(tif);
    }
}
