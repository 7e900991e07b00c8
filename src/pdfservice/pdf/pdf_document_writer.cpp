#include "pdf/pdf_document_writer.h"

#include "pdf/file_ptr.h"
#include "pdf/page_geometry.h"
#include "pdf/pdf_error.h"

#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
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

namespace {
using Layout = ImageLayout;

// Writes the PDF to a C stream and turns every write failure into an error with a reason.
class FilePipeline : public Pipeline {
public:
    explicit FilePipeline(FILE* file) : Pipeline("output file", nullptr), m_file(file) {}
    void write(unsigned char const* data, size_t length) override {
        if (length > 0 && std::fwrite(data, 1, length, m_file) != length) {
            Fail();
        }
    }
    void finish() override {
        if (std::fflush(m_file) != 0) {
            Fail();
        }
    }

private:
    [[noreturn]] static void Fail() {
        throw PdfError(PDF_ERROR_WRITE,
                       std::string("cannot write the PDF: ") + std::strerror(errno));
    }
    FILE* m_file;
};

// Hands qpdf the data of image and soft-mask streams when it writes them. An image's soft
// mask comes out of the same decoding pass as its colour data and waits here until qpdf asks.
class ImageDataProvider : public QPDFObjectHandle::StreamDataProvider {
public:
    struct Entry {
        ImageSource* source;
        int page;
        bool mask;
        QPDFObjGen partner; // the image's soft mask, or the mask's image
    };

    ImageDataProvider(PdfProgressProc progress, int total) : m_progress(progress), m_total(total) {}

    void Add(QPDFObjGen og, const Entry& entry) { m_entries[og] = entry; }

    // qpdf wraps what a provider throws in errors of its own; the first error of ours is
    // kept here so that its code and reason reach the caller.
    const std::unique_ptr<PdfError>& Failure() const { return m_failure; }

    void provideStreamData(QPDFObjGen const& og, Pipeline* pipeline) override {
        try {
            Provide(og, pipeline);
        } catch (const PdfError& error) {
            if (!m_failure) {
                // Name the file: in a merge the reason must say which image failed.
                const std::string& name = m_entries.at(og).source->Name();
                const std::string what = error.what();
                m_failure = std::make_unique<PdfError>(
                    error.Code(), what.find(name) != std::string::npos ? what : name + ": " + what);
            }
            throw;
        }
    }

private:
    void Provide(QPDFObjGen const& og, Pipeline* pipeline) {
        const Entry& entry = m_entries.at(og);
        if (entry.mask) {
            auto found = m_masks.find(og);
            if (found == m_masks.end()) {
                // Asked before its image: decode once more, keeping only the mask.
                std::string mask;
                entry.source->WriteImage(
                    entry.page, [](const unsigned char*, size_t) {}, &mask);
                found = m_masks.emplace(og, std::move(mask)).first;
            }
            pipeline->write(reinterpret_cast<const unsigned char*>(found->second.data()),
                            found->second.size());
            m_masks.erase(found);
            return;
        }
        std::string mask;
        const bool hasMask = entry.partner.getObj() != 0;
        entry.source->WriteImage(
            entry.page,
            [pipeline](const unsigned char* data, size_t size) { pipeline->write(data, size); },
            hasMask ? &mask : nullptr);
        if (hasMask) {
            m_masks[entry.partner] = std::move(mask);
        }
        ++m_done;
        if (m_progress != nullptr && m_progress(m_done, m_total) != 0) {
            throw PdfError(PDF_ERROR_CANCELLED, "cancelled");
        }
    }

    PdfProgressProc m_progress;
    int m_total;
    std::unique_ptr<PdfError> m_failure;
    int m_done = 0;
    std::map<QPDFObjGen, Entry> m_entries;
    std::map<QPDFObjGen, std::string> m_masks;
};

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

// Builds the objects of a document; ICC profiles shared by several images are written once.
class DocumentBuilder {
public:
    DocumentBuilder(QPDF& pdf, ImageDataProvider& provider,
                    std::shared_ptr<QPDFObjectHandle::StreamDataProvider> providerHandle)
        : m_pdf(pdf), m_provider(provider), m_providerHandle(std::move(providerHandle)),
          m_pages(pdf) {}

