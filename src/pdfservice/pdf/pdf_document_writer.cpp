#include "pdf/pdf_document_writer.h"

#include "pdf/icc_profile.h"
#include "pdf/page_producer.h"
#include "pdf/pdf_error.h"
#include "pdf/pdf_file_writer.h"
#include "pdf/pdf_password.h"
#include "pdf/text_layer.h"

#include <qpdf/QPDFCryptoProvider.hh>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <random>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace {
using Layout = ImageLayout;

// Densities of real images: 10 to 10000 dots per inch on each axis, neither axis more than ten
// times the other. A file that gives one beyond (a pixel per metre, or so many dots to the
// inch that its page would be a speck) is placed as one that gives none, and a note says so.
constexpr double kLeastDpi = 10;
constexpr double kMostDpi = 10000;
constexpr double kMostDpiRatio = 10;
// Notes listed in the result, at most.
constexpr size_t kMostNotes = 5;

bool PlausibleDensity(double x, double y) {
    return x >= kLeastDpi && x <= kMostDpi && y >= kLeastDpi && y <= kMostDpi &&
           std::max(x, y) <= kMostDpiRatio * std::min(x, y);
}

std::string DpiText(double dpi) {
    char text[32];
    std::snprintf(text, sizeof text, "%.4g", dpi);
    return text;
}

[[noreturn]] void CannotWrite() {
    throw PdfError(PDF_ERROR_WRITE, std::string("cannot write the PDF: ") + std::strerror(errno));
}

// Writes the PDF through a file descriptor, small pieces gathered into blocks, and turns
// every write failure into an error with a reason.
class DescriptorOutput {
public:
    explicit DescriptorOutput(int fd) : m_fd(fd) {}

    void Write(const unsigned char* data, size_t length) {
        if (length >= sizeof m_block) {
            Flush();
            WriteAll(data, length);
            return;
        }
        if (m_used + length > sizeof m_block) {
            Flush();
        }
        std::memcpy(m_block + m_used, data, length);
        m_used += length;
    }
    void Flush() {
        WriteAll(m_block, m_used);
        m_used = 0;
    }

private:
    void WriteAll(const unsigned char* data, size_t length) {
        while (length > 0) {
            const ssize_t n = ::write(m_fd, data, length);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                CannotWrite();
            }
            data += n;
            length -= static_cast<size_t>(n);
        }
    }

    int m_fd;
    unsigned char m_block[64 * 1024];
    size_t m_used = 0;
};

// The key under which a colour profile is stored once in a document.
std::string ProfileKey(const std::string& profile) {
    if (profile.empty()) {
        return {};
    }
    auto sha = QPDFCryptoProvider::getImpl();
    sha->SHA2_init(256);
    sha->SHA2_update(reinterpret_cast<const unsigned char*>(profile.data()), profile.size());
    sha->SHA2_finalize();
    return sha->SHA2_digest();
}

std::string Number(double value) {
    return PdfFileWriter::Number(value, 6);
}

std::string NumberArray(const std::vector<double>& values) {
    std::string text = "[";
    for (size_t i = 0; i < values.size(); ++i) {
        text += (i > 0 ? " " : "") + Number(values[i]);
    }
    return text + "]";
}

std::string IntegerArray(const std::vector<int>& values) {
    std::string text = "[";
    for (size_t i = 0; i < values.size(); ++i) {
        text += (i > 0 ? " " : "") + std::to_string(values[i]);
    }
    return text + "]";
}

using Writer = PdfFileWriter;

const char* DeviceName(Layout::ColourSpace space) {
    switch (space) {
    case Layout::ColourSpace::Gray:
        return "/DeviceGray";
    case Layout::ColourSpace::CMYK:
        return "/DeviceCMYK";
    default:
        return "/DeviceRGB";
    }
}

int ComponentsOf(Layout::ColourSpace space) {
    return space == Layout::ColourSpace::Gray ? 1 : space == Layout::ColourSpace::CMYK ? 4 : 3;
}

Layout::ColourSpace BaseOf(const Layout& layout) {
    return layout.colourSpace == Layout::ColourSpace::Indexed ? layout.paletteBase
                                                              : layout.colourSpace;
}

std::string PredictorParms(int colours, int bits, int columns) {
    return " /DecodeParms << /BitsPerComponent " + std::to_string(bits) + " /Colors " +
           std::to_string(colours) + " /Columns " + std::to_string(columns) + " /Predictor 15 >>";
}

// An image's colour space. `profile` is the ICC profile's stream (0 for none). An indexed space
// is written as an object of its own (`palette`), so that its palette is no string of a stream
// dictionary (which encryption would have to encrypt on its own).
std::string ColourSpace(const Layout& layout, int profile, int palette) {
    if (layout.colourSpace == Layout::ColourSpace::Lab) {
        return "[/Lab << /Range " + NumberArray(layout.labRange) + " /WhitePoint " +
               NumberArray(layout.whitePoint) + " >>]";
    }
    if (layout.colourSpace == Layout::ColourSpace::Indexed) {
        return Writer::Reference(palette);
    }
    return profile != 0 ? "[/ICCBased " + Writer::Reference(profile) + "]"
                        : DeviceName(layout.colourSpace);
}

std::string IndexedSpace(const Layout& layout, int profile) {
    const Layout::ColourSpace base = BaseOf(layout);
    const std::string baseSpace =
        profile != 0 ? "[/ICCBased " + Writer::Reference(profile) + "]" : DeviceName(base);
    const int entrySize = ComponentsOf(base);
    const int entries = std::min(static_cast<int>(layout.palette.size()) / entrySize, 256);
    return "[/Indexed " + baseSpace + " " + std::to_string(entries - 1) + " " +
           Writer::HexString(layout.palette.substr(0, static_cast<size_t>(entries * entrySize))) +
           "]";
}

