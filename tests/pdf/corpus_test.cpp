// Every image of the public suites: valid ones convert (with a few that PDF cannot hold
// losslessly, refused with their reason), invalid ones fail cleanly, and the pixels that a
// PDF reader decodes equal the source's.
#include "pdf_test_support.h"
#include "pdfa_checker.h"

#include <gtest/gtest.h>
#include <png.h>
#include <tiffio.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

namespace fs = std::filesystem;
using namespace pdftest;

namespace {
struct Entry {
    std::string path; // relative to the corpus
    std::string expected;
};

std::vector<Entry> Images(const std::string& corpus) {
    std::vector<Entry> entries;
    std::ifstream manifest(corpus + "/MANIFEST.tsv");
    std::string line;
    std::getline(manifest, line);
    while (std::getline(manifest, line)) {
        std::vector<std::string> fields;
        std::stringstream stream(line);
        std::string field;
        while (std::getline(stream, field, '\t')) {
            fields.push_back(field);
        }
        if (fields.size() >= 5 && fields[4] == "image") {
            entries.push_back({fields[0], fields[3]});
        }
    }
    return entries;
}

// Valid images that PDF cannot hold losslessly, or that our codec libraries do not read,
// and the reason they are refused with.
// Invalid files whose only fault is their density (pixels per metre that make the image far
// wider than high, or the other way round): converted as images without a density, with a
// note.
bool IsOnlyItsDensity(const std::string& path) {
    return path == "bmpsuite/b/baddens1.bmp" || path == "bmpsuite/b/baddens2.bmp";
}

const char* KnownRefusal(const std::string& path) {
    static const std::pair<const char*, const char*> kRefusals[] = {
        {"float", "floating-point"},
        {"fp16", "floating-point"},
        {"f32", "floating-point"},
        {"32f", "floating-point"},
        {"64f", "floating-point"},
        {"caspian.tif", "floating-point"},
        {"off_l", "LogLuv"},
        {"logluv", "LogLuv"},
        {"/lossless/", "lossless"},
        {"monkey12.jpg", "12-bit JPEG"},
        {"max-codes.gif", "broken GIF"}, // LZW codes of 11 bits: beyond giflib
        // Valid in their suites, yet their data does not decode (in full, or at all, even by
        // libtiff's own tools): no page holds part of an image.
        {"libtiff-pics/text.tif", "broken TIFF"},
        {"testfax3_bug54_1dnoEOL.tif", "broken TIFF"},
        {"testfax3_bug_513.tiff", "broken TIFF"},
        // A screen without an image (or with an image of no pixels) gives no page: the
        // suite's reading is a transparent dot.
        {"pygif-test-suite/image-zero-", "no image"},
        {"pygif-test-suite/no-data.gif", "no image"},
    };
    for (const auto& [fragment, reason] : kRefusals) {
        if (path.find(fragment) != std::string::npos) {
            return reason;
        }
    }
    return nullptr;
}

class CorpusTest : public testing::Test {
protected:
    void SetUp() override { OMBRIX_USE_CORPUS(m_corpus); }

    // Converts every image of the manifest whose path matches and hands each result on.
    template <typename Check>
    void ForEach(const std::regex& pattern, Check check,
                 const PdfPageOptions& options = DefaultOptions()) {
        for (const Entry& entry : Images(m_corpus)) {
            if (!std::regex_search(entry.path, pattern)) {
                continue;
            }
            TempDir out;
            const Conversion conversion =
                Convert({m_corpus + "/" + entry.path}, out.Path(), options);
            check(entry, conversion, out);
        }
    }

    std::string m_corpus;
};

// libpng's own decoding, every format expanded to 16-bit RGBA.
bool DecodePngRgba16(const std::string& path, int& width, int& height,
                     std::vector<uint16_t>& rgba) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_read_info(png, info);
    png_set_expand_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFFFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    width = static_cast<int>(png_get_image_width(png, info));
    height = static_cast<int>(png_get_image_height(png, info));
    std::vector<unsigned char> bytes(size_t(width) * height * 8);
    std::vector<png_bytep> rows(height);
    for (int y = 0; y < height; ++y) {
        rows[y] = &bytes[size_t(y) * width * 8];
    }
    png_read_image(png, rows.data());
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    rgba.resize(size_t(width) * height * 4);
    for (size_t i = 0; i < rgba.size(); ++i) {
        rgba[i] = static_cast<uint16_t>(bytes[2 * i] << 8 | bytes[2 * i + 1]);
    }
    return true;
}

