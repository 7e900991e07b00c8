#pragma once

#include "pdf/archive_image.h"
#include "pdf/image_source.h"
#include "pdf/page_geometry.h"
#include "pdf/pdf_service.h"

#include <functional>
#include <string>
#include <vector>

// Writes one PDF of image files, a page per image. The files are read twice: their headers
// first, to lay out every page (of which a digest is kept), then each again when its page is
// written, and it must still give that page. The data of the next pages is produced on worker
// threads while the current one is written; JPEG data, which goes in as it is, is read from
// its file when its page is written. Each page goes out whole as it comes (PdfFileWriter):
// memory holds a few pages and some bytes for each page written, however many there are.
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
        // Seconds since 1970 written as the document's dates, and a document ID derived
        // from the content (no encryption): the same inputs then give the same bytes.
        // Negative: the current time and a random ID.
        long long fixedTime = -1;
        // PDF/A: 0 a plain PDF, or the part (1, 2 or 3) whose level B the document conforms
        // to. Archival documents are never encrypted.
        int archivePart = 0;
        // PDF/A-1b: the lossy steps the user allows for what the part cannot hold.
        ArchiveImage::Steps archiveSteps;
        // PDF/A-3b: each source file embedded as the source of its pages.
        bool attachOriginals = false;
        // Every top-level image of a HEIF or AVIF file is a page (a burst), not only its
        // primary image.
        bool allImages = false;
        // OCR: the languages ("eng+deu"; empty for none) and the engine's data folder (empty
        // for the default). Each page is recognised on the thread that produces it, and its
        // words go over the image as invisible text.
        std::string ocrLanguages;
        std::string ocrDataPath;
        // Called from the producing threads with a page's index and the percentage of its
        // recognition done; true stops the conversion.
        std::function<bool(int page, int percent)> ocrProgress;
    };

    // Reads the headers of every file and lays out the pages. Throws PdfError naming the file
    // that cannot be read or that the PDF/A part cannot hold (PDF_ERROR_UNSUPPORTED_IMAGE), or
    // (PDF_ERROR_PASSWORD, PDF_ERROR_ARCHIVE, before any file is read) saying why a password
    // cannot be used, why the document cannot be archival or why OCR cannot run
    // (PDF_ERROR_OCR).
    PdfDocumentWriter(const std::vector<std::string>& paths, const Options& options);
    ~PdfDocumentWriter();
    PdfDocumentWriter(const PdfDocumentWriter&) = delete;
    PdfDocumentWriter& operator=(const PdfDocumentWriter&) = delete;

    int PageCount() const;
    // What the conversion changed, for the result's reason: images placed as ones without a
    // density, as their files give one no real image has, and the lossy steps taken for an
    // archival document. Empty when nothing was.
    std::string Notes() const;
    // The text OCR read, page after page, each page ending in a form feed; empty without OCR.
    const std::string& Text() const;

    // The work the document is made of (WorkFingerprint), written as /OmbrixWork in its
    // document information; none by default.
    void SetWork(const std::string& work);

    // Writes the document to the open file `fd` (which stays open). Throws PdfError; the
    // caller removes what was written.
    void Write(int fd, PdfProgressProc progress);

    // The name and version written as the documents' producer and creator.
    static const char* ProducerName();

private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
};