// The entries of an image's dictionary (all but /Length).
std::string ImageEntries(const Layout& layout, int profile, int palette, int mask) {
    std::string entries = " /Type /XObject /Subtype /Image /Width " + std::to_string(layout.width) +
                          " /Height " + std::to_string(layout.height) + " /BitsPerComponent " +
                          std::to_string(layout.bitsPerComponent) + " /ColorSpace " +
                          ColourSpace(layout, profile, palette);
    if (!layout.decode.empty()) {
        entries += " /Decode " + NumberArray(layout.decode);
    }
    if (!layout.colourKey.empty()) {
        entries += " /Mask " + IntegerArray(layout.colourKey);
    }
    if (mask != 0) {
        entries += " /SMask " + Writer::Reference(mask);
    }
    switch (layout.filter) {
    case Layout::Filter::Flate:
    case Layout::Filter::FlatePng:
        entries += " /Filter /FlateDecode" +
                   PredictorParms(layout.Components(), layout.bitsPerComponent, layout.width);
        break;
    case Layout::Filter::DCT:
        entries += " /Filter /DCTDecode";
        if (layout.dctColorTransform >= 0) {
            entries += " /DecodeParms << /ColorTransform " +
                       std::to_string(layout.dctColorTransform) + " >>";
        }
        break;
    case Layout::Filter::JPX:
        entries += " /Filter /JPXDecode";
        break;
    case Layout::Filter::CCITT:
        entries += " /Filter /CCITTFaxDecode /DecodeParms <<";
        if (layout.ccittBlackIs1) {
            entries += " /BlackIs1 true";
        }
        entries += " /Columns " + std::to_string(layout.width);
        if (layout.ccittByteAlign) {
            entries += " /EncodedByteAlign true";
        }
        entries += " /K " + std::to_string(layout.ccittK) + " /Rows " +
                   std::to_string(layout.height) + " >>";
        break;
    }
    return entries;
}

std::string MaskEntries(const Layout& layout) {
    std::string entries = " /Type /XObject /Subtype /Image /Width " + std::to_string(layout.width) +
                          " /Height " + std::to_string(layout.height) + " /BitsPerComponent " +
                          std::to_string(layout.softMaskBits) + " /ColorSpace /DeviceGray";
    if (!layout.softMaskDecode.empty()) {
        entries += " /Decode " + NumberArray(layout.softMaskDecode);
    }
    if (!layout.matte.empty()) {
        entries += " /Matte " + NumberArray(layout.matte);
    }
    return entries + " /Filter /FlateDecode" + PredictorParms(1, layout.softMaskBits, layout.width);
}

std::string ProfileEntries(const Layout& layout) {
    const Layout::ColourSpace base = BaseOf(layout);
    return " /N " + std::to_string(ComponentsOf(base)) + " /Alternate " + DeviceName(base) +
           " /Filter /FlateDecode";
}

// A time as a PDF date (D:20240501100000+02'00') or, for XMP, as ISO 8601
// (2024-05-01T10:00:00+02:00); "Z" for UTC.
std::string DateText(std::time_t time, bool utc, bool xmp) {
    std::tm parts{};
    if (utc) {
        gmtime_r(&time, &parts);
    } else {
        localtime_r(&time, &parts);
    }
    char text[32];
    std::strftime(text, sizeof text, xmp ? "%Y-%m-%dT%H:%M:%S" : "D:%Y%m%d%H%M%S", &parts);
    const long offset = utc ? 0 : parts.tm_gmtoff / 60;
    char zone[32];
    if (offset == 0) {
        std::snprintf(zone, sizeof zone, "Z");
    } else {
        std::snprintf(zone, sizeof zone, xmp ? "%c%02ld:%02ld" : "%c%02ld'%02ld'",
                      offset < 0 ? '-' : '+', std::labs(offset) / 60, std::labs(offset) % 60);
    }
    return std::string(text) + zone;
}

std::string PdfDate(std::time_t time, bool utc) {
    return DateText(time, utc, false);
}

std::string XmpDate(std::time_t time, bool utc) {
    return DateText(time, utc, true);
}

// Text for XML character data and attributes.
std::string XmlText(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// Document information as archives keep it: control characters, which XML cannot hold and
// the XMP metadata must repeat, become spaces.
std::string ArchivalText(const std::string& text) {
    std::string out = text;
    for (char& c : out) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            c = ' ';
        }
    }
    return out;
}

// The media type of an image file, from its first bytes.
const char* MediaType(const std::string& head) {
    const auto starts = [&head](const char* magic, size_t size) {
        return head.size() >= size && std::memcmp(head.data(), magic, size) == 0;
    };
    if (starts("\xFF\xD8", 2)) {
        return "image/jpeg";
    }
    if (starts("\x89PNG", 4)) {
        return "image/png";
    }
    if (starts("II*\0", 4) || starts("MM\0*", 4)) {
        return "image/tiff";
    }
    if (starts("GIF8", 4)) {
        return "image/gif";
    }
    if (starts("BM", 2)) {
        return "image/bmp";
    }
    return "application/octet-stream";
}

// A name in PDF syntax: characters other than regular ones as #xx.
std::string PdfName(const std::string& text) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string name = "/";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte > 0x20 && byte < 0x7F && std::strchr("#()<>[]{}/%", c) == nullptr) {
            name += c;
        } else {
            name += '#';
            name += kDigits[byte >> 4];
            name += kDigits[byte & 0x0F];
        }
    }
    return name;
}

