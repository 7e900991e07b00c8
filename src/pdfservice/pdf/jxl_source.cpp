#include "pdf/jxl_source.h"

#include "pdf/icc_profile.h"
#include "pdf/interleaved_rows.h"
#include "pdf/jpeg_source.h"
#include "pdf/pdf_error.h"

#include <cstdlib>
#include <cstring>
#include <jxl/decode.h>
#include <memory>

namespace {
// Solid areas code to almost nothing: the decoded size is bounded by this many bytes for each
// byte of file.
constexpr uint64_t kMaxBytesPerByte = uint64_t(1) << 20;
// The decoder's own memory (its planes are of 32-bit floats) beyond the image it gives.
constexpr uint64_t kDecoderBytesPerPixel = 32;

[[noreturn]] void Broken(const std::string& what) {
    throw PdfError(PDF_ERROR_CORRUPT, "broken JPEG XL: " + what);
}

// Memory for the decoder, within a budget: an allocation beyond it fails, and the decoder
// with it, instead of the machine's memory going.
class Budget {
public:
    explicit Budget(uint64_t limit) : m_limit(limit) {
        m_manager.opaque = this;
        m_manager.alloc = Alloc;
        m_manager.free = Free;
    }
    const JxlMemoryManager* Manager() const { return &m_manager; }
    bool Exceeded() const { return m_exceeded; }

private:
    static constexpr size_t kHeader = 16; // the block's size, kept before it (aligned)

    static void* Alloc(void* opaque, size_t size) {
        auto* budget = static_cast<Budget*>(opaque);
        if (size > budget->m_limit - budget->m_used) {
            budget->m_exceeded = true;
            return nullptr;
        }
        auto* block = static_cast<unsigned char*>(std::malloc(size + kHeader));
        if (block == nullptr) {
            budget->m_exceeded = true;
            return nullptr;
        }
        std::memcpy(block, &size, sizeof size);
        budget->m_used += size;
        return block + kHeader;
    }
    static void Free(void* opaque, void* address) {
        if (address == nullptr) {
            return;
        }
        auto* budget = static_cast<Budget*>(opaque);
        unsigned char* block = static_cast<unsigned char*>(address) - kHeader;
        size_t size = 0;
        std::memcpy(&size, block, sizeof size);
        budget->m_used -= size;
        std::free(block);
    }

    JxlMemoryManager m_manager{};
    uint64_t m_limit;
    uint64_t m_used = 0;
    bool m_exceeded = false;
};

struct DecoderDestroy {
    void operator()(JxlDecoder* decoder) const { JxlDecoderDestroy(decoder); }
};

// One pass of the decoder over the whole file: its header, colour profile and, as asked, the
// rebuilt JPEG or the first frame's pixels.
class JxlDecoding {
public:
    enum class Want { Header, Jpeg, Pixels };

