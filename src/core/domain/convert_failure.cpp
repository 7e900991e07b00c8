#include "domain/convert_failure.h"

#include "pdf/pdf_service.h"

ConvertFailure::Kind ConvertFailure::FromServiceError(int errorCode) {
    switch (errorCode) {
    case PDF_OK:
        return Kind::kNone;
    case PDF_ERROR_READ:
        return Kind::kUnreadable;
    case PDF_ERROR_NO_SOURCE:
    case PDF_ERROR_UNSUPPORTED_SOURCE:
    case PDF_ERROR_UNKNOWN_FORMAT:
        return Kind::kUnknownFormat;
    case PDF_ERROR_CORRUPT:
        return Kind::kDamaged;
    case PDF_ERROR_UNSUPPORTED_IMAGE:
        return Kind::kUnsupported;
    case PDF_ERROR_TOO_LARGE:
        return Kind::kTooLarge;
    case PDF_ERROR_PAGE_GEOMETRY:
    case PDF_ERROR_ARCHIVE: // archival settings that cannot go with the others
    case PDF_ERROR_OCR:     // an OCR language that is not installed
        return Kind::kPageSettings;
    case PDF_ERROR_PASSWORD:
        return Kind::kPassword;
    case PDF_ERROR_WRITE:
        return Kind::kWrite;
    case PDF_ERROR_CANCELLED:
        return Kind::kCancelled;
    default:
        return Kind::kInternal;
    }
}

const char* ConvertFailure::ClassOf(Kind kind) {
    switch (kind) {
    case Kind::kNone:
        return nullptr;
    case Kind::kUnreadable:
        return "unreadable";
    case Kind::kUnknownFormat:
    case Kind::kUnsupported:
    case Kind::kPageSettings: // the image and the page settings cannot go together
    case Kind::kOutputName:   // the name is not usable or taken by another file of the job
        return "unsupported";
    case Kind::kDamaged:
        return "damaged";
    case Kind::kTooLarge:
        return "limit";
    case Kind::kWrite:
        return "io";
    case Kind::kPassword:
    case Kind::kCancelled:
    case Kind::kInternal:
        break;
    }
    return "internal";
}
