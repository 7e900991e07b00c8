#include "pdf/jp2_source.h"

#include "pdf/icc_profile.h"
#include "pdf/image_encoder.h"
#include "pdf/pdf_error.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <openjpeg.h>
#include <vector>

namespace {
// Solid areas code to almost nothing: the decoded size (OpenJPEG holds 32 bits for every
// sample) is bounded by this many bytes for each byte of file.
constexpr uint64_t kMaxBytesPerByte = uint64_t(1) << 20;

[[noreturn]] void Broken(const std::string& what) {
    throw PdfError(PDF_ERROR_CORRUPT, "broken JPEG 2000: " + what);
}

[[noreturn]] void Unsupported(const std::string& what) {
    throw PdfError(PDF_ERROR_UNSUPPORTED_IMAGE, "JPEG 2000 " + what + " is not supported");
}

bool IsCodestream(const std::string& head) {
    return head.size() >= 4 && std::memcmp(head.data(), "\xFF\x4F\xFF\x51", 4) == 0;
}

// The file read through OpenJPEG's stream callbacks, which must not throw.
struct Input {
    explicit Input(const SourceData& data) : reader(data) {}
    SourceData::Reader reader;
    uint64_t position = 0;
    bool failed = false;
};

OPJ_SIZE_T ReadInput(void* buffer, OPJ_SIZE_T size, void* user) {
    auto* input = static_cast<Input*>(user);
    try {
        const size_t n = input->reader.ReadAt(input->position, buffer, size);
        if (n == 0) {
            return static_cast<OPJ_SIZE_T>(-1);
        }
        input->position += n;
        return n;
    } catch (...) {
        input->failed = true;
        return static_cast<OPJ_SIZE_T>(-1);
    }
}

OPJ_OFF_T SkipInput(OPJ_OFF_T count, void* user) {
    auto* input = static_cast<Input*>(user);
    if (count < 0 && static_cast<uint64_t>(-count) > input->position) {
        return -1;
    }
    input->position += static_cast<uint64_t>(count);
    return count;
}

OPJ_BOOL SeekInput(OPJ_OFF_T offset, void* user) {
    auto* input = static_cast<Input*>(user);
    if (offset < 0 || static_cast<uint64_t>(offset) > input->reader.Size()) {
        return OPJ_FALSE;
    }
    input->position = static_cast<uint64_t>(offset);
    return OPJ_TRUE;
}

// Errors, and warnings (which OpenJPEG gives for missing or damaged data it goes on past).
void Message(const char* text, void* user) {
    auto* messages = static_cast<std::string*>(user);
    if (messages->empty() && text != nullptr) {
        *messages = text;
        while (!messages->empty() && (messages->back() == '\n' || messages->back() == ' ')) {
            messages->pop_back();
        }
    }
}
void Ignore(const char*, void*) {}

struct StreamDeleter {
    void operator()(opj_stream_t* stream) const { opj_stream_destroy(stream); }
};
struct CodecDeleter {
    void operator()(opj_codec_t* codec) const { opj_destroy_codec(codec); }
};
struct ImageDeleter {
    void operator()(opj_image_t* image) const { opj_image_destroy(image); }
};

// One decoding of the file: its header, then, when asked, its samples.
class Decoder {
public:
    explicit Decoder(const SourceData& data) : m_input(data) {
        const std::string head = data.ReadPrefix(4);
        m_codec.reset(opj_create_decompress(IsCodestream(head) ? OPJ_CODEC_J2K : OPJ_CODEC_JP2));
        m_stream.reset(opj_stream_create(64 * 1024, OPJ_TRUE));
        if (!m_codec || !m_stream) {
            throw PdfError(PDF_ERROR_INTERNAL, "cannot start the JPEG 2000 decoder");
        }
        opj_stream_set_user_data(m_stream.get(), &m_input, nullptr);
        opj_stream_set_user_data_length(m_stream.get(), m_input.reader.Size());
        opj_stream_set_read_function(m_stream.get(), ReadInput);
        opj_stream_set_skip_function(m_stream.get(), SkipInput);
        opj_stream_set_seek_function(m_stream.get(), SeekInput);
        opj_set_error_handler(m_codec.get(), Message, &m_error);
        opj_set_warning_handler(m_codec.get(), Message, &m_warning);
        opj_set_info_handler(m_codec.get(), Ignore, nullptr);
        opj_dparameters_t parameters;
        opj_set_default_decoder_parameters(&parameters);
        if (!opj_setup_decoder(m_codec.get(), &parameters) ||
            !opj_decoder_set_strict_mode(m_codec.get(), OPJ_TRUE)) {
            throw PdfError(PDF_ERROR_INTERNAL, "cannot start the JPEG 2000 decoder");
        }
        opj_image_t* image = nullptr;
        const bool read = opj_read_header(m_stream.get(), m_codec.get(), &image);
        m_image.reset(image);
        Check(read && m_image, "bad header");
    }

