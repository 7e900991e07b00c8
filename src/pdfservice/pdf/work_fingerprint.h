#pragma once

#include "pdf/pdf_document_writer.h"

#include <string>
#include <vector>

// What a document is made of, so that a later run can tell whether a PDF at its name is the
// same work: the SHA-256 of the source files' content in page order (not their names or
// dates, so a copy that lost its dates still matches) and of every setting that shapes the
// document (page, margins, document information, security, archive part and steps). Of the
// passwords it holds only whether each is set: they are checked against the document itself
// (PdfFileCheck::RecordsWork opens it with them). The documents' dates are no part of it.
//
// The writer stores it in the document information dictionary under the private key
// /OmbrixWork ("1 " and 64 hexadecimal digits): readers ignore the key, PDF/A allows it, and
// in an encrypted document it is encrypted with the rest, readable with the user password
// the run knows.
class WorkFingerprint {
public:
    // Throws PdfError (PDF_ERROR_READ) when a source cannot be read.
    static std::string Of(const std::vector<std::string>& sources,
                          const PdfDocumentWriter::Options& options);

    // The SHA-256 of `data` as 64 lowercase hexadecimal digits (qpdf's crypto provider).
    static std::string Sha256(const std::string& data);
};
