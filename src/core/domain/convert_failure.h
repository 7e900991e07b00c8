#pragma once

#include <wx/string.h>

// Why a file was not converted: a kind that the window names in the user's language, and an
// English reason with the details, as the log and the converter's report have it.
struct ConvertFailure {
    enum class Kind {
        kNone = 0,
        kUnreadable,    // the file cannot be opened or read
        kUnknownFormat, // no image of a supported type
        kDamaged,       // a truncated or malformed image
        kUnsupported,   // a valid image that a PDF cannot hold losslessly
        kTooLarge,      // beyond what the converter takes
        kPageSettings,  // the page settings leave no room for the image
        kPassword,      // a password of the page settings cannot protect a PDF
        kOutputName,    // the output name cannot be used, or another file of the job has it
        kWrite,         // the PDF cannot be written or put in place
        kCancelled,     // the job was abandoned while the file was in hand
        kInternal,      // anything else
    };

    Kind kind = Kind::kNone;
    wxString reason;

    ConvertFailure() = default;
    ConvertFailure(Kind failureKind, const wxString& failureReason)
        : kind(failureKind), reason(failureReason) {}

    explicit operator bool() const { return kind != Kind::kNone; }

    // The kind of a PDF service error code.
    static Kind FromServiceError(int errorCode);

    // The class a batch scheduler reads from the converter's report, so that it can tell a
    // retry from giving up: "unreadable" (the file cannot be opened or read), "unsupported"
    // (no image the converter takes, one that cannot go into the PDF asked for, or a PDF
    // name that cannot be used or that another file of the run takes),
    // "damaged" (a truncated or malformed image), "limit" (beyond what the converter takes),
    // "io" (the PDF cannot be written or put in place) and "internal"; null for kNone.
    static const char* ClassOf(Kind kind);
};