std::string RandomPassword() {
    std::random_device device;
    static const char kDigits[] = "0123456789abcdef";
    std::string password;
    for (int i = 0; i < 32; ++i) {
        password += kDigits[device() % 16];
    }
    return password;
}

// A reason that names the file it comes from.
PdfError Named(const PdfError& error, const std::string& name) {
    const std::string what = error.what();
    return PdfError(error.Code(), what.find(name) != std::string::npos ? what : name + ": " + what);
}
} // namespace

class PdfDocumentWriter::Impl {
public:
    Impl(const std::vector<std::string>& paths, const Options& options);

    int PageCount() const { return static_cast<int>(m_records.size()); }
    std::string Notes() const;
    void SetWork(const std::string& work) { m_work = work; }
    const std::string& Text() const { return m_text; }
    void Write(int fd, PdfProgressProc progress);

private:
    // A page as laid out from its file's header: all that is kept of it until it is written.
    struct PageRecord {
        int source = 0;               // index of the file
        int page = 0;                 // within the file
        bool streamed = false;        // JPEG data, read from the file as the page is written
        bool firstProfileUse = false; // no earlier page has its colour profile
        bool flatten = false;         // PDF/A-1b: its transparency is composed over a colour
        bool reduce = false;          // PDF/A-1b: its 16-bit samples are written as 8-bit
        // What OCR needs to read the page as it is shown: its orientation, its density (0
        // when it has none that is real) and its pixels.
        int orientation = 1;
        double xDpi = 0;
        double yDpi = 0;
        double pixels = 0;
        // A digest of what the page is written as: the file must still give this page when
        // it is read again.
        std::array<unsigned char, 32> fingerprint{};
    };
    // Where a page goes and how it is drawn.
    struct PageGeometryText {
        std::string mediaBox;
        std::string content;
        std::string note; // its density was left out
        // The box the image is shown in, upright.
        double x = 0;
        double y = 0;
        double width = 0;
        double height = 0;
    };
    // The file each producing thread has open.
    struct OpenFile {
        int source = -1;
        std::unique_ptr<ImageSource> image;
    };

    PageGeometryText Place(const Layout& layout, const std::string& name) const;
    std::array<unsigned char, 32> Fingerprint(const Layout& layout, const std::string& key,
                                              const std::string& name) const;
    // Opens the page's file (or keeps it open) and checks that it still gives the page: its
    // layout goes to `layout`, its profile's key to `key` and, when asked, its bytes to
    // `profile`.
    ImageSource& Reopen(int worker, const PageRecord& record, Layout& layout, std::string& key,
                        std::string* profile);
    void Produce(int index, int worker, PageData& data);
    // Recognises the page's text with the worker's engine: read from the file, or from the
    // image data our reader produced (`image` of `layout`) when the engine cannot read it.
    void Recognise(int index, int worker, PageData& data, const Layout* layout = nullptr,
                   const std::string* image = nullptr);
    void WritePage(int index, PageData& data, PdfFileWriter& file, int pages);
    // PDF/A-1b: fails when the page holds what the part cannot, unless a lossy step the user
    // allows removes it; notes in `record` the steps to take.
    void CheckArchivable(const Layout& layout, const std::string& name, PageRecord& record) const;
    // PDF/A-3b: the file specification of the source's original, written with it when first
    // asked for.
    int Original(int source, PdfFileWriter& file);
    // PDF/A: the output intent, the XMP metadata and what else the catalog carries.
    std::string ArchiveEntries(PdfFileWriter& file, const std::string& date);
    // Closes the worker's file unless the next page is of it too.
    void Release(int index, int worker);
    std::string Name(int source) const { return SourceData::FromFile(m_paths[source]).Name(); }
    // How the sources are read: PDF/A-1 is PDF 1.4, which has no JPEG 2000 data.
    ImageSource::OpenOptions SourceOptions() const {
        ImageSource::OpenOptions options;
        options.jpx = m_options.archivePart != 1;
        options.allImages = m_options.allImages;
        return options;
    }

    const std::vector<std::string> m_paths;
    const Options m_options;
    // The passwords as they key the document (see PdfPassword).
    const std::string m_userKey;
    const std::string m_ownerKey;
    std::string m_work; // WorkFingerprint; empty for none
    std::vector<PageRecord> m_records;
    std::vector<std::string> m_notes; // what was changed, page by page

    // While writing.
    std::vector<OpenFile> m_open;
    std::map<std::string, int> m_profiles; // the profiles written, by key
    std::vector<int> m_pageObjects;
    std::map<std::string, int> m_originals;            // file specifications by path
    std::map<std::string, int> m_originalNames;        // the same by their unique names
    std::vector<std::unique_ptr<OcrEngine>> m_engines; // one for each producing thread
    TextLayer m_textLayer;
    int m_font = 0;     // the text layer's font object; 0 without OCR
    std::string m_text; // what OCR read
};

