#include "pdf/pdf_document_writer.h"

#include "pdf/page_producer.h"
#include "pdf/pdf_error.h"

#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFCryptoProvider.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <qpdf/QUtil.hh>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <random>
#include <unistd.h>

namespace {
using Layout = ImageLayout;

// Masks and colour profiles are asked for after all the images: those that come out of an
// image's decoding wait for their turn in memory up to this many bytes, the rest are
// produced again when asked for.
constexpr size_t kDeferredBudget = 64 * 1024 * 1024;

[[noreturn]] void CannotWrite() {
    throw PdfError(PDF_ERROR_WRITE, std::string("cannot write the PDF: ") + std::strerror(errno));
}

// Writes the PDF through a file descriptor, small pieces gathered into blocks, and turns
// every write failure into an error with a reason.
class DescriptorPipeline : public Pipeline {
public:
    explicit DescriptorPipeline(int fd) : Pipeline("output file", nullptr), m_fd(fd) {}

    void write(unsigned char const* data, size_t length) override {
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
    void finish() override { Flush(); }

private:
    void Flush() {
        WriteAll(m_block, m_used);
        m_used = 0;
    }
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

QPDFObjectHandle NumberArray(const std::vector<double>& values) {
    QPDFObjectHandle array = QPDFObjectHandle::newArray();
    for (double value : values) {
        array.appendItem(QPDFObjectHandle::newReal(value, 6, true));
    }
    return array;
}

QPDFObjectHandle IntegerArray(const std::vector<int>& values) {
    QPDFObjectHandle array = QPDFObjectHandle::newArray();
    for (int value : values) {
        array.appendItem(QPDFObjectHandle::newInteger(value));
    }
    return array;
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

QPDFObjectHandle PredictorParms(int colours, int bits, int columns) {
    QPDFObjectHandle parms = QPDFObjectHandle::newDictionary();
    parms.replaceKey("/Predictor", QPDFObjectHandle::newInteger(15));
    parms.replaceKey("/Colors", QPDFObjectHandle::newInteger(colours));
    parms.replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(bits));
    parms.replaceKey("/Columns", QPDFObjectHandle::newInteger(columns));
    return parms;
}

// A new image stream of the given size and depth.
QPDFObjectHandle NewImage(QPDF& pdf, int width, int height, int bits) {
    QPDFObjectHandle image = pdf.newStream();
    QPDFObjectHandle dict = image.getDict();
    dict.replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
    dict.replaceKey("/Subtype", QPDFObjectHandle::newName("/Image"));
    dict.replaceKey("/Width", QPDFObjectHandle::newInteger(width));
    dict.replaceKey("/Height", QPDFObjectHandle::newInteger(height));
    dict.replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(bits));
    return image;
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

// A reason that names the file it comes from.
PdfError Named(const PdfError& error, const std::string& name) {
    const std::string what = error.what();
    return PdfError(error.Code(), what.find(name) != std::string::npos ? what : name + ": " + what);
}
} // namespace

class PdfDocumentWriter::Impl {
public:
    // Hands qpdf the data of image, soft-mask and profile streams when it writes them.
    class StreamProvider : public QPDFObjectHandle::StreamDataProvider {
    public:
        explicit StreamProvider(Impl* impl) : m_impl(impl) {}
        void provideStreamData(QPDFObjGen const& og, Pipeline* pipeline) override {
            m_impl->Provide(og, pipeline);
        }

    private:
        Impl* m_impl;
    };

    Impl(const std::vector<std::string>& paths, const Options& options);

