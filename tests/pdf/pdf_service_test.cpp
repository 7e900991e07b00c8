// The PDF service through its C interface: merging, document information, security,
// failures, cancellation, determinism, orientation and colour kept.
#include "pdf/crafted_images.h"
#include "pdf/image_source.h"
#include "pdf/pdf_error.h"
#include "pdf_test_support.h"
#include "support/file_size_limit.h"

#include <gtest/gtest.h>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <tiffio.h>

#include <chrono>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <thread>

namespace fs = std::filesystem;
using namespace pdftest;

namespace {
// Makes an image with ImageMagick; `spec` is what goes before the output name.
std::string Make(const TempDir& dir, const std::string& name, const std::string& spec) {
    const std::string path = dir.File(name);
    EXPECT_EQ(RunCommand("convert " + spec + " '" + path + "' 2>&1"), 0) << spec;
    return path;
}

void Write(const std::string& path, const std::string& data) {
    std::ofstream(path, std::ios::binary) << data;
}

std::string InfoText(const std::string& pdf, const std::string& password = "") {
    std::string output;
    RunCommand("pdfinfo " + (password.empty() ? std::string() : "-upw '" + password + "' ") + "'" +
                   pdf + "' 2>&1",
               &output);
    return output;
}
} // namespace

TEST(PdfServiceTest, MergesPagesInAppendOrderWithDocumentInformation) {
    TempDir in;
    TempDir out;
    const std::string wide = Make(in, "wide.png", "-size 300x100 gradient:red-blue");
    const std::string tall = Make(in, "tall.jpg", "-size 100x300 plasma:fractal -quality 90");
    const std::string square = Make(in, "square.gif", "-size 150x150 xc:green");

    PdfPageOptions options = DefaultOptions();
    options.title = "Reise nach Kyōto 京都";
    options.author = "Zoë Müller";
    options.subject = "Holiday";
    const Conversion conversion = Convert({tall, wide, square, tall}, out.Path(), options);
    ASSERT_EQ(conversion.code, 0) << conversion.reason;
    EXPECT_EQ(conversion.pages, 4);
    EXPECT_TRUE(QpdfCheckPasses(conversion.path));

    const std::vector<PdfImage> images = ReadImages(conversion.path);
    ASSERT_EQ(images.size(), 4u);
    const int widths[] = {100, 300, 150, 100};
    for (size_t i = 0; i < images.size(); ++i) {
        EXPECT_EQ(images[i].width, widths[i]) << i;
    }
    // The landscape image turns its page.
    EXPECT_GT(images[1].pageWidth, images[1].pageHeight);
    EXPECT_LT(images[0].pageWidth, images[0].pageHeight);

    const std::string info = InfoText(conversion.path);
    EXPECT_NE(info.find("Title:           Reise nach Kyōto 京都"), std::string::npos) << info;
    EXPECT_NE(info.find("Author:          Zoë Müller"), std::string::npos) << info;
    EXPECT_NE(info.find("Subject:         Holiday"), std::string::npos) << info;
    // The project's version, as CMake's project() gives it.
    const std::string producer = "Ombrix Image to PDF Converter " OMBRIX_PROJECT_VERSION "\n";
    EXPECT_NE(info.find("Producer:        " + producer), std::string::npos) << info;
    EXPECT_NE(info.find("Creator:         " + producer), std::string::npos) << info;
    EXPECT_NE(info.find("CreationDate:"), std::string::npos) << info;
    EXPECT_NE(info.find("Encrypted:       no"), std::string::npos) << info;
}

TEST(PdfServiceTest, PasswordsEncryptAndPermissionsHold) {
    TempDir in;
    const std::string image = Make(in, "a.png", "-size 40x40 xc:orange");
    // A palette: a string, which encryption must leave readable with the password.
    const std::string palette = Make(in, "b.gif", "-size 8x8 xc:red");
    struct Case {
        const char* label;
        const char* user;
        const char* owner;
        int copy;
        int print;
        bool ownerOpens;             // the owner password given lifts the restrictions
        const char* typed = nullptr; // the user password as qpdf takes it, when it differs
    };
    // Restrictions hold only with a secret owner password: without one, or with the user's
    // own, a random one is used.
    const Case cases[] = {
        {"both passwords, nothing allowed", "user pw", "owner pw", 0, 0, true},
        {"user password only, print allowed", "ü-secret", "", 0, 1, false},
        {"owner password only, copy allowed", "", "owner", 1, 0, true},
        {"no password, no copying", "", "", 0, 1, false},
        {"no password, no printing", "", "", 1, 0, false},
        {"equal passwords, no printing", "same", "same", 1, 0, false},
        // "\uFB01le" is "file" once prepared (SASLprep): the same password.
        {"passwords equal once prepared, no printing", "\xEF\xAC\x81le", "file", 1, 0, false,
         "file"},
    };
    for (const Case& c : cases) {
        TempDir out;
        PdfSecurityOptions security{c.user, c.owner, c.copy, c.print};
        PdfPageOptions options = DefaultOptions();
        options.security = &security;
        const Conversion conversion = Convert({image, palette}, out.Path(), options);
        ASSERT_EQ(conversion.code, 0) << c.label << ": " << conversion.reason;

        if (*c.user != '\0') {
            QPDF locked;
            EXPECT_THROW(locked.processFile(conversion.path.c_str()), QPDFExc) << c.label;
        }
        QPDF pdf;
        pdf.processFile(conversion.path.c_str(), c.typed != nullptr ? c.typed : c.user);
        int revision = 0;
        int permissions = 0;
        ASSERT_TRUE(pdf.isEncrypted(revision, permissions)) << c.label;
        EXPECT_EQ(revision, 6) << c.label << " (AES-256)";
        EXPECT_FALSE(pdf.ownerPasswordMatched()) << c.label;
        EXPECT_EQ(pdf.allowExtractAll(), c.copy != 0) << c.label;
        EXPECT_EQ(pdf.allowPrintHighRes(), c.print != 0) << c.label;
        if (*c.owner != '\0') {
            QPDF owner;
            owner.processFile(conversion.path.c_str(), c.owner);
            EXPECT_EQ(owner.ownerPasswordMatched(), c.ownerOpens) << c.label;
        }
        const std::vector<PdfImage> images =
            ReadImages(conversion.path, c.typed != nullptr ? c.typed : c.user);
        ASSERT_EQ(images.size(), 2u) << c.label;
        EXPECT_TRUE(images[1].indexed) << c.label;
        EXPECT_EQ(images[1].palette.substr(0, 3), std::string("\xFF\x00\x00", 3)) << c.label;
    }
    // Without passwords and restrictions, nothing is encrypted.
    TempDir out;
    PdfSecurityOptions open{"", "", 1, 1};
    PdfPageOptions options = DefaultOptions();
    options.security = &open;
    const Conversion conversion = Convert({image}, out.Path(), options);
    ASSERT_EQ(conversion.code, 0) << conversion.reason;
    EXPECT_NE(InfoText(conversion.path).find("Encrypted:       no"), std::string::npos);
}

