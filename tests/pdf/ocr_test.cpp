// Searchable PDFs: words rendered into images of each kind (sizes, densities, a 204 x 98 dpi
// fax, EXIF orientations) come back from pdftotext at their places, the image streams are
// those of a conversion without OCR, the text layer holds in PDF/A-2b and encrypted
// documents, and what OCR cannot do is said.
#include "pdf/crafted_images.h"
#include "pdf/pdf_file_writer.h"
#include "pdf/text_layer.h"
#include "pdf_test_support.h"
#include "pdfa_checker.h"

#include <gtest/gtest.h>

#include <algorithm>
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

// An image of two words at 200 dpi.
std::string WordsImage(const TempDir& dir) {
    const std::string path = dir.File("words.png");
    EXPECT_EQ(RunCommand("convert -size 900x200 xc:white -font DejaVu-Sans -pointsize 48 "
                         "-annotate +40+110 'Harbour lantern' -type Grayscale -units "
                         "PixelsPerInch -density 200 '" +
                         path + "'"),
              0);
    return path;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line + "\n";
    }
    return text;
}

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
        // Formats the engine cannot read itself, recognised from our reader's data: the
        // encoder run on ImageMagick's file, and the file it writes.
        const char* encode = nullptr;
        const char* encoded = nullptr;
    };
    const Case cases[] = {
        {"png", "-type Grayscale png:page.png", 60, 300, 300, 1, ""},
        {"png small", "-type Grayscale png:page.png", 34, 200, 200, 1, ""},
        {"jpeg", "-quality 90 jpg:page.jpg", 48, 150, 150, 1, ""},
        {"fax 204x98", "-monochrome -compress Group4 tif:page.tif", 56, 204, 98, 1, ""},
        {"jpeg turned right", "-quality 90 jpg:page.jpg", 48, 150, 150, 6, "-rotate -90"},
        {"jpeg upside down", "-quality 90 jpg:page.jpg", 48, 150, 150, 3, "-rotate 180"},
        {"jpeg turned left", "-quality 90 jpg:page.jpg", 48, 150, 150, 8, "-rotate 90"},
        // These hold no density: placed at 96 dpi.
        {"heic", "png:page.png", 48, 96, 96, 1, "", "heif-enc -q 90 page.png -o page.heic",
         "page.heic"},
        {"avif 10-bit", "png:page.png", 48, 96, 96, 1, "", "avifenc -d 10 page.png page.avif",
         "page.avif"},
        {"jpeg xl", "png:page.png", 48, 96, 96, 1, "", "cjxl -d 1 page.png page.jxl",
         "page.jxl"},
        {"jpeg xl of a jpeg", "-quality 90 jpg:page.jpg", 48, 96, 96, 1, "",
         "cjxl page.jpg page.jxl", "page.jxl"},
        {"webp", "png:page.png", 48, 96, 96, 1, "", "cwebp -quiet -q 90 page.png -o page.webp",
         "page.webp"},
    };
    const Drawn drawn[] = {{"Harbour", 120, 200}, {"lantern", 700, 200}, {"Kitchen", 300, 420}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string format = c.format;
        std::string file = dir.File(format.substr(format.rfind(':') + 1));
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
        if (c.encode != nullptr) {
            ASSERT_EQ(RunCommand("cd '" + dir.Path() + "' && " + c.encode + " >/dev/null 2>&1"), 0)
                << c.encode;
            file = dir.File(c.encoded);
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

TEST(OcrTest, TextLayerHoldsInArchivesAndEncryptedDocuments) {
    OMBRIX_NEED_OCR();
    TempDir in;
    const std::string image = WordsImage(in);
    struct Case {
        const char* name;
        int part;             // PDF/A part; 0 for none
        const char* password; // the user password; empty for none
        bool allowCopy;
    };
    const Case cases[] = {
        {"PDF/A-1b", 1, "", true},        {"PDF/A-2b", 2, "", true},    {"PDF/A-3b", 3, "", true},
        {"encrypted", 0, "sesame", true}, {"restricted", 0, "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir out;
        Searchable searchable;
        searchable.options.pageType = "A4";
        PdfArchiveOptions archive{};
        archive.part = c.part;
        if (c.part != 0) {
            searchable.options.archive = &archive;
        }
        PdfSecurityOptions security{};
        security.userPassword = c.password;
        security.allowCopy = c.allowCopy ? 1 : 0;
        security.allowPrint = 1;
        searchable.options.security = &security;
        const Conversion conversion = Convert({image}, out.Path(), searchable.options);
        ASSERT_EQ(conversion.code, 0) << conversion.reason;
        if (*c.password == '\0') {
            EXPECT_TRUE(QpdfCheckPasses(conversion.path));
        }
        std::string words;
        for (const Word& word : Words(conversion.path, c.password)) {
            words += word.text + " ";
        }
        EXPECT_EQ(words, "Harbour lantern ");
        if (c.part != 0) {
            const auto problems = PdfaProblems(conversion.path, c.part);
            EXPECT_TRUE(problems.empty()) << Joined(problems);
        }
        if (c.part == 1) {
            std::string report;
            bool available = false;
            const bool valid = PreflightPasses(conversion.path, &report, &available);
            EXPECT_TRUE(valid || (!available && !UnderCi())) << report;
        }
        if (c.part == 0) {
            // Nothing of the text is in the file as it is: the content is encrypted.
            EXPECT_EQ(ReadFile(conversion.path).find(" Tz 1 0 0 1 "), std::string::npos);
        }
    }
}

TEST(OcrTest, ScriptsOfEveryDirectionAndPlaneCopyOutInReadingOrder) {
    // Words as the engine gives them (reading order), laid out by the text layer on a page of
    // their own; pdftotext must give them back as they were read.
    struct Case {
        const char* text;
        int left;
    };
    const Case cases[] = {
        {"caf\xC3\xA9", 100},                        // Latin with an accent
        {"\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D", 400},   // Hebrew, right to left
        {"\xD8\xB3\xD9\x84\xD8\xA7\xD9\x85", 700},   // Arabic, right to left
        {"\xE6\xBC\xA2\xE5\xAD\x97", 1000},          // CJK
        {"\xF0\x9D\x94\x84\xF0\x9F\x98\x80x", 1300}, // beyond the BMP
    };
    OcrPage page;
    page.width = 1600;
    page.height = 400;
    OcrLine line;
    line.top = 100;
    line.bottom = 160;
    for (const Case& c : cases) {
        line.words.push_back({c.left, 100, c.left + 200, 160, c.text});
    }
    page.lines.push_back(line);

    std::string bytes;
    {
        PdfFileWriter file(
            [&bytes](const unsigned char* data, size_t size) {
                bytes.append(reinterpret_cast<const char*>(data), size);
            },
            nullptr, true);
        const int catalog = file.Reserve();
        const int pages = file.Reserve();
        const int info = file.Reserve();
        const int font = file.Reserve();
        TextLayer layer;
        const int content = file.Reserve();
        file.Stream(content, "", layer.PageContent(page, 0, 0, 800, 200));
        const int pageObject = file.Reserve();
        file.Object(pageObject, "<< /Type /Page /Parent " + PdfFileWriter::Reference(pages) +
                                    " /MediaBox [0 0 800 200] /Resources << /Font << " +
                                    TextLayer::kFontName + " " + PdfFileWriter::Reference(font) +
                                    " >> >> /Contents " + PdfFileWriter::Reference(content) +
                                    " >>");
        layer.WriteFont(file, font);
        file.Object(pages, "<< /Type /Pages /Kids [" + PdfFileWriter::Reference(pageObject) +
                               "] /Count 1 >>");
        file.Object(catalog, "<< /Type /Catalog /Pages " + PdfFileWriter::Reference(pages) + " >>");
        file.Object(info, "<< >>");
        file.Finish(catalog, info);
    }
    TempDir dir;
    const std::string pdf = dir.File("scripts.pdf");
    std::ofstream(pdf, std::ios::binary) << bytes;
    EXPECT_TRUE(QpdfCheckPasses(pdf));
    // In reading order (readers apply the bidirectional algorithm to the glyphs' places)...
    std::string text;
    ASSERT_EQ(RunCommand("pdftotext -q -raw '" + pdf + "' -", &text), 0);
    // Less the marks of embedded directions that pdftotext puts around right-to-left words.
    text = std::regex_replace(text, std::regex("\xE2\x80[\xAA-\xAE]"), "");
    std::string expected;
    for (const Case& c : cases) {
        expected += (expected.empty() ? "" : " ") + std::string(c.text);
    }
    EXPECT_NE(text.find(expected), std::string::npos) << text;
    // ...and each word over its box.
    std::vector<Word> words = Words(pdf);
    ASSERT_EQ(words.size(), std::size(cases)) << Dump(words);
    std::sort(words.begin(), words.end(),
              [](const Word& a, const Word& b) { return a.xMin < b.xMin; });
    for (size_t i = 0; i < words.size(); ++i) {
        const Word& word = words[i];
        const Case& c = cases[i];
        EXPECT_NEAR(word.xMin, c.left / 2.0, 2) << c.text;
        EXPECT_NEAR(word.xMax, c.left / 2.0 + 100, 2) << c.text;
        EXPECT_NEAR(word.yMin, 50, 2) << c.text;
        EXPECT_NEAR(word.yMax, 80, 2) << c.text;
    }
}
