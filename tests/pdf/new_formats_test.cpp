// WebP, JPEG 2000, HEIF/AVIF and JPEG XL: files made at test time by each format's own
// encoder, in a table of variants (depths, alpha, colour profiles, orientation), converted and
// compared pixel for pixel with what the format's own decoder makes of them.
#include "pdf/crafted_images.h"
#include "pdf/icc_profile.h"
#include "pdf_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <initializer_list>
#include <sstream>

using namespace pdftest;

namespace {
// Runs `command` with {in}, {out} and {ref} replaced.
std::string Fill(std::string command, const std::string& in, const std::string& out,
                 const std::string& ref) {
    for (const auto& [key, value] :
         {std::pair<std::string, std::string>{"{in}", in}, {"{out}", out}, {"{ref}", ref}}) {
        for (size_t at = command.find(key); at != std::string::npos; at = command.find(key)) {
            command.replace(at, key.size(), "'" + value + "'");
        }
    }
    return command;
}

// True when every tool is installed; the test is skipped otherwise, or fails under continuous
// integration (where scripts/install-deps.sh installs them).
#define OMBRIX_NEED_TOOLS(...)                                                                     \
    do {                                                                                           \
        for (const char* tool : std::initializer_list<const char*> __VA_ARGS__) {                  \
            if (RunCommand(std::string("command -v ") + tool + " >/dev/null") != 0) {              \
                if (UnderCi()) {                                                                   \
                    GTEST_FAIL() << tool << " is missing: run scripts/install-deps.sh";            \
                }                                                                                  \
                GTEST_SKIP() << tool << " is not installed";                                       \
            }                                                                                      \
        }                                                                                          \
    } while (false)

// A decoded reference image: PNM or PAM samples, normalised.
struct Raster {
    int width = 0;
    int height = 0;
    int depth = 0; // samples per pixel
    double maxval = 0;
    std::vector<double> samples;
};

Raster ReadPnm(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::string magic;
    file >> magic;
    Raster raster;
    const auto next = [&file]() {
        std::string token;
        while (file >> token && token[0] == '#') {
            std::getline(file, token);
        }
        return token;
    };
    if (magic == "P7") {
        for (std::string key = next(); !key.empty() && key != "ENDHDR"; key = next()) {
            if (key == "WIDTH") {
                raster.width = std::stoi(next());
            } else if (key == "HEIGHT") {
                raster.height = std::stoi(next());
            } else if (key == "DEPTH") {
                raster.depth = std::stoi(next());
            } else if (key == "MAXVAL") {
                raster.maxval = std::stod(next());
            } else if (key == "TUPLTYPE") {
                next();
            }
        }
    } else if (magic == "P5" || magic == "P6") {
        raster.width = std::stoi(next());
        raster.height = std::stoi(next());
        raster.maxval = std::stod(next());
        raster.depth = magic == "P5" ? 1 : 3;
    } else {
        return raster;
    }
    file.get();
    const size_t count = size_t(raster.width) * raster.height * raster.depth;
    const int bytes = raster.maxval > 255 ? 2 : 1;
    std::string data(count * bytes, '\0');
    file.read(data.data(), static_cast<std::streamsize>(data.size()));
    for (size_t i = 0; i < count; ++i) {
        const auto* p = reinterpret_cast<const unsigned char*>(data.data()) + i * bytes;
        raster.samples.push_back((bytes == 2 ? (p[0] << 8 | p[1]) : p[0]) / raster.maxval);
    }
    return raster;
}

// The PDF image's pixels are those of the reference, grey given as grey or as RGB, alpha as
// the reference's (opaque where it has none).
void ExpectSamePixels(const PdfImage& image, const Raster& ref, double tolerance) {
    const Pixels pixels = ToPixels(image);
    ASSERT_EQ(pixels.width, ref.width);
    ASSERT_EQ(pixels.height, ref.height);
    const bool refAlpha = ref.depth == 2 || ref.depth == 4;
    const int refColours = refAlpha ? ref.depth - 1 : ref.depth;
    double worst = 0;
    size_t worstAt = 0;
    for (size_t p = 0; p < size_t(ref.width) * ref.height; ++p) {
        for (int c = 0; c < std::max(pixels.channels, refColours); ++c) {
            const double ours =
                pixels.colour[p * pixels.channels + std::min(c, pixels.channels - 1)];
            const double theirs = ref.samples[p * ref.depth + std::min(c, refColours - 1)];
            if (std::fabs(ours - theirs) > worst) {
                worst = std::fabs(ours - theirs);
                worstAt = p;
            }
        }
        const double alpha = pixels.alpha.empty() ? 1 : pixels.alpha[p];
        const double refA = refAlpha ? ref.samples[p * ref.depth + refColours] : 1;
        if (std::fabs(alpha - refA) > worst) {
            worst = std::fabs(alpha - refA);
            worstAt = p;
        }
    }
    EXPECT_LE(worst, tolerance) << "at pixel " << worstAt % ref.width << "," << worstAt / ref.width;
}

void WriteFile(const std::string& path, const std::string& data) {
    std::ofstream(path, std::ios::binary) << data;
}

// A wide-gamut RGB profile (BT.2020 primaries, gamma 2.2) for the files that carry one.
std::string WideProfile() {
    const double xy[8] = {0.708, 0.292, 0.170, 0.797, 0.131, 0.046, 0.3127, 0.3290};
    return IccProfile::FromPrimaries(xy, 4);
}

// The test images, made by ImageMagick: colours that change from pixel to pixel, an odd size,
// sRGB (no gamma of their own, which encoders would keep as a colour space).
const char* const kRgb = "-size 37x23 xc: -sparse-color barycentric '0,0 red 36,0 lime 0,22 blue' "
                         "-define png:exclude-chunk=gAMA,cHRM";

struct Variant {
    const char* name;
    const char* source;  // ImageMagick's arguments for the PNG given to the encoder
    const char* encode;  // {in} the PNG, {out} the file
    const char* decode;  // {in} the file, {ref} the reference (PNM, PAM or PNG)
    const char* refType; // the reference's extension
    const char* filter;  // of the image in the PDF
    int bits;
    bool alpha;
    bool icc;
    int width; // as the page shows it
    int height;
    // Of the samples compared (0 to 1). Deeper HEIF samples: one level of their depth, as
    // heif-convert shifts them up where they are spread over the 16-bit range here.
    double tolerance;
};

const std::string kRgb8 = std::string(kRgb) + " -depth 8";
const std::string kRgb16 = std::string(kRgb) + " -depth 16";
const std::string kAlpha = std::string(kRgb) + " -depth 8 -alpha set -channel A -fx 'i/w' +channel";
const std::string kAlpha16 =
    std::string(kRgb) + " -depth 16 -alpha set -channel A -fx 'i/w' +channel";
const std::string kGrey = std::string(kRgb) + " -colorspace gray -depth 8";
const std::string kProfiled = kRgb8 + " -profile '{icc}'";

const Variant kVariants[] = {
    // WebP: lossless and lossy, alpha, a profile, an animation's first frame.
    {"webp_lossless", kRgb8.c_str(), "cwebp -quiet -lossless {in} -o {out}",
     "dwebp -quiet {in} -pam -o {ref}", "pam", "/FlateDecode", 8, false, false, 37, 23, 0.001},
    {"webp_lossy", kRgb8.c_str(), "cwebp -quiet -q 60 {in} -o {out}",
     "dwebp -quiet {in} -pam -o {ref}", "pam", "/FlateDecode", 8, false, false, 37, 23, 0.001},
    {"webp_lossless_alpha", kAlpha.c_str(), "cwebp -quiet -lossless -exact {in} -o {out}",
     "dwebp -quiet {in} -pam -o {ref}", "pam", "/FlateDecode", 8, true, false, 37, 23, 0.001},
    {"webp_lossy_alpha", kAlpha.c_str(), "cwebp -quiet -q 60 {in} -o {out}",
     "dwebp -quiet {in} -pam -o {ref}", "pam", "/FlateDecode", 8, true, false, 37, 23, 0.001},
    {"webp_icc", kProfiled.c_str(), "cwebp -quiet -lossless -metadata icc {in} -o {out}",
     "dwebp -quiet {in} -pam -o {ref}", "pam", "/FlateDecode", 8, false, true, 37, 23, 0.001},
    {"webp_animated", kRgb8.c_str(),
     "convert -delay 10 {in} -size 20x10 xc:blue {in}.gif && gif2webp -quiet {in}.gif -o {out}",
     "webpmux -get frame 1 {in} -o {in}.first.webp && dwebp -quiet {in}.first.webp -pam -o {ref}",
     "pam", "/FlateDecode", 8, false, false, 37, 23, 0.001},
    // JPEG 2000: 8-bit sRGB and grey JP2 embedded as they are, the others decoded.
    {"jp2_rgb8", kRgb8.c_str(), "opj_compress -n 3 -i {in} -o {out}.jp2 && mv {out}.jp2 {out}",
     nullptr, nullptr, "/JPXDecode", 8, false, false, 37, 23, 0},
    {"jp2_grey8", kGrey.c_str(), "opj_compress -n 3 -i {in} -o {out}.jp2 && mv {out}.jp2 {out}",
     nullptr, nullptr, "/JPXDecode", 8, false, false, 37, 23, 0},
    {"jp2_lossy", kRgb8.c_str(),
     "opj_compress -I -r 20 -n 3 -i {in} -o {out}.jp2 && mv {out}.jp2 {out}", nullptr, nullptr,
     "/JPXDecode", 8, false, false, 37, 23, 0},
    {"jp2_rgb16", kRgb16.c_str(), "opj_compress -n 3 -i {in} -o {out}.jp2 && mv {out}.jp2 {out}",
     "opj_decompress -i {in}.jp2 -o {ref} >/dev/null", "pnm", "/FlateDecode", 16, false, false, 37,
     23, 0.00001},
    {"jp2_alpha", kAlpha.c_str(), "opj_compress -n 3 -i {in} -o {out}.jp2 && mv {out}.jp2 {out}",
     "opj_decompress -i {in}.jp2 -o {ref} >/dev/null", "pnm", "/FlateDecode", 8, true, false, 37,
     23, 0.001},
    {"j2k_codestream", kRgb8.c_str(),
     "opj_compress -n 3 -i {in} -o {out}.j2k && mv {out}.j2k {out}",
     "opj_decompress -i {in}.j2k -o {ref} >/dev/null", "pnm", "/FlateDecode", 8, false, false, 37,
     23, 0.001},
    // HEIF and AVIF: depths, alpha, profiles, a rotation.
    {"heic_8", kRgb8.c_str(), "heif-enc -q 80 {in} -o {out}.heic >/dev/null && mv {out}.heic {out}",
     "heif-convert {in} {ref} >/dev/null", "png", "/FlateDecode", 8, false, false, 37, 23, 0.001},
    {"heic_10bit_alpha", kAlpha16.c_str(),
     "heif-enc -b 10 -q 80 {in} -o {out}.heic >/dev/null && mv {out}.heic {out}",
     "heif-convert {in} {ref} >/dev/null", "png", "/FlateDecode", 16, true, false, 37, 23,
     1.0 / 1023},
    {"avif_lossless", kRgb8.c_str(), "avifenc -l {in} -o {out} >/dev/null",
     "heif-convert {in} {ref} >/dev/null", "png", "/FlateDecode", 8, false, false, 37, 23, 0.001},
    {"avif_12bit", kRgb16.c_str(), "avifenc -d 12 -y 444 {in} -o {out} >/dev/null",
     "heif-convert {in} {ref} >/dev/null", "png", "/FlateDecode", 16, false, false, 37, 23,
     1.0 / 4095},
    {"avif_alpha", kAlpha.c_str(), "avifenc -l {in} -o {out} >/dev/null",
     "heif-convert {in} {ref} >/dev/null", "png", "/FlateDecode", 8, true, false, 37, 23, 0.001},
    {"avif_icc", kRgb8.c_str(), "avifenc -l --icc '{icc}' {in} -o {out} >/dev/null",
     "heif-convert {in} {ref} >/dev/null", "png", "/FlateDecode", 8, false, true, 37, 23, 0.001},
    {"avif_nclx_p3", kRgb8.c_str(), "avifenc -y 444 --cicp 12/13/1 {in} -o {out} >/dev/null",
     "heif-convert {in} {ref} >/dev/null", "png", "/FlateDecode", 8, false, true, 37, 23, 0.001},
    // Reserved primaries: libheif reports them as an error yet hands out the profile.
    {"avif_nclx_unknown_primaries", kRgb8.c_str(),
     "avifenc -y 444 --cicp 3/13/1 {in} -o {out} >/dev/null",
     "heif-convert {in} {ref} >/dev/null 2>&1", "png", "/FlateDecode", 8, false, false, 37, 23,
     0.001},
    {"avif_rotated_mirrored", kRgb8.c_str(),
     "avifenc -l --irot 1 --imir 0 {in} -o {out} >/dev/null", "heif-convert {in} {ref} >/dev/null",
     "png", "/FlateDecode", 8, false, false, 23, 37, 0.001},
    // JPEG XL: lossless depths, grey, alpha, a lossy one, a profile.
    {"jxl_lossless", kRgb8.c_str(), "cjxl -d 0 {in} {out} 2>/dev/null",
     "djxl {in} {ref} 2>/dev/null", "png", "/FlateDecode", 8, false, false, 37, 23, 0.001},
    {"jxl_16bit", kRgb16.c_str(), "cjxl -d 0 {in} {out} 2>/dev/null", "djxl {in} {ref} 2>/dev/null",
     "png", "/FlateDecode", 16, false, false, 37, 23, 0.00001},
    {"jxl_grey", kGrey.c_str(), "cjxl -d 0 {in} {out} 2>/dev/null", "djxl {in} {ref} 2>/dev/null",
     "png", "/FlateDecode", 8, false, false, 37, 23, 0.001},
    {"jxl_alpha", kAlpha.c_str(), "cjxl -d 0 {in} {out} 2>/dev/null", "djxl {in} {ref} 2>/dev/null",
     "png", "/FlateDecode", 8, true, false, 37, 23, 0.001},
    {"jxl_lossy", kRgb8.c_str(), "cjxl -d 2 {in} {out} 2>/dev/null", "djxl {in} {ref} 2>/dev/null",
     "png", "/FlateDecode", 8, false, false, 37, 23, 0.005},
    {"jxl_icc", kProfiled.c_str(), "cjxl -d 0 {in} {out} 2>/dev/null",
     "djxl {in} {ref} 2>/dev/null", "png", "/FlateDecode", 8, false, true, 37, 23, 0.001},
};

void PrintTo(const Variant& variant, std::ostream* os) {
    *os << variant.name;
}

std::string Replace(std::string text, const std::string& key, const std::string& value) {
    for (size_t at = text.find(key); at != std::string::npos; at = text.find(key)) {
        text.replace(at, key.size(), value);
    }
    return text;
}

// Converts one file with the default settings into `image`, the image of its one page (call
// through ASSERT_NO_FATAL_FAILURE).
void ConvertOne(const std::string& file, PdfImage& image) {
    TempDir out;
    const Conversion conversion = Convert({file}, out.Path());
    ASSERT_EQ(conversion.code, 0) << conversion.reason;
    const std::vector<PdfImage> images = ReadImages(conversion.path);
    ASSERT_EQ(images.size(), 1u);
    image = images.front();
}

class NewFormatVariantTest : public ::testing::TestWithParam<Variant> {};
} // namespace