TEST(PdfServiceTest, PasswordsArePreparedAndCutAsTheStandardHasIt) {
    TempDir in;
    const std::string image = Make(in, "a.png", "-size 40x40 xc:orange");
    std::string varied;
    for (int i = 0; i < 200; ++i) {
        varied += static_cast<char>('a' + i % 26);
    }
    struct Case {
        const char* label;
        std::string given;
        std::string typed; // as qpdf and MuPDF take it, which cut it themselves
        bool poppler;      // poppler's tools take 32 bytes at most
    };
    const Case cases[] = {
        {"200 bytes", varied, varied, false},
        {"200 bytes, typed as the 127 that count", varied, varied.substr(0, 127), false},
        {"4096 bytes, the longest", std::string(4096, 'k'), std::string(200, 'k'), false},
        {"a character cut at byte 127", std::string(126, 'a') + "\xC3\xA9",
         std::string(126, 'a') + "\xC3\xA9", false},
        {"non-ASCII kept",
         "Zo\xC3\xAB Gr\xC3\xBC\xC3\x9F"
         "e \xE4\xBA\xAC",
         "Zo\xC3\xAB Gr\xC3\xBC\xC3\x9F"
         "e \xE4\xBA\xAC",
         true},
        // A ligature is its letters, a no-break space a space, a soft hyphen nothing.
        {"mapped by SASLprep", "\xEF\xAC\x81x\xC2\xA0my pass\xC2\xADword", "fix my password", true},
    };
    for (const Case& c : cases) {
        TempDir out;
        PdfSecurityOptions security{c.given.c_str(), "owner", 1, 1};
        PdfPageOptions options = DefaultOptions();
        options.security = &security;
        const Conversion conversion = Convert({image}, out.Path(), options);
        ASSERT_EQ(conversion.code, 0) << c.label << ": " << conversion.reason;
        const std::string pdf = "'" + conversion.path + "'";
        const std::string typed = "'" + c.typed + "'";
        EXPECT_EQ(RunCommand("qpdf --password=" + typed + " --check " + pdf + " 2>&1"), 0)
            << c.label;
        EXPECT_NE(RunCommand("qpdf --password=wrong --check " + pdf + " 2>&1"), 0) << c.label;
        EXPECT_EQ(RunCommand("mutool draw -F pgm -o /dev/null -p " + typed + " " + pdf + " 2>&1"),
                  0)
            << c.label;
        if (c.poppler) {
            EXPECT_EQ(RunCommand("pdftoppm -upw " + typed + " -r 10 " + pdf + " " +
                                 out.File("page") + " 2>&1"),
                      0)
                << c.label;
            EXPECT_NE(InfoText(conversion.path, c.typed).find("Encrypted:       yes"),
                      std::string::npos)
                << c.label;
        }
    }
}

TEST(PdfServiceTest, PasswordsThatCannotProtectADocumentAreRefused) {
    TempDir in;
    const std::string image = Make(in, "a.png", "-size 40x40 xc:orange");
    struct Case {
        std::string password;
        const char* says;
    };
    const Case cases[] = {
        {"\x01secret", "a character that passwords may not hold"},
        {"tab\tbed", "a character that passwords may not hold"},
        {"private \xEE\x80\x80", "a character that passwords may not hold"},
        {"\xD7\x90 and Latin", "right-to-left"},
        // Nothing would be left to protect the document.
        {"\xC2\xAD\xEF\xBB\xBF", "only characters that passwords ignore"},
        {"caf\xE9", "not valid UTF-8"},
        {std::string(4097, 'a'), "longer than 4096 bytes"},
    };
    for (const Case& c : cases) {
        for (const bool user : {true, false}) {
            TempDir out;
            PdfSecurityOptions security{user ? c.password.c_str() : "",
                                        user ? "owner" : c.password.c_str(), 1, 1};
            PdfPageOptions options = DefaultOptions();
            options.security = &security;
            const Conversion conversion = Convert({image}, out.Path(), options);
            EXPECT_EQ(conversion.code, PDF_ERROR_PASSWORD) << c.says;
            EXPECT_NE(conversion.reason.find(c.says), std::string::npos) << conversion.reason;
            EXPECT_TRUE(out.List().empty()) << c.says;
            const char* checked = PdfCheckPassword(c.password.c_str());
            ASSERT_NE(checked, nullptr) << c.says;
            EXPECT_EQ(conversion.reason, checked);
        }
    }
    EXPECT_EQ(PdfCheckPassword(nullptr), nullptr);
    EXPECT_EQ(PdfCheckPassword(""), nullptr);
    EXPECT_EQ(PdfCheckPassword(std::string(4096, 'a').c_str()), nullptr);
}

