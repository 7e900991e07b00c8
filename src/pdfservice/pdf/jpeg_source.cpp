#include "pdf/jpeg_source.h"

#include "pdf/exif_reader.h"
#include "pdf/icc_profile.h"
#include "pdf/jpeg_structure.h"
#include "pdf/jpeg_transcoder.h"
#include "pdf/pdf_error.h"

JpegSource::JpegSource(const SourceData& data) : ImageSource(data) {
    // The segments before the first scan; those a page does not need are skipped unread.
    JpegInfo info;
    SourceData::Stream stream(m_data);
    JpegStructure::ParseHeader(stream, info);
    CheckSize(info.width, info.height);
    if (info.arithmetic) {
        // Rewritten as Huffman coding with the coefficients of the whole image held.
        CheckBuffer(info.CoefficientBytes());
        CheckDataSize(info.CoefficientBytes(), stream.Size(), JpegInfo::kCoefficientBytesPerByte);
    } else if (info.BuffersWholeImage()) {
        // A reader holds the coefficients of a progressive or multi-scan image whole: no more
        // than its data can code, or the PDF would be a decompression bomb for every reader.
        CheckDataSize(info.CoefficientBytes(), stream.Size(), JpegInfo::kCoefficientBytesPerByte);
    }
    m_frame = info;
    m_frame.icc.clear();
    m_frame.exif.clear();

    ImageLayout layout;
    layout.width = info.width;
    layout.height = info.height;
    layout.bitsPerComponent = 8;
    layout.filter = ImageLayout::Filter::DCT;
    switch (info.components) {
    case 1:
        layout.colourSpace = ImageLayout::ColourSpace::Gray;
        break;
    case 3:
        layout.colourSpace = ImageLayout::ColourSpace::RGB;
        if (info.adobe) {
            layout.dctColorTransform = info.adobeTransform == 0 ? 0 : 1;
        } else if (!info.jfif && info.componentIds == std::vector<int>{'R', 'G', 'B'}) {
            layout.dctColorTransform = 0;
        }
        break;
    default:
        layout.colourSpace = ImageLayout::ColourSpace::CMYK;
        if (info.adobe) {
            // Adobe applications store CMYK JPEGs inverted.
            layout.decode = {1, 0, 1, 0, 1, 0, 1, 0};
            layout.dctColorTransform = info.adobeTransform == 2 ? 1 : 0;
        }
        break;
    }
    if (IccProfile::Fits(info.icc, info.components)) {
        layout.icc = info.icc;
    }

    const ExifReader exif(reinterpret_cast<const unsigned char*>(info.exif.data()),
                          info.exif.size());
    layout.orientation = exif.Orientation();
    if (info.jfif && (info.jfifUnits == 1 || info.jfifUnits == 2) && info.jfifXDensity > 0 &&
        info.jfifYDensity > 0) {
        const double scale = info.jfifUnits == 2 ? 2.54 : 1.0;
        layout.xDpi = info.jfifXDensity * scale;
        layout.yDpi = info.jfifYDensity * scale;
    } else {
        layout.xDpi = exif.XDpi();
        layout.yDpi = exif.YDpi();
    }
    m_pages.push_back(std::move(layout));
}

void JpegSource::WriteImage(int, const Sink& out, std::string*) {
    // Refuse a truncated or broken file rather than embed an image that shows half grey;
    // anything after the end-of-image marker (a second MPO image, trailing junk) is left out.
    SourceData::Stream stream(m_data);
    if (!m_frame.arithmetic) {
        if (!JpegStructure::Copy(stream, &out, true).SameFrame(m_frame)) {
            Changed();
        }
        return;
    }
    const JpegInfo frame = JpegStructure::Copy(stream, nullptr);
    if (!frame.SameFrame(m_frame)) {
        Changed();
    }
    const std::string huffman =
        JpegTranscoder::ToHuffman(m_data.Slice(0, stream.Position()), frame);
    out(reinterpret_cast<const unsigned char*>(huffman.data()), huffman.size());
}
