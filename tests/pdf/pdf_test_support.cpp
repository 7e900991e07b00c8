#include "pdf_test_support.h"

#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace pdftest {

std::string CorpusDir() {
    // A folder named on purpose is the only one: a wrong name is not covered up by another.
    if (const char* dir = std::getenv("OMBRIX_CORPUS_DIR"); dir != nullptr && *dir != '\0') {
        return fs::is_directory(dir) ? std::string(dir) : std::string();
    }
    // The suites sit in shared/corpus beside the checkout, or beside one of its parents.
    for (fs::path dir = fs::absolute(OMBRIX_SOURCE_DIR); !dir.empty(); dir = dir.parent_path()) {
        const fs::path candidate = dir.parent_path() / "shared" / "corpus";
        if (fs::is_regular_file(candidate / "MANIFEST.tsv")) {
            return candidate.string();
        }
        if (dir == dir.parent_path()) {
            break;
        }
    }
    return {};
}

bool UnderCi() {
    const char* ci = std::getenv("CI");
    return ci != nullptr && *ci != '\0' && std::string(ci) != "false" && std::string(ci) != "0";
}

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "ombrix-pdf-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary folder");
    }
    m_path = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::remove_all(m_path, ignored);
}

std::vector<std::string> TempDir::List() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(m_path)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

PdfPageOptions DefaultOptions() {
    PdfPageOptions options{};
    options.pageType = "A4";
    options.left = options.right = options.top = options.bottom = 10;
    return options;
}

Conversion Convert(const std::vector<std::string>& inputs, const std::string& folder,
                   const PdfPageOptions& options) {
    Pdf3Service* service = CreatePdf3Service("");
    for (const std::string& input : inputs) {
        service->AppendSource(service, input.c_str());
    }
    const PdfResult* result =
        service->CreatePdf(service, &options, folder.c_str(), folder.c_str(), nullptr, 0);
    Conversion conversion;
    conversion.code = result->errorCode;
    conversion.reason = result->reason != nullptr ? result->reason : "";
    conversion.path = result->path != nullptr ? result->path : "";
    conversion.pages = result->pageCount;
    FreePdf3Service(service);
    return conversion;
}