TEST(PdfServiceTest, FailuresGiveACodeAndAReasonAndLeaveNothingBehind) {
    TempDir in;
    const std::string good = Make(in, "good.png", "-size 20x20 xc:blue");
    const std::string jpeg = Make(in, "photo.jpg", "-size 64x64 plasma:fractal");
    const std::string text = in.File("notes.png");
    Write(text, "This is a text file, not a picture.\n");
    const std::string empty = in.File("empty.jpg");
    Write(empty, "");
    const std::string truncated = in.File("truncated.jpg");
    const std::string jpegData = ReadFile(jpeg);
    Write(truncated, jpegData.substr(0, jpegData.size() / 2));
    const std::string cutPng = in.File("cut.png");
    const std::string bigPng = Make(in, "big.png", "-size 200x200 plasma:fractal");
    const std::string pngData = ReadFile(bigPng);
    Write(cutPng, pngData.substr(0, pngData.size() - 40));

    PdfPageOptions wideMargins = DefaultOptions();
    wideMargins.left = wideMargins.right = 120;
    PdfPageOptions unknownType = DefaultOptions();
    unknownType.pageType = "Napkin";

    struct Case {
        const char* label;
        std::vector<std::string> inputs;
        PdfPageOptions options;
        int code;
        const char* reason;
    };
    const Case cases[] = {
        {"no source", {}, DefaultOptions(), PDF_ERROR_NO_SOURCE, "no source"},
        {"a text file named .png", {text}, DefaultOptions(), PDF_ERROR_UNKNOWN_FORMAT, "notes.png"},
        {"an empty file", {empty}, DefaultOptions(), PDF_ERROR_UNKNOWN_FORMAT, "empty"},
        {"a missing file",
         {in.File("missing.png")},
         DefaultOptions(),
         PDF_ERROR_READ,
         "missing.png"},
        {"a truncated JPEG", {truncated}, DefaultOptions(), PDF_ERROR_CORRUPT, "truncated"},
        {"a truncated PNG", {cutPng}, DefaultOptions(), PDF_ERROR_CORRUPT, "PNG"},
        {"a broken file in a merge",
         {good, truncated, good},
         DefaultOptions(),
         PDF_ERROR_CORRUPT,
         "truncated.jpg"},
        {"margins that leave no room", {good}, wideMargins, PDF_ERROR_PAGE_GEOMETRY, "margins"},
        {"an unknown page type", {good}, unknownType, PDF_ERROR_PAGE_GEOMETRY, "Napkin"},
    };
    for (const Case& c : cases) {
        TempDir out;
        const Conversion conversion = Convert(c.inputs, out.Path(), c.options);
        EXPECT_EQ(conversion.code, c.code) << c.label << ": " << conversion.reason;
        EXPECT_NE(conversion.reason.find(c.reason), std::string::npos)
            << c.label << ": " << conversion.reason;
        EXPECT_TRUE(conversion.path.empty()) << c.label;
        EXPECT_TRUE(out.List().empty()) << c.label;
    }

    // Folders that cannot take the PDF.
    for (const char* folder : {"/proc", "/nonexistent/folder"}) {
        const Conversion conversion = Convert({good}, folder);
        EXPECT_EQ(conversion.code, PDF_ERROR_WRITE) << folder << ": " << conversion.reason;
    }
    // A disk that fills up while the PDF is written: no PDF, and no partial file left.
    {
        TempDir out;
        Conversion conversion;
        {
            FileSizeLimit full(4096);
            conversion = Convert({bigPng}, out.Path());
        }
        EXPECT_EQ(conversion.code, PDF_ERROR_WRITE) << conversion.reason;
        EXPECT_TRUE(conversion.path.empty());
        EXPECT_TRUE(out.List().empty());
    }

    // Only images are converted.
    TempDir out;
    Pdf3Service* service = CreatePdf3Service("engine");
    EXPECT_EQ(service->LoadSource(service, good.c_str(), 1), PDF_ERROR_UNSUPPORTED_SOURCE);
    const PdfPageOptions options = DefaultOptions();
    const PdfResult* result =
        service->CreatePdf(service, &options, out.Path().c_str(), out.Path().c_str(), nullptr, 0);
    EXPECT_EQ(result->errorCode, PDF_ERROR_UNSUPPORTED_SOURCE);
    EXPECT_EQ(result->path, nullptr);
    FreePdf3Service(service);
}

