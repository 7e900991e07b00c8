#include "pdf/heif_source.h"

#include "pdf/icc_profile.h"
#include "pdf/interleaved_rows.h"
#include "pdf/pdf_error.h"

#include <algorithm>
#include <cmath>
#include <libheif/heif.h>
#include <memory>

namespace {
// Solid areas code to almost nothing: the decoded size is bounded by this many bytes for each
// byte of file.
constexpr uint64_t kMaxBytesPerByte = uint64_t(1) << 20;

[[noreturn]] void Broken(const std::string& what) {
    throw PdfError(PDF_ERROR_CORRUPT, "broken HEIF image: " + what);
}

void Check(const heif_error& error) {
    if (error.code == heif_error_Ok) {
        return;
    }
    const std::string message = error.message != nullptr ? error.message : "decoding failed";
    switch (error.code) {
    case heif_error_Unsupported_filetype:
    case heif_error_Unsupported_feature:
    case heif_error_Plugin_loading_error:
        throw PdfError(PDF_ERROR_UNSUPPORTED_IMAGE, "HEIF image not supported: " + message);
    case heif_error_Memory_allocation_error:
        throw PdfError(PDF_ERROR_TOO_LARGE, "HEIF image too large to convert: " + message);
    default:
        Broken(message);
    }
}

struct ContextFree {
    void operator()(heif_context* context) const { heif_context_free(context); }
};
struct HandleRelease {
    void operator()(const heif_image_handle* handle) const { heif_image_handle_release(handle); }
};
struct ImageRelease {
    void operator()(const heif_image* image) const { heif_image_release(image); }
};
struct OptionsFree {
    void operator()(heif_decoding_options* options) const { heif_decoding_options_free(options); }
};
struct NclxFree {
    void operator()(heif_color_profile_nclx* nclx) const { heif_nclx_color_profile_free(nclx); }
};
using Handle = std::unique_ptr<const heif_image_handle, HandleRelease>;

// An open file: its bytes and libheif's context over them.
class HeifFile {
public:
    explicit HeifFile(std::string bytes) : m_bytes(std::move(bytes)) {
        m_context.reset(heif_context_alloc());
        if (!m_context) {
            throw PdfError(PDF_ERROR_INTERNAL, "cannot start the HEIF decoder");
        }
        // libheif takes a side whose square is the most pixels an image may have.
        heif_context_set_maximum_image_size_limit(
            m_context.get(), static_cast<int>(std::sqrt(double(ImageSource::kMaxPixels))));
        heif_context_set_max_decoding_threads(m_context.get(), 1);
        Check(heif_context_read_from_memory_without_copy(m_context.get(), m_bytes.data(),
                                                         m_bytes.size(), nullptr));
    }

    heif_context* Get() const { return m_context.get(); }
    size_t Size() const { return m_bytes.size(); }

    Handle Image(uint32_t id) const {
        heif_image_handle* handle = nullptr;
        Check(heif_context_get_image_handle(m_context.get(), id, &handle));
        return Handle(handle);
    }

private:
    std::string m_bytes;
    std::unique_ptr<heif_context, ContextFree> m_context;
};

int Bits(const heif_image_handle* handle) {
    const int luma = heif_image_handle_get_luma_bits_per_pixel(handle);
    const int chroma = heif_image_handle_get_chroma_bits_per_pixel(handle);
    return std::max(luma, chroma) > 8 ? 16 : 8;
}

ImageLayout LayoutOf(const heif_image_handle* handle) {
    ImageLayout layout;
    layout.width = heif_image_handle_get_width(handle);
    layout.height = heif_image_handle_get_height(handle);
    if (layout.width <= 0 || layout.height <= 0) {
        Broken("image without pixels");
    }
    ImageSource::CheckSize(static_cast<uint64_t>(layout.width),
                           static_cast<uint64_t>(layout.height));
    layout.colourSpace = ImageLayout::ColourSpace::RGB;
    layout.bitsPerComponent = Bits(handle);
    layout.softMask = heif_image_handle_has_alpha_channel(handle) != 0;
    layout.softMaskBits = layout.bitsPerComponent;
    // Colour premultiplied by its alpha comes out of the decoder as it is stored.
    if (layout.softMask && heif_image_handle_is_premultiplied_alpha(handle) != 0) {
        layout.matte = {0, 0, 0};
    }

    switch (heif_image_handle_get_color_profile_type(handle)) {
    case heif_color_profile_type_prof:
    case heif_color_profile_type_rICC: {
        const size_t size = heif_image_handle_get_raw_color_profile_size(handle);
        if (size > 0 && size <= IccProfile::kMaxSize) {
            std::string icc(size, '\0');
            if (heif_image_handle_get_raw_color_profile(handle, icc.data()).code == heif_error_Ok &&
                IccProfile::Fits(icc, 3)) {
                layout.icc = std::move(icc);
            }
        }
        break;
    }
    case heif_color_profile_type_nclx: {
        heif_color_profile_nclx* raw = nullptr;
        const heif_error error = heif_image_handle_get_nclx_color_profile(handle, &raw);
        // libheif may hand out the profile with an error (unknown primaries): it is ours either way.
        const std::unique_ptr<heif_color_profile_nclx, NclxFree> nclx(raw);
        if (error.code != heif_error_Ok || !nclx) {
            break;
        }
        // sRGB itself (or nothing said) is what the device colours are.
        const int primaries = nclx->color_primaries;
        const int transfer = nclx->transfer_characteristics;
        if ((primaries == 1 || primaries == 2) && (transfer == 13 || transfer == 2)) {
            break;
        }
        const double xy[8] = {nclx->color_primary_red_x,   nclx->color_primary_red_y,
                              nclx->color_primary_green_x, nclx->color_primary_green_y,
                              nclx->color_primary_blue_x,  nclx->color_primary_blue_y,
                              nclx->color_primary_white_x, nclx->color_primary_white_y};
        layout.icc = IccProfile::FromPrimaries(xy, transfer == 2 ? 13 : transfer);
        break;
    }
    default:
        break;
    }
    return layout;
}
} // namespace