// An 8-bit RGBA reference rendering.
struct Rgba8 {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> data;
};

bool ReadPngRgba8(const std::string& path, Rgba8& out) {
    std::vector<uint16_t> rgba;
    if (!DecodePngRgba16(path, out.width, out.height, rgba)) {
        return false;
    }
    out.data.resize(rgba.size());
    for (size_t i = 0; i < rgba.size(); ++i) {
        out.data[i] = static_cast<unsigned char>(rgba[i] >> 8);
    }
    return true;
}

// Our pixels as RGB (grey spread, CMYK converted as libtiff does) with alpha.
void ToRgb(const Pixels& pixels, size_t i, double rgb[3]) {
    const double* c = &pixels.colour[i * pixels.channels];
    if (pixels.channels == 1) {
        rgb[0] = rgb[1] = rgb[2] = c[0];
    } else if (pixels.channels == 3) {
        rgb[0] = c[0];
        rgb[1] = c[1];
        rgb[2] = c[2];
    } else {
        for (int k = 0; k < 3; ++k) {
            rgb[k] = (1 - c[k]) * (1 - c[3]);
        }
    }
}

// Compares our image, placed at (offsetX, offsetY) on the reference's canvas, with an 8-bit
// rendering; colours count only where the reference is opaque. Returns the number of pixels
// that differ by more than `tolerance` levels.
int CountDifferences(const Pixels& pixels, int offsetX, int offsetY, const Rgba8& reference,
                     double tolerance, bool premultiplied = false) {
    int differences = 0;
    for (int y = 0; y < reference.height; ++y) {
        for (int x = 0; x < reference.width; ++x) {
            const unsigned char* r = &reference.data[(size_t(y) * reference.width + x) * 4];
            const int ix = x - offsetX;
            const int iy = y - offsetY;
            double rgb[3] = {0, 0, 0};
            double alpha = 0;
            if (ix >= 0 && iy >= 0 && ix < pixels.width && iy < pixels.height) {
                const size_t i = size_t(iy) * pixels.width + ix;
                ToRgb(pixels, i, rgb);
                alpha = pixels.alpha[i];
            }
            bool same = std::abs(alpha * 255 - r[3]) <= tolerance;
            if (r[3] == 255 || premultiplied) {
                const double scale = premultiplied ? alpha : 1.0;
                for (int k = 0; k < 3; ++k) {
                    same = same && std::abs(rgb[k] * scale * 255 - r[k]) <= tolerance;
                }
            }
            differences += same ? 0 : 1;
        }
    }
    return differences;
}
} // namespace

TEST_F(CorpusTest, EveryImageConvertsOrFailsAsItsSuiteSays) {
    int converted = 0;
    ForEach(std::regex("."), [&](const Entry& entry, const Conversion& conversion,
                                 const TempDir& out) {
        const char* refusal = KnownRefusal(entry.path);
        if (entry.expected == "valid" && refusal == nullptr) {
            EXPECT_EQ(conversion.code, 0) << entry.path << ": " << conversion.reason;
        } else if (entry.expected == "valid") {
            EXPECT_NE(conversion.code, 0) << entry.path;
            EXPECT_NE(conversion.reason.find(refusal), std::string::npos)
                << entry.path << ": " << conversion.reason;
        } else if (entry.expected == "invalid" && IsOnlyItsDensity(entry.path)) {
            // Invalid in the suite for a density no real image has, which is left out.
            EXPECT_EQ(conversion.code, 0) << entry.path << ": " << conversion.reason;
            EXPECT_NE(conversion.reason.find("dpi out of range"), std::string::npos)
                << entry.path << ": " << conversion.reason;
        } else if (entry.expected == "invalid") {
            EXPECT_NE(conversion.code, 0) << entry.path;
        }
        if (conversion.code == 0) {
            ++converted;
            std::string report;
            EXPECT_TRUE(QpdfCheckPasses(conversion.path, &report)) << entry.path << "\n" << report;
        } else {
            EXPECT_FALSE(conversion.reason.empty()) << entry.path;
            EXPECT_TRUE(out.List().empty()) << entry.path << " left a file behind";
        }
    });
    EXPECT_GT(converted, 600);
}

