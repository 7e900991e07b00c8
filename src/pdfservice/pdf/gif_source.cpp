#include "pdf/gif_source.h"

#include "pdf/flate_row_encoder.h"
#include "pdf/pdf_error.h"

#include <cstring>
#include <gif_lib.h>
#include <memory>

namespace {
struct MemoryInput {
    const std::string* bytes;
    size_t pos;
};

int ReadInput(GifFileType* gif, GifByteType* out, int length) {
    auto* input = static_cast<MemoryInput*>(gif->UserData);
    const size_t n =
        std::min<size_t>(static_cast<size_t>(length), input->bytes->size() - input->pos);
    std::memcpy(out, input->bytes->data() + input->pos, n);
    input->pos += n;
    return static_cast<int>(n);
}

[[noreturn]] void Broken(int error) {
    const char* text = GifErrorString(error);
    throw PdfError(PDF_ERROR_CORRUPT,
                   std::string("broken GIF: ") + (text ? text : "unknown error"));
}

struct GifCloser {
    void operator()(GifFileType* gif) const {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};

// An open GIF positioned at its first image descriptor.
class GifReader {
public:
    explicit GifReader(const std::string& bytes) : m_input{&bytes, 0} {
        int error = 0;
        m_gif.reset(DGifOpen(&m_input, ReadInput, &error));
        if (!m_gif) {
            Broken(error);
        }
        GifFileType* gif = m_gif.get();
        for (;;) {
            GifRecordType type;
            if (DGifGetRecordType(gif, &type) == GIF_ERROR) {
                Broken(gif->Error);
            }
            if (type == TERMINATE_RECORD_TYPE) {
                hasImage = false; // a logical screen without any image
                return;
            }
            if (type == IMAGE_DESC_RECORD_TYPE) {
                if (DGifGetImageDesc(gif) == GIF_ERROR) {
                    // A frame without pixels has no image data to set up.
                    if (gif->Image.Width == 0 || gif->Image.Height == 0) {
                        hasImage = false;
                        return;
                    }
                    Broken(gif->Error);
                }
                hasImage = gif->Image.Width > 0 && gif->Image.Height > 0;
                return;
            }
            if (type == EXTENSION_RECORD_TYPE) {
                int code = 0;
                GifByteType* block = nullptr;
                if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) {
                    Broken(gif->Error);
                }
                if (code == PLAINTEXT_EXT_FUNC_CODE) {
                    throw PdfError(PDF_ERROR_UNSUPPORTED_IMAGE,
                                   "GIF with a plain-text extension, which cannot be shown");
                }
                if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr && block[0] >= 4) {
                    GraphicsControlBlock control;
                    if (DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK) {
                        transparentIndex = control.TransparentColor;
                    }
                }
                while (block != nullptr) {
                    if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) {
                        Broken(gif->Error);
                    }
                }
            }
        }
    }
    GifReader(const GifReader&) = delete;
    GifReader& operator=(const GifReader&) = delete;

    GifFileType* Get() const { return m_gif.get(); }
    int transparentIndex = NO_TRANSPARENT_COLOR;
    bool hasImage = true;

private:
    MemoryInput m_input;
    std::unique_ptr<GifFileType, GifCloser> m_gif;
};
} // namespace

