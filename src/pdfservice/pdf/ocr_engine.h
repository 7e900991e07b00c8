#pragma once

#include "pdf/image_layout.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// A word the engine found, in the pixels of the image as it is shown (EXIF orientation applied,
// square pixels), from the top left corner.
struct OcrWord {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    std::string text; // UTF-8, in reading order
};

// A line of words: the words share its height and its bottom as their baseline.
struct OcrLine {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    std::vector<OcrWord> words;
};

// What the engine read on a page.
struct OcrPage {
    int width = 0; // the pixels recognised: the shown image, made square
    int height = 0;
    std::vector<OcrLine> lines;
    std::string text; // the plain text, lines ending in a newline
};

// The OCR engine (Tesseract) behind one class. The library is loaded when first needed, with
// its OpenMP threads limited to one (OMP_THREAD_LIMIT), so that the pages of a document, each
// recognised on a thread of its own, do not compete for the cores; without it, OCR fails with
// a reason. Images are read with Leptonica, or given decoded by our readers. An engine serves
// one thread at a time; engines of the same languages are kept for the next document once it
// is done with them.
class OcrEngine {
public:
    // Called with the percentage done; true stops the recognition.
    using Progress = std::function<bool(int percent)>;

    // The tessdata folder: `dataPath` when not empty, else TESSDATA_PREFIX, else Debian's.
    static std::string DataPath(const std::string& dataPath);
    // Why OCR cannot run with `languages` ("eng", "eng+deu"): the engine is not installed, a
    // name is malformed or its data is not in the folder. Empty when it can.
    static std::string Check(const std::string& languages, const std::string& dataPath);
    // The languages installed in the folder, sorted (the orientation data "osd" left out).
    static std::vector<std::string> Installed(const std::string& dataPath);

    // An engine for the languages: one kept from earlier, or a new one. Throws PdfError
    // (PDF_ERROR_OCR) when it cannot be started.
    static std::unique_ptr<OcrEngine> Take(const std::string& languages,
                                           const std::string& dataPath);
    // Keeps the engine for a later Take.
    static void Give(std::unique_ptr<OcrEngine> engine);

    ~OcrEngine();
    OcrEngine(const OcrEngine&) = delete;
    OcrEngine& operator=(const OcrEngine&) = delete;

    // Whether the engine reads page `page` of the file itself (Leptonica knows its format).
    static bool Reads(const std::string& path, int page);

    // Reads page `page` of the image file and recognises it. The stored pixels are turned by
    // `orientation` (EXIF, 1 to 8) and stretched to square pixels by the density
    // (`xDpi` x `yDpi`, 0 when unknown). Returns false with `why` set when the image cannot be
    // read or recognised; throws PdfError (PDF_ERROR_CANCELLED) when `progress` stops it.
    bool Recognise(const std::string& path, int page, int orientation, double xDpi, double yDpi,
                   const Progress& progress, OcrPage& result, std::string& why);
    // The same for an image a reader of ours produced, for the files the engine cannot read:
    // JPEG data, or grey or RGB samples of 8 or 16 bits in Flate with PNG predictors.
    bool Recognise(const ImageLayout& layout, const std::string& data, int orientation,
                   double xDpi, double yDpi, const Progress& progress, OcrPage& result,
                   std::string& why);

private:
    OcrEngine(std::string key, void* api);
    // Recognises the prepared image (the object is Leptonica's PIX).
    bool Recognise(void* pix, double dpi, const Progress& progress, OcrPage& result,
                   std::string& why);

    const std::string m_key; // the languages and data folder it was started with
    void* m_api;
};
