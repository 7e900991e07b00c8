#pragma once

#include <cstddef>
#include <string>

// A password of the documents the service writes (AES-256, revision 6) as the standard keys
// them: SASLprep (RFC 4013) applied to the UTF-8 text, then the result cut to its first 127
// bytes. Readers do the same with what is typed, so that a longer password, or one written
// another way with the same meaning (a ligature, a non-breaking space), opens the document.
// qpdf hashes the bytes it is given whatever their length: the cut is made here.
class PdfPassword {
public:
    // The longest password taken, in bytes of UTF-8: far beyond what counts, and cheap to
    // prepare.
    static constexpr size_t kMaxBytes = 4096;
    // The bytes of a prepared password that key a document.
    static constexpr size_t kKeyBytes = 127;

    // Why `password` (UTF-8) cannot protect a document, or null when it can: longer than
    // kMaxBytes, holding a NUL, not UTF-8, refused by SASLprep (control characters and the
    // like), or nothing left once SASLprep has removed what it ignores. An empty password is
    // no password and passes. The text is static English.
    static const char* Check(const std::string& password);

    // The bytes that key a document for `password`. Throws PdfError (PDF_ERROR_PASSWORD) with
    // Check's reason.
    static std::string Prepare(const std::string& password);
};
