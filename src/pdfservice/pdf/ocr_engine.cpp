#include "pdf/ocr_engine.h"

#include "pdf/flate_row_decoder.h"
#include "pdf/pdf_error.h"
#include "pdf/pdf_service.h"

#include <leptonica/allheaders.h>
#include <tesseract/capi.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <dirent.h>
#include <dlfcn.h>
#include <mutex>
#include <sys/stat.h>

namespace {
constexpr const char* kLibrary = "libtesseract.so.5";
constexpr const char* kDebianData = "/usr/share/tesseract-ocr/5/tessdata";
// Engines kept between documents, at most.
constexpr size_t kMostKept = 8;

// The engine's C interface, loaded when first needed: the library starts its OpenMP runtime
// as it loads, and reads the thread limit then.
struct Library {
    std::string error;
    decltype(&TessBaseAPICreate) create = nullptr;
    decltype(&TessBaseAPIDelete) destroy = nullptr;
    decltype(&TessBaseAPISetVariable) setVariable = nullptr;
    decltype(&TessBaseAPIInit3) init = nullptr;
    decltype(&TessBaseAPISetImage2) setImage = nullptr;
    decltype(&TessBaseAPISetSourceResolution) setResolution = nullptr;
    decltype(&TessBaseAPIRecognize) recognise = nullptr;
    decltype(&TessBaseAPIGetUTF8Text) text = nullptr;
    decltype(&TessBaseAPIGetIterator) iterator = nullptr;
    decltype(&TessBaseAPIClear) clear = nullptr;
    decltype(&TessResultIteratorDelete) iteratorDelete = nullptr;
    decltype(&TessResultIteratorNext) next = nullptr;
    decltype(&TessResultIteratorGetUTF8Text) wordText = nullptr;
    decltype(&TessResultIteratorGetPageIterator) pageIterator = nullptr;
    decltype(&TessPageIteratorIsAtBeginningOf) atBeginningOf = nullptr;
    decltype(&TessPageIteratorBoundingBox) box = nullptr;
    decltype(&TessDeleteText) deleteText = nullptr;
    decltype(&TessMonitorCreate) monitorCreate = nullptr;
    decltype(&TessMonitorDelete) monitorDelete = nullptr;
    decltype(&TessMonitorSetCancelFunc) setCancel = nullptr;
    decltype(&TessMonitorSetCancelThis) setCancelThis = nullptr;
    decltype(&TessMonitorGetProgress) progress = nullptr;
};

template <typename Function> bool Bind(void* handle, const char* name, Function& function) {
    function = reinterpret_cast<Function>(::dlsym(handle, name));
    return function != nullptr;
}

const Library& Engine() {
    static Library library;
    static std::once_flag once;
    std::call_once(once, [] {
        // One thread per page: pages run side by side on the cores instead.
        ::setenv("OMP_THREAD_LIMIT", "1", 1);
        // Leptonica's messages would go to the standard error of the programs.
        setMsgSeverity(L_SEVERITY_NONE);
        void* handle = ::dlopen(kLibrary, RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            library.error = std::string("the OCR engine (") + kLibrary + ") is not installed";
            return;
        }
        const bool bound =
            Bind(handle, "TessBaseAPICreate", library.create) &&
            Bind(handle, "TessBaseAPIDelete", library.destroy) &&
            Bind(handle, "TessBaseAPISetVariable", library.setVariable) &&
            Bind(handle, "TessBaseAPIInit3", library.init) &&
            Bind(handle, "TessBaseAPISetImage2", library.setImage) &&
            Bind(handle, "TessBaseAPISetSourceResolution", library.setResolution) &&
            Bind(handle, "TessBaseAPIRecognize", library.recognise) &&
            Bind(handle, "TessBaseAPIGetUTF8Text", library.text) &&
            Bind(handle, "TessBaseAPIGetIterator", library.iterator) &&
            Bind(handle, "TessBaseAPIClear", library.clear) &&
            Bind(handle, "TessResultIteratorDelete", library.iteratorDelete) &&
            Bind(handle, "TessResultIteratorNext", library.next) &&
            Bind(handle, "TessResultIteratorGetUTF8Text", library.wordText) &&
            Bind(handle, "TessResultIteratorGetPageIterator", library.pageIterator) &&
            Bind(handle, "TessPageIteratorIsAtBeginningOf", library.atBeginningOf) &&
            Bind(handle, "TessPageIteratorBoundingBox", library.box) &&
            Bind(handle, "TessDeleteText", library.deleteText) &&
            Bind(handle, "TessMonitorCreate", library.monitorCreate) &&
            Bind(handle, "TessMonitorDelete", library.monitorDelete) &&
            Bind(handle, "TessMonitorSetCancelFunc", library.setCancel) &&
            Bind(handle, "TessMonitorSetCancelThis", library.setCancelThis) &&
            Bind(handle, "TessMonitorGetProgress", library.progress);
        if (!bound) {
            library.error = std::string("the OCR engine (") + kLibrary + ") is of another version";
        }
    });
    return library;
}

TessBaseAPI* Api(void* api) {
    return static_cast<TessBaseAPI*>(api);
}

struct PixDeleter {
    void operator()(PIX* pix) const { pixDestroy(&pix); }
};
using PixPtr = std::unique_ptr<PIX, PixDeleter>;

// Replaces `pix` by `next` unless the step failed.
bool Step(PixPtr& pix, PIX* next) {
    if (next == nullptr) {
        return false;
    }
    pix.reset(next);
    return true;
}

bool IsTiff(l_int32 format) {
    return format == IFF_TIFF || format == IFF_TIFF_G3 || format == IFF_TIFF_G4 ||
           format == IFF_TIFF_PACKBITS || format == IFF_TIFF_RLE || format == IFF_TIFF_LZW ||
           format == IFF_TIFF_ZIP || format == IFF_TIFF_JPEG;
}

// Page `page` of the file as stored.
PixPtr ReadImage(const std::string& path, int page, std::string& why) {
    l_int32 format = IFF_UNKNOWN;
    findFileFormat(path.c_str(), &format);
    const bool tiff = IsTiff(format);
    if (page > 0 && !tiff) {
        why = "the OCR engine reads only the first image of the file";
        return nullptr;
    }
    PixPtr pix(tiff ? pixReadTiff(path.c_str(), page) : pixRead(path.c_str()));
    if (!pix) {
        why = "the OCR engine cannot read the image";
    }
    return pix;
}

// An image a reader of ours produced, as stored: JPEG data, or grey or RGB samples of 8 or 16
// bits (the high byte kept) in Flate with PNG predictors.
PixPtr DecodeImage(const ImageLayout& layout, const std::string& data, std::string& why) {
    using Layout = ImageLayout;
    why = "the OCR engine cannot read the image";
    if (layout.filter == Layout::Filter::DCT) {
        PixPtr pix(pixReadMem(reinterpret_cast<const l_uint8*>(data.data()), data.size()));
        return pix;
    }
    const bool grey = layout.colourSpace == Layout::ColourSpace::Gray;
    const bool rgb = layout.colourSpace == Layout::ColourSpace::RGB;
    const int bits = layout.bitsPerComponent;
    const bool inverted = layout.decode.size() >= 2 && layout.decode[0] > layout.decode[1];
    if ((layout.filter != Layout::Filter::Flate && layout.filter != Layout::Filter::FlatePng) ||
        !(grey || rgb) || (bits != 8 && bits != 16) || (!layout.decode.empty() && !grey) ||
        layout.width <= 0 || layout.height <= 0) {
        return nullptr;
    }
    PixPtr pix(pixCreate(layout.width, layout.height, grey ? 8 : 32));
    if (!pix) {
        return nullptr;
    }
    try {
        const int components = grey ? 1 : 3;
        const size_t step = static_cast<size_t>(bits / 8); // the high byte comes first
        FlateRowDecoder rows(data, layout.width, components, bits);
        l_uint32* line = pixGetData(pix.get());
        const l_int32 words = pixGetWpl(pix.get());
        for (int y = 0; y < layout.height; ++y, line += words) {
            const unsigned char* row = rows.NextRow();
            for (int x = 0; x < layout.width; ++x) {
                const unsigned char* sample = row + static_cast<size_t>(x) * components * step;
                if (grey) {
                    SET_DATA_BYTE(line, x, inverted ? 255 - sample[0] : sample[0]);
                } else {
                    composeRGBPixel(sample[0], sample[step], sample[2 * step], line + x);
                }
            }
        }
    } catch (const PdfError&) {
        return nullptr;
    }
    why.clear();
    return pix;
}

// The image as the engine reads best: 8 or 32 bits without alpha, turned upright and made of
// square pixels.
PixPtr Prepare(PixPtr pix, int orientation, double xDpi, double yDpi, std::string& why) {
    if (!pix) {
        return nullptr;
    }
    bool ok = true;
    if (pixGetDepth(pix.get()) == 16) {
        ok = Step(pix, pixConvert16To8(pix.get(), L_MS_BYTE));
    }
    if (ok && pixGetSpp(pix.get()) == 4) {
        ok = Step(pix, pixRemoveAlpha(pix.get()));
    }
    // Square pixels: the axis of the lower density is stretched (a fax's 98 dpi rows).
    if (ok && xDpi > 0 && yDpi > 0 && std::abs(xDpi - yDpi) > 0.01 * std::max(xDpi, yDpi)) {
        const double most = std::max(xDpi, yDpi);
        ok = Step(pix, pixScale(pix.get(), static_cast<float>(most / xDpi),
                                static_cast<float>(most / yDpi)));
    }
    // Upright, as the page shows it.
    switch (ok ? orientation : 1) {
    case 2:
        ok = Step(pix, pixFlipLR(nullptr, pix.get()));
        break;
    case 3:
        ok = Step(pix, pixRotateOrth(pix.get(), 2));
        break;
    case 4:
        ok = Step(pix, pixFlipTB(nullptr, pix.get()));
        break;
    case 5:
        ok = Step(pix, pixRotateOrth(pix.get(), 1)) && Step(pix, pixFlipLR(nullptr, pix.get()));
        break;
    case 6:
        ok = Step(pix, pixRotateOrth(pix.get(), 1));
        break;
    case 7:
        ok = Step(pix, pixRotateOrth(pix.get(), 1)) && Step(pix, pixFlipTB(nullptr, pix.get()));
        break;
    case 8:
        ok = Step(pix, pixRotateOrth(pix.get(), 3));
        break;
    default:
        break;
    }
    if (!ok) {
        why = "the OCR engine cannot prepare the image";
        return nullptr;
    }
    return pix;
}

bool ValidName(const std::string& name) {
    return !name.empty() && name.size() <= 64 && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '_' || c == '-';
    });
}

