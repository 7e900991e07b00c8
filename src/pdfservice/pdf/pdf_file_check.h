#pragma once

#include <string>

// Checks of PDF files that exist already.
class PdfFileCheck {
public:
    // True when `path` is a regular file holding a complete PDF: the PDF header first, the
    // end-of-file marker within its last kilobyte, and cross-reference data, trailer and page
    // tree that qpdf reads without repair and without a warning. An encrypted document counts
    // when only its password stops the reading.
    static bool IsComplete(const std::string& path);

    // True when `path` is complete and records `work` (WorkFingerprint) as its /OmbrixWork,
    // read with `userPassword` when it is encrypted; a user password must open it as the
    // user's, an owner password (unless empty) as the owner's. Throws PdfError for a password
    // that cannot key a document.
    static bool RecordsWork(const std::string& path, const std::string& work,
                            const std::string& userPassword, const std::string& ownerPassword);
};