TEST_F(CorpusTest, EveryValidImageMakesAValidPdfA2bAndPdfA3b) {
    // As plain PDFs: what converts there makes an archive that breaks no rule of the part.
    for (const int part : {2, 3}) {
        PdfArchiveOptions archive{};
        archive.part = part;
        archive.attachOriginals = part == 3;
        PdfPageOptions options = DefaultOptions();
        options.archive = &archive;
        ForEach(
            std::regex("."),
            [&](const Entry& entry, const Conversion& conversion, const TempDir&) {
                if (entry.expected != "valid" || KnownRefusal(entry.path) != nullptr) {
                    return;
                }
                ASSERT_EQ(conversion.code, 0)
                    << part << " " << entry.path << ": " << conversion.reason;
                const std::vector<std::string> problems = PdfaProblems(conversion.path, part);
                std::string text;
                for (const std::string& problem : problems) {
                    text += problem + "\n";
                }
                EXPECT_TRUE(problems.empty()) << part << " " << entry.path << "\n" << text;
            },
            options);
    }
}

TEST_F(CorpusTest, EveryValidImageMakesAValidPdfA1bOrIsRefusedWithAReason) {
    // Alone and without lossy steps: converted, or refused for what PDF/A-1b cannot hold.
    PdfArchiveOptions archive{};
    archive.part = 1;
    PdfPageOptions options = DefaultOptions();
    options.archive = &archive;
    std::vector<std::string> valid;
    ForEach(
        std::regex("."),
        [&](const Entry& entry, const Conversion& conversion, const TempDir&) {
            if (entry.expected != "valid" || KnownRefusal(entry.path) != nullptr) {
                return;
            }
            valid.push_back(m_corpus + "/" + entry.path);
            if (conversion.code != 0) {
                EXPECT_EQ(conversion.code, PDF_ERROR_UNSUPPORTED_IMAGE) << entry.path;
                EXPECT_NE(conversion.reason.find("which PDF/A-1b cannot hold: choose PDF/A-2b"),
                          std::string::npos)
                    << entry.path << ": " << conversion.reason;
            } else {
                EXPECT_TRUE(PdfaProblems(conversion.path, 1).empty()) << entry.path;
            }
        },
        options);
    // All of them in one document, the lossy steps allowed, as Preflight sees it. Profiles of
    // ICC version 4 are no lossy step: their images stay out.
    archive.flattenAlpha = 1;
    archive.background = 0xFFFFFF;
    archive.reduceDepth = 1;
    std::vector<std::string> inputs;
    for (const std::string& path : valid) {
        TempDir out;
        const Conversion alone = Convert({path}, out.Path(), options);
        if (alone.code == 0) {
            inputs.push_back(path);
        } else {
            EXPECT_NE(alone.reason.find("ICC version 4"), std::string::npos)
                << path << ": " << alone.reason;
        }
    }
    TempDir out;
    const Conversion merged = Convert(inputs, out.Path(), options);
    ASSERT_EQ(merged.code, 0) << merged.reason;
    const std::vector<std::string> problems = PdfaProblems(merged.path, 1);
    EXPECT_TRUE(problems.empty()) << problems.front();
    std::string report;
    bool available = false;
    const bool passes = PreflightPasses(merged.path, &report, &available);
    if (!available && !UnderCi()) {
        GTEST_SKIP() << report;
    }
    EXPECT_TRUE(passes) << report.substr(0, 4000);
}