TEST_P(NewFormatVariantTest, ConvertsAsTheFormatsOwnDecoderShowsIt) {
    OMBRIX_NEED_TOOLS({"convert", "cwebp", "dwebp", "gif2webp", "webpmux", "opj_compress",
                       "opj_decompress", "heif-enc", "heif-convert", "avifenc", "cjxl", "djxl"});
    const Variant& v = GetParam();
    TempDir dir;
    WriteFile(dir.File("wide.icc"), WideProfile());
    const std::string png = dir.File("in.png");
    const std::string source = Replace(v.source, "{icc}", dir.File("wide.icc"));
    ASSERT_EQ(RunCommand("convert " + source + " '" + png + "' 2>&1"), 0) << source;
    const std::string file = dir.File("image");
    const std::string encode =
        Replace(Fill(v.encode, png, file, ""), "{icc}", dir.File("wide.icc"));
    ASSERT_EQ(RunCommand(encode + " 2>&1"), 0) << encode;

    TempDir out;
    const Conversion conversion = Convert({file}, out.Path());
    ASSERT_EQ(conversion.code, 0) << conversion.reason;
    EXPECT_TRUE(QpdfCheckPasses(conversion.path));
    const std::vector<PdfImage> images = ReadImages(conversion.path);
    ASSERT_EQ(images.size(), 1u);
    const PdfImage& image = images.front();
    EXPECT_EQ(image.filter, v.filter);
    EXPECT_EQ(image.softMask, v.alpha);
    EXPECT_EQ(image.icc, v.icc);
    // The page shows the image as it is turned: its longer side across for a wide one.
    EXPECT_EQ(image.width, v.width);
    EXPECT_EQ(image.height, v.height);
    if (image.filter == "/JPXDecode") {
        EXPECT_EQ(image.raw, ReadFile(file)) << "the JPEG 2000 file is embedded as it is";
        return;
    }
    EXPECT_EQ(image.bitsPerComponent, v.bits);
    const std::string ref = dir.File(std::string("ref.") + v.refType);
    // The decoders name their input by its extension, where they need one.
    std::string decode = Fill(v.decode, file, "", ref);
    ASSERT_EQ(RunCommand("cp '" + file + "' '" + file + ".jp2' && cp '" + file + "' '" + file +
                         ".j2k' && " + decode + " 2>&1"),
              0)
        << decode;
    const std::string pam = dir.File("ref.pam");
    if (std::string(v.refType) != "pam") {
        ASSERT_EQ(RunCommand("convert '" + ref + "' '" + pam + "' 2>&1"), 0);
    }
    const Raster raster = ReadPnm(pam);
    ASSERT_GT(raster.width, 0);
    ExpectSamePixels(image, raster, v.tolerance);
}