    int PageCount() const { return static_cast<int>(m_records.size()); }
    std::string Notes() const;
    void Write(int fd, PdfProgressProc progress);
    void Provide(QPDFObjGen const& og, Pipeline* pipeline);

private:
    // A page as laid out from its file's header.
    struct PageRecord {
        int source = 0; // index of the file
        int page = 0;   // within the file
        Layout layout;  // without the colour profile's bytes
        std::string profileKey;
        bool firstProfileUse = false; // no earlier page has the profile
        QPDFObjGen image;
        QPDFObjGen mask;
        QPDFObjGen profile;
        bool maskDelivered = false;
    };
    struct Request {
        enum class Kind { Image, Mask, Profile } kind;
        int record;
    };
    // The file each producing thread has open.
    struct OpenFile {
        int source = -1;
        std::unique_ptr<ImageSource> image;
    };
    struct Parts {
        bool image = true;
        bool mask = false;
        bool profile = false;
        Pipeline* direct = nullptr; // the image's data goes there rather than into the page
    };

    void AddPage(int source, int page, Layout layout);
    QPDFObjectHandle MakeImage(PageRecord& record);
    QPDFObjectHandle ColourSpace(PageRecord& record);
    QPDFObjectHandle ProfileStream(PageRecord& record, int index);

    void Produce(int index, int worker, PageData& data, Parts parts);
    ImageSource& Reopen(int worker, const PageRecord& record, std::string* profile);
    void Defer(QPDFObjGen og, const std::string& data);
    void ProvideRequest(const Request& request, Pipeline* pipeline);

    const std::vector<std::string> m_paths;
    const Options m_options;
    QPDF m_pdf;
    std::shared_ptr<QPDFObjectHandle::StreamDataProvider> m_provider;
    std::vector<PageRecord> m_records;
    std::map<QPDFObjGen, Request> m_requests;
    std::map<std::string, QPDFObjGen> m_profiles; // by key
    std::vector<std::string> m_notes;             // what was changed, page by page
    int m_lastRecord = -1;