TEST_F(CorpusTest, PngPixelsRoundTripExactly) {
    int compared = 0;
    ForEach(std::regex("\\.png$"), [&](const Entry& entry, const Conversion& conversion,
                                       const TempDir&) {
        int width = 0;
        int height = 0;
        std::vector<uint16_t> reference;
        if (conversion.code != 0 ||
            !DecodePngRgba16(m_corpus + "/" + entry.path, width, height, reference)) {
            return;
        }
        const PdfImage image = ReadImages(conversion.path).at(0);
        const Pixels pixels = ToPixels(image);
        ASSERT_EQ(pixels.width, width) << entry.path;
        ASSERT_EQ(pixels.height, height) << entry.path;
        int differences = 0;
        for (size_t i = 0; i < size_t(width) * height; ++i) {
            double rgb[3];
            ToRgb(pixels, i, rgb);
            for (int k = 0; k < 3; ++k) {
                differences += std::abs(rgb[k] - reference[4 * i + k] / 65535.0) > 1e-6 ? 1 : 0;
            }
            differences +=
                std::abs(pixels.alpha[i] - reference[4 * i + 3] / 65535.0) > 1e-6 ? 1 : 0;
        }
        EXPECT_EQ(differences, 0) << entry.path << " (" << image.filter << ")";
        ++compared;
    });
    EXPECT_GT(compared, 160);
}

TEST_F(CorpusTest, BmpPixelsMatchTheSuitesReferenceRenderings) {
    // The suite's page names the reference rendering of each file.
    const std::string html = ReadFile(m_corpus + "/bmpsuite/html/bmpsuite.html");
    std::map<std::string, std::string> references;
    const std::regex row("<td[^>]*>([gqb]/[^<]+\\.bmp)</td>[^<]*<td>[^<]*</td>[^<]*<td[^>]*><img "
                         "src=\"([^\"]+\\.png)\"");
    for (auto it = std::sregex_iterator(html.begin(), html.end(), row);
         it != std::sregex_iterator(); ++it) {
        references["bmpsuite/" + (*it)[1].str()] = (*it)[2].str();
    }
    int compared = 0;
    ForEach(std::regex("^bmpsuite/[gq]/"),
            [&](const Entry& entry, const Conversion& conversion, const TempDir&) {
                const auto found = references.find(entry.path);
                if (conversion.code != 0 || found == references.end()) {
                    return;
                }
                // Where the suite allows several renderings, pixels an RLE image skips take
                // palette index 0: the "-0" one.
                std::string name = found->second;
                const std::string indexZero = name.substr(0, name.size() - 4) + "-0.png";
                if (fs::exists(m_corpus + "/bmpsuite/html/" + indexZero)) {
                    name = indexZero;
                }
                Rgba8 reference;
                if (!ReadPngRgba8(m_corpus + "/bmpsuite/html/" + name, reference)) {
                    return;
                }
                const PdfImage image = ReadImages(conversion.path).at(0);
                if (image.icc) {
                    return; // the rendering applied the embedded profile
                }
                const Pixels pixels = ToPixels(image);
                ASSERT_EQ(pixels.width, reference.width) << entry.path;
                ASSERT_EQ(pixels.height, reference.height) << entry.path;
                // Channels of fewer than 8 bits are scaled exactly; the renderings round them.
                EXPECT_EQ(CountDifferences(pixels, 0, 0, reference, 1.01), 0) << entry.path;
                ++compared;
            });
    EXPECT_GT(compared, 30);
}