    opj_image_t* Image() const { return m_image.get(); }

    void Decode() {
        const bool decoded = opj_decode(m_codec.get(), m_stream.get(), m_image.get()) &&
                             opj_end_decompress(m_codec.get(), m_stream.get());
        Check(decoded, "damaged image data");
        for (unsigned c = 0; c < m_image->numcomps; ++c) {
            if (m_image->comps[c].data == nullptr) {
                Broken("no data for a component");
            }
        }
    }

private:
    void Check(bool done, const char* what) {
        if (m_input.failed) {
            throw PdfError(PDF_ERROR_READ, "cannot read " + m_input.reader.Name());
        }
        if (!m_warning.empty()) {
            Broken(m_warning);
        }
        if (!done) {
            Broken(m_error.empty() ? what : m_error);
        }
    }

    Input m_input;
    std::string m_error;
    std::string m_warning;
    std::unique_ptr<opj_codec_t, CodecDeleter> m_codec;
    std::unique_ptr<opj_stream_t, StreamDeleter> m_stream;
    std::unique_ptr<opj_image_t, ImageDeleter> m_image;
};

// What the JP2 boxes say that decides whether readers show the file as it is: a plain JP2
// (no palette, no channel definitions) with one colour box (colr) of sRGB or grey
// (`enumerated`) or an ICC profile.
struct Boxes {
    bool plain = false;
    int enumerated = 0;
    bool restrictedIcc = false;
};

Boxes ReadBoxes(const SourceData& data) {
    Boxes boxes;
    SourceData::Stream stream(data);
    bool jp2Brand = false;
    int colourBoxes = 0;
    int codestreams = 0;
    bool extra = false;
    // Walks the boxes of [start, end): their types, and the colour box's content.
    const auto walk = [&](auto& self, uint64_t end, bool header) -> bool {
        while (stream.Position() < end) {
            if (!stream.Ensure(8)) {
                return false;
            }
            const unsigned char* p = stream.Data();
            uint64_t length =
                uint64_t(p[0]) << 24 | uint64_t(p[1]) << 16 | uint64_t(p[2]) << 8 | p[3];
            const std::string type(reinterpret_cast<const char*>(p + 4), 4);
            uint64_t headerLength = 8;
            if (length == 1) {
                if (!stream.Ensure(16)) {
                    return false;
                }
                p = stream.Data();
                length = 0;
                for (int i = 8; i < 16; ++i) {
                    length = length << 8 | p[i];
                }
                headerLength = 16;
            } else if (length == 0) {
                length = end - stream.Position();
            }
            if (length < headerLength || length > end - stream.Position()) {
                return false;
            }
            const uint64_t boxEnd = stream.Position() + length;
            if (header) {
                if (type == "colr") {
                    ++colourBoxes;
                    if (stream.Ensure(headerLength + 7)) {
                        const unsigned char* c = stream.Data() + headerLength;
                        if (c[0] == 1) {
                            boxes.enumerated =
                                int(c[3]) << 24 | int(c[4]) << 16 | int(c[5]) << 8 | c[6];
                        } else if (c[0] == 2) {
                            boxes.restrictedIcc = true;
                        }
                    }
                } else if (type != "ihdr" && type != "res ") {
                    extra = true;
                }
            } else if (type == "ftyp") {
                jp2Brand = stream.Ensure(headerLength + 4) &&
                           std::memcmp(stream.Data() + headerLength, "jp2 ", 4) == 0;
            } else if (type == "jp2h") {
                stream.Skip(headerLength);
                if (!self(self, boxEnd, true)) {
                    return false;
                }
                continue;
            } else if (type == "jp2c") {
                ++codestreams;
            }
            stream.Skip(length);
        }
        return true;
    };
    if (walk(walk, stream.Size(), false)) {
        boxes.plain = jp2Brand && colourBoxes == 1 && codestreams == 1 && !extra;
    }
    return boxes;
}

// `enumerated`: the colour space the JP2 header names (0 for none): OpenJPEG gives it to the
// image only as it decodes.
Jp2Source::Info Describe(const opj_image_t* image, int enumerated) {
    Jp2Source::Info info;
    if (image->x1 <= image->x0 || image->y1 <= image->y0 || image->numcomps == 0) {
        Broken("image without pixels");
    }
    info.width = static_cast<int>(std::min<uint32_t>(image->x1 - image->x0, INT32_MAX));
    info.height = static_cast<int>(std::min<uint32_t>(image->y1 - image->y0, INT32_MAX));
    int colours = 0;
    int alphas = 0;
    // Three components whose second is subsampled are Y, Cb and Cr whatever the file says,
    // as OpenJPEG's own tools take them.
    const bool eycc = image->color_space == OPJ_CLRSPC_EYCC || enumerated == 24;
    info.ycc = image->color_space == OPJ_CLRSPC_SYCC || enumerated == 18 ||
               (image->numcomps == 3 && image->comps[0].dx == 1 && image->comps[0].dy == 1 &&
                (image->comps[1].dx != 1 || image->comps[1].dy != 1));
    for (unsigned c = 0; c < image->numcomps; ++c) {
        const opj_image_comp_t& comp = image->comps[c];
        // Only the chroma of YCC colour may be subsampled (by 2 at most, as 4:2:0 and 4:2:2).
        const bool chroma = info.ycc && (c == 1 || c == 2);
        if (comp.dx == 0 || comp.dy == 0 || comp.dx > 2 || comp.dy > 2 ||
            (!chroma && (comp.dx != 1 || comp.dy != 1))) {
            Unsupported("with subsampled components");
        }
        // OpenJPEG sizes a component as the image's area divided by its step, rounded up.
        const uint64_t w = (uint64_t(image->x1) + comp.dx - 1) / comp.dx -
                           (uint64_t(image->x0) + comp.dx - 1) / comp.dx;
        const uint64_t h = (uint64_t(image->y1) + comp.dy - 1) / comp.dy -
                           (uint64_t(image->y0) + comp.dy - 1) / comp.dy;
        if (comp.w != w || comp.h != h) {
            Broken("components of another size than the image");
        }
        if (comp.prec == 0 || comp.prec > 16) {
            Unsupported("of " + std::to_string(comp.prec) + "-bit samples");
        }
        if (info.precision != 0 && static_cast<int>(comp.prec) != info.precision) {
            Unsupported("with components of different depths");
        }
        info.precision = static_cast<int>(comp.prec);
        if (comp.alpha != 0) {
            // Only the last component may be alpha (channel definitions put it there).
            if (c + 1 != image->numcomps) {
                Unsupported("with alpha before colour");
            }
            ++alphas;
        } else {
            ++colours;
        }
    }
    if (info.ycc && (colours != 3 || image->numcomps != 3)) {
        Unsupported("in YCC colour with " + std::to_string(image->numcomps) + " components");
    }
    if (eycc) {
        Unsupported("in e-sYCC colour");
    }
    switch (image->color_space) {
    case OPJ_CLRSPC_CMYK:
        if (colours != 4) {
            Broken("CMYK without four components");
        }
        break;
    default:
        // Grey or RGB, with or without an alpha component that is not defined as one.
        if (colours == 2 || (colours == 4 && alphas == 0)) {
            --colours;
            ++alphas;
        }
        if (colours != 1 && colours != 3) {
            Unsupported("with " + std::to_string(colours) + " colour components");
        }
        break;
    }
    info.colours = colours;
    info.alpha = alphas > 0;
    return info;
}
} // namespace

