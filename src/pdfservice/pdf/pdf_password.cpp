#include "pdf/pdf_password.h"

#include "pdf/pdf_error.h"

#include <idn-free.h>
#include <stringprep.h>

#include <memory>
#include <new>

namespace {
struct IdnDeleter {
    void operator()(char* text) const { idn_free(text); }
};

bool IsUtf8(const std::string& text) {
    size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        size_t length = 0;
        unsigned long code = 0;
        if (c < 0x80) {
            ++i;
            continue;
        }
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
            code = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            code = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            code = c & 0x07;
        } else {
            return false;
        }
        if (i + length > text.size()) {
            return false;
        }
        for (size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            code = (code << 6) | (next & 0x3F);
        }
        // Overlong forms, surrogates and code points beyond Unicode.
        const unsigned long least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < least[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
            return false;
        }
        i += length;
    }
    return true;
}

// Why `password` cannot protect a document, or null with `key` set to the bytes that key it.
const char* PrepareKey(const std::string& password, std::string& key) {
    key.clear();
    if (password.empty()) {
        return nullptr;
    }
    if (password.size() > PdfPassword::kMaxBytes) {
        return "the password is longer than 4096 bytes";
    }
    if (password.find('\0') != std::string::npos) {
        return "the password holds a NUL character";
    }
    if (!IsUtf8(password)) {
        return "the password is not valid UTF-8";
    }
    char* prepared = nullptr;
    // As a query (flags 0): code points that Unicode 3.2 did not assign yet (emoji, for
    // example) stay as they are, as a reader that prepares what is typed keeps them.
    const int status = stringprep_profile(password.c_str(), &prepared, "SASLprep",
                                          static_cast<Stringprep_profile_flags>(0));
    const std::unique_ptr<char, IdnDeleter> owner(prepared);
    switch (status) {
    case STRINGPREP_OK:
        break;
    case STRINGPREP_CONTAINS_PROHIBITED:
        return "the password holds a character that passwords may not hold (SASLprep): a "
               "control character, a private-use or non-character code point, for example";
    case STRINGPREP_BIDI_BOTH_L_AND_RAL:
    case STRINGPREP_BIDI_LEADTRAIL_NOT_RAL:
    case STRINGPREP_BIDI_CONTAINS_PROHIBITED:
        return "the password mixes right-to-left and left-to-right text in a way that "
               "passwords may not (SASLprep)";
    case STRINGPREP_MALLOC_ERROR:
        throw std::bad_alloc();
    default:
        return "the password cannot be prepared as passwords are (SASLprep)";
    }
    if (prepared == nullptr || *prepared == '\0') {
        return "the password holds only characters that passwords ignore (SASLprep), so it "
               "would leave the document open";
    }
    key = prepared;
    // Bytes, not characters: a reader cuts what is typed the same way.
    if (key.size() > PdfPassword::kKeyBytes) {
        key.resize(PdfPassword::kKeyBytes);
    }
    return nullptr;
}
} // namespace

const char* PdfPassword::Check(const std::string& password) {
    std::string key;
    return PrepareKey(password, key);
}

std::string PdfPassword::Prepare(const std::string& password) {
    std::string key;
    if (const char* reason = PrepareKey(password, key)) {
        throw PdfError(PDF_ERROR_PASSWORD, reason);
    }
    return key;
}