bool IsFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::vector<std::string> Split(const std::string& languages) {
    std::vector<std::string> names;
    size_t start = 0;
    for (;;) {
        const size_t plus = languages.find('+', start);
        names.push_back(languages.substr(start, plus - start));
        if (plus == std::string::npos) {
            return names;
        }
        start = plus + 1;
    }
}

// The state a recognition's cancel callback reads.
struct Watch {
    const OcrEngine::Progress* progress = nullptr;
    ETEXT_DESC* monitor = nullptr;
    int last = -1;
    bool stopped = false;
};

bool Cancel(void* self, int) {
    auto* watch = static_cast<Watch*>(self);
    if (!watch->stopped && watch->progress != nullptr && *watch->progress) {
        const int percent = std::clamp(Engine().progress(watch->monitor), 0, 100);
        if (percent != watch->last) {
            watch->last = percent;
            watch->stopped = (*watch->progress)(percent);
        }
    }
    return watch->stopped;
}

// The engines kept for later documents. Never destroyed: at exit the engine's own caches,
// made after this, would go first, and engines freed then would leave their data behind.
std::mutex g_keptMutex;
std::vector<std::unique_ptr<OcrEngine>>& Kept() {
    static auto* kept = new std::vector<std::unique_ptr<OcrEngine>>();
    return *kept;
}
} // namespace