Jp2Source::Jp2Source(const SourceData& data, bool passThrough) : ImageSource(data) {
    Decoder decoder(m_data);
    const opj_image_t* image = decoder.Image();
    const Boxes boxes = ReadBoxes(m_data);
    m_info = Describe(image, boxes.enumerated);
    const uint64_t width = static_cast<uint64_t>(m_info.width);
    const uint64_t height = static_cast<uint64_t>(m_info.height);
    CheckSize(width, height);
    const uint64_t decoded = width * height * image->numcomps * 4;
    CheckBuffer(decoded);
    CheckDataSize(decoded, m_data.Size(), kMaxBytesPerByte);

    ImageLayout layout;
    layout.width = m_info.width;
    layout.height = m_info.height;
    layout.colourSpace = m_info.colours == 1   ? ImageLayout::ColourSpace::Gray
                         : m_info.colours == 3 ? ImageLayout::ColourSpace::RGB
                                               : ImageLayout::ColourSpace::CMYK;
    layout.bitsPerComponent = m_info.precision > 8 ? 16 : 8;
    layout.softMask = m_info.alpha;
    layout.softMaskBits = layout.bitsPerComponent;
    if (image->icc_profile_buf != nullptr && image->icc_profile_len > 0 &&
        image->icc_profile_len <= IccProfile::kMaxSize) {
        const std::string icc(reinterpret_cast<const char*>(image->icc_profile_buf),
                              image->icc_profile_len);
        if (IccProfile::Fits(icc, m_info.colours)) {
            layout.icc = icc;
        }
    }

    if (passThrough && !IsCodestream(m_data.ReadPrefix(4)) && m_info.precision == 8 &&
        !m_info.alpha && m_info.colours != 4 && !m_info.ycc && image->x0 == 0 && image->y0 == 0) {
        bool signedSamples = false;
        for (unsigned c = 0; c < image->numcomps; ++c) {
            signedSamples = signedSamples || image->comps[c].sgnd != 0;
        }
        const bool known = (boxes.enumerated == 16 && m_info.colours == 3) ||
                           (boxes.enumerated == 17 && m_info.colours == 1) ||
                           (boxes.restrictedIcc && !layout.icc.empty());
        m_passThrough = boxes.plain && known && !signedSamples;
    }
    if (m_passThrough) {
        layout.filter = ImageLayout::Filter::JPX;
    }
    m_pages.push_back(std::move(layout));
}

