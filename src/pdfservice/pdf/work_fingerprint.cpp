#include "pdf/work_fingerprint.h"

#include "pdf/pdf_error.h"

#include <qpdf/QPDFCryptoProvider.hh>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {
std::string Hex(const std::string& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (const unsigned char byte : bytes) {
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 15];
    }
    return hex;
}

std::string FileSha256(const std::string& path) {
    const std::unique_ptr<FILE, int (*)(FILE*)> in(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!in) {
        throw PdfError(PDF_ERROR_READ, "cannot read \"" + path + "\": " + std::strerror(errno));
    }
    const auto crypto = QPDFCryptoProvider::getImpl();
    crypto->SHA2_init(256);
    unsigned char buffer[1 << 16];
    size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, in.get())) > 0) {
        crypto->SHA2_update(buffer, count);
    }
    if (std::ferror(in.get())) {
        throw PdfError(PDF_ERROR_READ, "cannot read \"" + path + "\"");
    }
    crypto->SHA2_finalize();
    return Hex(crypto->SHA2_digest());
}

// One named value, its length first, so that no two different records read alike.
void Field(std::string& record, const char* name, const std::string& value) {
    record += std::string(name) + " " + std::to_string(value.size()) + " " + value + "\n";
}

std::string Number(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.9g", value);
    return text;
}
} // namespace

std::string WorkFingerprint::Sha256(const std::string& data) {
    const auto crypto = QPDFCryptoProvider::getImpl();
    crypto->SHA2_init(256);
    crypto->SHA2_update(reinterpret_cast<const unsigned char*>(data.data()), data.size());
    crypto->SHA2_finalize();
    return Hex(crypto->SHA2_digest());
}

std::string WorkFingerprint::Of(const std::vector<std::string>& sources,
                                const PdfDocumentWriter::Options& options) {
    std::string record = "ombrix work 1\n";
    for (const std::string& source : sources) {
        Field(record, "source", FileSha256(source));
    }
    const PageSetup& page = options.page;
    Field(record, "page type", page.pageType != nullptr ? page.pageType : "");
    for (const double value :
         {page.width, page.height, page.left, page.right, page.top, page.bottom}) {
        Field(record, "page", Number(value));
    }
    Field(record, "title", options.title);
    Field(record, "author", options.author);
    Field(record, "subject", options.subject);
    // Whether each password is set, not the password: the document itself checks them.
    Field(record, "user password", options.userPassword.empty() ? "no" : "yes");
    Field(record, "owner password", options.ownerPassword.empty() ? "no" : "yes");
    Field(record, "copy", options.allowCopy ? "yes" : "no");
    Field(record, "print", options.allowPrint ? "yes" : "no");
    if (options.allImages) {
        Field(record, "all images", "yes");
    }
    if (!options.ocrLanguages.empty()) {
        Field(record, "ocr", options.ocrLanguages);
    }
    Field(record, "archive", std::to_string(options.archivePart));
    if (options.archivePart != 0) {
        const ArchiveImage::Steps& steps = options.archiveSteps;
        Field(record, "flatten", steps.flatten ? std::to_string(steps.background) : "no");
        Field(record, "reduce depth", steps.reduceDepth ? "yes" : "no");
        Field(record, "attach", options.attachOriginals ? "yes" : "no");
    }
    return "1 " + Sha256(record);
}
