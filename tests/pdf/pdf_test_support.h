#pragma once

#include "pdf/pdf_service.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

// Helpers for tests of the PDF service: the public image suites, conversions through the C
// interface, and the images of a PDF read back with qpdf.
namespace pdftest {

// The folder of the public image suites: OMBRIX_CORPUS_DIR when it is set, else shared/corpus
// beside the checkout; empty when it is not there.
std::string CorpusDir();

// True under continuous integration (the variable CI set, and not "false" or "0"), where the
// image suites must be there.
bool UnderCi();

// Sets `dir` to the folder of the public image suites. Without them the test is skipped, or
// fails under continuous integration: a run there that skips the suites proves nothing.
#define OMBRIX_USE_CORPUS(dir)                                                                     \
    do {                                                                                           \
        (dir) = pdftest::CorpusDir();                                                              \
        if ((dir).empty()) {                                                                       \
            if (pdftest::UnderCi()) {                                                              \
                GTEST_FAIL() << "the public image suites are missing: set OMBRIX_CORPUS_DIR";      \
            }                                                                                      \
            GTEST_SKIP() << "the public image suites are not beside the checkout";                 \
        }                                                                                          \
    } while (false)

// A temporary folder removed with the object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }
    // The names of the files in the folder.
    std::vector<std::string> List() const;

private:
    std::string m_path;
};

struct Conversion {
    int code = -1;
    std::string reason;
    std::string path; // the PDF written (inside the folder given), empty on failure
    int pages = 0;
};

// A4, 10 mm margins, no document information.
PdfPageOptions DefaultOptions();

// Merges the inputs into one PDF written in `folder`.
Conversion Convert(const std::vector<std::string>& inputs, const std::string& folder,
                   const PdfPageOptions& options = DefaultOptions());

// One image of a PDF, as stored and decoded.
struct PdfImage {
    int width = 0;
    int height = 0;
    int bitsPerComponent = 0;
    int components = 0; // of the colour space (1 for Indexed)
    bool indexed = false;
    int baseComponents = 0; // Indexed: components of the base space
    std::string palette;
    bool icc = false;
    std::vector<double> decode;
    std::string filter;
    std::string raw;     // the stream data as stored
    std::string samples; // decoded samples; empty for DCT and CCITT
    bool softMask = false;
    int softMaskBits = 0;
    std::string softMaskSamples;
    std::vector<double> softMaskDecode;
    std::vector<double> matte;
    std::vector<int> colourKey;
    std::array<double, 6> matrix{}; // how the page draws it
    double pageWidth = 0;
    double pageHeight = 0;
};

// The first image of every page.
std::vector<PdfImage> ReadImages(const std::string& pdf, const std::string& password = "");

// Colours and alpha of every pixel, from 0 to 1, with Decode, palette, colour key and soft
// mask applied. `channels` is 1 (grey), 3 (RGB) or 4 (CMYK).
struct Pixels {
    int width = 0;
    int height = 0;
    int channels = 0;
    std::vector<double> colour;
    std::vector<double> alpha;
};
Pixels ToPixels(const PdfImage& image);

// Runs a command; returns its exit status and standard output.
int RunCommand(const std::string& command, std::string* output = nullptr);

// "qpdf --check" passes without warnings.
bool QpdfCheckPasses(const std::string& pdf, std::string* report = nullptr);

std::string ReadFile(const std::string& path);

} // namespace pdftest