void Jp2Source::WriteImage(int, const Sink& out, std::string* softMask) {
    Decoder decoder(m_data);
    if (!(Describe(decoder.Image(), ReadBoxes(m_data).enumerated) == m_info)) {
        Changed();
    }
    // Every file is decoded whole: one whose codestream is damaged fails, even when its data
    // is embedded as it is.
    decoder.Decode();
    const opj_image_t* image = decoder.Image();
    if (m_passThrough) {
        SourceData::Stream stream(m_data);
        while (stream.Ensure(1)) {
            out(stream.Data(), stream.Available());
            stream.Skip(stream.Available());
        }
        return;
    }

    const int bits = m_pages.front().bitsPerComponent;
    const size_t width = static_cast<size_t>(m_info.width);
    const int colours = m_info.colours;
    ImageEncoder encoder(out, m_info.alpha ? softMask : nullptr, m_info.width, m_info.height,
                         colours, bits, m_info.alpha ? bits : 0);
    // Samples of fewer bits are spread over the full range of 8 or 16: every value stays
    // distinct.
    const uint32_t top = (uint32_t(1) << m_info.precision) - 1;
    const uint32_t outTop = bits == 16 ? 0xFFFF : 0xFF;
    // The unsigned sample of a component at a pixel of the image: a subsampled component's
    // sample stands for each pixel it covers.
    const auto sample = [image](const opj_image_comp_t& comp, size_t x, size_t y) {
        const auto at = [](uint64_t pixel, uint32_t step, uint32_t first, uint32_t count) {
            const int64_t index = static_cast<int64_t>(pixel / step) - first;
            return static_cast<size_t>(std::clamp<int64_t>(index, 0, int64_t(count) - 1));
        };
        const size_t cx = at(uint64_t(image->x0) + x, comp.dx, comp.x0, comp.w);
        const size_t cy = at(uint64_t(image->y0) + y, comp.dy, comp.y0, comp.h);
        int64_t value = comp.data[cy * comp.w + cx];
        if (comp.sgnd) {
            value += int64_t(1) << (comp.prec - 1);
        }
        return value;
    };
    const auto put = [&](unsigned char* row, size_t index, double value) {
        const uint32_t clamped =
            static_cast<uint32_t>(std::clamp<double>(std::round(value), 0, top));
        const uint32_t scaled = top == outTop ? clamped : (clamped * outTop + top / 2) / top;
        if (bits == 16) {
            row[2 * index] = static_cast<unsigned char>(scaled >> 8);
            row[2 * index + 1] = static_cast<unsigned char>(scaled);
        } else {
            row[index] = static_cast<unsigned char>(scaled);
        }
    };
    // sYCC: full-range BT.601 colour difference around the middle of the range.
    const double middle = double(uint32_t(1) << (m_info.precision - 1));
    for (int y = 0; y < m_info.height; ++y) {
        unsigned char* row = encoder.ColourRow();
        unsigned char* alpha = encoder.AlphaRow();
        const size_t py = static_cast<size_t>(y);
        for (size_t x = 0; x < width; ++x) {
            if (m_info.ycc) {
                const double luma = double(sample(image->comps[0], x, py));
                const double cb = double(sample(image->comps[1], x, py)) - middle;
                const double cr = double(sample(image->comps[2], x, py)) - middle;
                put(row, x * 3, luma + 1.402 * cr);
                put(row, x * 3 + 1, luma - 0.344136 * cb - 0.714136 * cr);
                put(row, x * 3 + 2, luma + 1.772 * cb);
            } else {
                for (int c = 0; c < colours; ++c) {
                    put(row, x * colours + c, double(sample(image->comps[c], x, py)));
                }
            }
            if (alpha != nullptr) {
                put(alpha, x, double(sample(image->comps[colours], x, py)));
            }
        }
        encoder.WriteRow();
    }
    encoder.Finish();
}
