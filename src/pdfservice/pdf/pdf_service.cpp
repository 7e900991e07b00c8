// The C interface of the PDF service. No exception leaves these functions: every failure
// becomes an error code and a reason in the result.
#include "pdf/pdf_service.h"

#include "pdf/atomic_file.h"
#include "pdf/image_source.h"
#include "pdf/ocr_engine.h"
#include "pdf/original_files.h"
#include "pdf/pdf_document_writer.h"
#include "pdf/pdf_error.h"
#include "pdf/pdf_file_check.h"
#include "pdf/pdf_password.h"
#include "pdf/work_fingerprint.h"

#include <qpdf/QPDFExc.hh>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {
struct Service : Pdf3Service {
    std::vector<std::string> sources;
    int sourceType = PDF_SOURCE_IMAGE;
    int lastError = PDF_OK;
    PdfResult result{};
    std::string resultPath;
    std::string reason;
};

std::string Text(const char* text) {
    return text == nullptr ? std::string() : std::string(text);
}

bool IsFolder(const std::string& path) {
    struct stat info;
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The time of SOURCE_DATE_EPOCH (reproducible builds), or -1 when it is not set or not a
// number of seconds that a PDF date can hold (its year has four digits: up to the end of
// 9999, 253402300799).
long long SourceDateEpoch() {
    constexpr long long kLastSecond = 253402300799;
    const char* text = std::getenv("SOURCE_DATE_EPOCH");
    if (text == nullptr || *text == '\0' || std::strlen(text) > 18) {
        return -1;
    }
    long long seconds = 0;
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9') {
            return -1;
        }
        seconds = seconds * 10 + (*c - '0');
    }
    return seconds <= kLastSecond ? seconds : -1;
}

// The writer's options of the page options (all but the dates).
PdfDocumentWriter::Options DocumentOptions(const PdfPageOptions& options) {
    PdfDocumentWriter::Options document;
    document.page = {options.pageType, options.width, options.height, options.left,
                     options.right,    options.top,   options.bottom};
    document.title = Text(options.title);
    document.author = Text(options.author);
    document.subject = Text(options.subject);
    if (const PdfSecurityOptions* security = options.security) {
        document.userPassword = Text(security->userPassword);
        document.ownerPassword = Text(security->ownerPassword);
        document.allowCopy = security->allowCopy != 0;
        document.allowPrint = security->allowPrint != 0;
    }
    document.allImages = options.allImages != 0;
    if (const PdfOcrOptions* ocr = options.ocr) {
        document.ocrLanguages = Text(ocr->languages);
        document.ocrDataPath = Text(ocr->dataPath);
    }
    if (const PdfArchiveOptions* archive = options.archive) {
        document.archivePart = archive->part;
        document.archiveSteps.flatten = archive->flattenAlpha != 0;
        document.archiveSteps.background = archive->background & 0xFFFFFFu;
        document.archiveSteps.reduceDepth = archive->reduceDepth != 0;
        document.attachOriginals = archive->attachOriginals != 0;
    }
    return document;
}

