// Archival PDFs: every image class makes a valid PDF/A-1b (PDFBox Preflight), 2b and 3b (the
// rule checker), what PDF/A-1b cannot hold is refused or, when allowed, composed and reduced,
// encryption is refused, originals go in and come out byte for byte.
#include "pdf/crafted_images.h"
#include "pdf_test_support.h"
#include "pdfa_checker.h"

#include <gtest/gtest.h>
#include <lcms2.h>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFEFStreamObjectHelper.hh>
#include <qpdf/QPDFEmbeddedFileDocumentHelper.hh>
#include <qpdf/QPDFFileSpecObjectHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <qpdf/QUtil.hh>
#include <tiffio.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using namespace pdftest;

namespace {
void Write(const std::string& path, const std::string& data) {
    std::ofstream(path, std::ios::binary) << data;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line + "\n";
    }
    return text;
}

bool Mentions(const std::vector<std::string>& problems, const std::string& part) {
    return Joined(problems).find(part) != std::string::npos;
}

struct Archive {
    PdfArchiveOptions archive{};
    PdfPageOptions options = DefaultOptions();
    explicit Archive(int part) {
        archive.part = part;
        options.archive = &archive;
    }
    Archive(const Archive&) = delete;
};

// An RGBA PNG of one row: `pixels` holds four bytes per pixel.
std::string RgbaPng(const std::string& pixels) {
    return PngFile({PngHeader(static_cast<uint32_t>(pixels.size() / 4), 1, 8, 6),
                    PngChunk("IDAT", Zlib(std::string(1, '\0') + pixels)), PngChunk("IEND", "")});
}

// A 16-bit grey PNG of one row of `samples`.
std::string Grey16Png(const std::vector<uint16_t>& samples) {
    std::string row(1, '\0');
    for (uint16_t s : samples) {
        row += Be16(s);
    }
    return PngFile({PngHeader(static_cast<uint32_t>(samples.size()), 1, 16, 0),
                    PngChunk("IDAT", Zlib(row)), PngChunk("IEND", "")});
}

// A 12-bit grey TIFF of one row of `samples` (an even number of them).
std::string Grey12Tiff(const std::vector<uint16_t>& samples) {
    return MakeTiff([&samples](TIFF* tif) {
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(samples.size()));
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 1);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 12);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
        std::vector<unsigned char> row;
        for (size_t i = 0; i + 1 < samples.size(); i += 2) {
            row.push_back(static_cast<unsigned char>(samples[i] >> 4));
            row.push_back(
                static_cast<unsigned char>((samples[i] & 0xF) << 4 | samples[i + 1] >> 8));
            row.push_back(static_cast<unsigned char>(samples[i + 1] & 0xFF));
        }
        TIFFWriteScanline(tif, row.data(), 0, 0);
    });
}

// A palette PNG of one row whose second entry is half transparent.
std::string PalettePng(const std::string& indices) {
    return PngFile({PngHeader(static_cast<uint32_t>(indices.size()), 1, 8, 3),
                    PngChunk("PLTE", std::string("\xFF\x00\x00\x00\x00\xFF", 6)),
                    PngChunk("tRNS", std::string("\xFF\x80", 2)),
                    PngChunk("IDAT", Zlib(std::string(1, '\0') + indices)), PngChunk("IEND", "")});
}

// An RGB PNG with the sRGB profile of Little CMS as it makes it (ICC version 4).
std::string Icc4Png() {
    cmsHPROFILE profile = cmsCreate_sRGBProfile();
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    std::string icc(size, '\0');
    cmsSaveProfileToMem(profile, icc.data(), &size);
    cmsCloseProfile(profile);
    EXPECT_EQ(static_cast<unsigned char>(icc.at(8)), 4);
    return PngFile({PngHeader(2, 1, 8, 2), PngChunk("iCCP", std::string("sRGB\0\0", 6) + Zlib(icc)),
                    PngChunk("IDAT", Zlib(std::string("\0\x10\x20\x30\x40\x50\x60", 7))),
                    PngChunk("IEND", "")});
}

// An 8-bit CIE L*a*b* TIFF of one row.
std::string LabTiff() {
    return MakeTiff([](TIFF* tif) {
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 2);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 1);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_CIELAB);
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        unsigned char row[] = {128, 0, 0, 200, 40, 216};
        TIFFWriteScanline(tif, row, 0, 0);
    });
}

