// Searchable PDFs: words rendered into images of each kind (sizes, densities, a 204 x 98 dpi
// fax, EXIF orientations) come back from pdftotext at their places, the image streams are
// those of a conversion without OCR, the text layer holds in PDF/A-2b and encrypted
// documents, and what OCR cannot do is said.
#include "pdf/crafted_images.h"
#include "pdf_test_support.h"
#include "pdfa_checker.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <regex>

using namespace pdftest;

namespace {
constexpr const char* kLanguage = "eng";

struct Word {
    std::string text;
    double xMin = 0; // points, from the top left corner of the page
    double yMin = 0;
    double xMax = 0;
    double yMax = 0;
};

// The words pdftotext finds on the first page, with their boxes.
std::vector<Word> Words(const std::string& pdf, const std::string& password = "") {
    std::string html;
    const std::string secret = password.empty() ? "" : " -upw '" + password + "'";
    EXPECT_EQ(RunCommand("pdftotext -q -bbox" + secret + " -f 1 -l 1 '" + pdf + "' -", &html), 0);
    static const std::regex word("<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" xMax=\"([0-9.]+)\" "
                                 "yMax=\"([0-9.]+)\">([^<]*)</word>");
    std::vector<Word> words;
    for (auto it = std::sregex_iterator(html.begin(), html.end(), word);
         it != std::sregex_iterator(); ++it) {
        words.push_back({(*it)[5], std::stod((*it)[1]), std::stod((*it)[2]), std::stod((*it)[3]),
                         std::stod((*it)[4])});
    }
    return words;
}

const Word* Find(const std::vector<Word>& words, const std::string& text) {
    for (const Word& word : words) {
        if (word.text == text) {
            return &word;
        }
    }
    return nullptr;
}

std::string Dump(const std::vector<Word>& words) {
    std::string text;
    for (const Word& word : words) {
        text +=
            word.text + " (" + std::to_string(word.xMin) + ", " + std::to_string(word.yMax) + ") ";
    }
    return text;
}

// A JPEG with an EXIF orientation: an APP1 segment put in after the start marker.
std::string WithOrientation(const std::string& jpeg, int orientation) {
    std::string exif("Exif\0\0MM\0\x2A\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01", 24);
    exif += static_cast<char>(0);
    exif += static_cast<char>(orientation);
    exif += std::string("\0\0\0\0\0\0", 6);
    return jpeg.substr(0, 2) + JpegSegment(0xE1, exif) + jpeg.substr(2);
}

// Words drawn on a page: each at its left end and baseline, in the pixels of the upright image.
struct Drawn {
    const char* text;
    int x;
    int y;
};

struct Searchable {
    PdfOcrOptions ocr{};
    PdfPageOptions options{};
    Searchable() {
        // The page is the image's own size: a pixel is 72 / dpi points from the corner.
        options.pageType = "Image Size";
        ocr.languages = kLanguage;
        options.ocr = &ocr;
    }
    Searchable(const Searchable&) = delete;
};

// Skips the test where the engine or its English data is not installed (fails under CI).
#define OMBRIX_NEED_OCR()                                                                          \
    do {                                                                                           \
        if (const char* why = PdfOcrCheckLanguages(kLanguage, nullptr)) {                          \
            if (UnderCi()) {                                                                       \
                GTEST_FAIL() << why;                                                               \
            }                                                                                      \
            GTEST_SKIP() << why;                                                                   \
        }                                                                                          \
    } while (false)
} // namespace

