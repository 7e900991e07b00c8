#include "pdf/pdf_document_writer.h"

#include "pdf/page_producer.h"
#include "pdf/pdf_error.h"
#include "pdf/pdf_file_writer.h"
#include "pdf/pdf_password.h"

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

std::string Reference(int number) {
    return std::to_string(number) + " 0 R";
}

std::string HexString(const std::string& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text = "<";
    for (const char c : bytes) {
        text += kDigits[static_cast<unsigned char>(c) >> 4];
        text += kDigits[static_cast<unsigned char>(c) & 0x0F];
    }
    return text + ">";
}

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
        return Reference(palette);
    }
    return profile != 0 ? "[/ICCBased " + Reference(profile) + "]" : DeviceName(layout.colourSpace);
}

std::string IndexedSpace(const Layout& layout, int profile) {
    const Layout::ColourSpace base = BaseOf(layout);
    const std::string baseSpace =
        profile != 0 ? "[/ICCBased " + Reference(profile) + "]" : DeviceName(base);
    const int entrySize = ComponentsOf(base);
    const int entries = std::min(static_cast<int>(layout.palette.size()) / entrySize, 256);
    return "[/Indexed " + baseSpace + " " + std::to_string(entries - 1) + " " +
           HexString(layout.palette.substr(0, static_cast<size_t>(entries * entrySize))) + "]";
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
        entries += " /SMask " + Reference(mask);
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

std::string PdfDate(std::time_t time, bool utc) {
    std::tm parts{};
    if (utc) {
        gmtime_r(&time, &parts);
    } else {
        localtime_r(&time, &parts);
    }
    char text[32];
    std::strftime(text, sizeof text, "D:%Y%m%d%H%M%S", &parts);
    const long offset = utc ? 0 : parts.tm_gmtoff / 60;
    char zone[32];
    if (offset == 0) {
        std::snprintf(zone, sizeof zone, "Z");
    } else {
        std::snprintf(zone, sizeof zone, "%c%02ld'%02ld'", offset < 0 ? '-' : '+',
                      std::labs(offset) / 60, std::labs(offset) % 60);
    }
    return std::string(text) + zone;
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
    void Write(int fd, PdfProgressProc progress);

private:
    // A page as laid out from its file's header: all that is kept of it until it is written.
    struct PageRecord {
        int source = 0;               // index of the file
        int page = 0;                 // within the file
        bool streamed = false;        // JPEG data, read from the file as the page is written
        bool firstProfileUse = false; // no earlier page has its colour profile
        // A digest of what the page is written as: the file must still give this page when
        // it is read again.
        std::array<unsigned char, 32> fingerprint{};
    };
    // Where a page goes and how it is drawn.
    struct PageGeometryText {
        std::string mediaBox;
        std::string content;
        std::string note; // its density was left out
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
    void WritePage(int index, PageData& data, PdfFileWriter& file, int pages);
    // Closes the worker's file unless the next page is of it too.
    void Release(int index, int worker);
    std::string Name(int source) const { return SourceData::FromFile(m_paths[source]).Name(); }

    const std::vector<std::string> m_paths;
    const Options m_options;
    // The passwords as they key the document (see PdfPassword).
    const std::string m_userKey;
    const std::string m_ownerKey;
    std::vector<PageRecord> m_records;
    std::vector<std::string> m_notes; // what was changed, page by page

    // While writing.
    std::vector<OpenFile> m_open;
    std::map<std::string, int> m_profiles; // the profiles written, by key
    std::vector<int> m_pageObjects;
};

PdfDocumentWriter::Impl::Impl(const std::vector<std::string>& paths, const Options& options)
    : m_paths(paths), m_options(options), m_userKey(PdfPassword::Prepare(options.userPassword)),
      m_ownerKey(PdfPassword::Prepare(options.ownerPassword)) {
    std::set<std::string> profiles;
    for (size_t source = 0; source < paths.size(); ++source) {
        // The file is closed again once its pages are laid out.
        const SourceData data = SourceData::FromFile(paths[source]);
        try {
            const std::unique_ptr<ImageSource> image = ImageSource::Open(data);
            for (int page = 0; page < image->PageCount(); ++page) {
                const Layout& layout = image->Layout(page);
                const std::string key = ProfileKey(layout.icc);
                PageRecord record;
                record.source = static_cast<int>(source);
                record.page = page;
                record.streamed = layout.filter == Layout::Filter::DCT;
                record.firstProfileUse = !key.empty() && profiles.insert(key).second;
                record.fingerprint = Fingerprint(layout, key, data.Name());
                m_records.push_back(record);
            }
        } catch (const PdfError& error) {
            throw Named(error, data.Name());
        }
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
        open.image = ImageSource::Open(data);
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
    // JPEG pages are read when they are written, from the file into the PDF.
    const PageRecord& record = m_records.at(index);
    if (record.streamed) {
        return;
    }
    try {
        ImageSource& source = Reopen(worker, record, data.layout, data.profileKey,
                                     record.firstProfileUse ? &data.icc : nullptr);
        source.WriteImage(
            record.page,
            [&](const unsigned char* bytes, size_t size) {
                data.image.append(reinterpret_cast<const char*>(bytes), size);
            },
            data.layout.softMask ? &data.mask : nullptr);
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

        // The colour profile, once for all the pages that share it.
        int profile = 0;
        if (!data.profileKey.empty()) {
            const auto found = m_profiles.find(data.profileKey);
            if (found != m_profiles.end()) {
                profile = found->second;
            } else {
                profile = file.Reserve();
                file.Stream(profile, ProfileEntries(layout), PdfFileWriter::Deflate(data.icc));
                m_profiles.emplace(data.profileKey, profile);
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
        const int content = file.Reserve();
        file.Stream(content, "", geometry.content);
        const int page = file.Reserve();
        file.Object(page, "<< /Type /Page /Parent " + Reference(pages) + " /MediaBox " +
                              geometry.mediaBox + " /Resources << /XObject << /Im0 " +
                              Reference(image) + " >> >> /Contents " + Reference(content) + " >>");
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

    const std::string& user = m_userKey;
    const std::string& owner = m_ownerKey;
    const bool restricted = !m_options.allowCopy || !m_options.allowPrint;
    const bool encrypted = !user.empty() || !owner.empty() || restricted;
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
    PdfFileWriter file(
        [&output](const unsigned char* data, size_t size) { output.Write(data, size); },
        encrypted ? &security : nullptr, fixed);
    const int catalog = file.Reserve();
    const int pages = file.Reserve();
    const int info = file.Reserve();

    // Each page is written whole (its image, mask, profile, content and page objects) as its
    // data comes from the producing threads, and leaves nothing behind but the numbers of its
    // objects.
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

    std::string kids;
    for (const int page : m_pageObjects) {
        kids += (kids.empty() ? "" : " ") + Reference(page);
    }
    file.Object(pages, "<< /Type /Pages /Kids [" + kids + "] /Count " +
                           std::to_string(m_pageObjects.size()) + " >>");
    file.Object(catalog,
                "<< /Type /Catalog /Pages " + Reference(pages) + file.CatalogEntries() + " >>");
    const std::string date =
        PdfDate(fixed ? static_cast<std::time_t>(m_options.fixedTime) : std::time(nullptr), fixed);
    std::string information = "<< /Producer " + PdfFileWriter::TextString(ProducerName()) +
                              " /Creator " + PdfFileWriter::TextString(ProducerName()) +
                              " /CreationDate " + PdfFileWriter::TextString(date) + " /ModDate " +
                              PdfFileWriter::TextString(date);
    if (!m_options.title.empty()) {
        information += " /Title " + PdfFileWriter::TextString(m_options.title);
    }
    if (!m_options.author.empty()) {
        information += " /Author " + PdfFileWriter::TextString(m_options.author);
    }
    if (!m_options.subject.empty()) {
        information += " /Subject " + PdfFileWriter::TextString(m_options.subject);
    }
    file.Object(info, information + " >>");
    file.Finish(catalog, info);
    output.Flush();
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

void PdfDocumentWriter::Write(int fd, PdfProgressProc progress) {
    m_impl->Write(fd, progress);
}

const char* PdfDocumentWriter::ProducerName() {
    return "Ombrix Image to PDF Converter " OMBRIX_VERSION;
}