PdfDocumentWriter::Impl::Impl(const std::vector<std::string>& paths, const Options& options)
    : m_paths(paths), m_options(options), m_userKey(PdfPassword::Prepare(options.userPassword)),
      m_ownerKey(PdfPassword::Prepare(options.ownerPassword)) {
    if (!options.ocrLanguages.empty()) {
        const std::string why = OcrEngine::Check(options.ocrLanguages, options.ocrDataPath);
        if (!why.empty()) {
            throw PdfError(PDF_ERROR_OCR, why);
        }
    }
    if (options.archivePart != 0) {
        if (options.archivePart < 1 || options.archivePart > 3) {
            throw PdfError(PDF_ERROR_ARCHIVE,
                           "unknown PDF/A part " + std::to_string(options.archivePart));
        }
        if (!options.userPassword.empty() || !options.ownerPassword.empty() || !options.allowCopy ||
            !options.allowPrint) {
            throw PdfError(PDF_ERROR_ARCHIVE,
                           "PDF/A forbids encryption: an archival document can have no password "
                           "and cannot forbid copying or printing");
        }
    }
    std::set<std::string> profiles;
    for (size_t source = 0; source < paths.size(); ++source) {
        // The file is closed again once its pages are laid out.
        const SourceData data = SourceData::FromFile(paths[source]);
        try {
            const std::unique_ptr<ImageSource> image = ImageSource::Open(data, SourceOptions());
            for (int page = 0; page < image->PageCount(); ++page) {
                const Layout& layout = image->Layout(page);
                const std::string key = ProfileKey(layout.icc);
                PageRecord record;
                record.source = static_cast<int>(source);
                record.page = page;
                record.streamed = layout.filter == Layout::Filter::DCT;
                record.firstProfileUse = !key.empty() && profiles.insert(key).second;
                record.fingerprint = Fingerprint(layout, key, data.Name());
                record.orientation = layout.orientation;
                if (PlausibleDensity(layout.xDpi, layout.yDpi)) {
                    record.xDpi = layout.xDpi;
                    record.yDpi = layout.yDpi;
                }
                record.pixels = static_cast<double>(layout.width) * layout.height;
                if (options.archivePart == 1) {
                    CheckArchivable(layout, data.Name(), record);
                }
                m_records.push_back(record);
            }
        } catch (const PdfError& error) {
            throw Named(error, data.Name());
        }
    }
}

void PdfDocumentWriter::Impl::CheckArchivable(const Layout& layout, const std::string& name,
                                              PageRecord& record) const {
    const ArchiveImage::Steps& steps = m_options.archiveSteps;
    if (ArchiveImage::HasAlpha(layout)) {
        if (!steps.flatten) {
            throw PdfError(PDF_ERROR_UNSUPPORTED_IMAGE,
                           name + ": it has transparency, which PDF/A-1b cannot hold: choose "
                                  "PDF/A-2b, or flatten it onto a background colour");
        }
        record.flatten = true;
    }
    if (layout.bitsPerComponent > 8) {
        if (!steps.reduceDepth) {
            throw PdfError(PDF_ERROR_UNSUPPORTED_IMAGE,
                           name + ": it has 16-bit samples, which PDF/A-1b cannot hold: choose "
                                  "PDF/A-2b, or reduce them to 8 bits");
        }
        record.reduce = true;
    }
    if (!layout.icc.empty() && IccProfile::MajorVersion(layout.icc) > 2) {
        throw PdfError(PDF_ERROR_UNSUPPORTED_IMAGE,
                       name + ": its colour profile is of ICC version " +
                           std::to_string(IccProfile::MajorVersion(layout.icc)) +
                           ", which PDF/A-1b cannot hold: choose PDF/A-2b");
    }
}

std::string PdfDocumentWriter::Impl::Notes() const {
    std::string notes;
    for (size_t i = 0; i < m_notes.size() && i < kMostNotes; ++i) {
        notes += (i > 0 ? "; " : "") + m_notes[i];
    }
    if (m_notes.size() > kMostNotes) {
        notes += "; and " + std::to_string(m_notes.size() - kMostNotes) + " more";
    }
    return notes;
}

PdfDocumentWriter::Impl::PageGeometryText
PdfDocumentWriter::Impl::Place(const Layout& shown, const std::string& name) const {
    PageGeometryText text;
    const bool swap = PageGeometry::SwapsSides(shown.orientation);
    const double canvasWidth = swap ? shown.CanvasHeight() : shown.CanvasWidth();
    const double canvasHeight = swap ? shown.CanvasWidth() : shown.CanvasHeight();
    double xDpi = swap ? shown.yDpi : shown.xDpi;
    double yDpi = swap ? shown.xDpi : shown.yDpi;
    if ((xDpi != 0 || yDpi != 0) && !PlausibleDensity(xDpi, yDpi)) {
        text.note = name + ": resolution of " + DpiText(shown.xDpi) + " x " + DpiText(shown.yDpi) +
                    " dpi out of range, placed at " + DpiText(PageGeometry::kDefaultDpi) + " dpi";
        xDpi = 0;
        yDpi = 0;
    }
    const PagePlacement placement =
        PageGeometry::Place(m_options.page, {canvasWidth, canvasHeight, xDpi, yDpi});

    // A frame smaller than its canvas (GIF) takes its part of the box.
    double x = placement.x;
    double y = placement.y;
    double width = placement.width;
    double height = placement.height;
    if (shown.canvasWidth > 0 && shown.canvasHeight > 0) {
        const double sx = placement.width / shown.canvasWidth;
        const double sy = placement.height / shown.canvasHeight;
        x += shown.offsetX * sx;
        y += (shown.canvasHeight - shown.offsetY - shown.height) * sy;
        width = shown.width * sx;
        height = shown.height * sy;
    }
    const std::array<double, 6> m =
        PageGeometry::ImageMatrix(shown.orientation, x, y, width, height);
    text.content = "q ";
    for (double value : m) {
        text.content += PdfFileWriter::Number(value, 4) + " ";
    }
    text.content += "cm /Im0 Do Q\n";
    text.x = x;
    text.y = y;
    text.width = width;
    text.height = height;
    text.mediaBox = NumberArray({0, 0, placement.pageWidth, placement.pageHeight});
    return text;
}