    void AddPage(ImageSource& source, int page, const PdfDocumentWriter::Options& options) {
        const Layout& layout = source.Layout(page);
        const bool swap = PageGeometry::SwapsSides(layout.orientation);
        const double canvasWidth = swap ? layout.CanvasHeight() : layout.CanvasWidth();
        const double canvasHeight = swap ? layout.CanvasWidth() : layout.CanvasHeight();
        const double xDpi = swap ? layout.yDpi : layout.xDpi;
        const double yDpi = swap ? layout.xDpi : layout.yDpi;
        const PagePlacement placement =
            PageGeometry::Place(options.page, {canvasWidth, canvasHeight, xDpi, yDpi});

        // A frame smaller than its canvas (GIF) takes its part of the box.
        double x = placement.x;
        double y = placement.y;
        double width = placement.width;
        double height = placement.height;
        if (layout.canvasWidth > 0 && layout.canvasHeight > 0) {
            const double sx = placement.width / layout.canvasWidth;
            const double sy = placement.height / layout.canvasHeight;
            x += layout.offsetX * sx;
            y += (layout.canvasHeight - layout.offsetY - layout.height) * sy;
            width = layout.width * sx;
            height = layout.height * sy;
        }

        QPDFObjectHandle image = MakeImage(source, page, layout);
        const std::array<double, 6> m =
            PageGeometry::ImageMatrix(layout.orientation, x, y, width, height);
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
        m_pages.addPage(QPDFPageObjectHelper(m_pdf.makeIndirectObject(pageObject)), false);
    }

private:
    QPDFObjectHandle IccStream(const std::string& profile, int components) {
        auto found = m_iccStreams.find(profile);
        if (found != m_iccStreams.end()) {
            return found->second;
        }
        QPDFObjectHandle stream = m_pdf.newStream(profile);
        stream.getDict().replaceKey("/N", QPDFObjectHandle::newInteger(components));
        stream.getDict().replaceKey("/Alternate",
                                    QPDFObjectHandle::newName(components == 1   ? "/DeviceGray"
                                                              : components == 4 ? "/DeviceCMYK"
                                                                                : "/DeviceRGB"));
        m_iccStreams.emplace(profile, stream);
        return stream;
    }

    QPDFObjectHandle ColourSpace(const Layout& layout) {
        const Layout::ColourSpace base = layout.colourSpace == Layout::ColourSpace::Indexed
                                             ? layout.paletteBase
                                             : layout.colourSpace;
        QPDFObjectHandle baseSpace;
        if (!layout.icc.empty()) {
            baseSpace = QPDFObjectHandle::newArray();
            baseSpace.appendItem(QPDFObjectHandle::newName("/ICCBased"));
            baseSpace.appendItem(IccStream(layout.icc, ComponentsOf(base)));
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
        indexed.appendItem(QPDFObjectHandle::newString(
            layout.palette.substr(0, std::min(entries, 256) * entrySize)));
        return indexed;
    }

    QPDFObjectHandle PredictorParms(int colours, int bits, int columns) {
        QPDFObjectHandle parms = QPDFObjectHandle::newDictionary();
        parms.replaceKey("/Predictor", QPDFObjectHandle::newInteger(15));
        parms.replaceKey("/Colors", QPDFObjectHandle::newInteger(colours));
        parms.replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(bits));
        parms.replaceKey("/Columns", QPDFObjectHandle::newInteger(columns));
        return parms;
    }

    QPDFObjectHandle MakeImage(ImageSource& source, int page, const Layout& layout) {
        QPDFObjectHandle image = m_pdf.newStream();
        QPDFObjectHandle dict = image.getDict();
        dict.replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
        dict.replaceKey("/Subtype", QPDFObjectHandle::newName("/Image"));
        dict.replaceKey("/Width", QPDFObjectHandle::newInteger(layout.width));
        dict.replaceKey("/Height", QPDFObjectHandle::newInteger(layout.height));
        dict.replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(layout.bitsPerComponent));
        dict.replaceKey("/ColorSpace", ColourSpace(layout));
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
        image.replaceStreamData(m_providerHandle, filter, parms);

