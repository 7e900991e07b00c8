// Damaged and hostile files, each made in a few lines: every one fails with a reason (or
// converts to what it really holds), within bounded memory: the tests run under an address
// space limit, so that a reader that allocates what a header merely declares fails here
// rather than swapping.
#include "pdf/crafted_images.h"
#include "pdf_test_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/resource.h>

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

void ExpectOutcomes(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        TempDir in;
        TempDir out;
        const std::string path = in.File("image");
        Write(path, c.bytes);
        const Conversion conversion = Convert({path}, out.Path());
        EXPECT_EQ(conversion.code, c.code) << c.label << ": " << conversion.reason;
        EXPECT_NE(conversion.reason.find(c.reason), std::string::npos)
            << c.label << ": " << conversion.reason;
        if (c.code == 0) {
            EXPECT_TRUE(QpdfCheckPasses(conversion.path)) << c.label;
        } else {
            EXPECT_TRUE(out.List().empty()) << c.label;
        }
    }
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
} // namespace

TEST(HostileInputTest, PngImageDataMustHoldTheDeclaredRows) {
    std::string flipped = Zlib(Rows(16, 16));
    flipped[flipped.size() / 2] ^= 0x10;
    const std::string whole = Zlib(Rows(16, 16));
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
    });
}

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
#if !defined(__SANITIZE_ADDRESS__)
    // Far below what the hostile headers declare (gigabytes), well above what the files hold.
    const rlim_t limit = rlim_t(512) << 20;
    const rlimit cap{limit, limit};
    setrlimit(RLIMIT_AS, &cap);
#endif
    return RUN_ALL_TESTS();
}