TEST(OcrTest, WordsComeBackAtTheirPlaces) {
    OMBRIX_NEED_OCR();
    struct Case {
        const char* name;
        const char* format; // ImageMagick's output options and file name
        int pointSize;      // of the text, in pixels of the upright image
        int xDpi;
        int yDpi;
        int orientation;    // EXIF orientation put into a JPEG; 1 leaves it out
        const char* stored; // ImageMagick's turn from the upright image to the one stored
    };
    const Case cases[] = {
        {"png", "-type Grayscale png:page.png", 60, 300, 300, 1, ""},
        {"png small", "-type Grayscale png:page.png", 34, 200, 200, 1, ""},
        {"jpeg", "-quality 90 jpg:page.jpg", 48, 150, 150, 1, ""},
        {"fax 204x98", "-monochrome -compress Group4 tif:page.tif", 56, 204, 98, 1, ""},
        {"jpeg turned right", "-quality 90 jpg:page.jpg", 48, 150, 150, 6, "-rotate -90"},
        {"jpeg upside down", "-quality 90 jpg:page.jpg", 48, 150, 150, 3, "-rotate 180"},
        {"jpeg turned left", "-quality 90 jpg:page.jpg", 48, 150, 150, 8, "-rotate 90"},
    };
    const Drawn drawn[] = {{"Harbour", 120, 200}, {"lantern", 700, 200}, {"Kitchen", 300, 420}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string format = c.format;
        const std::string file = dir.File(format.substr(format.rfind(':') + 1));
        // Drawn upright on square pixels, then stored squeezed to the density of the rows and
        // turned as the orientation undoes.
        std::string command = "cd '" + dir.Path() +
                              "' && convert -size 1200x560 xc:white -font DejaVu-Sans -fill black "
                              "-pointsize " +
                              std::to_string(c.pointSize);
        for (const Drawn& word : drawn) {
            command += " -annotate +" + std::to_string(word.x) + "+" + std::to_string(word.y) +
                       " " + word.text;
        }
        const double squeeze = static_cast<double>(c.yDpi) / c.xDpi;
        if (c.yDpi != c.xDpi) {
            command += " -sample 100%x" + std::to_string(100 * squeeze) + "%!";
        }
        command += std::string(" ") + c.stored + " -units PixelsPerInch -density " +
                   std::to_string(c.xDpi) + "x" + std::to_string(c.yDpi) + " " + c.format;
        if (c.orientation != 1 && c.xDpi != c.yDpi) {
            FAIL() << "a turned case needs square pixels";
        }
        ASSERT_EQ(RunCommand(command), 0) << command;
        if (c.orientation != 1) {
            const std::string jpeg = ReadFile(file);
            std::ofstream(file, std::ios::binary) << WithOrientation(jpeg, c.orientation);
        }

        Searchable searchable;
        const Conversion ocr = Convert({file}, dir.Path(), searchable.options);
        ASSERT_EQ(ocr.code, 0) << ocr.reason;
        EXPECT_EQ(ocr.reason, "");
        const std::vector<Word> words = Words(ocr.path);
        const double scale = 72.0 / c.xDpi; // square pixels of the upright drawing
        for (const Drawn& expected : drawn) {
            const Word* word = Find(words, expected.text);
            ASSERT_NE(word, nullptr) << expected.text << " not in " << Dump(words);
            const double size = c.pointSize * scale;
            EXPECT_NEAR(word->xMin, expected.x * scale, 0.15 * size) << expected.text;
            // The line stands on the baseline, and is as high as the capitals at least.
            EXPECT_NEAR(word->yMax, expected.y * scale, 0.15 * size) << expected.text;
            EXPECT_GT(word->yMax - word->yMin, 0.6 * size) << expected.text;
            EXPECT_LT(word->yMax - word->yMin, 1.3 * size) << expected.text;
            // Stretched to the width the word takes in the image.
            const double width = word->xMax - word->xMin;
            EXPECT_GT(width, 2.5 * size) << expected.text;
            EXPECT_LT(width, 5 * size) << expected.text;
        }

        // The image is the one a conversion without OCR writes, byte for byte.
        TempDir plainDir;
        PdfPageOptions plainOptions{};
        plainOptions.pageType = "Image Size";
        const Conversion plain = Convert({file}, plainDir.Path(), plainOptions);
        ASSERT_EQ(plain.code, 0) << plain.reason;
        const std::vector<PdfImage> withText = ReadImages(ocr.path);
        const std::vector<PdfImage> without = ReadImages(plain.path);
        ASSERT_EQ(withText.size(), 1u);
        ASSERT_EQ(without.size(), 1u);
        EXPECT_EQ(withText[0].raw, without[0].raw);
        EXPECT_EQ(withText[0].filter, without[0].filter);
        EXPECT_EQ(withText[0].matrix, without[0].matrix);
        EXPECT_TRUE(QpdfCheckPasses(ocr.path));
    }
}