TEST_F(CorpusTest, GifFirstFramesMatchTheSuitesReferenceFrames) {
    int compared = 0;
    ForEach(
        std::regex("^(pygif-test-suite|gif-test-suite)/.*\\.gif$"),
        [&](const Entry& entry, const Conversion& conversion, const TempDir&) {
            const std::string stem = fs::path(entry.path).stem().string();
            // Frames composed of several images (more than 256 colours, images combined
            // without delay): only the first image is converted.
            static const std::set<std::string> kComposed = {
                "high-color", "images-combine", "images-overlap", "dispose-restore-previous"};
            if (conversion.code != 0 || kComposed.count(stem) != 0) {
                return;
            }
            Rgba8 reference;
            if (entry.path.rfind("gif-test-suite", 0) == 0) {
                if (!ReadPngRgba8(m_corpus + "/gif-test-suite/gifs/frames/" + stem + "-0.png",
                                  reference)) {
                    return;
                }
            } else {
                const std::string conf = ReadFile(m_corpus + "/pygif-test-suite/" + stem + ".conf");
                std::smatch match;
                const std::regex size("width = (\\d+)\\s+height = (\\d+)");
                const std::regex frame("\\[frame0\\]\\s+pixels = (\\S+)");
                if (!std::regex_search(conf, match, size)) {
                    return;
                }
                reference.width = std::stoi(match[1]);
                reference.height = std::stoi(match[2]);
                if (!std::regex_search(conf, match, frame)) {
                    return;
                }
                const std::string raw = ReadFile(m_corpus + "/pygif-test-suite/" + match[1].str());
                reference.data.assign(raw.begin(), raw.end());
                if (reference.data.size() != size_t(reference.width) * reference.height * 4) {
                    return;
                }
            }
            const PdfImage image = ReadImages(conversion.path).at(0);
            const Pixels pixels = ToPixels(image);
            // Where the frame sits on the screen, from the page's drawing matrix.
            const double scale = image.matrix[0] / image.width;
            int offsetX = 0;
            int offsetY = 0;
            if (pixels.width != reference.width || pixels.height != reference.height) {
                // The page box is the screen; the frame's place in it gives the offset.
                const double pageBoxLeft = (image.pageWidth - reference.width * scale) / 2;
                const double pageBoxTop = (image.pageHeight + reference.height * scale) / 2;
                offsetX = static_cast<int>(std::lround((image.matrix[4] - pageBoxLeft) / scale));
                offsetY = static_cast<int>(
                    std::lround((pageBoxTop - image.matrix[5] - image.matrix[3]) / scale));
            }
            EXPECT_EQ(CountDifferences(pixels, offsetX, offsetY, reference, 0.01), 0) << entry.path;
            ++compared;
        });
    EXPECT_GT(compared, 20);
}

TEST_F(CorpusTest, TiffPixelsMatchLibtiffsOwnRendering) {
    TIFFSetWarningHandler(nullptr);
    TIFFSetErrorHandler(nullptr);
    int compared = 0;
    ForEach(std::regex("\\.tiff?$"), [&](const Entry& entry, const Conversion& conversion,
                                         const TempDir& out) {
        if (conversion.code != 0) {
            return;
        }
        TIFF* tif = TIFFOpen((m_corpus + "/" + entry.path).c_str(), "r");
        if (tif == nullptr) {
            return;
        }
        char message[1024];
        uint32_t width = 0;
        uint32_t height = 0;
        uint16_t orientation = 1;
        uint32_t type = 0;
        uint16_t format = SAMPLEFORMAT_UINT;
        uint16_t photometric = 0;
        uint16_t extraCount = 0;
        uint16_t* extraTypes = nullptr;
        TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &format);
        TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
        TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extraTypes);
        // libtiff's rendering reads signed samples as unsigned (we map them in order, the
        // least value darkest), takes unspecified extra samples for alpha (we leave them out)
        // and drops the alpha of CMYK: no reference for those.
        const bool comparable = format != SAMPLEFORMAT_INT &&
                                (extraCount == 0 || (extraTypes[0] != EXTRASAMPLE_UNSPECIFIED &&
                                                     photometric != PHOTOMETRIC_SEPARATED));
        TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
        TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
        TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &orientation);
        TIFFGetField(tif, TIFFTAG_SUBFILETYPE, &type);
        Rgba8 reference;
        reference.width = static_cast<int>(width);
        reference.height = static_cast<int>(height);
        std::vector<uint32_t> raster(size_t(width) * height);
        const bool readable =
            comparable && orientation == 1 && type == 0 && TIFFRGBAImageOK(tif, message) &&
            TIFFReadRGBAImageOriented(tif, width, height, raster.data(), ORIENTATION_TOPLEFT, 1);
        TIFFClose(tif);
        if (!readable) {
            return;
        }
        reference.data.resize(raster.size() * 4);
        for (size_t i = 0; i < raster.size(); ++i) {
            reference.data[4 * i] = static_cast<unsigned char>(TIFFGetR(raster[i]));
            reference.data[4 * i + 1] = static_cast<unsigned char>(TIFFGetG(raster[i]));
            reference.data[4 * i + 2] = static_cast<unsigned char>(TIFFGetB(raster[i]));
            reference.data[4 * i + 3] = static_cast<unsigned char>(TIFFGetA(raster[i]));
        }
        const PdfImage image = ReadImages(conversion.path).at(0);
        if (image.filter == "/CCITTFaxDecode") {
            // Fax data, decoded by poppler.
            const std::string prefix = out.File("fax");
            Rgba8 decoded;
            ASSERT_EQ(RunCommand("pdfimages -png '" + conversion.path + "' '" + prefix + "' 2>&1"),
                      0)
                << entry.path;
            ASSERT_TRUE(ReadPngRgba8(prefix + "-000.png", decoded)) << entry.path;
            EXPECT_EQ(decoded.width, reference.width) << entry.path;
            EXPECT_EQ(decoded.data, reference.data) << entry.path;
            ++compared;
            return;
        }
        Pixels pixels = ToPixels(image);
        if (pixels.width != reference.width || pixels.height != reference.height) {
            ADD_FAILURE() << entry.path << ": size differs";
            return;
        }
        if (!image.matte.empty()) {
            // Premultiplied colour: what libtiff hands out too.
            for (size_t i = 0; i < pixels.alpha.size(); ++i) {
                if (pixels.alpha[i] > 0) {
                    for (int c = 0; c < pixels.channels; ++c) {
                        pixels.colour[i * pixels.channels + c] /= pixels.alpha[i];
                    }
                }
            }
        }
        const int differences = CountDifferences(pixels, 0, 0, reference, 2.01, image.softMask);
        EXPECT_EQ(differences, 0) << entry.path;
        ++compared;
    });
    EXPECT_GT(compared, 100);
}