std::array<unsigned char, 32> PdfDocumentWriter::Impl::Fingerprint(const Layout& layout,
                                                                   const std::string& key,
                                                                   const std::string& name) const {
    // Everything the page is written as, but the numbers of its objects (and the data).
    const PageGeometryText geometry = Place(layout, name);
    const std::string text = ImageEntries(layout, key.empty() ? 0 : 1, 1, layout.softMask ? 1 : 0) +
                             "\n" + (layout.softMask ? MaskEntries(layout) : "") + "\n" +
                             (layout.colourSpace == Layout::ColourSpace::Indexed
                                  ? IndexedSpace(layout, key.empty() ? 0 : 1)
                                  : "") +
                             "\n" + geometry.mediaBox + "\n" + geometry.content + "\n" + key;
    auto sha = QPDFCryptoProvider::getImpl();
    sha->SHA2_init(256);
    sha->SHA2_update(reinterpret_cast<const unsigned char*>(text.data()), text.size());
    sha->SHA2_finalize();
    const std::string digest = sha->SHA2_digest();
    std::array<unsigned char, 32> fingerprint{};
    std::memcpy(fingerprint.data(), digest.data(), std::min(digest.size(), fingerprint.size()));
    return fingerprint;
}

ImageSource& PdfDocumentWriter::Impl::Reopen(int worker, const PageRecord& record, Layout& layout,
                                             std::string& key, std::string* profile) {
    OpenFile& open = m_open.at(worker);
    const SourceData data = SourceData::FromFile(m_paths[record.source]);
    if (open.source != record.source || !open.image) {
        open.image.reset();
        open.source = -1;
        open.image = ImageSource::Open(data, SourceOptions());
        open.source = record.source;
    }
    ImageSource& source = *open.image;
    // Another program may have saved over the file since its header was read: its data
    // must still be the image the page was laid out for.
    bool same = record.page < source.PageCount();
    if (same) {
        layout = source.Layout(record.page);
        std::string bytes = std::move(layout.icc);
        layout.icc.clear();
        key = ProfileKey(bytes);
        same = Fingerprint(layout, key, data.Name()) == record.fingerprint;
        if (profile != nullptr) {
            *profile = std::move(bytes);
        }
    }
    if (!same) {
        open.image.reset();
        open.source = -1;
        throw PdfError(PDF_ERROR_READ, data.Name() + " changed while it was being converted");
    }
    return source;
}

void PdfDocumentWriter::Impl::Release(int index, int worker) {
    if (index + 1 >= PageCount() || m_records[index + 1].source != m_records[index].source) {
        m_open.at(worker) = OpenFile{};
    }
}

void PdfDocumentWriter::Impl::Produce(int index, int worker, PageData& data) {
    const PageRecord& record = m_records.at(index);
    const bool ocr = !m_options.ocrLanguages.empty();
    // Formats the engine does not know (HEIF, JPEG XL) are recognised from our reader's data.
    const bool ocrFromData = ocr && !OcrEngine::Reads(m_paths[record.source], record.page);
    if (ocr && !ocrFromData) {
        Recognise(index, worker, data);
    }
    // JPEG pages are read when they are written, from the file into the PDF.
    if (record.streamed && !ocrFromData) {
        return;
    }
    try {
        // A streamed page's JPEG data (a JPEG XL file's original JPEG) is made here only to be
        // recognised.
        Layout streamedLayout;
        std::string streamedKey;
        std::string streamedImage;
        Layout& layout = record.streamed ? streamedLayout : data.layout;
        std::string& image = record.streamed ? streamedImage : data.image;
        ImageSource& source =
            Reopen(worker, record, layout, record.streamed ? streamedKey : data.profileKey,
                   record.firstProfileUse && !record.streamed ? &data.icc : nullptr);
        source.WriteImage(
            record.page,
            [&image](const unsigned char* bytes, size_t size) {
                image.append(reinterpret_cast<const char*>(bytes), size);
            },
            layout.softMask && !record.streamed ? &data.mask : nullptr);
        if (!record.streamed && (record.flatten || record.reduce)) {
            ArchiveImage::Apply(data.layout, data.image, data.mask, m_options.archiveSteps,
                                !data.profileKey.empty());
        }
        if (ocrFromData) {
            Recognise(index, worker, data, &layout, &image);
        }
        // The file stays open for the next page, when it is of the same file.
        Release(index, worker);
    } catch (const PdfError& error) {
        m_open.at(worker) = OpenFile{};
        throw Named(error, Name(record.source));
    } catch (...) {
        m_open.at(worker) = OpenFile{};
        throw;
    }
}

void PdfDocumentWriter::Impl::Recognise(int index, int worker, PageData& data, const Layout* layout,
                                        const std::string* image) {
    // Larger images (as recognised: stretched to square pixels) would take the engine minutes
    // and gigabytes: an A4 page at 600 dpi has 35 million pixels.
    constexpr double kMostPixels = 80e6;
    const PageRecord& record = m_records.at(index);
    const double stretch =
        record.xDpi > 0 && record.yDpi > 0
            ? std::max(record.xDpi, record.yDpi) / std::min(record.xDpi, record.yDpi)
            : 1;
    if (record.pixels * stretch > kMostPixels) {
        data.ocrNote = "no text layer: the image is too large for OCR";
        return;
    }
    std::unique_ptr<OcrEngine>& engine = m_engines.at(worker);
    if (!engine) {
        engine = OcrEngine::Take(m_options.ocrLanguages, m_options.ocrDataPath);
    }
    const auto& progress = m_options.ocrProgress;
    const OcrEngine::Progress watch = [&progress, index](int percent) {
        return progress && progress(index, percent);
    };
    std::string why;
    const bool read =
        layout != nullptr
            ? engine->Recognise(*layout, *image, record.orientation, record.xDpi, record.yDpi,
                                watch, data.ocr, why)
            : engine->Recognise(m_paths[record.source], record.page, record.orientation,
                                record.xDpi, record.yDpi, watch, data.ocr, why);
    if (!read) {
        data.ocrNote = "no text layer: " + why;
    }
}

