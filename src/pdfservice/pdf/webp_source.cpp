#include "pdf/webp_source.h"

#include "pdf/exif_reader.h"
#include "pdf/icc_profile.h"
#include "pdf/interleaved_rows.h"
#include "pdf/pdf_error.h"

#include <cstring>
#include <memory>
#include <webp/decode.h>
#include <webp/demux.h>

namespace {
// Solid areas code to almost nothing (a plain lossless image of 4000 x 4000 pixels takes a
// few hundred bytes): the decoded size is bounded by this many bytes for each byte of file.
constexpr uint64_t kMaxBytesPerByte = uint64_t(1) << 20;

[[noreturn]] void Broken(const std::string& what) {
    throw PdfError(PDF_ERROR_CORRUPT, "broken WebP: " + what);
}

std::string StatusText(VP8StatusCode status) {
    switch (status) {
    case VP8_STATUS_NOT_ENOUGH_DATA:
        return "truncated image data";
    case VP8_STATUS_UNSUPPORTED_FEATURE:
        return "a feature the decoder does not support";
    case VP8_STATUS_OUT_OF_MEMORY:
        return "out of memory";
    default:
        return "damaged image data";
    }
}

struct DemuxDeleter {
    void operator()(WebPDemuxer* demux) const { WebPDemuxDelete(demux); }
};
struct AnimDecoderDeleter {
    void operator()(WebPAnimDecoder* decoder) const { WebPAnimDecoderDelete(decoder); }
};

WebpSource::Info Inspect(const std::string& bytes,
                         std::unique_ptr<WebPDemuxer, DemuxDeleter>& demux) {
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    WebPBitstreamFeatures features;
    const VP8StatusCode status = WebPGetFeatures(data, bytes.size(), &features);
    if (status != VP8_STATUS_OK) {
        Broken(StatusText(status));
    }
    const WebPData webp{data, bytes.size()};
    demux.reset(WebPDemux(&webp));
    if (!demux) {
        Broken("bad container");
    }
    WebpSource::Info info;
    info.width = static_cast<int>(WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_WIDTH));
    info.height = static_cast<int>(WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_HEIGHT));
    info.animated = features.has_animation != 0;
    info.alpha = features.has_alpha != 0;
    info.lossy = !info.animated && features.format == 1;
    WebPIterator frame;
    if (!WebPDemuxGetFrame(demux.get(), 1, &frame)) {
        Broken("no image");
    }
    // A first frame that leaves part of the canvas uncovered leaves it transparent.
    if (frame.x_offset != 0 || frame.y_offset != 0 || frame.width != info.width ||
        frame.height != info.height) {
        info.alpha = true;
    }
    WebPDemuxReleaseIterator(&frame);
    WebPChunkIterator chunk;
    if (WebPDemuxGetChunk(demux.get(), "ICCP", 1, &chunk)) {
        const std::string icc(reinterpret_cast<const char*>(chunk.chunk.bytes), chunk.chunk.size);
        if (icc.size() <= IccProfile::kMaxSize && IccProfile::Fits(icc, 3)) {
            info.icc = icc;
        }
        WebPDemuxReleaseChunkIterator(&chunk);
    }
    // The EXIF chunk holds TIFF data; some writers put the JPEG segment's "Exif" mark first.
    if (WebPDemuxGetChunk(demux.get(), "EXIF", 1, &chunk)) {
        const unsigned char* exif = chunk.chunk.bytes;
        size_t size = chunk.chunk.size;
        if (size >= 6 && std::memcmp(exif, "Exif\0\0", 6) == 0) {
            exif += 6;
            size -= 6;
        }
        info.orientation = ExifReader(exif, size).Orientation();
        WebPDemuxReleaseChunkIterator(&chunk);
    }
    return info;
}
} // namespace

WebpSource::WebpSource(const SourceData& data) : ImageSource(data) {
    const std::string bytes = ReadAll();
    std::unique_ptr<WebPDemuxer, DemuxDeleter> demux;
    m_info = Inspect(bytes, demux);
    const uint64_t width = static_cast<uint64_t>(m_info.width);
    const uint64_t height = static_cast<uint64_t>(m_info.height);
    CheckSize(width, height);
    // The decoder holds the canvas as RGBA, twice for an animation (this frame and the last).
    CheckBuffer(width * height * 4 * (m_info.animated ? 2 : 1));
    CheckDataSize(width * height * 4, bytes.size(), kMaxBytesPerByte);

    ImageLayout layout;
    layout.width = m_info.width;
    layout.height = m_info.height;
    layout.colourSpace = ImageLayout::ColourSpace::RGB;
    layout.bitsPerComponent = 8;
    layout.softMask = m_info.alpha;
    layout.icc = m_info.icc;
    layout.orientation = m_info.orientation;
    m_pages.push_back(std::move(layout));
}

void WebpSource::WriteImage(int, const Sink& out, std::string* softMask) {
    const std::string bytes = ReadAll();
    std::unique_ptr<WebPDemuxer, DemuxDeleter> demux;
    if (!(Inspect(bytes, demux) == m_info)) {
        Changed();
    }
    const WebPData webp{reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()};
    InterleavedRows::Format format;
    format.width = m_info.width;
    format.height = m_info.height;
    format.colours = 3;
    format.alpha = m_info.alpha;
    format.bits = 8;
    format.stride = static_cast<size_t>(m_info.width) * (m_info.alpha ? 4 : 3);
    format.fast = m_info.lossy;

    if (m_info.animated) {
        WebPAnimDecoderOptions options;
        if (!WebPAnimDecoderOptionsInit(&options)) {
            throw PdfError(PDF_ERROR_INTERNAL, "WebP decoder of another version");
        }
        options.color_mode = MODE_RGBA;
        options.use_threads = 0;
        const std::unique_ptr<WebPAnimDecoder, AnimDecoderDeleter> decoder(
            WebPAnimDecoderNew(&webp, &options));
        uint8_t* canvas = nullptr;
        int timestamp = 0;
        if (!decoder || !WebPAnimDecoderGetNext(decoder.get(), &canvas, &timestamp)) {
            Broken("damaged first frame");
        }
        format.alpha = true;
        format.stride = static_cast<size_t>(m_info.width) * 4;
        if (!m_info.alpha) {
            softMask = nullptr; // the frame covers the canvas: its alpha is opaque
        }
        InterleavedRows::Write(out, softMask, canvas, format);
        return;
    }

    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config)) {
        throw PdfError(PDF_ERROR_INTERNAL, "WebP decoder of another version");
    }
    std::unique_ptr<unsigned char[]> pixels(new unsigned char[format.stride * format.height]);
    config.output.colorspace = m_info.alpha ? MODE_RGBA : MODE_RGB;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = pixels.get();
    config.output.u.RGBA.stride = static_cast<int>(format.stride);
    config.output.u.RGBA.size = format.stride * format.height;
    const VP8StatusCode status = WebPDecode(webp.bytes, webp.size, &config);
    WebPFreeDecBuffer(&config.output);
    if (status != VP8_STATUS_OK) {
        Broken(StatusText(status));
    }
    InterleavedRows::Write(out, softMask, pixels.get(), format);
}
