#pragma once

#include <string>

// The files embedded in a PDF (the originals of an archival document), written back as they
// were: qpdf's embedded-file helpers read them.
class OriginalFiles {
public:
    // Writes every embedded file of the PDF `path` into the existing folder `folder` under its
    // own name and returns how many there were. Every name is checked first: one with a path
    // separator, empty, "." or "..", twice in the document, or of a file that exists in the
    // folder, fails (PdfError) before anything is written; no file is ever replaced.
    static int Extract(const std::string& path, const std::string& folder);
};