void PdfDocumentWriter::Impl::WritePage(int index, PageData& data, PdfFileWriter& file, int pages) {
    const PageRecord& record = m_records.at(index);
    const int self = static_cast<int>(m_open.size()) - 1; // the writer's own thread
    ImageSource* source = nullptr;
    try {
        if (record.streamed) {
            source = &Reopen(self, record, data.layout, data.profileKey,
                             record.firstProfileUse ? &data.icc : nullptr);
        }
        const Layout& layout = data.layout;

        // The colour profile, once for all the pages that share it. In an archival document,
        // device CMYK (whose look the sRGB output intent does not give) gets a profile that
        // keeps it.
        std::string profileKey = data.profileKey;
        const std::string* profileBytes = &data.icc;
        if (profileKey.empty() && m_options.archivePart != 0 &&
            layout.colourSpace != Layout::ColourSpace::Lab &&
            BaseOf(layout) == Layout::ColourSpace::CMYK) {
            profileKey = "plain CMYK";
            profileBytes = &IccProfile::PlainCmyk();
        }
        int profile = 0;
        if (!profileKey.empty()) {
            const auto found = m_profiles.find(profileKey);
            if (found != m_profiles.end()) {
                profile = found->second;
            } else {
                profile = file.Reserve();
                file.Stream(profile, ProfileEntries(layout), PdfFileWriter::Deflate(*profileBytes));
                m_profiles.emplace(profileKey, profile);
            }
        }
        int palette = 0;
        if (layout.colourSpace == Layout::ColourSpace::Indexed) {
            palette = file.Reserve();
            file.Object(palette, IndexedSpace(layout, profile));
        }
        const int mask = layout.softMask ? file.Reserve() : 0;
        const int image = file.Reserve();
        const std::string entries = ImageEntries(layout, profile, palette, mask);
        if (source != nullptr) {
            file.Stream(image, entries, [&](const PdfFileWriter::Sink& out) {
                source->WriteImage(record.page, out, nullptr);
            });
            Release(index, self);
        } else {
            file.Stream(image, entries, data.image);
        }
        if (mask != 0) {
            file.Stream(mask, MaskEntries(layout), data.mask);
        }

        const PageGeometryText geometry = Place(layout, Name(record.source));
        if (!geometry.note.empty()) {
            m_notes.push_back(geometry.note);
        }
        if (!data.ocrNote.empty()) {
            m_notes.push_back(Name(record.source) + ": " + data.ocrNote);
        }
        std::string content = geometry.content;
        std::string fonts;
        if (m_font != 0) {
            content += m_textLayer.PageContent(data.ocr, geometry.x, geometry.y, geometry.width,
                                               geometry.height);
            fonts = std::string(" /Font << ") + TextLayer::kFontName + " " +
                    Writer::Reference(m_font) + " >>";
            m_text += data.ocr.text + "\f";
        }
        if (record.flatten) {
            m_notes.push_back(Name(record.source) + ": transparency flattened onto " +
                              ArchiveImage::ColourText(m_options.archiveSteps.background) +
                              " for PDF/A-1b");
        }
        if (record.reduce) {
            m_notes.push_back(Name(record.source) + ": 16-bit samples reduced to 8 bits for "
                                                    "PDF/A-1b");
        }
        std::string associated;
        if (m_options.archivePart == 3 && m_options.attachOriginals) {
            associated = " /AF [" + Writer::Reference(Original(record.source, file)) + "]";
        }
        const int contentStream = file.Reserve();
        file.Stream(contentStream, "", content);
        const int page = file.Reserve();
        file.Object(page, "<< /Type /Page /Parent " + Writer::Reference(pages) + " /MediaBox " +
                              geometry.mediaBox + " /Resources << /XObject << /Im0 " +
                              Writer::Reference(image) + " >>" + fonts + " >> /Contents " +
                              Writer::Reference(contentStream) + associated + " >>");
        m_pageObjects.push_back(page);
    } catch (const PdfError& error) {
        m_open.at(self) = OpenFile{};
        throw Named(error, Name(record.source));
    } catch (...) {
        m_open.at(self) = OpenFile{};
        throw;
    }
}

