#pragma once

#include "pdf/pdf_service.h"

#include <stdexcept>
#include <string>

// A failure inside the PDF service: an error code of the C interface and a short English
// reason. Thrown inside the service only; the C interface turns it into a result.
class PdfError : public std::runtime_error {
public:
    PdfError(PdfErrorCode code, const std::string& reason)
        : std::runtime_error(reason), m_code(code) {}

    PdfErrorCode Code() const { return m_code; }

private:
    PdfErrorCode m_code;
};