        ImageDataProvider::Entry entry{&source, page, false, QPDFObjGen()};
        if (layout.softMask) {
            QPDFObjectHandle mask = m_pdf.newStream();
            QPDFObjectHandle maskDict = mask.getDict();
            maskDict.replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
            maskDict.replaceKey("/Subtype", QPDFObjectHandle::newName("/Image"));
            maskDict.replaceKey("/Width", QPDFObjectHandle::newInteger(layout.width));
            maskDict.replaceKey("/Height", QPDFObjectHandle::newInteger(layout.height));
            maskDict.replaceKey("/BitsPerComponent",
                                QPDFObjectHandle::newInteger(layout.softMaskBits));
            maskDict.replaceKey("/ColorSpace", QPDFObjectHandle::newName("/DeviceGray"));
            if (!layout.softMaskDecode.empty()) {
                maskDict.replaceKey("/Decode", NumberArray(layout.softMaskDecode));
            }
            if (!layout.matte.empty()) {
                maskDict.replaceKey("/Matte", NumberArray(layout.matte));
            }
            mask.replaceStreamData(m_providerHandle, QPDFObjectHandle::newName("/FlateDecode"),
                                   PredictorParms(1, layout.softMaskBits, layout.width));
            dict.replaceKey("/SMask", mask);
            entry.partner = mask.getObjGen();
            m_provider.Add(mask.getObjGen(), {&source, page, true, image.getObjGen()});
        }
        m_provider.Add(image.getObjGen(), entry);
        return image;
    }

    QPDF& m_pdf;
    ImageDataProvider& m_provider;
    std::shared_ptr<QPDFObjectHandle::StreamDataProvider> m_providerHandle;
    QPDFPageDocumentHelper m_pages;
    std::map<std::string, QPDFObjectHandle> m_iccStreams;
};

std::string PdfDate(std::time_t now) {
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "D:%Y%m%d%H%M%S", &local);
    const long offset = local.tm_gmtoff / 60;
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
} // namespace

const char* PdfDocumentWriter::ProducerName() {
    return "Ombrix Image to PDF Converter 2.1.13";
}

void PdfDocumentWriter::Write(const std::vector<std::unique_ptr<ImageSource>>& sources,
                              const Options& options, const std::string& path,
                              PdfProgressProc progress) {
    int total = 0;
    for (const auto& source : sources) {
        total += source->PageCount();
    }
    QPDF pdf;
    pdf.emptyPDF();
    pdf.setSuppressWarnings(true);
    auto provider = std::make_shared<ImageDataProvider>(progress, total);
    DocumentBuilder builder(pdf, *provider, provider);
    for (const auto& source : sources) {
        for (int page = 0; page < source->PageCount(); ++page) {
            builder.AddPage(*source, page, options);
        }
    }

    QPDFObjectHandle info = QPDFObjectHandle::newDictionary();
    info.replaceKey("/Producer", QPDFObjectHandle::newUnicodeString(ProducerName()));
    info.replaceKey("/Creator", QPDFObjectHandle::newUnicodeString(ProducerName()));
    const std::string date = PdfDate(std::time(nullptr));
    info.replaceKey("/CreationDate", QPDFObjectHandle::newString(date));
    info.replaceKey("/ModDate", QPDFObjectHandle::newString(date));
    if (!options.title.empty()) {
        info.replaceKey("/Title", QPDFObjectHandle::newUnicodeString(options.title));
    }
    if (!options.author.empty()) {
        info.replaceKey("/Author", QPDFObjectHandle::newUnicodeString(options.author));
    }
    if (!options.subject.empty()) {
        info.replaceKey("/Subject", QPDFObjectHandle::newUnicodeString(options.subject));
    }
    pdf.getTrailer().replaceKey("/Info", pdf.makeIndirectObject(info));

    FilePtr file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        throw PdfError(PDF_ERROR_WRITE,
                       "cannot create the PDF: " + std::string(std::strerror(errno)));
    }
    FilePipeline output(file.get());
    QPDFWriter writer(pdf);
    writer.setOutputPipeline(&output);
    writer.setDecodeLevel(qpdf_dl_none);
    writer.setCompressStreams(true);
    writer.setObjectStreamMode(qpdf_o_generate);
    writer.setMinimumPDFVersion("1.5");
    if (!options.userPassword.empty() || !options.ownerPassword.empty()) {
        // Without an owner password the restrictions could be lifted by anyone; a random
        // one keeps them.
        const std::string owner =
            options.ownerPassword.empty() ? RandomPassword() : options.ownerPassword;
        writer.setR6EncryptionParameters(options.userPassword.c_str(), owner.c_str(), true,
                                         options.allowCopy, true, true, true, true,
                                         options.allowPrint ? qpdf_r3p_full : qpdf_r3p_none, true);
    }
    try {
        writer.write();
    } catch (...) {
        if (provider->Failure()) {
            throw PdfError(*provider->Failure());
        }
        throw;
    }
    FILE* raw = file.release();
    if (std::fclose(raw) != 0) {
        throw PdfError(PDF_ERROR_WRITE,
                       "cannot write the PDF: " + std::string(std::strerror(errno)));
    }
}