namespace {
int g_calls = 0;
int CancelAtSecondPage(int done, int total) {
    ++g_calls;
    EXPECT_EQ(total, 3);
    return done >= 2 ? 1 : 0;
}
} // namespace

TEST(PdfServiceTest, TheProgressProcedureCanCancel) {
    TempDir in;
    TempDir out;
    const std::string image = Make(in, "a.png", "-size 50x50 xc:red");
    Pdf3Service* service = CreatePdf3Service("");
    for (int i = 0; i < 3; ++i) {
        service->AppendSource(service, image.c_str());
    }
    const PdfPageOptions options = DefaultOptions();
    const PdfResult* result = service->CreatePdf(service, &options, out.Path().c_str(),
                                                 out.Path().c_str(), CancelAtSecondPage, 0);
    EXPECT_EQ(result->errorCode, PDF_ERROR_CANCELLED);
    EXPECT_EQ(g_calls, 2);
    EXPECT_TRUE(out.List().empty());
    FreePdf3Service(service);
}

TEST(PdfServiceTest, SourceDateEpochMakesTheOutputReproducible) {
    TempDir in;
    const std::string png = Make(in, "a.png", "-size 64x48 gradient:yellow-purple");
    const std::string jpg = Make(in, "b.jpg", "-size 64x48 plasma:fractal");
    const std::string tif = Make(in, "c.tif", "-size 64x48 gradient:red-blue -compress lzw");
    std::string info;
    auto convert = [&](const TempDir& out) {
        const Conversion conversion = Convert({png, jpg, tif, png}, out.Path());
        EXPECT_EQ(conversion.code, 0) << conversion.reason;
        RunCommand("pdfinfo -isodates '" + conversion.path + "'", &info);
        return ReadFile(conversion.path);
    };
    ASSERT_EQ(setenv("SOURCE_DATE_EPOCH", "1700000000", 1), 0);
    TempDir first;
    TempDir second;
    const std::string a = convert(first);
    // A random document ID is seeded with the time in seconds: let the clock move on.
    for (const std::time_t start = std::time(nullptr); std::time(nullptr) == start;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const std::string b = convert(second);
    unsetenv("SOURCE_DATE_EPOCH");
    EXPECT_EQ(a, b);
    EXPECT_NE(info.find("2023-11-14T22:13:20Z"), std::string::npos) << info;

    // Without it, the document ID differs from one conversion to the next.
    TempDir third;
    EXPECT_NE(convert(third), a);

    // A PDF date has a year of four digits: the end of 9999 is the last time it holds; a
    // later one is not written (the current time is).
    ASSERT_EQ(setenv("SOURCE_DATE_EPOCH", "253402300799", 1), 0);
    TempDir fourth;
    convert(fourth);
    EXPECT_NE(info.find("CreationDate:    9999-12-31T23:59:59Z"), std::string::npos) << info;
    ASSERT_EQ(setenv("SOURCE_DATE_EPOCH", "253402300800", 1), 0);
    TempDir fifth;
    convert(fifth);
    unsetenv("SOURCE_DATE_EPOCH");
    std::tm now{};
    const std::time_t clock = std::time(nullptr);
    localtime_r(&clock, &now);
    EXPECT_NE(info.find("CreationDate:    " + std::to_string(1900 + now.tm_year) + "-"),
              std::string::npos)
        << info;
}

namespace {
std::string g_changing;
std::string g_replacement;
int ReplaceAfterFirstPage(int done, int) {
    if (done == 1) {
        std::ofstream(g_changing, std::ios::binary) << g_replacement;
    }
    return 0;
}
} // namespace

TEST(PdfServiceTest, AFileChangedDuringAMergeFailsWithAReason) {
    // Another program saves over the last file of a merge while the first page is written:
    // its data no longer fits the page laid out from its header.
    TempDir in;
    TempDir out;
    const std::string small = Make(in, "small.png", "-size 20x20 xc:red");
    g_changing = Make(in, "changing.png", "-size 20x20 xc:blue");
    g_replacement = ReadFile(Make(in, "large.png", "-size 300x200 gradient:red-blue"));
    Pdf3Service* service = CreatePdf3Service("");
    for (int i = 0; i < 9; ++i) {
        service->AppendSource(service, small.c_str());
    }
    service->AppendSource(service, g_changing.c_str());
    const PdfPageOptions options = DefaultOptions();
    const PdfResult* result = service->CreatePdf(service, &options, out.Path().c_str(),
                                                 out.Path().c_str(), ReplaceAfterFirstPage, 0);
    EXPECT_EQ(result->errorCode, PDF_ERROR_READ);
    EXPECT_STREQ(result->reason, "changing.png changed while it was being converted");
    EXPECT_TRUE(out.List().empty());
    FreePdf3Service(service);
}

TEST(PdfServiceTest, ContentDecidesTheFormatNotTheName) {
    TempDir in;
    TempDir out;
    const std::string png = Make(in, "real.png", "-size 30x20 xc:teal");
    const std::string named = in.File("looks-like.jpg");
    fs::copy_file(png, named);
    const Conversion conversion = Convert({named}, out.Path());
    ASSERT_EQ(conversion.code, 0) << conversion.reason;
    EXPECT_EQ(ReadImages(conversion.path).at(0).filter, "/FlateDecode");
}

TEST(PdfServiceTest, ExifOrientationsComeOutUpright) {
    std::string corpus;
    OMBRIX_USE_CORPUS(corpus);
    // Every sample shows the same picture; each stores it turned or mirrored and says so in
    // its EXIF orientation. Rendered, all must match the upright one.
    for (const char* kind : {"Landscape", "Portrait"}) {
        TempDir out;
        std::vector<std::string> renderings;
        for (int orientation = 0; orientation <= 8; ++orientation) {
            const std::string source = corpus + "/exif-orientation-examples/" + kind + "_" +
                                       std::to_string(orientation) + ".jpg";
            const Conversion conversion = Convert({source}, out.Path());
            ASSERT_EQ(conversion.code, 0) << source << ": " << conversion.reason;
            const std::string prefix = out.File(std::to_string(orientation));
            ASSERT_EQ(RunCommand("pdftoppm -r 12 -gray -singlefile '" + conversion.path + "' '" +
                                 prefix + "'"),
                      0);
            renderings.push_back(ReadFile(prefix + ".pgm"));
        }
        for (int orientation = 0; orientation <= 8; ++orientation) {
            const std::string& upright = renderings[1];
            const std::string& rendered = renderings[orientation];
            ASSERT_EQ(rendered.size(), upright.size()) << kind << " " << orientation;
            double difference = 0;
            for (size_t i = 20; i < upright.size(); ++i) {
                difference += std::abs(static_cast<unsigned char>(rendered[i]) -
                                       static_cast<unsigned char>(upright[i]));
            }
            EXPECT_LT(difference / upright.size(), 6.0) << kind << " " << orientation;
        }
    }
}

TEST(PdfServiceTest, ColourModelsAndDepthsAreKept) {
    std::string corpus;
    OMBRIX_USE_CORPUS(corpus);
    struct Case {
        const char* path;
        int bits;
        int components; // of the colour space (1 for palettes)
        bool indexed;
        bool icc;
        const char* filter;
        bool softMask;
        size_t decodeSize;
    };
    const Case cases[] = {
        {"pngsuite/png/basn0g01.png", 1, 1, false, false, "/FlateDecode", false, 0},
        {"pngsuite/png/basn0g16.png", 16, 1, false, false, "/FlateDecode", false, 0},
        {"pngsuite/png/basn2c16.png", 16, 3, false, false, "/FlateDecode", false, 0},
        {"pngsuite/png/basn3p04.png", 4, 1, true, false, "/FlateDecode", false, 0},
        {"pngsuite/png/basn4a16.png", 16, 1, false, false, "/FlateDecode", true, 0},
        {"pngsuite/png/basn6a08.png", 8, 3, false, false, "/FlateDecode", true, 0},
        {"pngsuite/png/tm3n3p02.png", 2, 1, true, false, "/FlateDecode", true, 0},
        {"jpeg-decoder/reftest/images/mozilla/jpg-cmyk-1.jpg", 8, 4, false, false, "/DCTDecode",
         false, 8},
        {"image-rs-image/images/jpg/progressive/cat.jpg", 8, 3, false, true, "/DCTDecode", false,
         0},
        {"jpeg-decoder/reftest/images/ycck.jpg", 8, 4, false, true, "/DCTDecode", false, 8},
        {"jpeg-decoder/reftest/images/mozilla/jpg-gray.jpg", 8, 1, false, false, "/DCTDecode",
         false, 0},
        {"libtiff-test-images/miniswhite-1c-1b.tiff", 1, 1, false, false, "/CCITTFaxDecode", false,
         0},
        {"libtiff-pics/depth/flower-separated-contig-16.tif", 16, 4, false, false, "/FlateDecode",
         false, 0},
        {"libtiff-pics/depth/flower-minisblack-12.tif", 16, 1, false, false, "/FlateDecode", false,
         2},
        {"libtiff-test-images/palette-1c-4b.tiff", 4, 1, true, false, "/FlateDecode", false, 0},
        {"libtiff-test-images/minisblack-2c-8b-alpha.tiff", 8, 1, false, false, "/FlateDecode",
         true, 0},
        {"bmpsuite/g/pal8.bmp", 8, 1, true, false, "/FlateDecode", false, 0},
        {"bmpsuite/g/rgb16-565.bmp", 8, 3, false, false, "/FlateDecode", false, 6},
        {"bmpsuite/q/rgba32-1010102.bmp", 16, 3, false, false, "/FlateDecode", true, 6},
        {"gif-test-suite/gifs/static_transparent.gif", 8, 1, true, false, "/FlateDecode", false, 0},
    };
    for (const Case& c : cases) {
        TempDir out;
        const Conversion conversion = Convert({corpus + "/" + c.path}, out.Path());
        ASSERT_EQ(conversion.code, 0) << c.path << ": " << conversion.reason;
        const PdfImage image = ReadImages(conversion.path).at(0);
        EXPECT_EQ(image.bitsPerComponent, c.bits) << c.path;
        EXPECT_EQ(image.components, c.components) << c.path;
        EXPECT_EQ(image.indexed, c.indexed) << c.path;
        EXPECT_EQ(image.icc, c.icc) << c.path;
        EXPECT_EQ(image.filter, c.filter) << c.path;
        EXPECT_EQ(image.softMask, c.softMask) << c.path;
        EXPECT_EQ(image.decode.size(), c.decodeSize) << c.path;
    }
}

namespace {
// The first image of a PDF's first page, as qpdf holds it.
QPDFObjectHandle FirstImage(QPDF& pdf, const std::string& path) {
    pdf.processFile(path.c_str());
    return QPDFPageDocumentHelper(pdf).getAllPages().at(0).getImages().begin()->second;
}

// The RGB colour pdftoppm renders at the centre of each of `count` equal columns of a page
// filled by the image (no margins, Image Size).
std::vector<std::array<int, 3>> RenderedColumns(const std::string& pdf, const TempDir& dir,
                                                int count) {
    const std::string prefix = dir.File("render");
    EXPECT_EQ(RunCommand("pdftoppm -r 72 -singlefile '" + pdf + "' '" + prefix + "'"), 0);
    const std::string ppm = ReadFile(prefix + ".ppm");
    int width = 0;
    int height = 0;
    int header = 0;
    std::sscanf(ppm.c_str(), "P6 %d %d 255%n", &width, &height, &header);
    std::vector<std::array<int, 3>> colours;
    for (int i = 0; i < count; ++i) {
        const size_t at = size_t(header + 1) +
                          (size_t(height / 2) * width + (2 * i + 1) * width / (2 * count)) * 3;
        colours.push_back({static_cast<unsigned char>(ppm.at(at)),
                           static_cast<unsigned char>(ppm.at(at + 1)),
                           static_cast<unsigned char>(ppm.at(at + 2))});
    }
    return colours;
}

PdfPageOptions ImageSizeOptions() {
    PdfPageOptions options{};
    options.pageType = "Image Size";
    return options;
}
} // namespace

TEST(PdfServiceTest, DensitiesNoRealImageHasAreLeftOutWithANote) {
    // 16 x 16 images on pages of their own size: 12 points a side at the 96 dpi of an image
    // without a density.
    const std::string rows(16 * 17, '\0');
    const auto png = [&](uint32_t x, uint32_t y) {
        return PngFile({PngHeader(16, 16, 8, 0), PngChunk("pHYs", Be32(x) + Be32(y) + "\x01"),
                        PngChunk("IDAT", Zlib(rows)), PngChunk("IEND", "")});
    };
    const auto tiff = [](float x, float y) {
        return MakeTiff([&](TIFF* tif) {
            TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 16);
            TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 16);
            TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
            TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
            TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
            TIFFSetField(tif, TIFFTAG_XRESOLUTION, x);
            TIFFSetField(tif, TIFFTAG_YRESOLUTION, y);
            TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
            const std::string row(16, '\x40');
            for (uint32_t r = 0; r < 16; ++r) {
                TIFFWriteScanline(tif, const_cast<char*>(row.data()), r, 0);
            }
        });
    };
    std::string jfif = EncodeJpeg(16, 16, 1);
    jfif.replace(13, 5, std::string("\x01\x00\x01\x00\x01", 5)); // 1 x 1 dots per inch
    std::string bmp = RleBmp(16, 16, 8, std::string("\x00\x01", 2));
    bmp.replace(38, 8, Le32(3) + Le32(30000000)); // pixels per metre
    struct Case {
        const char* label;
        std::string bytes;
        bool note;
        double width; // of the page, in points
        double height;
    };
    const Case cases[] = {
        {"PNG, a pixel per metre", png(1, 1), true, 12, 12},
        {"PNG, 400 million pixels per metre", png(400000000, 400000000), true, 12, 12},
        {"JPEG, 1 dpi", jfif, true, 12, 12},
        {"TIFF, 300 x 4000 dpi", tiff(300, 4000), true, 12, 12},
        {"BMP, 3 x 30 million pixels per metre", bmp, true, 12, 12},
        {"TIFF, a fax's 204 x 98 dpi", tiff(204, 98), false, 16 * 72 / 204.0, 16 * 72 / 98.0},
        {"PNG, 300 dpi", png(11811, 11811), false, 16 * 72 / 299.9994, 16 * 72 / 299.9994},
    };
    for (const Case& c : cases) {
        TempDir in;
        TempDir out;
        const std::string path = in.File("image");
        std::ofstream(path, std::ios::binary) << c.bytes;
        const Conversion conversion = Convert({path}, out.Path(), ImageSizeOptions());
        ASSERT_EQ(conversion.code, 0) << c.label << ": " << conversion.reason;
        if (c.note) {
            EXPECT_NE(conversion.reason.find("image: resolution of"), std::string::npos)
                << c.label << ": " << conversion.reason;
            EXPECT_NE(conversion.reason.find("placed at 96 dpi"), std::string::npos) << c.label;
        } else {
            EXPECT_EQ(conversion.reason, "") << c.label;
        }
        const PdfImage image = ReadImages(conversion.path).at(0);
        EXPECT_NEAR(image.pageWidth, c.width, 0.01) << c.label;
        EXPECT_NEAR(image.pageHeight, c.height, 0.01) << c.label;
    }
}