INSTANTIATE_TEST_SUITE_P(Variants, NewFormatVariantTest, ::testing::ValuesIn(kVariants),
                         [](const auto& variant) { return std::string(variant.param.name); });

TEST(NewFormatsTest, JpegXlRebuildsTheJpegItWasMadeFromByteForByte) {
    OMBRIX_NEED_TOOLS({"convert", "cjxl", "djxl"});
    TempDir dir;
    // Made with EXIF orientation 6: the rebuilt JPEG's metadata is read as the original's.
    const std::string jpeg = dir.File("photo.jpg");
    ASSERT_EQ(RunCommand("convert " + std::string(kRgb) + " -quality 85 -orient RightTop '" + jpeg +
                         "' 2>&1"),
              0);
    const std::string jxl = dir.File("photo.jxl");
    ASSERT_EQ(RunCommand("cjxl '" + jpeg + "' '" + jxl + "' 2>&1"), 0);
    // djxl rebuilds the same bytes: the file does carry the reconstruction data.
    ASSERT_EQ(RunCommand("djxl '" + jxl + "' '" + dir.File("rebuilt.jpg") + "' 2>&1"), 0);
    ASSERT_EQ(ReadFile(dir.File("rebuilt.jpg")), ReadFile(jpeg));

    TempDir out;
    const Conversion fromJxl = Convert({jxl}, out.Path());
    ASSERT_EQ(fromJxl.code, 0) << fromJxl.reason;
    TempDir out2;
    const Conversion fromJpeg = Convert({jpeg}, out2.Path());
    ASSERT_EQ(fromJpeg.code, 0) << fromJpeg.reason;
    const std::vector<PdfImage> a = ReadImages(fromJxl.path);
    const std::vector<PdfImage> b = ReadImages(fromJpeg.path);
    ASSERT_EQ(a.size(), 1u);
    ASSERT_EQ(b.size(), 1u);
    EXPECT_EQ(a[0].filter, "/DCTDecode");
    EXPECT_EQ(a[0].raw, b[0].raw) << "the JPEG data differs from the JPEG's own";
    EXPECT_EQ(a[0].matrix, b[0].matrix) << "placed otherwise than the JPEG";
    EXPECT_TRUE(QpdfCheckPasses(fromJxl.path));
}