std::string OcrEngine::DataPath(const std::string& dataPath) {
    if (!dataPath.empty()) {
        return dataPath;
    }
    const char* prefix = std::getenv("TESSDATA_PREFIX");
    return prefix != nullptr && *prefix != '\0' ? prefix : kDebianData;
}

std::string OcrEngine::Check(const std::string& languages, const std::string& dataPath) {
    const std::string folder = DataPath(dataPath);
    for (const std::string& name : Split(languages)) {
        if (!ValidName(name)) {
            return "\"" + languages + "\" is no list of OCR languages (names joined by +)";
        }
        if (!IsFile(folder + "/" + name + ".traineddata")) {
            return "the OCR language \"" + name + "\" is not installed (no " + name +
                   ".traineddata in " + folder + ")";
        }
    }
    const Library& library = Engine();
    return library.error;
}

std::vector<std::string> OcrEngine::Installed(const std::string& dataPath) {
    std::vector<std::string> names;
    const std::string folder = DataPath(dataPath);
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir) {
        return names;
    }
    const std::string suffix = ".traineddata";
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string file = entry->d_name;
        if (file.size() <= suffix.size() ||
            file.compare(file.size() - suffix.size(), suffix.size(), suffix) != 0) {
            continue;
        }
        const std::string name = file.substr(0, file.size() - suffix.size());
        if (name != "osd" && ValidName(name) && IsFile(folder + "/" + file)) {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::unique_ptr<OcrEngine> OcrEngine::Take(const std::string& languages,
                                           const std::string& dataPath) {
    const std::string folder = DataPath(dataPath);
    const std::string key = languages + "\n" + folder;
    {
        std::lock_guard<std::mutex> lock(g_keptMutex);
        std::vector<std::unique_ptr<OcrEngine>>& kept = Kept();
        for (auto it = kept.begin(); it != kept.end(); ++it) {
            if ((*it)->m_key == key) {
                std::unique_ptr<OcrEngine> engine = std::move(*it);
                kept.erase(it);
                return engine;
            }
        }
    }
    const std::string why = Check(languages, dataPath);
    if (!why.empty()) {
        throw PdfError(PDF_ERROR_OCR, why);
    }
    const Library& library = Engine();
    TessBaseAPI* api = library.create();
    if (api == nullptr) {
        throw PdfError(PDF_ERROR_OCR, "the OCR engine cannot be started");
    }
    // The engine's own messages would go to the standard error of the programs.
    library.setVariable(api, "debug_file", "/dev/null");
    if (library.init(api, folder.c_str(), languages.c_str()) != 0) {
        library.destroy(api);
        throw PdfError(PDF_ERROR_OCR, "the OCR engine cannot load the languages \"" + languages +
                                          "\" from " + folder);
    }
    return std::unique_ptr<OcrEngine>(new OcrEngine(key, api));
}

void OcrEngine::Give(std::unique_ptr<OcrEngine> engine) {
    if (!engine) {
        return;
    }
    Engine().clear(Api(engine->m_api));
    std::lock_guard<std::mutex> lock(g_keptMutex);
    std::vector<std::unique_ptr<OcrEngine>>& kept = Kept();
    if (kept.size() >= kMostKept) {
        kept.erase(kept.begin());
    }
    kept.push_back(std::move(engine));
}

OcrEngine::OcrEngine(std::string key, void* api) : m_key(std::move(key)), m_api(api) {}

OcrEngine::~OcrEngine() {
    Engine().destroy(Api(m_api));
}

bool OcrEngine::Recognise(const std::string& path, int page, int orientation, double xDpi,
                          double yDpi, const Progress& progress, OcrPage& result,
                          std::string& why) {
    result = OcrPage{};
    const PixPtr pix = Prepare(ReadImage(path, page, why), orientation, xDpi, yDpi, why);
    return pix && Recognise(pix.get(), std::max(xDpi, yDpi), progress, result, why);
}

bool OcrEngine::Recognise(const ImageLayout& layout, const std::string& data, int orientation,
                          double xDpi, double yDpi, const Progress& progress, OcrPage& result,
                          std::string& why) {
    result = OcrPage{};
    const PixPtr pix = Prepare(DecodeImage(layout, data, why), orientation, xDpi, yDpi, why);
    return pix && Recognise(pix.get(), std::max(xDpi, yDpi), progress, result, why);
}

bool OcrEngine::Reads(const std::string& path, int page) {
    l_int32 format = IFF_UNKNOWN;
    Engine(); // Leptonica's messages silenced
    return findFileFormat(path.c_str(), &format) == 0 && format != IFF_UNKNOWN &&
           (page == 0 || IsTiff(format));
}

bool OcrEngine::Recognise(void* image, double dpi, const Progress& progress, OcrPage& result,
                          std::string& why) {
    const Library& library = Engine();
    PIX* pix = static_cast<PIX*>(image);
    TessBaseAPI* api = Api(m_api);
    library.setImage(api, pix);
    if (dpi >= 70 && dpi <= 2400) {
        library.setResolution(api, static_cast<int>(std::lround(dpi)));
    }
    const std::unique_ptr<ETEXT_DESC, void (*)(ETEXT_DESC*)> monitor(library.monitorCreate(),
                                                                     library.monitorDelete);
    Watch watch;
    watch.progress = &progress;
    watch.monitor = monitor.get();
    library.setCancel(monitor.get(), Cancel);
    library.setCancelThis(monitor.get(), &watch);
    const int failed = library.recognise(api, monitor.get());
    if (watch.stopped) {
        library.clear(api);
        throw PdfError(PDF_ERROR_CANCELLED, "cancelled");
    }
    if (failed != 0) {
        library.clear(api);
        why = "the OCR engine cannot recognise the image";
        return false;
    }
    result.width = static_cast<int>(pixGetWidth(pix));
    result.height = static_cast<int>(pixGetHeight(pix));

    const auto take = [&library](char* text) {
        std::string copy = text != nullptr ? text : "";
        if (text != nullptr) {
            library.deleteText(text);
        }
        return copy;
    };
    result.text = take(library.text(api));
    if (TessResultIterator* words = library.iterator(api)) {
        const std::unique_ptr<TessResultIterator, void (*)(TessResultIterator*)> owner(
            words, library.iteratorDelete);
        do {
            TessPageIterator* at = library.pageIterator(words);
            OcrWord word;
            if (!library.box(at, tesseract::RIL_WORD, &word.left, &word.top, &word.right,
                             &word.bottom)) {
                continue;
            }
            if (result.lines.empty() || library.atBeginningOf(at, tesseract::RIL_TEXTLINE)) {
                OcrLine line;
                if (!library.box(at, tesseract::RIL_TEXTLINE, &line.left, &line.top, &line.right,
                                 &line.bottom)) {
                    line.top = word.top;
                    line.bottom = word.bottom;
                }
                result.lines.push_back(std::move(line));
            }
            word.text = take(library.wordText(words, tesseract::RIL_WORD));
            if (word.text.find_first_not_of(" \t\r\n") != std::string::npos &&
                word.right > word.left) {
                result.lines.back().words.push_back(std::move(word));
            }
        } while (library.next(words, tesseract::RIL_WORD));
    }
    library.clear(api);
    return true;
}