namespace {
// libtiff's own rendering of a TIFF as 8-bit RGB rows, top-down.
std::string LibtiffRgb(const std::string& path) {
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    uint32_t width = 0;
    uint32_t height = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    std::vector<uint32_t> raster(size_t(width) * height);
    const bool read =
        TIFFReadRGBAImageOriented(tif, width, height, raster.data(), ORIENTATION_TOPLEFT, 1);
    TIFFClose(tif);
    std::string rgb;
    for (uint32_t pixel : read ? raster : std::vector<uint32_t>()) {
        rgb += static_cast<char>(TIFFGetR(pixel));
        rgb += static_cast<char>(TIFFGetG(pixel));
        rgb += static_cast<char>(TIFFGetB(pixel));
    }
    return rgb;
}
} // namespace

TEST(PdfServiceTest, LargeTiffStripsAreDecodedPieceByPieceInEveryLayout) {
    // Each image is one LZW strip of more than 16 MB decoded: decoded row by row, each plane
    // (or block of subsampled rows) as libtiff renders it. YCbCr and signed L*a*b* go
    // through libtiff's RGBA rendering.
    struct Fixture {
        const char* label;
        uint32_t width;
        uint32_t height;
        uint16_t photometric;
        uint16_t bits;
        uint16_t format;
        uint16_t planar;
        uint16_t subsampling; // YCbCr: 2 x 2
    };
    const Fixture fixtures[] = {
        {"RGB planes", 2400, 2401, PHOTOMETRIC_RGB, 8, SAMPLEFORMAT_UINT, PLANARCONFIG_SEPARATE, 0},
        {"YCbCr subsampled, an odd height", 3400, 3401, PHOTOMETRIC_YCBCR, 8, SAMPLEFORMAT_UINT,
         PLANARCONFIG_CONTIG, 2},
        {"signed L*a*b*", 1700, 1701, PHOTOMETRIC_CIELAB, 16, SAMPLEFORMAT_INT, PLANARCONFIG_CONTIG,
         0},
    };
    for (const Fixture& f : fixtures) {
        TempDir in;
        TempDir out;
        const std::string path = in.File("large.tif");
        std::ofstream(path, std::ios::binary) << MakeTiff([&](TIFF* tif) {
            TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, f.width);
            TIFFSetField(tif, TIFFTAG_IMAGELENGTH, f.height);
            TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, f.height);
            TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, f.bits);
            TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
            TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, f.format);
            TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, f.photometric);
            TIFFSetField(tif, TIFFTAG_PLANARCONFIG, f.planar);
            TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
            if (f.subsampling != 0) {
                TIFFSetField(tif, TIFFTAG_YCBCRSUBSAMPLING, f.subsampling, f.subsampling);
            }
            // Varied samples, written as libtiff stores them (blocks of subsampled rows).
            const tmsize_t size = TIFFStripSize(tif);
            std::vector<unsigned char> data(static_cast<size_t>(size));
            for (size_t i = 0; i < data.size(); ++i) {
                data[i] = static_cast<unsigned char>((i * 2654435761u) >> 24);
            }
            const int planes = f.planar == PLANARCONFIG_SEPARATE ? 3 : 1;
            for (int plane = 0; plane < planes; ++plane) {
                TIFFWriteEncodedStrip(tif, static_cast<uint32_t>(plane), data.data(), size);
            }
        });
        const Conversion conversion = Convert({path}, out.Path());
        ASSERT_EQ(conversion.code, 0) << f.label << ": " << conversion.reason;
        const PdfImage image = ReadImages(conversion.path).at(0);
        ASSERT_EQ(image.components, 3) << f.label;
        ASSERT_EQ(image.bitsPerComponent, 8) << f.label;
        EXPECT_TRUE(image.samples == LibtiffRgb(path)) << f.label;
    }
}

