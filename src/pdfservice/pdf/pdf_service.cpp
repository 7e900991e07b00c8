// The C interface of the PDF service. No exception leaves these functions: every failure
// becomes an error code and a reason in the result.
#include "pdf/pdf_service.h"

#include "pdf/image_source.h"
#include "pdf/pdf_document_writer.h"
#include "pdf/pdf_error.h"
#include "pdf/unique_file.h"

#include <qpdf/QPDFExc.hh>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <new>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {
// Image after image, the writer takes and frees buffers of a few megabytes. By default glibc
// hands such memory back to the system at once and faults it in again for the next image,
// which costs more than the copying itself; keeping up to 64 MiB makes a merge of photos run
// at nearly the speed of copying the files.
void TuneAllocator() {
#ifdef __GLIBC__
    static std::once_flag once;
    std::call_once(once, [] {
        mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
        mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
    });
#endif
}

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

// Opens every source; a failure names the file it comes from.
std::vector<std::unique_ptr<ImageSource>> OpenSources(const std::vector<std::string>& paths) {
    std::vector<std::unique_ptr<ImageSource>> sources;
    for (const std::string& path : paths) {
        const SourceData data = SourceData::FromFile(path);
        try {
            sources.push_back(ImageSource::Open(data));
        } catch (const PdfError& error) {
            const std::string& name = data.Name();
            const std::string what = error.what();
            throw PdfError(error.Code(),
                           what.find(name) != std::string::npos ? what : name + ": " + what);
        }
    }
    return sources;
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

    PdfDocumentWriter::Options document;
    document.page = {options->pageType, options->width, options->height, options->left,
                     options->right,    options->top,   options->bottom};
    document.title = Text(options->title);
    document.author = Text(options->author);
    document.subject = Text(options->subject);
    if (const PdfSecurityOptions* security = options->security) {
        document.userPassword = Text(security->userPassword);
        document.ownerPassword = Text(security->ownerPassword);
        document.allowCopy = security->allowCopy != 0;
        document.allowPrint = security->allowPrint != 0;
    }

    const std::vector<std::unique_ptr<ImageSource>> sources = OpenSources(service.sources);

    // Written under a private temporary name, renamed when complete: the result path never
    // names a partial file.
    std::string partial;
    const int fd = UniqueFile::Create(folder + "/.ombrix-", partial);
    if (fd < 0) {
        throw PdfError(PDF_ERROR_WRITE,
                       "cannot create a file in \"" + folder + "\": " + std::strerror(errno));
    }
    ::close(fd);
    const std::string final = folder + "/ombrix-" + partial.substr(partial.size() - 6) + ".pdf";
    try {
        PdfDocumentWriter::Write(sources, document, partial, progress);
        if (std::rename(partial.c_str(), final.c_str()) != 0) {
            throw PdfError(PDF_ERROR_WRITE,
                           "cannot write the PDF: " + std::string(std::strerror(errno)));
        }
    } catch (...) {
        std::remove(partial.c_str());
        throw;
    }
    int pages = 0;
    for (const auto& source : sources) {
        pages += source->PageCount();
    }
    service.resultPath = final;
    service.result.path = service.resultPath.c_str();
    service.result.pageCount = pages;
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
    TuneAllocator();
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
}
