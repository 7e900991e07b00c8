#include "pdf/pdf_file_check.h"

#include "pdf/pdf_password.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

#include <algorithm>
#include <fstream>
#include <sys/stat.h>

bool PdfFileCheck::IsComplete(const std::string& path) {
    struct stat info;
    if (path.empty() || ::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return false;
    }
    // The header first, the end-of-file marker within the last kilobyte (whitespace, or an
    // appended comment, may follow it).
    std::ifstream in(path, std::ios::binary);
    std::string head(5, '\0');
    if (!in.read(head.data(), 5) || head != "%PDF-") {
        return false;
    }
    const auto size = static_cast<std::streamoff>(info.st_size);
    const std::streamoff tail = std::min<std::streamoff>(size, 1024);
    std::string end(static_cast<size_t>(tail), '\0');
    if (!in.seekg(size - tail) || !in.read(end.data(), tail) ||
        end.find("%%EOF") == std::string::npos) {
        return false;
    }
    // Then the cross-reference data, the trailer and the page tree, without repair: a
    // document that qpdf would have to reconstruct is not complete.
    QPDF pdf;
    pdf.setSuppressWarnings(true);
    pdf.setAttemptRecovery(false);
    try {
        pdf.processFile(path.c_str());
        QPDFPageDocumentHelper(pdf).getAllPages();
    } catch (const QPDFExc& error) {
        // Only a password stops the reading of an encrypted document that is sound so far.
        return error.getErrorCode() == qpdf_e_password;
    }
    return !pdf.anyWarnings();
}

bool PdfFileCheck::RecordsWork(const std::string& path, const std::string& work,
                               const std::string& userPassword, const std::string& ownerPassword) {
    if (!IsComplete(path)) {
        return false;
    }
    // The passwords as they key a document; the work is read as the user reads it.
    const std::string userKey = PdfPassword::Prepare(userPassword);
    const std::string ownerKey = PdfPassword::Prepare(ownerPassword);
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.setAttemptRecovery(false);
        pdf.processFile(path.c_str(), userKey.c_str());
        if (pdf.isEncrypted() && !userPassword.empty() && !pdf.userPasswordMatched()) {
            return false;
        }
        QPDFObjectHandle info = pdf.getTrailer().getKey("/Info");
        if (!info.isDictionary()) {
            return false;
        }
        QPDFObjectHandle entry = info.getKey("/OmbrixWork");
        if (!entry.isString() || entry.getUTF8Value() != work) {
            return false;
        }
        if (ownerPassword.empty()) {
            return true;
        }
        QPDF owner;
        owner.setSuppressWarnings(true);
        owner.setAttemptRecovery(false);
        owner.processFile(path.c_str(), ownerKey.c_str());
        return owner.ownerPasswordMatched();
    } catch (const QPDFExc&) {
        // A password that does not open it: not the work asked for.
        return false;
    }
}