void PdfDocumentWriter::Impl::Write(int fd, PdfProgressProc progress) {
    const int threads = PageProducer::ThreadsFor(PageCount());
    m_open.clear();
    m_open.resize(threads + 1);
    m_profiles.clear();
    m_pageObjects.clear();
    m_notes.clear();
    m_originals.clear();
    m_originalNames.clear();
    m_text.clear();
    m_textLayer = TextLayer{};
    // The engines go back for the next document however this one ends.
    m_engines.clear();
    m_engines.resize(threads + 1);
    struct GiveBack {
        std::vector<std::unique_ptr<OcrEngine>>& engines;
        ~GiveBack() {
            for (auto& engine : engines) {
                OcrEngine::Give(std::move(engine));
            }
        }
    };

    const std::string& user = m_userKey;
    const std::string& owner = m_ownerKey;
    const bool restricted = !m_options.allowCopy || !m_options.allowPrint;
    const bool encrypted =
        m_options.archivePart == 0 && (!user.empty() || !owner.empty() || restricted);
    PdfFileWriter::Security security;
    if (encrypted) {
        // Restrictions hold only while the owner password is secret: without one, or with
        // the user's own (as it keys the document: two ways of writing it count as one), a
        // random one is used.
        security.userPassword = user;
        security.ownerPassword =
            owner.empty() || (restricted && owner == user) ? RandomPassword() : owner;
        security.allowCopy = m_options.allowCopy;
        security.allowPrint = m_options.allowPrint;
    }
    const bool fixed = m_options.fixedTime >= 0;
    DescriptorOutput output(fd);
    // PDF/A-1 is PDF 1.4; PDF/A-3's associated files are of PDF 1.7 (and 2.0).
    const PdfFileWriter::Layout layout = m_options.archivePart == 1 ? PdfFileWriter::Layout::Classic
                                         : m_options.archivePart == 3
                                             ? PdfFileWriter::Layout::Streams17
                                             : PdfFileWriter::Layout::Streams;
    PdfFileWriter file(
        [&output](const unsigned char* data, size_t size) { output.Write(data, size); },
        encrypted ? &security : nullptr, fixed, layout);
    const int catalog = file.Reserve();
    const int pages = file.Reserve();
    const int info = file.Reserve();
    m_font = m_options.ocrLanguages.empty() ? 0 : file.Reserve();

    // Each page is written whole (its image, mask, profile, content and page objects) as its
    // data comes from the producing threads, and leaves nothing behind but the numbers of its
    // objects.
    const GiveBack giveBack{m_engines};
    PageProducer producer(PageCount(), threads, [this](int index, int worker, PageData& data) {
        Produce(index, worker, data);
    });
    for (int index = 0; index < PageCount(); ++index) {
        PageData data = producer.Take(index);
        WritePage(index, data, file, pages);
        producer.Recycle(std::move(data));
        if (progress != nullptr && progress(index + 1, PageCount()) != 0) {
            throw PdfError(PDF_ERROR_CANCELLED, "cancelled");
        }
    }

    if (m_font != 0) {
        m_textLayer.WriteFont(file, m_font);
    }
    std::string kids;
    for (const int page : m_pageObjects) {
        kids += (kids.empty() ? "" : " ") + Writer::Reference(page);
    }
    file.Object(pages, "<< /Type /Pages /Kids [" + kids + "] /Count " +
                           std::to_string(m_pageObjects.size()) + " >>");
    const std::time_t now =
        fixed ? static_cast<std::time_t>(m_options.fixedTime) : std::time(nullptr);
    const std::string date = PdfDate(now, fixed);
    const std::string archive =
        m_options.archivePart != 0 ? ArchiveEntries(file, XmpDate(now, fixed)) : "";
    file.Object(catalog, "<< /Type /Catalog /Pages " + Writer::Reference(pages) +
                             file.CatalogEntries() + archive + " >>");
    std::string information = "<< /Producer " + PdfFileWriter::TextString(ProducerName()) +
                              " /Creator " + PdfFileWriter::TextString(ProducerName()) +
                              " /CreationDate " + PdfFileWriter::TextString(date) + " /ModDate " +
                              PdfFileWriter::TextString(date);
    const bool archival = m_options.archivePart != 0;
    const std::string title = archival ? ArchivalText(m_options.title) : m_options.title;
    const std::string author = archival ? ArchivalText(m_options.author) : m_options.author;
    const std::string subject = archival ? ArchivalText(m_options.subject) : m_options.subject;
    if (!title.empty()) {
        information += " /Title " + PdfFileWriter::TextString(title);
    }
    if (!author.empty()) {
        information += " /Author " + PdfFileWriter::TextString(author);
    }
    if (!subject.empty()) {
        information += " /Subject " + PdfFileWriter::TextString(subject);
    }
    if (!m_work.empty()) {
        // A private key, which readers ignore and PDF/A allows beside the standard ones.
        information += " /OmbrixWork " + PdfFileWriter::TextString(m_work);
    }
    file.Object(info, information + " >>");
    file.Finish(catalog, info);
    output.Flush();
}

int PdfDocumentWriter::Impl::Original(int source, PdfFileWriter& file) {
    // A file given twice is attached once.
    const std::string& path = m_paths[source];
    const auto found = m_originals.find(path);
    if (found != m_originals.end()) {
        return found->second;
    }
    const std::string name = Name(source);
    FILE* in = std::fopen(path.c_str(), "rb");
    if (in == nullptr) {
        throw PdfError(PDF_ERROR_READ,
                       name + ": cannot be read to attach it: " + std::strerror(errno));
    }
    const std::unique_ptr<FILE, int (*)(FILE*)> closer(in, std::fclose);
    struct stat info {};
    if (::fstat(fileno(in), &info) != 0) {
        throw PdfError(PDF_ERROR_READ, name + ": cannot be read to attach it");
    }
    std::string head(16, '\0');
    head.resize(std::fread(head.data(), 1, head.size(), in));
    std::rewind(in);

    // The file's own name, made unique in the document ("photo (2).jpg").
    const size_t slash = path.find_last_of('/');
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string unique = base;
    for (int n = 2; m_originalNames.count(unique) != 0; ++n) {
        const size_t dot = base.find_last_of('.');
        unique = dot == std::string::npos || dot == 0
                     ? base + " (" + std::to_string(n) + ")"
                     : base.substr(0, dot) + " (" + std::to_string(n) + ")" + base.substr(dot);
    }

    const std::string modified = PdfDate(info.st_mtime, m_options.fixedTime >= 0);
    const int stream = file.Reserve();
    uint64_t copied = 0;
    file.Stream(stream,
                " /Type /EmbeddedFile /Subtype " + PdfName(MediaType(head)) + " /Params << /Size " +
                    std::to_string(info.st_size) + " /ModDate " +
                    PdfFileWriter::TextString(modified) + " >>",
                [&](const PdfFileWriter::Sink& out) {
                    unsigned char block[64 * 1024];
                    size_t n = 0;
                    while ((n = std::fread(block, 1, sizeof block, in)) > 0) {
                        out(block, n);
                        copied += n;
                    }
                });
    if (std::ferror(in) || copied != static_cast<uint64_t>(info.st_size)) {
        throw PdfError(PDF_ERROR_READ, name + " changed while it was being converted");
    }
    const int spec = file.Reserve();
    const std::string fileName = PdfFileWriter::TextString(unique);
    file.Object(spec, "<< /Type /Filespec /F " + fileName + " /UF " + fileName + " /EF << /F " +
                          Writer::Reference(stream) + " /UF " + Writer::Reference(stream) +
                          " >> /Desc (Original image) /AFRelationship /Source >>");
    m_originals.emplace(path, spec);
    m_originalNames.emplace(unique, spec);
    return spec;
}