namespace {
std::vector<double> Numbers(QPDFObjectHandle array) {
    std::vector<double> values;
    if (array.isArray()) {
        for (int i = 0; i < array.getArrayNItems(); ++i) {
            values.push_back(array.getArrayItem(i).getNumericValue());
        }
    }
    return values;
}

std::string Data(const std::shared_ptr<Buffer>& buffer) {
    return std::string(reinterpret_cast<const char*>(buffer->getBuffer()), buffer->getSize());
}

int ComponentsOf(QPDFObjectHandle space, bool& icc) {
    if (space.isName()) {
        const std::string name = space.getName();
        return name == "/DeviceGray" ? 1 : name == "/DeviceCMYK" ? 4 : 3;
    }
    if (space.isArray() && space.getArrayItem(0).getName() == "/ICCBased") {
        icc = true;
        return space.getArrayItem(1).getDict().getKey("/N").getIntValueAsInt();
    }
    return 0;
}

// Sample `index` of packed rows of `rowBytes` bytes.
uint32_t Sample(const std::string& data, size_t rowBytes, size_t perRow, int bits, size_t index) {
    const size_t row = index / perRow;
    const size_t column = index % perRow;
    const auto* p = reinterpret_cast<const unsigned char*>(data.data()) + row * rowBytes;
    if (bits == 8) {
        return p[column];
    }
    if (bits == 16) {
        return uint32_t(p[2 * column]) << 8 | p[2 * column + 1];
    }
    const size_t bit = column * bits;
    return (p[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
}
} // namespace

std::vector<PdfImage> ReadImages(const std::string& path, const std::string& password) {
    QPDF pdf;
    pdf.processFile(path.c_str(), password.empty() ? nullptr : password.c_str());
    std::vector<PdfImage> images;
    for (QPDFPageObjectHelper& page : QPDFPageDocumentHelper(pdf).getAllPages()) {
        PdfImage image;
        const std::vector<double> box = Numbers(page.getObjectHandle().getKey("/MediaBox"));
        image.pageWidth = box.at(2);
        image.pageHeight = box.at(3);
        const std::string content =
            Data(page.getObjectHandle().getKey("/Contents").getStreamData());
        std::sscanf(content.c_str(), "q %lf %lf %lf %lf %lf %lf cm", &image.matrix[0],
                    &image.matrix[1], &image.matrix[2], &image.matrix[3], &image.matrix[4],
                    &image.matrix[5]);
        QPDFObjectHandle xobject = page.getImages().begin()->second;
        QPDFObjectHandle dict = xobject.getDict();
        image.width = dict.getKey("/Width").getIntValueAsInt();
        image.height = dict.getKey("/Height").getIntValueAsInt();
        image.bitsPerComponent = dict.getKey("/BitsPerComponent").getIntValueAsInt();
        QPDFObjectHandle space = dict.getKey("/ColorSpace");
        if (space.isArray() && space.getArrayItem(0).getName() == "/Indexed") {
            image.indexed = true;
            image.components = 1;
            image.baseComponents = ComponentsOf(space.getArrayItem(1), image.icc);
            QPDFObjectHandle lookup = space.getArrayItem(3);
            image.palette =
                lookup.isString() ? lookup.getStringValue() : Data(lookup.getStreamData());
        } else {
            image.components = ComponentsOf(space, image.icc);
        }
        image.decode = Numbers(dict.getKey("/Decode"));
        QPDFObjectHandle filter = dict.getKey("/Filter");
        image.filter = filter.isName() ? filter.getName() : "";
        image.raw = Data(xobject.getRawStreamData());
        if (image.filter == "/FlateDecode" || image.filter.empty()) {
            image.samples = Data(xobject.getStreamData(qpdf_dl_generalized));
        }
        QPDFObjectHandle mask = dict.getKey("/Mask");
        if (mask.isArray()) {
            for (double v : Numbers(mask)) {
                image.colourKey.push_back(static_cast<int>(v));
            }
        }
        QPDFObjectHandle smask = dict.getKey("/SMask");
        if (smask.isStream()) {
            image.softMask = true;
            image.softMaskBits = smask.getDict().getKey("/BitsPerComponent").getIntValueAsInt();
            image.softMaskSamples = Data(smask.getStreamData(qpdf_dl_generalized));
            image.softMaskDecode = Numbers(smask.getDict().getKey("/Decode"));
            image.matte = Numbers(smask.getDict().getKey("/Matte"));
        }
        images.push_back(std::move(image));
    }
    return images;
}

Pixels ToPixels(const PdfImage& image) {
    Pixels pixels;
    pixels.width = image.width;
    pixels.height = image.height;
    pixels.channels = image.indexed ? image.baseComponents : image.components;
    const size_t count = size_t(image.width) * image.height;
    const int n = image.components;
    const int bits = image.bitsPerComponent;
    const size_t rowBytes = (size_t(image.width) * n * bits + 7) / 8;
    const double maxValue = double((1u << bits) - 1);
    pixels.colour.resize(count * pixels.channels);
    pixels.alpha.assign(count, 1.0);
    for (size_t i = 0; i < count; ++i) {
        bool keyed = !image.colourKey.empty();
        for (int c = 0; c < n; ++c) {
            const uint32_t s =
                Sample(image.samples, rowBytes, size_t(image.width) * n, bits, i * n + c);
            if (keyed && (int(s) < image.colourKey[2 * c] || int(s) > image.colourKey[2 * c + 1])) {
                keyed = false;
            }
            double dmin = 0;
            double dmax = image.indexed ? maxValue : 1.0;
            if (image.decode.size() >= size_t(2 * c + 2)) {
                dmin = image.decode[2 * c];
                dmax = image.decode[2 * c + 1];
            }
            const double value = dmin + s * (dmax - dmin) / maxValue;
            if (image.indexed) {
                const int index = static_cast<int>(value + 0.5);
                for (int b = 0; b < image.baseComponents; ++b) {
                    const size_t at = size_t(index) * image.baseComponents + b;
                    pixels.colour[i * pixels.channels + b] =
                        at < image.palette.size()
                            ? static_cast<unsigned char>(image.palette[at]) / 255.0
                            : 0.0;
                }
            } else {
                pixels.colour[i * pixels.channels + c] = std::min(1.0, std::max(0.0, value));
            }
        }
        if (keyed) {
            pixels.alpha[i] = 0;
        }
    }
    if (image.softMask) {
        const int mb = image.softMaskBits;
        const size_t maskRow = (size_t(image.width) * mb + 7) / 8;
        const double maskMax = double((1u << mb) - 1);
        for (size_t i = 0; i < count; ++i) {
            const uint32_t s = Sample(image.softMaskSamples, maskRow, image.width, mb, i);
            double dmin = 0;
            double dmax = 1;
            if (image.softMaskDecode.size() == 2) {
                dmin = image.softMaskDecode[0];
                dmax = image.softMaskDecode[1];
            }
            pixels.alpha[i] = std::min(pixels.alpha[i], dmin + s * (dmax - dmin) / maskMax);
        }
    }
    return pixels;
}

int RunCommand(const std::string& command, std::string* output) {
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return -1;
    }
    std::string text;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        text.append(buffer, n);
    }
    const int status = ::pclose(pipe);
    if (output != nullptr) {
        *output = text;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool QpdfCheckPasses(const std::string& pdf, std::string* report) {
    std::string output;
    const int status = RunCommand("qpdf --check '" + pdf + "' 2>&1", &output);
    if (report != nullptr) {
        *report = output;
    }
    return status == 0;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream data;
    data << in.rdbuf();
    return data.str();
}

} // namespace pdftest