namespace {
// A JPEG file up to its end marker as a PDF keeps it: without its comments and application
// segments other than JFIF (APP0) and Adobe (APP14); everything else, the entropy-coded data
// among it, byte for byte.
std::string KeptForPdf(const std::string& file) {
    std::string kept = file.substr(0, 2);
    size_t at = 2;
    while (at + 1 < file.size()) {
        const auto marker = static_cast<unsigned char>(file[at + 1]);
        if (file[at] != '\xFF' || marker == 0xFF) {
            kept += file[at++]; // entropy-coded data, or a fill byte
            continue;
        }
        if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            kept += file.substr(at, 2); // a stuffed zero, TEM or a restart marker
            at += 2;
            continue;
        }
        if (marker == 0xD9) {
            return kept + file.substr(at, 2);
        }
        if (at + 4 > file.size()) {
            break;
        }
        const size_t length = static_cast<unsigned char>(file[at + 2]) << 8 |
                              static_cast<unsigned char>(file[at + 3]);
        const bool application = (marker >= 0xE0 && marker <= 0xEF) || marker == 0xFE;
        const bool keep =
            !application ||
            (marker == 0xE0 && file.compare(at + 4, 5, std::string("JFIF\0", 5)) == 0) ||
            (marker == 0xEE && file.compare(at + 4, 5, "Adobe") == 0);
        if (keep) {
            kept += file.substr(at, 2 + length);
        }
        at += 2 + length;
    }
    return kept;
}
} // namespace

TEST_F(CorpusTest, JpegDataIsEmbeddedByteForByte) {
    int compared = 0;
    ForEach(std::regex("\\.jpe?g$"),
            [&](const Entry& entry, const Conversion& conversion, const TempDir&) {
                if (conversion.code != 0) {
                    return;
                }
                const std::string file = ReadFile(m_corpus + "/" + entry.path);
                if (file.rfind("\xFF\xD8", 0) != 0) {
                    return; // another format under a JPEG name
                }
                const PdfImage image = ReadImages(conversion.path).at(0);
                ASSERT_EQ(image.filter, "/DCTDecode") << entry.path;
                // Arithmetic coding is rewritten; everything else is the file up to its end
                // marker, less the segments that mean nothing in a PDF.
                const bool arithmetic = file.find("\xFF\xC9") != std::string::npos ||
                                        file.find("\xFF\xCA") != std::string::npos;
                if (!arithmetic) {
                    EXPECT_TRUE(image.raw == KeptForPdf(file)) << entry.path;
                }
                ++compared;
            });
    EXPECT_GT(compared, 75);
}