std::string PdfDocumentWriter::Impl::ArchiveEntries(PdfFileWriter& file, const std::string& date) {
    // The output intent: sRGB, as the images' device RGB and grey are meant.
    const std::string& srgb = IccProfile::Srgb();
    if (srgb.empty()) {
        throw PdfError(PDF_ERROR_INTERNAL, "cannot make the sRGB colour profile");
    }
    const int profile = file.Reserve();
    file.Stream(profile, " /N 3 /Alternate /DeviceRGB /Filter /FlateDecode",
                PdfFileWriter::Deflate(srgb));
    const int intent = file.Reserve();
    file.Object(intent, "<< /Type /OutputIntent /S /GTS_PDFA1 /OutputConditionIdentifier "
                        "(sRGB IEC61966-2.1) /Info (sRGB IEC61966-2.1) /RegistryName "
                        "(http://www.color.org) /DestOutputProfile " +
                            Writer::Reference(profile) + " >>");

    // The XMP metadata: the part and level, and the document information again.
    const std::string producer = XmlText(ProducerName());
    std::string xmp =
        "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n"
        "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\n"
        "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n"
        "<rdf:Description rdf:about=\"\" xmlns:pdfaid=\"http://www.aiim.org/pdfa/ns/id/\" "
        "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\" "
        "xmlns:pdf=\"http://ns.adobe.com/pdf/1.3/\">\n"
        "<pdfaid:part>" +
        std::to_string(m_options.archivePart) +
        "</pdfaid:part>\n<pdfaid:conformance>B</pdfaid:conformance>\n"
        "<dc:format>application/pdf</dc:format>\n";
    const std::string title = ArchivalText(m_options.title);
    const std::string author = ArchivalText(m_options.author);
    const std::string subject = ArchivalText(m_options.subject);
    if (!title.empty()) {
        xmp += "<dc:title><rdf:Alt><rdf:li xml:lang=\"x-default\">" + XmlText(title) +
               "</rdf:li></rdf:Alt></dc:title>\n";
    }
    if (!author.empty()) {
        xmp += "<dc:creator><rdf:Seq><rdf:li>" + XmlText(author) +
               "</rdf:li></rdf:Seq></dc:creator>\n";
    }
    if (!subject.empty()) {
        xmp += "<dc:description><rdf:Alt><rdf:li xml:lang=\"x-default\">" + XmlText(subject) +
               "</rdf:li></rdf:Alt></dc:description>\n";
    }
    xmp += "<pdf:Producer>" + producer + "</pdf:Producer>\n<xmp:CreatorTool>" + producer +
           "</xmp:CreatorTool>\n<xmp:CreateDate>" + date + "</xmp:CreateDate>\n<xmp:ModifyDate>" +
           date + "</xmp:ModifyDate>\n<xmp:MetadataDate>" + date +
           "</xmp:MetadataDate>\n</rdf:Description>\n</rdf:RDF>\n</x:xmpmeta>\n"
           "<?xpacket end=\"w\"?>";
    const int metadata = file.Reserve();
    // Not compressed: archives read it as it is.
    file.Stream(metadata, " /Type /Metadata /Subtype /XML", xmp);

    std::string entries = " /Metadata " + Writer::Reference(metadata) + " /OutputIntents [" +
                          Writer::Reference(intent) + "]";
    if (!m_originalNames.empty()) {
        // Keys in the order of their bytes, as name trees have them.
        std::string names;
        std::string associated;
        for (const auto& [name, spec] : m_originalNames) {
            names += (names.empty() ? "" : " ") + Writer::HexString(name) + " " +
                     Writer::Reference(spec);
            associated += (associated.empty() ? "" : " ") + Writer::Reference(spec);
        }
        entries +=
            " /Names << /EmbeddedFiles << /Names [" + names + "] >> >> /AF [" + associated + "]";
    }
    return entries;
}

PdfDocumentWriter::PdfDocumentWriter(const std::vector<std::string>& paths, const Options& options)
    : m_impl(std::make_unique<Impl>(paths, options)) {}

PdfDocumentWriter::~PdfDocumentWriter() = default;

int PdfDocumentWriter::PageCount() const {
    return m_impl->PageCount();
}

std::string PdfDocumentWriter::Notes() const {
    return m_impl->Notes();
}

void PdfDocumentWriter::SetWork(const std::string& work) {
    m_impl->SetWork(work);
}

const std::string& PdfDocumentWriter::Text() const {
    return m_impl->Text();
}

void PdfDocumentWriter::Write(int fd, PdfProgressProc progress) {
    m_impl->Write(fd, progress);
}

const char* PdfDocumentWriter::ProducerName() {
    return "Ombrix Image to PDF Converter " OMBRIX_VERSION;
}