    JxlDecoding(const std::string& bytes, Want want, uint64_t budget) : m_budget(budget) {
        m_decoder.reset(JxlDecoderCreate(m_budget.Manager()));
        if (!m_decoder) {
            throw PdfError(PDF_ERROR_INTERNAL, "cannot start the JPEG XL decoder");
        }
        JxlDecoder* dec = m_decoder.get();
        int events = JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING | JXL_DEC_FRAME;
        if (want != Want::Pixels) {
            events |= JXL_DEC_JPEG_RECONSTRUCTION;
        }
        if (want != Want::Header) {
            events |= JXL_DEC_FULL_IMAGE;
        }
        Ok(JxlDecoderSubscribeEvents(dec, events));
        Ok(JxlDecoderSetInput(dec, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
        JxlDecoderCloseInput(dec);
        for (;;) {
            const JxlDecoderStatus status = JxlDecoderProcessInput(dec);
            switch (status) {
            case JXL_DEC_ERROR:
                Fail("damaged image data");
            case JXL_DEC_NEED_MORE_INPUT:
                Broken("truncated image data");
            case JXL_DEC_BASIC_INFO:
                Ok(JxlDecoderGetBasicInfo(dec, &m_basic));
                if (m_basic.xsize == 0 || m_basic.ysize == 0) {
                    Broken("image without pixels");
                }
                ImageSource::CheckSize(m_basic.xsize, m_basic.ysize);
                break;
            case JXL_DEC_COLOR_ENCODING: {
                // sRGB (or its grey) is what the device colours are: no profile needed.
                JxlColorEncoding encoding{};
                if (JxlDecoderGetColorAsEncodedProfile(dec, nullptr, JXL_COLOR_PROFILE_TARGET_DATA,
                                                       &encoding) == JXL_DEC_SUCCESS &&
                    encoding.white_point == JXL_WHITE_POINT_D65 &&
                    encoding.transfer_function == JXL_TRANSFER_FUNCTION_SRGB &&
                    (encoding.color_space == JXL_COLOR_SPACE_GRAY ||
                     (encoding.color_space == JXL_COLOR_SPACE_RGB &&
                      encoding.primaries == JXL_PRIMARIES_SRGB))) {
                    break;
                }
                size_t size = 0;
                if (JxlDecoderGetICCProfileSize(dec, nullptr, JXL_COLOR_PROFILE_TARGET_DATA,
                                                &size) == JXL_DEC_SUCCESS &&
                    size <= IccProfile::kMaxSize) {
                    m_icc.resize(size);
                    if (JxlDecoderGetColorAsICCProfile(dec, nullptr, JXL_COLOR_PROFILE_TARGET_DATA,
                                                       reinterpret_cast<uint8_t*>(m_icc.data()),
                                                       size) != JXL_DEC_SUCCESS) {
                        m_icc.clear();
                    }
                }
                break;
            }
            case JXL_DEC_JPEG_RECONSTRUCTION:
                m_isJpeg = true;
                if (want == Want::Header) {
                    return;
                }
                m_jpeg.resize(64 * 1024);
                Ok(JxlDecoderSetJPEGBuffer(dec, reinterpret_cast<uint8_t*>(m_jpeg.data()),
                                           m_jpeg.size()));
                break;
            case JXL_DEC_JPEG_NEED_MORE_OUTPUT: {
                const size_t left = JxlDecoderReleaseJPEGBuffer(dec);
                const size_t used = m_jpeg.size() - left;
                ImageSource::CheckBuffer(2 * m_jpeg.size());
                m_jpeg.resize(2 * m_jpeg.size());
                Ok(JxlDecoderSetJPEGBuffer(dec, reinterpret_cast<uint8_t*>(m_jpeg.data()) + used,
                                           m_jpeg.size() - used));
                break;
            }
            case JXL_DEC_FRAME:
                if (want == Want::Header || (want == Want::Jpeg && !m_isJpeg)) {
                    return; // the header is all that was asked for, or there is no JPEG
                }
                break;
            case JXL_DEC_NEED_IMAGE_OUT_BUFFER: {
                m_format = PixelFormat();
                size_t size = 0;
                Ok(JxlDecoderImageOutBufferSize(dec, &m_format, &size));
                ImageSource::CheckBuffer(size);
                m_pixels.reset(new unsigned char[size]);
                Ok(JxlDecoderSetImageOutBuffer(dec, &m_format, m_pixels.get(), size));
                break;
            }
            case JXL_DEC_FULL_IMAGE:
                if (m_isJpeg) {
                    const size_t left = JxlDecoderReleaseJPEGBuffer(dec);
                    m_jpeg.resize(m_jpeg.size() - left);
                }
                return; // the first frame
            case JXL_DEC_SUCCESS:
                Broken("no image");
            default:
                break;
            }
        }
    }

    const JxlBasicInfo& Basic() const { return m_basic; }
    const std::string& Icc() const { return m_icc; }
    bool IsJpeg() const { return m_isJpeg; }
    const std::string& Jpeg() const { return m_jpeg; }
    const unsigned char* Pixels() const { return m_pixels.get(); }

    JxlPixelFormat PixelFormat() const {
        JxlPixelFormat format{};
        format.num_channels = m_basic.num_color_channels + (m_basic.alpha_bits > 0 ? 1 : 0);
        format.data_type = m_basic.bits_per_sample > 8 ? JXL_TYPE_UINT16 : JXL_TYPE_UINT8;
        format.endianness = JXL_BIG_ENDIAN;
        format.align = 0;
        return format;
    }

private:
    void Ok(JxlDecoderStatus status) {
        if (status != JXL_DEC_SUCCESS) {
            Fail("damaged image data");
        }
    }
    [[noreturn]] void Fail(const char* what) {
        if (m_budget.Exceeded()) {
            throw PdfError(PDF_ERROR_TOO_LARGE, "image too large to convert");
        }
        Broken(what);
    }

    Budget m_budget;
    std::unique_ptr<JxlDecoder, DecoderDestroy> m_decoder;
    JxlBasicInfo m_basic{};
    JxlPixelFormat m_format{};
    std::string m_icc;
    bool m_isJpeg = false;
    std::string m_jpeg;
    std::unique_ptr<unsigned char[]> m_pixels;
};

// The decoder's memory: enough for any image within the limits, which the header is checked
// against before any pixel is decoded.
constexpr uint64_t kBudget = ImageSource::kMaxBuffer * 2;

JxlSource::Info Describe(const JxlDecoding& decoding) {
    const JxlBasicInfo& basic = decoding.Basic();
    JxlSource::Info info;
    // Orientations 5 to 8 turn the image: the decoder gives it upright.
    const bool turned = basic.orientation >= JXL_ORIENT_TRANSPOSE;
    info.width = static_cast<int>(turned ? basic.ysize : basic.xsize);
    info.height = static_cast<int>(turned ? basic.xsize : basic.ysize);
    info.colours = basic.num_color_channels == 1 ? 1 : 3;
    info.alpha = basic.alpha_bits > 0;
    info.bits = basic.bits_per_sample > 8 ? 16 : 8;
    info.jpeg = decoding.IsJpeg();
    info.lossy = !basic.uses_original_profile;
    return info;
}
} // namespace

JxlSource::JxlSource(const SourceData& data) : ImageSource(data) {
    const std::string bytes = ReadAll();
    const JxlDecoding header(bytes, JxlDecoding::Want::Header, kBudget);
    m_info = Describe(header);
    const uint64_t pixels = uint64_t(m_info.width) * uint64_t(m_info.height);
    if (m_info.jpeg) {
        // Laid out as the JPEG it rebuilds.
        const JxlDecoding rebuilt(bytes, JxlDecoding::Want::Jpeg, kBudget);
        const JpegSource jpeg(SourceData::FromMemory(rebuilt.Jpeg(), data.Name()));
        m_pages.push_back(jpeg.Layout(0));
        return;
    }
    const uint64_t decoded =
        pixels * static_cast<uint64_t>(m_info.colours + (m_info.alpha ? 1 : 0)) * (m_info.bits / 8);
    CheckBuffer(decoded);
    CheckBuffer(pixels * kDecoderBytesPerPixel / 2);
    CheckDataSize(decoded, bytes.size(), kMaxBytesPerByte);

    ImageLayout layout;
    layout.width = m_info.width;
    layout.height = m_info.height;
    layout.colourSpace =
        m_info.colours == 1 ? ImageLayout::ColourSpace::Gray : ImageLayout::ColourSpace::RGB;
    layout.bitsPerComponent = m_info.bits;
    layout.softMask = m_info.alpha;
    layout.softMaskBits = m_info.bits;
    if (IccProfile::Fits(header.Icc(), m_info.colours)) {
        layout.icc = header.Icc();
    }
    m_pages.push_back(std::move(layout));
}

JxlSource::~JxlSource() = default;

void JxlSource::WriteImage(int, const Sink& out, std::string* softMask) {
    const std::string bytes = ReadAll();
    if (m_info.jpeg) {
        const JxlDecoding rebuilt(bytes, JxlDecoding::Want::Jpeg, kBudget);
        if (!(Describe(rebuilt) == m_info)) {
            Changed();
        }
        JpegSource jpeg(SourceData::FromMemory(rebuilt.Jpeg(), Name()));
        if (!(jpeg.Layout(0) == m_pages.front())) {
            Changed();
        }
        jpeg.WriteImage(0, out, softMask);
        return;
    }
    const JxlDecoding decoded(bytes, JxlDecoding::Want::Pixels, kBudget);
    if (!(Describe(decoded) == m_info) || decoded.Pixels() == nullptr) {
        Changed();
    }
    InterleavedRows::Format format;
    format.width = m_info.width;
    format.height = m_info.height;
    format.colours = m_info.colours;
    format.alpha = m_info.alpha;
    format.bits = m_info.bits;
    format.fast = m_info.lossy;
    format.stride = static_cast<size_t>(m_info.width) *
                    static_cast<size_t>(m_info.colours + (m_info.alpha ? 1 : 0)) *
                    (m_info.bits / 8);
    InterleavedRows::Write(out, softMask, decoded.Pixels(), format);
}