// Crafted images of the classes the corpus lacks, written into `dir`.
std::vector<std::string> CraftedClasses(const TempDir& dir) {
    const std::pair<const char*, std::string> files[] = {
        {"rgba.png", RgbaPng(std::string("\xFF\x00\x00\x80\x00\x00\xFF\x00", 8))},
        {"grey16.png", Grey16Png({0x1234, 0xFFFF})},
        {"palette-alpha.png", PalettePng(std::string("\x00\x01", 2))},
        {"lab.tif", LabTiff()},
    };
    std::vector<std::string> paths;
    for (const auto& [name, data] : files) {
        Write(dir.File(name), data);
        paths.push_back(dir.File(name));
    }
    return paths;
}

// Images of every class the converter writes, from the public suites: depths 1 to 16, grey,
// RGB, CMYK (plain and with a profile), palettes, alpha, colour keys, JPEG, fax data.
const char* const kCorpusClasses[] = {
    "pngsuite/png/basn0g01.png",
    "pngsuite/png/basn0g16.png",
    "pngsuite/png/basn2c16.png",
    "pngsuite/png/basn3p04.png",
    "pngsuite/png/basn4a16.png",
    "pngsuite/png/basn6a08.png",
    "pngsuite/png/tbrn2c08.png",
    "pngsuite/png/tm3n3p02.png",
    "jpeg-decoder/reftest/images/mozilla/jpg-cmyk-1.jpg",
    "image-rs-image/images/jpg/progressive/cat.jpg",
    "jpeg-decoder/reftest/images/ycck.jpg",
    "jpeg-decoder/reftest/images/mozilla/jpg-gray.jpg",
    "libtiff-test-images/miniswhite-1c-1b.tiff",
    "libtiff-pics/depth/flower-separated-contig-16.tif",
    "libtiff-pics/depth/flower-minisblack-12.tif",
    "libtiff-test-images/palette-1c-4b.tiff",
    "libtiff-test-images/minisblack-2c-8b-alpha.tiff",
    "bmpsuite/g/pal8.bmp",
    "bmpsuite/q/rgba32-1010102.bmp",
    "gif-test-suite/gifs/static_transparent.gif",
};
} // namespace

TEST(PdfaTest, EveryImageClassMakesAValidArchiveOfEachPart) {
    std::string corpus;
    OMBRIX_USE_CORPUS(corpus);
    TempDir in;
    std::vector<std::string> inputs = CraftedClasses(in);
    for (const char* path : kCorpusClasses) {
        inputs.push_back(corpus + "/" + path);
    }
    for (const int part : {2, 3}) {
        for (const std::string& input : inputs) {
            TempDir out;
            Archive archive(part);
            archive.archive.attachOriginals = part == 3;
            const Conversion conversion = Convert({input}, out.Path(), archive.options);
            ASSERT_EQ(conversion.code, 0) << part << " " << input << ": " << conversion.reason;
            EXPECT_EQ(conversion.reason, "") << input;
            EXPECT_TRUE(QpdfCheckPasses(conversion.path)) << input;
            const auto problems = PdfaProblems(conversion.path, part);
            EXPECT_TRUE(problems.empty()) << part << " " << input << "\n" << Joined(problems);
        }
    }
    // PDF/A-1b of all of them at once, transparency composed and depths reduced.
    TempDir out;
    Archive archive(1);
    archive.archive.flattenAlpha = 1;
    archive.archive.background = 0xFFFFFF;
    archive.archive.reduceDepth = 1;
    const Conversion conversion = Convert(inputs, out.Path(), archive.options);
    ASSERT_EQ(conversion.code, 0) << conversion.reason;
    EXPECT_TRUE(QpdfCheckPasses(conversion.path));
    const auto problems = PdfaProblems(conversion.path, 1);
    EXPECT_TRUE(problems.empty()) << Joined(problems);
    std::string report;
    bool available = false;
    const bool valid = PreflightPasses(conversion.path, &report, &available);
    if (!available && !UnderCi()) {
        GTEST_SKIP() << report;
    }
    EXPECT_TRUE(valid) << report;
}