TEST(PdfServiceTest, CieLabTiffBecomesALabImageWithItsOwnSamples) {
    // L*, a*, b* (a* and b* signed): grey, red-ish, green-ish, white; 10 dpi, pixels large enough
    // to be told apart when rendered at 72 dpi.
    struct Fixture {
        const char* label;
        int bits;
        const float* whitePoint; // chromaticity, or null
        std::vector<double> expectedWhite;
    };
    static const float kD65[2] = {0.3127f, 0.3290f};
    const Fixture fixtures[] = {
        {"no white point: D50", 8, nullptr, {0.9642, 1.0, 0.8249}},
        {"D65 white point", 8, kD65, {0.3127 / 0.3290, 1.0, (1 - 0.3127 - 0.3290) / 0.3290}},
        {"16 bits", 16, nullptr, {0.9642, 1.0, 0.8249}},
    };
    const unsigned char lab8[] = {128, 0, 0, 128, 60, 0, 128, 196, 0, 255, 0, 0};
    for (const Fixture& f : fixtures) {
        TempDir in;
        TempDir out;
        const std::string path = in.File("lab.tif");
        std::ofstream(path, std::ios::binary) << MakeTiff([&](TIFF* tif) {
            TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 4);
            TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 1);
            TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, f.bits);
            TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
            TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_CIELAB);
            TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
            TIFFSetField(tif, TIFFTAG_XRESOLUTION, 10.0f);
            TIFFSetField(tif, TIFFTAG_YRESOLUTION, 10.0f);
            TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
            if (f.whitePoint != nullptr) {
                TIFFSetField(tif, TIFFTAG_WHITEPOINT, f.whitePoint);
            }
            std::vector<unsigned char> row;
            for (unsigned char value : lab8) {
                row.push_back(value);
                if (f.bits == 16) {
                    row.insert(row.end() - 1, value); // high byte first: value * 257
                }
            }
            if (f.bits == 16) {
                // Samples in the host's order.
                std::vector<uint16_t> samples;
                for (unsigned char value : lab8) {
                    samples.push_back(static_cast<uint16_t>(value << 8 | value));
                }
                TIFFWriteScanline(tif, samples.data(), 0, 0);
            } else {
                TIFFWriteScanline(tif, row.data(), 0, 0);
            }
        });
        const Conversion conversion = Convert({path}, out.Path(), ImageSizeOptions());
        ASSERT_EQ(conversion.code, 0) << f.label << ": " << conversion.reason;
        EXPECT_TRUE(QpdfCheckPasses(conversion.path)) << f.label;

        QPDF pdf;
        QPDFObjectHandle image = FirstImage(pdf, conversion.path);
        QPDFObjectHandle space = image.getDict().getKey("/ColorSpace");
        ASSERT_TRUE(space.isArray()) << f.label;
        EXPECT_EQ(space.getArrayItem(0).getName(), "/Lab") << f.label;
        QPDFObjectHandle white = space.getArrayItem(1).getKey("/WhitePoint");
        for (int i = 0; i < 3; ++i) {
            EXPECT_NEAR(white.getArrayItem(i).getNumericValue(), f.expectedWhite[i], 1e-4)
                << f.label;
        }
        // The samples as stored, a* and b* in order (offset binary); Decode maps them back.
        const std::string samples = ReadImages(conversion.path).at(0).samples;
        const int step = f.bits / 8;
        for (size_t i = 0; i < 12; ++i) {
            const unsigned char expected = static_cast<unsigned char>(lab8[i] ^ (i % 3 ? 0x80 : 0));
            EXPECT_EQ(static_cast<unsigned char>(samples.at(i * step)), expected)
                << f.label << " " << i;
        }
        QPDFObjectHandle decode = image.getDict().getKey("/Decode");
        EXPECT_EQ(decode.getArrayItem(1).getNumericValue(), 100) << f.label;
        EXPECT_EQ(decode.getArrayItem(2).getNumericValue(), -128) << f.label;

        // Rendered: a neutral grey of L* 50, red where a* is positive, green where negative,
        // white at L* 100.
        const auto colours = RenderedColumns(conversion.path, out, 4);
        for (int c = 0; c < 3; ++c) {
            EXPECT_NEAR(colours[0][c], 119, 8) << f.label;
            EXPECT_GT(colours[3][c], 245) << f.label;
        }
        EXPECT_GT(colours[1][0], colours[1][1] + 60) << f.label;
        EXPECT_GT(colours[2][1], colours[2][0] + 60) << f.label;
    }
}