HeifSource::HeifSource(const SourceData& data, bool allImages) : ImageSource(data) {
    const HeifFile file(ReadAll());
    heif_item_id primary = 0;
    Check(heif_context_get_primary_image_ID(file.Get(), &primary));
    if (allImages) {
        const int count = heif_context_get_number_of_top_level_images(file.Get());
        if (count <= 0) {
            Broken("no image");
        }
        std::vector<heif_item_id> ids(static_cast<size_t>(count));
        ids.resize(static_cast<size_t>(
            heif_context_get_list_of_top_level_image_IDs(file.Get(), ids.data(), count)));
        m_ids.assign(ids.begin(), ids.end());
    } else {
        m_ids.push_back(primary);
    }
    for (const uint32_t id : m_ids) {
        const Handle handle = file.Image(id);
        ImageLayout layout = LayoutOf(handle.get());
        const uint64_t pixels = uint64_t(layout.width) * uint64_t(layout.height);
        // libheif holds the decoded planes and the interleaved image converted from them.
        const uint64_t decoded = pixels * 4 * static_cast<uint64_t>(layout.bitsPerComponent / 8);
        CheckBuffer(2 * decoded);
        CheckDataSize(decoded, file.Size(), kMaxBytesPerByte);
        m_pages.push_back(std::move(layout));
    }
}

void HeifSource::WriteImage(int page, const Sink& out, std::string* softMask) {
    const HeifFile file(ReadAll());
    const Handle handle = file.Image(m_ids.at(static_cast<size_t>(page)));
    const ImageLayout& layout = m_pages.at(static_cast<size_t>(page));
    if (!(LayoutOf(handle.get()) == layout)) {
        Changed();
    }
    const bool deep = layout.bitsPerComponent == 16;
    const heif_chroma chroma =
        deep ? (layout.softMask ? heif_chroma_interleaved_RRGGBBAA_BE
                                : heif_chroma_interleaved_RRGGBB_BE)
             : (layout.softMask ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB);
    const std::unique_ptr<heif_decoding_options, OptionsFree> options(
        heif_decoding_options_alloc());
    if (!options) {
        throw PdfError(PDF_ERROR_INTERNAL, "cannot start the HEIF decoder");
    }
    options->ignore_transformations = 0;
    options->convert_hdr_to_8bit = 0;
    // Strict decoding only refuses colour descriptions (nclx) of reserved values, and libheif
    // leaks the decoded picture when it does. They come back as warnings instead: such colours
    // are taken as sRGB, as other readers do; any other warning still fails the file.
    options->strict_decoding = 0;
    heif_image* raw = nullptr;
    const heif_error error =
        heif_decode_image(handle.get(), &raw, heif_colorspace_RGB, chroma, options.get());
    const std::unique_ptr<heif_image, ImageRelease> image(raw);
    Check(error);
    heif_error warning;
    for (int i = 0; heif_image_get_decoding_warnings(image.get(), i, &warning, 1) > 0; ++i) {
        if (warning.subcode != heif_suberror_Unknown_NCLX_color_primaries &&
            warning.subcode != heif_suberror_Unknown_NCLX_transfer_characteristics &&
            warning.subcode != heif_suberror_Unknown_NCLX_matrix_coefficients) {
            Broken(warning.message != nullptr ? warning.message : "damaged image data");
        }
    }
    int stride = 0;
    uint8_t* pixels = heif_image_get_plane(image.get(), heif_channel_interleaved, &stride);
    if (pixels == nullptr ||
        heif_image_get_width(image.get(), heif_channel_interleaved) != layout.width ||
        heif_image_get_height(image.get(), heif_channel_interleaved) != layout.height) {
        Broken("the decoded image is not of the size its header gives");
    }
    InterleavedRows::Format format;
    format.width = layout.width;
    format.height = layout.height;
    format.colours = 3;
    format.alpha = layout.softMask;
    format.bits = layout.bitsPerComponent;
    format.stride = static_cast<size_t>(stride);
    // Photographs of lossy coding, almost always.
    format.fast = true;
    if (deep) {
        // 10 or 12 significant bits in each 16-bit sample: spread over the full range.
        const int bits = heif_image_get_bits_per_pixel_range(image.get(), heif_channel_interleaved);
        if (bits > 8 && bits < 16) {
            const uint32_t top = (uint32_t(1) << bits) - 1;
            const size_t samples = static_cast<size_t>(layout.width) * (layout.softMask ? 4 : 3);
            for (int y = 0; y < layout.height; ++y) {
                uint8_t* row = pixels + static_cast<size_t>(y) * format.stride;
                for (size_t i = 0; i < samples; ++i) {
                    const uint32_t value =
                        std::min<uint32_t>(uint32_t(row[2 * i]) << 8 | row[2 * i + 1], top);
                    const uint32_t scaled = (value * 0xFFFF + top / 2) / top;
                    row[2 * i] = static_cast<uint8_t>(scaled >> 8);
                    row[2 * i + 1] = static_cast<uint8_t>(scaled);
                }
            }
        }
    }
    InterleavedRows::Write(out, softMask, pixels, format);
}
