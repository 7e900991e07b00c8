#pragma once

#include "pdf/image_source.h"
#include "pdf/page_geometry.h"
#include "pdf/pdf_service.h"

#include <memory>
#include <string>
#include <vector>

// Writes one PDF of image sources, a page per image, with qpdf. The image data is produced
// while the file is written, one image at a time, so memory stays flat however many images
// go into the document.
class PdfDocumentWriter {
public:
    struct Options {
        PageSetup page;
        std::string title;
        std::string author;
        std::string subject;
        std::string userPassword;
        std::string ownerPassword;
        bool allowCopy = true;
        bool allowPrint = true;
    };

    // Writes the document to `path`. Throws PdfError; the caller removes what was written.
    static void Write(const std::vector<std::unique_ptr<ImageSource>>& sources,
                      const Options& options, const std::string& path, PdfProgressProc progress);

    // The name and version written as the documents' producer and creator.
    static const char* ProducerName();
};