GifSource::GifSource(const SourceData& data) : ImageSource(data) {
    const std::string bytes = m_data.ReadAll();
    GifReader reader(bytes);
    GifFileType* gif = reader.Get();
    const int screenWidth = gif->SWidth;
    const int screenHeight = gif->SHeight;
    CheckSize(static_cast<uint64_t>(screenWidth), static_cast<uint64_t>(screenHeight));

    const GifImageDesc& frame = gif->Image;
    if (reader.hasImage) {
        m_frameLeft = frame.Left;
        m_frameTop = frame.Top;
        m_frameWidth = frame.Width;
        m_frameHeight = frame.Height;
        m_interlaced = frame.Interlace;
        CheckBuffer(uint64_t(m_frameWidth) * m_frameHeight);
    }

    const ColorMapObject* map =
        reader.hasImage && frame.ColorMap != nullptr ? frame.ColorMap : gif->SColorMap;
    ImageLayout layout;
    layout.colourSpace = ImageLayout::ColourSpace::Indexed;
    layout.paletteBase = ImageLayout::ColourSpace::RGB;
    layout.bitsPerComponent = 8;
    if (map != nullptr && map->ColorCount > 0) {
        m_colourCount = std::min(map->ColorCount, 256);
        for (int i = 0; i < m_colourCount; ++i) {
            layout.palette.push_back(static_cast<char>(map->Colors[i].Red));
            layout.palette.push_back(static_cast<char>(map->Colors[i].Green));
            layout.palette.push_back(static_cast<char>(map->Colors[i].Blue));
        }
    } else {
        // No colour table at all: a grey ramp.
        m_colourCount = 256;
        for (int i = 0; i < 256; ++i) {
            layout.palette.append(3, static_cast<char>(i));
        }
    }

    // Transparency: the file's transparent colour, else a spare palette entry for pixels the
    // data leaves out.
    const int transparent = reader.transparentIndex;
    if (transparent >= 0 && transparent < m_colourCount) {
        m_missingIndex = transparent;
        layout.colourKey = {transparent, transparent};
    } else if (m_colourCount < 256) {
        m_missingIndex = m_colourCount;
        layout.palette.append(3, '\0');
        layout.colourKey = {m_missingIndex, m_missingIndex};
    }

    // The frame, clipped to the logical screen, placed on it.
    const int left = std::min(m_frameLeft, screenWidth);
    const int top = std::min(m_frameTop, screenHeight);
    const int right = std::min(m_frameLeft + m_frameWidth, screenWidth);
    const int bottom = std::min(m_frameTop + m_frameHeight, screenHeight);
    layout.canvasWidth = screenWidth;
    layout.canvasHeight = screenHeight;
    if (right <= left || bottom <= top) {
        // Nothing of the frame shows: one transparent pixel on an empty screen.
        m_emptyFrame = true;
        layout.width = 1;
        layout.height = 1;
        if (layout.colourKey.empty()) {
            layout.colourKey = {0, 255};
        }
    } else {
        layout.width = right - left;
        layout.height = bottom - top;
        layout.offsetX = left;
        layout.offsetY = top;
    }
    m_pages.push_back(std::move(layout));
}

void GifSource::WriteImage(int, const Sink& out, std::string* softMask) {
    if (softMask != nullptr) {
        softMask->clear();
    }
    const ImageLayout& layout = m_pages.front();
    if (m_emptyFrame) {
        FlateRowEncoder colour(out, 1, 1, 8);
        const unsigned char pixel = static_cast<unsigned char>(layout.colourKey.front());
        colour.WriteRow(&pixel);
        colour.Finish();
        return;
    }

    const std::string bytes = m_data.ReadAll();
    GifReader reader(bytes);
    GifFileType* gif = reader.Get();
    const size_t width = static_cast<size_t>(m_frameWidth);
    std::vector<unsigned char> frame(width * m_frameHeight,
                                     static_cast<unsigned char>(m_missingIndex));

    // Interlaced frames store every eighth row first, then the rows between.
    std::vector<int> order;
    if (m_interlaced) {
        static const int kStart[] = {0, 4, 2, 1};
        static const int kStep[] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass) {
            for (int y = kStart[pass]; y < m_frameHeight; y += kStep[pass]) {
                order.push_back(y);
            }
        }
    } else {
        for (int y = 0; y < m_frameHeight; ++y) {
            order.push_back(y);
        }
    }
    for (int y : order) {
        unsigned char* row = &frame[y * width];
        if (DGifGetLine(gif, row, m_frameWidth) == GIF_ERROR) {
            // Data that ends early leaves the rest transparent; damaged data is an error.
            if (gif->Error != D_GIF_ERR_EOF_TOO_SOON && gif->Error != D_GIF_ERR_READ_FAILED) {
                Broken(gif->Error);
            }
            // A partly decoded row keeps what it got; the rows after it stay transparent.
            break;
        }
        for (size_t x = 0; x < width; ++x) {
            if (row[x] >= m_colourCount) {
                throw PdfError(PDF_ERROR_CORRUPT,
                               "broken GIF: pixels use colours that are not in the palette");
            }
        }
    }

    FlateRowEncoder colour(out, layout.width, 1, 8);
    const size_t skipX = static_cast<size_t>(layout.offsetX - m_frameLeft);
    const size_t skipY = static_cast<size_t>(layout.offsetY - m_frameTop);
    for (int y = 0; y < layout.height; ++y) {
        colour.WriteRow(&frame[(skipY + y) * width + skipX]);
    }
    colour.Finish();
}