namespace {
// A greyscale rendering: width, height and one byte a pixel.
struct Grey {
    int width = 0;
    int height = 0;
    std::string pixels;
};

bool ReadPgm(const std::string& path, Grey& image) {
    const std::string data = ReadFile(path);
    int header = 0;
    int maxValue = 0;
    if (std::sscanf(data.c_str(), "P5 %d %d %d%n", &image.width, &image.height, &maxValue,
                    &header) != 3 ||
        maxValue != 255) {
        return false;
    }
    image.pixels = data.substr(static_cast<size_t>(header) + 1);
    return image.pixels.size() == size_t(image.width) * image.height;
}
} // namespace

TEST_F(CorpusTest, TwoReadersAgreeOnASample) {
    // Every ninth valid image of the suites, rendered by poppler and by MuPDF: both
    // read every page without a complaint and show the same picture.
    int index = 0;
    int compared = 0;
    ForEach(std::regex("."), [&](const Entry& entry, const Conversion& conversion,
                                 const TempDir& out) {
        if (conversion.code != 0 || entry.expected != "valid" || index++ % 9 != 0) {
            return;
        }
        // MuPDF draws no image of more than 65536 rows (big_g4.tif has 65537).
        if (ReadImages(conversion.path).at(0).height > 65536) {
            return;
        }
        const std::string poppler = out.File("poppler");
        const std::string mupdf = out.File("mupdf.pgm");
        std::string messages;
        ASSERT_EQ(RunCommand("pdftoppm -r 30 -gray -singlefile '" + conversion.path + "' '" +
                                 poppler + "' 2>&1",
                             &messages),
                  0)
            << entry.path;
        EXPECT_TRUE(messages.empty()) << entry.path << ": " << messages;
        ASSERT_EQ(RunCommand("mutool draw -q -r 30 -c gray -o '" + mupdf + "' '" + conversion.path +
                                 "' 1 2>&1",
                             &messages),
                  0)
            << entry.path;
        // This MuPDF build says on every run that it draws without colour management.
        messages =
            std::regex_replace(messages, std::regex("warning: ICC support is not available\n"), "");
        EXPECT_TRUE(messages.empty()) << entry.path << ": " << messages;
        Grey a;
        Grey b;
        ASSERT_TRUE(ReadPgm(poppler + ".pgm", a)) << entry.path;
        ASSERT_TRUE(ReadPgm(mupdf, b)) << entry.path;
        // The readers round the page size apart by a pixel; the common part is compared.
        EXPECT_LE(std::abs(a.width - b.width), 1) << entry.path;
        EXPECT_LE(std::abs(a.height - b.height), 1) << entry.path;
        // Means of 4 x 4 blocks: the readers scale fine patterns (halftones, noise) apart.
        const int width = std::min(a.width, b.width) / 4;
        const int height = std::min(a.height, b.height) / 4;
        auto block = [](const Grey& image, int bx, int by) {
            int sum = 0;
            for (int y = 4 * by; y < 4 * by + 4; ++y) {
                for (int x = 4 * bx; x < 4 * bx + 4; ++x) {
                    sum += static_cast<unsigned char>(image.pixels[size_t(y) * image.width + x]);
                }
            }
            return sum / 16.0;
        };
        double difference = 0;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                difference += std::abs(block(a, x, y) - block(b, x, y));
            }
        }
        // CMYK to grey is each reader's own conversion.
        const bool cmyk = ReadImages(conversion.path).at(0).components == 4;
        EXPECT_LT(difference / (double(width) * height), cmyk ? 8.0 : 4.0) << entry.path;
        ++compared;
    });
    EXPECT_GT(compared, 50);
}