TEST(NewFormatsTest, ArchivesThatCannotHoldJpeg2000GetItDecoded) {
    OMBRIX_NEED_TOOLS({"convert", "opj_compress"});
    TempDir dir;
    const std::string png = dir.File("in.png");
    ASSERT_EQ(RunCommand("convert " + kRgb8 + " '" + png + "'"), 0);
    const std::string jp2 = dir.File("in.jp2");
    ASSERT_EQ(RunCommand("opj_compress -n 3 -i '" + png + "' -o '" + jp2 + "' >/dev/null"), 0);
    for (const int part : {1, 2}) {
        PdfPageOptions options = DefaultOptions();
        PdfArchiveOptions archive{};
        archive.part = part;
        options.archive = &archive;
        TempDir out;
        const Conversion conversion = Convert({jp2}, out.Path(), options);
        ASSERT_EQ(conversion.code, 0) << conversion.reason;
        const std::vector<PdfImage> images = ReadImages(conversion.path);
        ASSERT_EQ(images.size(), 1u);
        EXPECT_EQ(images[0].filter, part == 1 ? "/FlateDecode" : "/JPXDecode") << "PDF/A-" << part;
    }
}

TEST(NewFormatsTest, Jpeg2000InYccWithSubsampledChromaBecomesRgb) {
    OMBRIX_NEED_TOOLS({"opj_compress", "opj_decompress", "convert"});
    // Y, Cb and Cr planes of an odd size, as cameras and archives code them: colours change
    // from pixel to pixel, so a sample taken from the wrong place shows.
    const int width = 37;
    const int height = 23;
    struct Case {
        const char* name;
        int dx; // chroma subsampling
        int dy;
    };
    for (const Case& c : {Case{"4:2:0", 2, 2}, Case{"4:2:2", 2, 1}, Case{"4:4:4", 1, 1}}) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const int chromaWidth = (width + c.dx - 1) / c.dx;
        const int chromaHeight = (height + c.dy - 1) / c.dy;
        std::string planes;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                planes += static_cast<char>(40 + x * 4 + y * 2);
            }
        }
        for (int plane = 0; plane < 2; ++plane) {
            for (int y = 0; y < chromaHeight; ++y) {
                for (int x = 0; x < chromaWidth; ++x) {
                    planes += static_cast<char>(plane == 0 ? 60 + x * 5 : 210 - y * 6);
                }
            }
        }
        WriteFile(dir.File("planes.raw"), planes);
        const std::string jp2 = dir.File("ycc.jp2");
        const std::string sampling =
            "u@1x1:" + std::to_string(c.dx) + "x" + std::to_string(c.dy) + ":" +
            std::to_string(c.dx) + "x" + std::to_string(c.dy);
        ASSERT_EQ(RunCommand("opj_compress -n 3 -mct 0 -F " + std::to_string(width) + "," +
                             std::to_string(height) + ",3,8," + sampling + " -i '" +
                             dir.File("planes.raw") + "' -o '" + jp2 + "' >/dev/null 2>&1"),
                  0);
        // The colour specification says sYCC (opj_compress says it of subsampled files only).
        std::string file = ReadFile(jp2);
        const size_t colr = file.find("colr");
        ASSERT_NE(colr, std::string::npos);
        ASSERT_EQ(file[colr + 4], 1) << "an enumerated colour space";
        file[colr + 10] = 18;
        WriteFile(jp2, file);

        PdfImage image;
        ASSERT_NO_FATAL_FAILURE(ConvertOne(jp2, image));
        EXPECT_EQ(image.filter, "/FlateDecode") << "sYCC is decoded into RGB";
        EXPECT_EQ(image.components, 3);
        // OpenJPEG's own tool turns sYCC into RGB the same way, up to its rounding.
        const std::string ref = dir.File("ref.ppm");
        ASSERT_EQ(RunCommand("opj_decompress -i '" + jp2 + "' -o '" + ref +
                             "' >/dev/null 2>&1 && convert '" + ref + "' '" +
                             dir.File("ref.pam") + "'"),
                  0);
        ExpectSamePixels(image, ReadPnm(dir.File("ref.pam")), 2.5 / 255);
    }
}