    // While writing.
    std::unique_ptr<PageProducer> m_producer;
    std::vector<OpenFile> m_open;
    std::map<QPDFObjGen, std::string> m_deferred;
    size_t m_deferredBytes = 0;
    PdfProgressProc m_progress = nullptr;
    int m_done = 0;
    std::unique_ptr<PdfError> m_failure;
};

PdfDocumentWriter::Impl::Impl(const std::vector<std::string>& paths, const Options& options)
    : m_paths(paths), m_options(options), m_provider(std::make_shared<StreamProvider>(this)) {
    m_pdf.emptyPDF();
    m_pdf.setSuppressWarnings(true);
    for (size_t source = 0; source < paths.size(); ++source) {
        // The file is closed again once its pages are laid out.
        const SourceData data = SourceData::FromFile(paths[source]);
        std::vector<Layout> layouts;
        try {
            const std::unique_ptr<ImageSource> image = ImageSource::Open(data);
            for (int page = 0; page < image->PageCount(); ++page) {
                layouts.push_back(image->Layout(page));
            }
        } catch (const PdfError& error) {
            throw Named(error, data.Name());
        }
        for (size_t page = 0; page < layouts.size(); ++page) {
            AddPage(static_cast<int>(source), static_cast<int>(page), std::move(layouts[page]));
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

void PdfDocumentWriter::Impl::AddPage(int source, int page, Layout layout) {
    PageRecord record;
    record.source = source;
    record.page = page;
    record.profileKey = ProfileKey(layout.icc);
    std::string().swap(layout.icc); // its memory too

    record.layout = std::move(layout);
    m_records.push_back(std::move(record));
    PageRecord& added = m_records.back();
    const Layout& shown = added.layout;

    const bool swap = PageGeometry::SwapsSides(shown.orientation);
    const double canvasWidth = swap ? shown.CanvasHeight() : shown.CanvasWidth();
    const double canvasHeight = swap ? shown.CanvasWidth() : shown.CanvasHeight();
    double xDpi = swap ? shown.yDpi : shown.xDpi;
    double yDpi = swap ? shown.xDpi : shown.yDpi;
    if ((xDpi != 0 || yDpi != 0) && !PlausibleDensity(xDpi, yDpi)) {
        m_notes.push_back(SourceData::FromFile(m_paths[source]).Name() + ": resolution of " +
                          DpiText(shown.xDpi) + " x " + DpiText(shown.yDpi) +
                          " dpi out of range, placed at " + DpiText(PageGeometry::kDefaultDpi) +
                          " dpi");
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

    QPDFObjectHandle image = MakeImage(added);
    const std::array<double, 6> m =
        PageGeometry::ImageMatrix(shown.orientation, x, y, width, height);
    std::string content = "q ";
    for (double value : m) {
        content += QUtil::double_to_string(value, 4, true) + " ";
    }
    content += "cm /Im0 Do Q\n";

    QPDFObjectHandle resources = QPDFObjectHandle::newDictionary();
    QPDFObjectHandle xobjects = QPDFObjectHandle::newDictionary();
    xobjects.replaceKey("/Im0", image);
    resources.replaceKey("/XObject", xobjects);

    QPDFObjectHandle pageObject = QPDFObjectHandle::newDictionary();
    pageObject.replaceKey("/Type", QPDFObjectHandle::newName("/Page"));
    pageObject.replaceKey("/MediaBox",
                          NumberArray({0, 0, placement.pageWidth, placement.pageHeight}));
    pageObject.replaceKey("/Resources", resources);
    pageObject.replaceKey("/Contents", m_pdf.newStream(content));
    QPDFPageDocumentHelper(m_pdf).addPage(
        QPDFPageObjectHelper(m_pdf.makeIndirectObject(pageObject)), false);
}

QPDFObjectHandle PdfDocumentWriter::Impl::ProfileStream(PageRecord& record, int index) {
    auto found = m_profiles.find(record.profileKey);
    if (found != m_profiles.end()) {
        return m_pdf.getObject(found->second);
    }
    const Layout& layout = record.layout;
    const Layout::ColourSpace base = layout.colourSpace == Layout::ColourSpace::Indexed
                                         ? layout.paletteBase
                                         : layout.colourSpace;
    const int components = ComponentsOf(base);
    // The profile's bytes are read again when the stream is written.
    QPDFObjectHandle stream = m_pdf.newStream();
    QPDFObjectHandle dict = QPDFObjectHandle::newDictionary();
    dict.replaceKey("/N", QPDFObjectHandle::newInteger(components));
    dict.replaceKey("/Alternate", QPDFObjectHandle::newName(DeviceName(base)));
    stream.replaceDict(dict);
    stream.replaceStreamData(m_provider, QPDFObjectHandle::newNull(), QPDFObjectHandle::newNull());
    record.firstProfileUse = true;
    record.profile = stream.getObjGen();
    m_requests[record.profile] = {Request::Kind::Profile, index};
    m_profiles.emplace(record.profileKey, record.profile);
    return stream;
}

QPDFObjectHandle PdfDocumentWriter::Impl::ColourSpace(PageRecord& record) {
    const Layout& layout = record.layout;
    const Layout::ColourSpace base = layout.colourSpace == Layout::ColourSpace::Indexed
                                         ? layout.paletteBase
                                         : layout.colourSpace;
    QPDFObjectHandle baseSpace;
    if (layout.colourSpace == Layout::ColourSpace::Lab) {
        QPDFObjectHandle lab = QPDFObjectHandle::newDictionary();
        lab.replaceKey("/WhitePoint", NumberArray(layout.whitePoint));
        lab.replaceKey("/Range", NumberArray(layout.labRange));
        baseSpace = QPDFObjectHandle::newArray();
        baseSpace.appendItem(QPDFObjectHandle::newName("/Lab"));
        baseSpace.appendItem(lab);
        return baseSpace;
    }
    if (!record.profileKey.empty()) {
        baseSpace = QPDFObjectHandle::newArray();
        baseSpace.appendItem(QPDFObjectHandle::newName("/ICCBased"));
        baseSpace.appendItem(ProfileStream(record, static_cast<int>(m_records.size()) - 1));
    } else {
        baseSpace = QPDFObjectHandle::newName(DeviceName(base));
    }
    if (layout.colourSpace != Layout::ColourSpace::Indexed) {
        return baseSpace;
    }
    const int entrySize = ComponentsOf(base);
    const int entries = static_cast<int>(layout.palette.size()) / entrySize;
    QPDFObjectHandle indexed = QPDFObjectHandle::newArray();
    indexed.appendItem(QPDFObjectHandle::newName("/Indexed"));
    indexed.appendItem(baseSpace);
    indexed.appendItem(QPDFObjectHandle::newInteger(std::min(entries, 256) - 1));
    indexed.appendItem(
        QPDFObjectHandle::newString(layout.palette.substr(0, std::min(entries, 256) * entrySize)));
    return indexed;
}

QPDFObjectHandle PdfDocumentWriter::Impl::MakeImage(PageRecord& record) {
    const Layout& layout = record.layout;
    const int index = static_cast<int>(m_records.size()) - 1;
    QPDFObjectHandle image = NewImage(m_pdf, layout.width, layout.height, layout.bitsPerComponent);
    QPDFObjectHandle dict = image.getDict();
    dict.replaceKey("/ColorSpace", ColourSpace(record));
    if (!layout.decode.empty()) {
        dict.replaceKey("/Decode", NumberArray(layout.decode));
    }
    if (!layout.colourKey.empty()) {
        dict.replaceKey("/Mask", IntegerArray(layout.colourKey));
    }

    QPDFObjectHandle filter;
    QPDFObjectHandle parms = QPDFObjectHandle::newNull();
    switch (layout.filter) {
    case Layout::Filter::Flate:
    case Layout::Filter::FlatePng:
        filter = QPDFObjectHandle::newName("/FlateDecode");
        parms = PredictorParms(layout.Components(), layout.bitsPerComponent, layout.width);
        break;
    case Layout::Filter::DCT:
        filter = QPDFObjectHandle::newName("/DCTDecode");
        if (layout.dctColorTransform >= 0) {
            parms = QPDFObjectHandle::newDictionary();
            parms.replaceKey("/ColorTransform",
                             QPDFObjectHandle::newInteger(layout.dctColorTransform));
        }
        break;
    case Layout::Filter::CCITT:
        filter = QPDFObjectHandle::newName("/CCITTFaxDecode");
        parms = QPDFObjectHandle::newDictionary();
        parms.replaceKey("/K", QPDFObjectHandle::newInteger(layout.ccittK));
        parms.replaceKey("/Columns", QPDFObjectHandle::newInteger(layout.width));
        parms.replaceKey("/Rows", QPDFObjectHandle::newInteger(layout.height));
        if (layout.ccittBlackIs1) {
            parms.replaceKey("/BlackIs1", QPDFObjectHandle::newBool(true));
        }
        if (layout.ccittByteAlign) {
            parms.replaceKey("/EncodedByteAlign", QPDFObjectHandle::newBool(true));
        }
        break;
    }
    image.replaceStreamData(m_provider, filter, parms);
    // The data is final as it comes: qpdf neither decodes nor recodes it (and so asks once).
    image.setFilterOnWrite(false);
    record.image = image.getObjGen();
    m_requests[record.image] = {Request::Kind::Image, index};

    if (layout.softMask) {
        QPDFObjectHandle mask = NewImage(m_pdf, layout.width, layout.height, layout.softMaskBits);
        QPDFObjectHandle maskDict = mask.getDict();
        maskDict.replaceKey("/ColorSpace", QPDFObjectHandle::newName("/DeviceGray"));
        if (!layout.softMaskDecode.empty()) {
            maskDict.replaceKey("/Decode", NumberArray(layout.softMaskDecode));
        }
        if (!layout.matte.empty()) {
            maskDict.replaceKey("/Matte", NumberArray(layout.matte));
        }
        mask.replaceStreamData(m_provider, QPDFObjectHandle::newName("/FlateDecode"),
                               PredictorParms(1, layout.softMaskBits, layout.width));
        mask.setFilterOnWrite(false);
        dict.replaceKey("/SMask", mask);
        record.mask = mask.getObjGen();
        m_requests[record.mask] = {Request::Kind::Mask, index};
    }
    return image;
}

ImageSource& PdfDocumentWriter::Impl::Reopen(int worker, const PageRecord& record,
                                             std::string* profile) {
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
        Layout layout = source.Layout(record.page);
        std::string bytes = std::move(layout.icc);
        layout.icc.clear();
        same = layout == record.layout && ProfileKey(bytes) == record.profileKey;
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

void PdfDocumentWriter::Impl::Produce(int index, int worker, PageData& data, Parts parts) {
    const PageRecord& record = m_records.at(index);
    if (!parts.image && !parts.mask && !parts.profile) {
        return;
    }
    try {
        ImageSource& source = Reopen(worker, record, parts.profile ? &data.icc : nullptr);
        if (parts.image || parts.mask) {
            source.WriteImage(
                record.page,
                [&](const unsigned char* bytes, size_t size) {
                    if (parts.direct != nullptr) {
                        parts.direct->write(bytes, size);
                    } else if (parts.image) {
                        data.image.append(reinterpret_cast<const char*>(bytes), size);
                    }
                },
                parts.mask ? &data.mask : nullptr);
        }
        // The file stays open for the next page, when it is of the same file.
        if (index + 1 >= PageCount() || m_records[index + 1].source != record.source) {
            m_open.at(worker) = OpenFile{};
        }
    } catch (const PdfError& error) {
        m_open.at(worker) = OpenFile{};
        throw Named(error, SourceData::FromFile(m_paths[record.source]).Name());
    } catch (...) {
        m_open.at(worker) = OpenFile{};
        throw;
    }
}

void PdfDocumentWriter::Impl::Defer(QPDFObjGen og, const std::string& data) {
    if (m_deferredBytes + data.size() <= kDeferredBudget) {
        m_deferredBytes += data.size();
        m_deferred[og] = data;
    }
}

void PdfDocumentWriter::Impl::Provide(QPDFObjGen const& og, Pipeline* pipeline) {
    const Request& request = m_requests.at(og);
    try {
        ProvideRequest(request, pipeline);
        // As qpdf asks of providers: the pipeline (a compressor, for profiles) is finished.
        pipeline->finish();
    } catch (const PdfError& error) {
        if (!m_failure) {
            m_failure = std::make_unique<PdfError>(error);
        }
        throw;
    } catch (const std::bad_alloc&) {
        if (!m_failure) {
            m_failure = std::make_unique<PdfError>(PDF_ERROR_TOO_LARGE, "not enough memory");
        }
        throw;
    }
}

void PdfDocumentWriter::Impl::ProvideRequest(const Request& request, Pipeline* pipeline) {
    PageRecord& record = m_records.at(request.record);
    const auto write = [pipeline](const std::string& data) {
        pipeline->write(reinterpret_cast<const unsigned char*>(data.data()), data.size());
    };
    const int self = static_cast<int>(m_open.size()) - 1; // the writer's own thread
    switch (request.kind) {
    case Request::Kind::Image: {
        PageData data = m_producer->Take(request.record);
        if (record.layout.filter == Layout::Filter::DCT) {
            // JPEG data goes from the file into the PDF as it is read: no page holds it.
            PageData none;
            Produce(request.record, self, none, {true, false, false, pipeline});
        } else {
            write(data.image);
        }
        if (record.layout.softMask && !record.maskDelivered) {
            Defer(record.mask, data.mask);
        }
        if (record.firstProfileUse) {
            Defer(record.profile, data.icc);
        }
        m_producer->Recycle(std::move(data));
        ++m_done;
        if (m_progress != nullptr && m_progress(m_done, PageCount()) != 0) {
            throw PdfError(PDF_ERROR_CANCELLED, "cancelled");
        }
        break;
    }
    case Request::Kind::Mask:
    case Request::Kind::Profile: {
        const bool mask = request.kind == Request::Kind::Mask;
        const QPDFObjGen og = mask ? record.mask : record.profile;
        auto found = m_deferred.find(og);
        if (found != m_deferred.end()) {
            write(found->second);
            m_deferredBytes -= found->second.size();
            m_deferred.erase(found);
        } else {
            PageData data;
            Produce(request.record, self, data, {false, mask, !mask});
            write(mask ? data.mask : data.icc);
        }
        if (mask) {
            record.maskDelivered = true;
        }
        break;
    }
    }
}

void PdfDocumentWriter::Impl::Write(int fd, PdfProgressProc progress) {
    m_progress = progress;
    m_done = 0;
    const int threads = PageProducer::ThreadsFor(PageCount());
    m_open.clear();
    m_open.resize(threads + 1);
    m_producer = std::make_unique<PageProducer>(
        PageCount(), threads, [this](int index, int worker, PageData& data) {
            // JPEG data is read when the page is written, from the file into the PDF.
            const PageRecord& record = m_records[index];
            Produce(index, worker, data,
                    {record.layout.filter != Layout::Filter::DCT, record.layout.softMask,
                     record.firstProfileUse});
        });

    const bool fixed = m_options.fixedTime >= 0;
    QPDFObjectHandle info = QPDFObjectHandle::newDictionary();
    info.replaceKey("/Producer", QPDFObjectHandle::newUnicodeString(ProducerName()));
    info.replaceKey("/Creator", QPDFObjectHandle::newUnicodeString(ProducerName()));
    const std::string date =
        PdfDate(fixed ? static_cast<std::time_t>(m_options.fixedTime) : std::time(nullptr), fixed);
    info.replaceKey("/CreationDate", QPDFObjectHandle::newString(date));
    info.replaceKey("/ModDate", QPDFObjectHandle::newString(date));
    if (!m_options.title.empty()) {
        info.replaceKey("/Title", QPDFObjectHandle::newUnicodeString(m_options.title));
    }
    if (!m_options.author.empty()) {
        info.replaceKey("/Author", QPDFObjectHandle::newUnicodeString(m_options.author));
    }
    if (!m_options.subject.empty()) {
        info.replaceKey("/Subject", QPDFObjectHandle::newUnicodeString(m_options.subject));
    }
    m_pdf.getTrailer().replaceKey("/Info", m_pdf.makeIndirectObject(info));

    DescriptorPipeline output(fd);
    QPDFWriter writer(m_pdf);
    writer.setOutputPipeline(&output);
    writer.setDecodeLevel(qpdf_dl_none);
    writer.setCompressStreams(true);
    writer.setObjectStreamMode(qpdf_o_generate);
    writer.setMinimumPDFVersion("1.5");
    const std::string& user = m_options.userPassword;
    const std::string& owner = m_options.ownerPassword;
    const bool restricted = !m_options.allowCopy || !m_options.allowPrint;
    if (!user.empty() || !owner.empty() || restricted) {
        // Restrictions hold only while the owner password is secret: without one, or with
        // the user's own, a random one is used.
        const std::string ownerUsed =
            owner.empty() || (restricted && owner == user) ? RandomPassword() : owner;
        writer.setR6EncryptionParameters(
            user.c_str(), ownerUsed.c_str(), true, m_options.allowCopy, true, true, true, true,
            m_options.allowPrint ? qpdf_r3p_full : qpdf_r3p_none, true);
    } else if (fixed) {
        writer.setDeterministicID(true);
    }
    try {
        writer.write();
    } catch (...) {
        m_producer.reset();
        if (m_failure) {
            throw PdfError(*m_failure);
        }
        throw;
    }
    m_producer.reset();
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
    return "Ombrix Image to PDF Converter 2.1.13";
}