void Convert(Service& service, const PdfPageOptions* options, const char* outputDir,
             const char* tempDir, PdfProgressProc progress) {
    if (service.sourceType != PDF_SOURCE_IMAGE) {
        throw PdfError(PDF_ERROR_UNSUPPORTED_SOURCE,
                       "unsupported source type " + std::to_string(service.sourceType));
    }
    if (service.sources.empty()) {
        throw PdfError(PDF_ERROR_NO_SOURCE, "no source to convert");
    }
    if (options == nullptr) {
        throw PdfError(PDF_ERROR_PAGE_GEOMETRY, "no page options");
    }
    std::string folder = Text(tempDir);
    if (folder.empty()) {
        folder = Text(outputDir);
    }
    if (!IsFolder(folder)) {
        throw PdfError(PDF_ERROR_WRITE, "the folder \"" + folder + "\" does not exist");
    }

    PdfDocumentWriter::Options document = DocumentOptions(*options);
    if (const PdfOcrOptions* ocr = options->ocr) {
        if (document.ocrLanguages.empty()) {
            throw PdfError(PDF_ERROR_OCR, "no OCR language given");
        }
        if (ocr->progress != nullptr) {
            const PdfOcrProgressProc proc = ocr->progress;
            void* context = ocr->context;
            document.ocrProgress = [proc, context](int page, int percent) {
                return proc(context, page, percent) != 0;
            };
        }
    }
    document.fixedTime = SourceDateEpoch();

    // Every file's header is read and its pages laid out before anything is written.
    PdfDocumentWriter writer(service.sources, document);
    // What the document is made of, so that a later run can tell it is done (PdfRecordsWork).
    if (options->recordWork != 0) {
        writer.SetWork(WorkFingerprint::Of(service.sources, document));
    }

    // Written under a private temporary name and put in place when complete and on the disk:
    // the result path never names a partial file, not even after a power loss.
    AtomicFile file;
    if (!file.Open(folder + "/.ombrix-")) {
        throw PdfError(PDF_ERROR_WRITE,
                       "cannot create a file in \"" + folder + "\": " + std::strerror(errno));
    }
    const std::string& partial = file.TemporaryPath();
    const std::string final = folder + "/ombrix-" + partial.substr(partial.size() - 6) + ".pdf";
    writer.Write(file.Descriptor(), progress);
    if (options->ocr != nullptr && options->ocr->sidecar != 0) {
        const std::string text = final.substr(0, final.size() - 4) + ".txt";
        AtomicFile sidecar;
        if (!sidecar.OpenBeside(text) ||
            !sidecar.Write(writer.Text().data(), writer.Text().size()) || !sidecar.Commit(text)) {
            throw PdfError(PDF_ERROR_WRITE,
                           "cannot write the text: " + std::string(std::strerror(errno)));
        }
    }
    if (!file.Commit(final)) {
        throw PdfError(PDF_ERROR_WRITE,
                       "cannot write the PDF: " + std::string(std::strerror(errno)));
    }
    service.resultPath = final;
    service.result.path = service.resultPath.c_str();
    service.result.pageCount = writer.PageCount();
    service.reason = writer.Notes();
}

int LoadSource(Pdf3Service* self, const char* path, int sourceType) {
    auto* service = static_cast<Service*>(self);
    try {
        service->sources.assign(1, Text(path));
    } catch (...) {
        return PDF_ERROR_INTERNAL;
    }
    service->sourceType = sourceType;
    return sourceType == PDF_SOURCE_IMAGE ? PDF_OK : PDF_ERROR_UNSUPPORTED_SOURCE;
}

int AppendSource(Pdf3Service* self, const char* path) {
    auto* service = static_cast<Service*>(self);
    try {
        service->sources.push_back(Text(path));
    } catch (...) {
        return PDF_ERROR_INTERNAL;
    }
    return PDF_OK;
}

PdfResult* CreatePdf(Pdf3Service* self, const PdfPageOptions* options, const char* outputDir,
                     const char* tempDir, PdfProgressProc progress, int) {
    auto* service = static_cast<Service*>(self);
    service->result = PdfResult{};
    service->resultPath.clear();
    service->reason.clear();
    int code = PDF_OK;
    try {
        try {
            Convert(*service, options, outputDir, tempDir, progress);
        } catch (const PdfError& error) {
            code = error.Code();
            service->reason = error.what();
        } catch (const QPDFExc& error) {
            code = PDF_ERROR_INTERNAL;
            service->reason = error.what();
        } catch (const std::bad_alloc&) {
            code = PDF_ERROR_TOO_LARGE;
            service->reason = "not enough memory";
        } catch (const std::exception& error) {
            code = PDF_ERROR_INTERNAL;
            service->reason = error.what();
        } catch (...) {
            code = PDF_ERROR_INTERNAL;
            service->reason = "unexpected failure";
        }
    } catch (...) {
        code = PDF_ERROR_INTERNAL; // the reason itself could not be kept
    }
    service->result.errorCode = code;
    service->result.reason = service->reason.c_str();
    if (code != PDF_OK) {
        service->result.path = nullptr;
        service->result.pageCount = 0;
    }
    return &service->result;
}
} // namespace

