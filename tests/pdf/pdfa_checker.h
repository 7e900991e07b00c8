#pragma once

#include <string>
#include <vector>

// A checker of the PDF/A rules (level B) that apply to documents of images only, written from
// the parts' clauses: file structure, metadata and its agreement with the document
// information, output intents, colour spaces and images, embedded files. It reads the file
// with qpdf and its bytes as they are, and lists what breaks a rule of `part` (1, 2 or 3).
namespace pdftest {

std::vector<std::string> PdfaProblems(const std::string& pdf, int part);

// PDFBox Preflight on `pdf` (PDF/A-1b): true when it says the file is valid; its report goes
// to `report`. Preflight is not there: false, with the report saying so, and `available`
// (when given) false.
bool PreflightPasses(const std::string& pdf, std::string* report = nullptr,
                     bool* available = nullptr);

} // namespace pdftest