TEST(PdfServiceTest, RleBitmapsGivePaletteIndexZeroToSkippedPixels) {
    // 4 x 2, palette red (0) and blue (1). Bottom row: two blue pixels, then the end of the
    // line; top row: a delta of one pixel, one blue pixel, then the end of the bitmap.
    const std::string rle4("\x02\x11\x00\x00\x00\x02\x01\x00\x01\x10\x00\x01", 12);
    const std::string rle8("\x02\x01\x00\x00\x00\x02\x01\x00\x01\x01\x00\x01", 12);
    for (const auto& [label, bmp] :
         {std::pair<const char*, std::string>{"RLE4", RleBmp(4, 2, 4, rle4)},
          {"RLE8", RleBmp(4, 2, 8, rle8)}}) {
        TempDir in;
        TempDir out;
        const std::string path = in.File("rle.bmp");
        std::ofstream(path, std::ios::binary) << bmp;
        const Conversion conversion = Convert({path}, out.Path());
        ASSERT_EQ(conversion.code, 0) << label << ": " << conversion.reason;
        const PdfImage image = ReadImages(conversion.path).at(0);
        EXPECT_EQ(image.samples, std::string("\x00\x01\x00\x00\x01\x01\x00\x00", 8)) << label;
        EXPECT_TRUE(image.colourKey.empty()) << label;
        EXPECT_EQ(image.palette.substr(0, 6), std::string("\xFF\x00\x00\x00\x00\xFF", 6)) << label;
    }
}