extern "C" {

PDF_SERVICE_API Pdf3Service* CreatePdf3Service(const char*) {
    auto* service = new (std::nothrow) Service();
    if (service == nullptr) {
        return nullptr;
    }
    service->LoadSource = LoadSource;
    service->AppendSource = AppendSource;
    service->CreatePdf = CreatePdf;
    return service;
}

PDF_SERVICE_API void FreePdf3Service(Pdf3Service* service) {
    delete static_cast<Service*>(service);
}

PDF_SERVICE_API const char* PdfCheckPassword(const char* password) {
    try {
        return PdfPassword::Check(Text(password));
    } catch (...) {
        return "the password cannot be checked: not enough memory";
    }
}

PDF_SERVICE_API int PdfExtractOriginals(const char* path, const char* folder, int* count,
                                        char* reason, int reasonSize) {
    std::string why;
    int code = PDF_OK;
    try {
        const int written = OriginalFiles::Extract(Text(path), Text(folder));
        if (count != nullptr) {
            *count = written;
        }
    } catch (const PdfError& error) {
        code = error.Code();
        why = error.what();
    } catch (const std::bad_alloc&) {
        code = PDF_ERROR_TOO_LARGE;
        why = "not enough memory";
    } catch (const std::exception& error) {
        code = PDF_ERROR_READ;
        why = error.what();
    } catch (...) {
        code = PDF_ERROR_INTERNAL;
    }
    if (reason != nullptr && reasonSize > 0) {
        std::snprintf(reason, static_cast<size_t>(reasonSize), "%s", why.c_str());
    }
    return code;
}

PDF_SERVICE_API const char* PdfOcrCheckLanguages(const char* languages, const char* dataPath) {
    thread_local std::string why;
    try {
        why = OcrEngine::Check(Text(languages), Text(dataPath));
        if (Text(languages).empty()) {
            why = "no OCR language given";
        }
        return why.empty() ? nullptr : why.c_str();
    } catch (...) {
        return "OCR cannot be checked: not enough memory";
    }
}

PDF_SERVICE_API int PdfOcrListLanguages(const char* dataPath, char* buffer, int size) {
    std::string list;
    try {
        for (const std::string& name : OcrEngine::Installed(Text(dataPath))) {
            list += (list.empty() ? "" : "+") + name;
        }
    } catch (...) {
        list.clear();
    }
    if (buffer != nullptr && size > 0) {
        std::snprintf(buffer, static_cast<size_t>(size), "%s", list.c_str());
    }
    return static_cast<int>(list.size());
}

PDF_SERVICE_API int PdfIsComplete(const char* path) {
    try {
        return PdfFileCheck::IsComplete(Text(path)) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

PDF_SERVICE_API int PdfRecordsWork(const char* path, const char* const* sources, int sourceCount,
                                   const PdfPageOptions* options) {
    if (sources == nullptr || sourceCount < 1 || options == nullptr) {
        return 0;
    }
    try {
        const PdfDocumentWriter::Options document = DocumentOptions(*options);
        const std::vector<std::string> paths(sources, sources + sourceCount);
        return PdfFileCheck::RecordsWork(Text(path), WorkFingerprint::Of(paths, document),
                                         document.userPassword, document.ownerPassword)
                   ? 1
                   : 0;
    } catch (...) {
        // A source that cannot be read, a password that cannot key a document: the work is
        // not done.
        return 0;
    }
}
}