TEST(PdfaTest, WhatAnArchiveCannotHoldIsRefusedWithItsReason) {
    TempDir in;
    const std::string rgba = in.File("rgba.png");
    const std::string grey16 = in.File("grey16.png");
    const std::string icc4 = in.File("icc4.png");
    const std::string plain = in.File("plain.png");
    Write(rgba, RgbaPng(std::string("\xFF\x00\x00\x80", 4)));
    Write(grey16, Grey16Png({0x1234}));
    Write(icc4, Icc4Png());
    Write(plain, GreyPng(4, 4));
    struct Case {
        int part;
        std::string input;
        const char* user;
        const char* owner;
        bool allowCopy;
        bool allowPrint;
        int code; // 0: converts
        std::vector<const char*> reason;
    };
    const std::vector<const char*> encryption = {"PDF/A forbids encryption"};
    const Case cases[] = {
        {1,
         rgba,
         nullptr,
         nullptr,
         true,
         true,
         PDF_ERROR_UNSUPPORTED_IMAGE,
         {"rgba.png", "transparency", "PDF/A-2b", "flatten"}},
        {1,
         grey16,
         nullptr,
         nullptr,
         true,
         true,
         PDF_ERROR_UNSUPPORTED_IMAGE,
         {"grey16.png", "16-bit", "PDF/A-2b", "reduce"}},
        {1,
         icc4,
         nullptr,
         nullptr,
         true,
         true,
         PDF_ERROR_UNSUPPORTED_IMAGE,
         {"icc4.png", "ICC version 4", "PDF/A-2b"}},
        {2, rgba, nullptr, nullptr, true, true, 0, {}},
        {2, grey16, nullptr, nullptr, true, true, 0, {}},
        {2, icc4, nullptr, nullptr, true, true, 0, {}},
        {1, plain, "user", nullptr, true, true, PDF_ERROR_ARCHIVE, encryption},
        {2, plain, nullptr, "owner", true, true, PDF_ERROR_ARCHIVE, encryption},
        {3, plain, nullptr, nullptr, false, true, PDF_ERROR_ARCHIVE, encryption},
        {2, plain, nullptr, nullptr, true, false, PDF_ERROR_ARCHIVE, encryption},
        {4, plain, nullptr, nullptr, true, true, PDF_ERROR_ARCHIVE, {"unknown PDF/A part 4"}},
    };
    for (const Case& c : cases) {
        TempDir out;
        Archive archive(c.part);
        PdfSecurityOptions security{c.user, c.owner, c.allowCopy, c.allowPrint};
        archive.options.security = &security;
        const Conversion conversion = Convert({plain, c.input}, out.Path(), archive.options);
        const std::string label = std::to_string(c.part) + " " + c.input;
        EXPECT_EQ(conversion.code, c.code) << label << ": " << conversion.reason;
        for (const char* part : c.reason) {
            EXPECT_NE(conversion.reason.find(part), std::string::npos)
                << label << ": " << conversion.reason;
        }
        if (c.code == 0) {
            EXPECT_TRUE(PdfaProblems(conversion.path, c.part).empty()) << label;
        } else {
            EXPECT_TRUE(out.List().empty()) << label << " left a file behind";
        }
    }
}