TEST(PdfServiceTest, ReadersCheckTheDataAgainstTheHeaderTheyRead) {
    // Another program saves a different image over the file between the reading of its
    // header and of its data: the reader fails rather than write past what it laid out.
    struct Case {
        const char* name;
        const char* before;
        const char* after;
    };
    const Case cases[] = {
        {"a.png", "-size 20x20 xc:red", "-size 40x30 xc:blue"},
        {"b.png", "-size 20x20 xc:red -interlace PNG", "-size 40x30 xc:blue -interlace PNG"},
        {"c.gif", "-size 20x20 xc:red", "-size 40x30 xc:blue"},
        {"d.bmp", "-size 20x20 xc:red", "-size 40x30 xc:blue"},
        {"e.tif", "-size 20x20 xc:red", "-size 40x30 xc:blue"},
        {"f.jpg", "-size 20x20 xc:red", "-size 40x30 xc:blue"},
    };
    for (const Case& c : cases) {
        TempDir in;
        const std::string path = Make(in, c.name, c.before);
        const std::string replacement = ReadFile(Make(in, std::string("new-") + c.name, c.after));
        const std::unique_ptr<ImageSource> source = ImageSource::Open(SourceData::FromFile(path));
        std::ofstream(path, std::ios::binary | std::ios::trunc) << replacement;
        std::string mask;
        try {
            source->WriteImage(
                0, [](const unsigned char*, size_t) {}, &mask);
            ADD_FAILURE() << c.name << " was written";
        } catch (const PdfError& error) {
            EXPECT_EQ(error.Code(), PDF_ERROR_READ) << c.name << ": " << error.what();
            EXPECT_NE(std::string(error.what()).find("changed"), std::string::npos)
                << c.name << ": " << error.what();
        }
    }
}
