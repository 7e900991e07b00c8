#include "pdf/original_files.h"

#include "pdf/pdf_error.h"
#include "pdf/pdf_service.h"

#include <qpdf/Pl_StdioFile.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFEmbeddedFileDocumentHelper.hh>
#include <qpdf/QPDFFileSpecObjectHelper.hh>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {
// A name that stays inside the folder it is written to.
bool SafeName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("/\\") == std::string::npos && name.find('\0') == std::string::npos;
}

bool IsFolder(const std::string& path) {
    struct stat info;
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}
} // namespace

int OriginalFiles::Extract(const std::string& path, const std::string& folder) {
    if (!IsFolder(folder)) {
        throw PdfError(PDF_ERROR_WRITE, "the folder \"" + folder + "\" does not exist");
    }
    QPDF pdf;
    pdf.setSuppressWarnings(true);
    try {
        pdf.processFile(path.c_str());
    } catch (const std::exception& error) {
        throw PdfError(PDF_ERROR_READ, "cannot read \"" + path + "\": " + error.what());
    }
    QPDFEmbeddedFileDocumentHelper files(pdf);
    // Every name is checked, and no file may exist, before anything is written.
    std::vector<std::pair<std::string, QPDFObjectHandle>> originals; // name, file stream
    std::set<std::string> names;
    for (const auto& [key, spec] : files.getEmbeddedFiles()) {
        const std::string name = spec->getFilename();
        if (!SafeName(name)) {
            throw PdfError(PDF_ERROR_ARCHIVE,
                           "the embedded file name \"" + name + "\" is not a plain file name");
        }
        if (!names.insert(name).second) {
            throw PdfError(PDF_ERROR_ARCHIVE, "two embedded files are named \"" + name + "\"");
        }
        struct stat info;
        if (::lstat((folder + "/" + name).c_str(), &info) == 0) {
            throw PdfError(PDF_ERROR_WRITE, "\"" + name + "\" exists already in \"" + folder +
                                                "\": nothing was extracted");
        }
        originals.emplace_back(name, spec->getEmbeddedFileStream());
    }
    // Each streamed from the PDF into its file, created only if it still does not exist.
    for (auto& [name, stream] : originals) {
        const std::string target = folder + "/" + name;
        const int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        FILE* file = fd < 0 ? nullptr : ::fdopen(fd, "wb");
        if (file == nullptr) {
            const int error = errno;
            if (fd >= 0) {
                ::close(fd);
            }
            throw PdfError(PDF_ERROR_WRITE,
                           "cannot create \"" + target + "\": " + std::strerror(error));
        }
        bool written = false;
        try {
            Pl_StdioFile out("original", file);
            written = stream.pipeStreamData(&out, 0, qpdf_dl_all);
        } catch (const std::exception&) {
            written = false;
        }
        if (std::fclose(file) != 0 || !written) {
            ::unlink(target.c_str()); // no part of a file is left
            throw PdfError(PDF_ERROR_WRITE, "cannot write \"" + target + "\"");
        }
    }
    return static_cast<int>(originals.size());
}