TEST(PdfaTest, LossyStepsOfPdfA1bAreTakenAsAskedAndNamed) {
    TempDir in;
    struct Case {
        const char* name;
        std::string data;
        bool flatten;
        bool reduce;
        int channels;                // of the pixels written
        std::vector<double> colours; // expected, 0 to 255, per pixel and channel
        const char* note;
    };
    const Case cases[] = {
        // Half-transparent red and transparent blue over green.
        {"rgba.png",
         RgbaPng(std::string("\xFF\x00\x00\x80\x00\x00\xFF\x00", 8)),
         true,
         false,
         3,
         {128.5, 127.5, 0, 0, 255, 0},
         "rgba.png: transparency flattened onto #00FF00"},
        // Half-transparent white and opaque black grey over green: an RGB image.
        {"grey-alpha.png",
         PngFile({PngHeader(2, 1, 8, 4),
                  PngChunk("IDAT", Zlib(std::string("\x00\xFF\x80\x00\xFF", 5))),
                  PngChunk("IEND", "")}),
         true,
         false,
         3,
         {128, 255, 128, 0, 0, 0},
         "grey-alpha.png: transparency flattened onto #00FF00"},
        // The palette's half-transparent blue over green: an RGB image.
        {"palette.png",
         PalettePng(std::string("\x00\x01", 2)),
         true,
         false,
         3,
         {255, 0, 0, 0, 127.5, 128.5},
         "palette.png: transparency flattened onto #00FF00"},
        {"grey16.png",
         Grey16Png({0x1234, 0xFFFF, 0x0080}),
         false,
         true,
         1,
         {18, 255, 0},
         "grey16.png: 16-bit samples reduced to 8 bits"},
        // 12-bit samples, which the reader widens to 16 bits with a Decode array: every level
        // of 8 bits kept.
        {"grey12.tif",
         Grey12Tiff({4095, 2048, 2096, 0}),
         false,
         true,
         1,
         {255, 127.5, 130.5, 0},
         "grey12.tif: 16-bit samples reduced to 8 bits"},
    };
    for (const Case& c : cases) {
        const std::string path = in.File(c.name);
        Write(path, c.data);
        TempDir out;
        Archive archive(1);
        archive.archive.flattenAlpha = c.flatten;
        archive.archive.background = 0x00FF00;
        archive.archive.reduceDepth = c.reduce;
        const Conversion conversion = Convert({path}, out.Path(), archive.options);
        ASSERT_EQ(conversion.code, 0) << c.name << ": " << conversion.reason;
        EXPECT_NE(conversion.reason.find(c.note), std::string::npos) << conversion.reason;
        EXPECT_TRUE(PdfaProblems(conversion.path, 1).empty())
            << c.name << "\n"
            << Joined(PdfaProblems(conversion.path, 1));
        const PdfImage image = ReadImages(conversion.path).at(0);
        EXPECT_FALSE(image.softMask) << c.name;
        EXPECT_EQ(image.bitsPerComponent, 8) << c.name;
        const Pixels pixels = ToPixels(image);
        ASSERT_EQ(pixels.channels, c.channels) << c.name;
        ASSERT_EQ(pixels.colour.size(), c.colours.size()) << c.name;
        for (size_t i = 0; i < c.colours.size(); ++i) {
            EXPECT_NEAR(pixels.colour[i] * 255, c.colours[i], 1.0) << c.name << " sample " << i;
        }
    }
}