TEST(NewFormatsTest, WebpTurnsByItsExifOrientationAsAJpegDoes) {
    OMBRIX_NEED_TOOLS({"convert", "cwebp", "webpmux"});
    TempDir dir;
    const std::string jpeg = dir.File("photo.jpg");
    ASSERT_EQ(RunCommand("convert " + kRgb8 + " -quality 90 '" + jpeg + "'"), 0);
    ASSERT_EQ(RunCommand("cwebp -quiet '" + jpeg + "' -o '" + dir.File("plain.webp") + "'"), 0);
    // TIFF data of one entry: orientation 6 (the stored image is turned right to be shown).
    const std::string tiff("MM\0\x2A\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0\x06\0\0\0\0\0\0", 26);
    // The JPEG with the same orientation, as the reference for the placement.
    const std::string turned = dir.File("turned.jpg");
    const std::string bytes = ReadFile(jpeg);
    WriteFile(turned, bytes.substr(0, 2) + JpegSegment(0xE1, std::string("Exif\0\0", 6) + tiff) +
                          bytes.substr(2));
    PdfImage reference;
    ASSERT_NO_FATAL_FAILURE(ConvertOne(turned, reference));

    // The chunk as the format has it, and with the JPEG segment's mark some writers keep.
    for (const std::string& exif : {tiff, std::string("Exif\0\0", 6) + tiff}) {
        SCOPED_TRACE(exif.substr(0, 4));
        WriteFile(dir.File("exif.bin"), exif);
        const std::string webp = dir.File("turned.webp");
        ASSERT_EQ(RunCommand("webpmux -set exif '" + dir.File("exif.bin") + "' '" +
                             dir.File("plain.webp") + "' -o '" + webp + "' >/dev/null"),
                  0);
        PdfImage image;
        ASSERT_NO_FATAL_FAILURE(ConvertOne(webp, image));
        EXPECT_EQ(image.matrix, reference.matrix) << "placed otherwise than the JPEG";
    }
}