TEST(PdfaTest, DocumentInformationAndMetadataAgree) {
    // Text that XML must escape, a control character, letters beyond Latin-1; a zone east of
    // Greenwich by a fraction of an hour and one west of it.
    TempDir in;
    const std::string plain = in.File("plain.png");
    Write(plain, GreyPng(4, 4));
    const char* const zones[] = {"Asia/Kolkata", "America/St_Johns", "UTC"};
    for (const char* zone : zones) {
        const char* before = std::getenv("TZ");
        const std::string saved = before != nullptr ? before : "";
        setenv("TZ", zone, 1);
        tzset();
        for (const int part : {1, 2, 3}) {
            TempDir out;
            Archive archive(part);
            archive.options.title = "Tom & Jerry <\"2024\">\tKyōto 京都";
            archive.options.author = "Zoë Müller, Ann O'Neil";
            archive.options.subject = "a > b";
            const Conversion conversion = Convert({plain}, out.Path(), archive.options);
            ASSERT_EQ(conversion.code, 0) << conversion.reason;
            const auto problems = PdfaProblems(conversion.path, part);
            EXPECT_TRUE(problems.empty()) << zone << " " << part << "\n" << Joined(problems);
            QPDF pdf;
            pdf.processFile(conversion.path.c_str());
            EXPECT_EQ(pdf.getTrailer().getKey("/Info").getKey("/Title").getUTF8Value(),
                      "Tom & Jerry <\"2024\"> Kyōto 京都");
        }
        if (before != nullptr) {
            setenv("TZ", saved.c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }
}

TEST(PdfaTest, DeviceCmykKeepsItsLookThroughItsProfile) {
    std::string corpus;
    OMBRIX_USE_CORPUS(corpus);
    const std::string cmyk = corpus + "/jpeg-decoder/reftest/images/mozilla/jpg-cmyk-1.jpg";
    TempDir out;
    PdfPageOptions page{};
    page.pageType = "Image Size";
    const Conversion plainPdf = Convert({cmyk}, out.Path(), page);
    Archive archive(2);
    archive.options = page;
    archive.options.archive = &archive.archive;
    const Conversion archived = Convert({cmyk}, out.Path(), archive.options);
    ASSERT_EQ(plainPdf.code, 0) << plainPdf.reason;
    ASSERT_EQ(archived.code, 0) << archived.reason;
    const PdfImage image = ReadImages(archived.path).at(0);
    EXPECT_TRUE(image.icc);
    EXPECT_EQ(image.components, 4);
    // Rendered, the two look alike: within a level or two per channel (the profile's table
    // against the reader's own blend).
    auto render = [&out](const std::string& pdf, const std::string& name) {
        EXPECT_EQ(RunCommand("pdftoppm -r 30 -singlefile '" + pdf + "' '" + out.File(name) + "'"),
                  0);
        return ReadFile(out.File(name) + ".ppm");
    };
    const std::string a = render(plainPdf.path, "plain");
    const std::string b = render(archived.path, "archived");
    ASSERT_EQ(a.size(), b.size());
    double total = 0;
    double largest = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        const double d =
            std::abs(static_cast<unsigned char>(a[i]) - static_cast<unsigned char>(b[i]));
        total += d;
        largest = std::max(largest, d);
    }
    EXPECT_LT(total / static_cast<double>(a.size()), 1.5);
    EXPECT_LT(largest, 8.0);
}

TEST(PdfaTest, OriginalsAreAttachedAndExtractedByteForByte) {
    TempDir in;
    fs::create_directory(in.File("other"));
    const std::string first = in.File("photo.png");
    const std::string second = in.File("other/photo.png");
    const std::string third = in.File("scan.tif");
    Write(first, GreyPng(3, 3, 10));
    Write(second, GreyPng(5, 5, 200));
    Write(third, LabTiff());
    TempDir out;
    Archive archive(3);
    archive.archive.attachOriginals = 1;
    const Conversion conversion =
        Convert({first, second, third, first}, out.Path(), archive.options);
    ASSERT_EQ(conversion.code, 0) << conversion.reason;
    EXPECT_TRUE(PdfaProblems(conversion.path, 3).empty())
        << Joined(PdfaProblems(conversion.path, 3));
    {
        QPDF pdf;
        pdf.processFile(conversion.path.c_str());
        QPDFEmbeddedFileDocumentHelper files(pdf);
        EXPECT_EQ(files.getEmbeddedFiles().size(), 3u); // the repeated file once
        for (const auto& [key, spec] : files.getEmbeddedFiles()) {
            EXPECT_EQ(spec->getObjectHandle().getKey("/AFRelationship").getName(), "/Source");
        }
        const std::string subtype = files.getEmbeddedFile("scan.tif")
                                        ->getEmbeddedFileStream()
                                        .getDict()
                                        .getKey("/Subtype")
                                        .getName();
        EXPECT_EQ(subtype, "/image/tiff");
    }

    TempDir target;
    int count = -1;
    char reason[256] = "";
    ASSERT_EQ(PdfExtractOriginals(conversion.path.c_str(), target.Path().c_str(), &count, reason,
                                  sizeof reason),
              PDF_OK)
        << reason;
    EXPECT_EQ(count, 3);
    EXPECT_EQ(ReadFile(target.File("photo.png")), ReadFile(first));
    EXPECT_EQ(ReadFile(target.File("photo (2).png")), ReadFile(second));
    EXPECT_EQ(ReadFile(target.File("scan.tif")), ReadFile(third));

    // Again into the same folder: a file exists, nothing is replaced or added.
    Write(target.File("photo.png"), "mine");
    fs::remove(target.File("scan.tif"));
    EXPECT_EQ(PdfExtractOriginals(conversion.path.c_str(), target.Path().c_str(), &count, reason,
                                  sizeof reason),
              PDF_ERROR_WRITE);
    EXPECT_NE(std::string(reason).find("exists already"), std::string::npos) << reason;
    EXPECT_EQ(ReadFile(target.File("photo.png")), "mine");
    EXPECT_FALSE(fs::exists(target.File("scan.tif")));
}

TEST(PdfaTest, ExtractionRefusesNamesThatLeaveTheFolder) {
    const char* const names[] = {"../evil.png", "sub/evil.png", "..", ".", "back\\slash.png", ""};
    for (const char* name : names) {
        TempDir dir;
        const std::string pdfPath = dir.File("attached.pdf");
        {
            QPDF pdf;
            pdf.emptyPDF();
            QPDFEmbeddedFileDocumentHelper files(pdf);
            files.replaceEmbeddedFile(
                "key", QPDFFileSpecObjectHelper::createFileSpec(
                           pdf, name, QPDFEFStreamObjectHelper::createEFStream(pdf, "data")));
            QPDFWriter writer(pdf, pdfPath.c_str());
            writer.write();
        }
        TempDir target;
        int count = -1;
        char reason[256] = "";
        EXPECT_EQ(PdfExtractOriginals(pdfPath.c_str(), target.Path().c_str(), &count, reason,
                                      sizeof reason),
                  PDF_ERROR_ARCHIVE)
            << name;
        EXPECT_TRUE(target.List().empty()) << name;
        EXPECT_FALSE(fs::exists(dir.File("evil.png"))) << name;
    }
}

TEST(PdfaTest, TheCheckersFindWhatBreaksTheRules) {
    TempDir in;
    const std::string rgba = in.File("rgba.png");
    const std::string grey16 = in.File("grey16.png");
    Write(rgba, RgbaPng(std::string("\xFF\x00\x00\x80", 4)));
    Write(grey16, Grey16Png({0x1234}));
    TempDir out;

    // A plain PDF is no archive.
    const Conversion plain = Convert({rgba}, out.Path());
    ASSERT_EQ(plain.code, 0);
    const auto plainProblems = PdfaProblems(plain.path, 2);
    EXPECT_TRUE(Mentions(plainProblems, "no metadata stream")) << Joined(plainProblems);
    EXPECT_TRUE(Mentions(plainProblems, "output intent: none")) << Joined(plainProblems);
    EXPECT_TRUE(Mentions(plainProblems, "DeviceRGB without an RGB output intent"))
        << Joined(plainProblems);
    std::string report;
    bool available = false;
    EXPECT_FALSE(PreflightPasses(plain.path, &report, &available)) << report;

    // PDF/A-2b is no PDF/A-1b.
    Archive archive(2);
    const Conversion second = Convert({rgba, grey16}, out.Path(), archive.options);
    ASSERT_EQ(second.code, 0);
    EXPECT_TRUE(PdfaProblems(second.path, 2).empty());
    const auto asFirst = PdfaProblems(second.path, 1);
    EXPECT_TRUE(Mentions(asFirst, "header: not %PDF-1.0 to %PDF-1.4")) << Joined(asFirst);
    EXPECT_TRUE(Mentions(asFirst, "object stream")) << Joined(asFirst);
    EXPECT_TRUE(Mentions(asFirst, "a soft mask")) << Joined(asFirst);
    EXPECT_TRUE(Mentions(asFirst, "16 bits per component")) << Joined(asFirst);
    EXPECT_TRUE(Mentions(asFirst, "pdfaid:part is \"2\"")) << Joined(asFirst);

    // An encrypted document, and one whose metadata disagrees with its information.
    PdfSecurityOptions security{nullptr, "owner", 1, 1};
    PdfPageOptions options = DefaultOptions();
    options.security = &security;
    const Conversion encrypted = Convert({rgba}, out.Path(), options);
    ASSERT_EQ(encrypted.code, 0);
    EXPECT_TRUE(Mentions(PdfaProblems(encrypted.path, 2), "encrypted"));
    {
        QPDF pdf;
        pdf.processFile(second.path.c_str());
        pdf.getTrailer().getKey("/Info").replaceKey("/Title",
                                                    QPDFObjectHandle::newUnicodeString("Other"));
        const std::string changed = out.File("changed.pdf"); // qpdf keeps the name
        QPDFWriter writer(pdf, changed.c_str());
        writer.write();
    }
    EXPECT_TRUE(Mentions(PdfaProblems(out.File("changed.pdf"), 2), "differs from /Title"));

    // A stream whose data runs into its endstream keyword.
    std::string bytes = ReadFile(second.path);
    const size_t end = bytes.find("\nendstream");
    ASSERT_NE(end, std::string::npos);
    bytes[end] = ' ';
    Write(out.File("glued.pdf"), bytes);
    EXPECT_TRUE(
        Mentions(PdfaProblems(out.File("glued.pdf"), 2), "no end of line before endstream"));
}