TEST(NewFormatsTest, PremultipliedHeifAlphaIsMarkedSo) {
    OMBRIX_NEED_TOOLS({"convert", "heif-enc"});
    TempDir dir;
    const std::string png = dir.File("in.png");
    ASSERT_EQ(RunCommand("convert " + kAlpha + " '" + png + "'"), 0);
    for (const bool premultiplied : {false, true}) {
        SCOPED_TRACE(premultiplied ? "premultiplied" : "straight");
        const std::string heic = dir.File(premultiplied ? "pm.heic" : "straight.heic");
        ASSERT_EQ(RunCommand(std::string("heif-enc -L ") +
                             (premultiplied ? "--premultiplied-alpha " : "") + "'" + png +
                             "' -o '" + heic + "' >/dev/null 2>&1"),
                  0);
        PdfImage image;
        ASSERT_NO_FATAL_FAILURE(ConvertOne(heic, image));
        EXPECT_TRUE(image.softMask);
        // The colour was multiplied by alpha over black: /Matte says so, and viewers undo it.
        const std::vector<double> matte =
            premultiplied ? std::vector<double>{0, 0, 0} : std::vector<double>{};
        EXPECT_EQ(image.matte, matte);
    }
}

TEST(NewFormatsTest, DamagedFilesFailWithAReason) {
    OMBRIX_NEED_TOOLS({"convert", "cwebp", "opj_compress", "heif-enc", "avifenc", "cjxl"});
    TempDir dir;
    const std::string png = dir.File("in.png");
    // Noise: every part of the file is image data that matters.
    ASSERT_EQ(RunCommand("convert -size 64x48 xc: +noise Random -depth 8 '" + png + "'"), 0);
    const struct {
        const char* label;
        const char* encode;
    } encoders[] = {
        {"lossless WebP", "cwebp -quiet -lossless {in} -o {out}"},
        {"lossy WebP", "cwebp -quiet -q 90 {in} -o {out}"},
        {"JP2", "opj_compress -n 3 -i {in} -o {out}.jp2 >/dev/null && mv {out}.jp2 {out}"},
        {"JPEG 2000 codestream",
         "opj_compress -n 3 -i {in} -o {out}.j2k >/dev/null && mv {out}.j2k {out}"},
        {"HEIC", "heif-enc -q 90 {in} -o {out}.heic >/dev/null && mv {out}.heic {out}"},
        {"AVIF", "avifenc -l {in} -o {out} >/dev/null"},
        {"JPEG XL", "cjxl -d 0 {in} {out} 2>/dev/null"},
        {"JPEG XL of a JPEG", "convert {in} {in}.jpg && cjxl {in}.jpg {out} 2>/dev/null"},
    };
    for (const auto& encoder : encoders) {
        const std::string file = dir.File("whole");
        ASSERT_EQ(RunCommand(Fill(encoder.encode, png, file, "")), 0) << encoder.label;
        const std::string whole = ReadFile(file);
        TempDir out;
        ASSERT_EQ(Convert({file}, out.Path()).code, 0) << encoder.label;
        // Cut at two thirds: the headers are there, the image data is not all there.
        const std::string cut = dir.File("cut");
        WriteFile(cut, whole.substr(0, whole.size() * 2 / 3));
        const Conversion conversion = Convert({cut}, out.Path());
        EXPECT_EQ(conversion.code, PDF_ERROR_CORRUPT) << encoder.label << ": " << conversion.reason;
        EXPECT_FALSE(conversion.reason.empty()) << encoder.label;
    }
}
