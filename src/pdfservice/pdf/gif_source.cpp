#include "pdf/gif_source.h"

#include "pdf/image_encoder.h"
#include "pdf/pdf_error.h"

#include <algorithm>
#include <cstring>
#include <gif_lib.h>
#include <memory>
#include <vector>

namespace {
// An LZW code of at least 3 bits stands for at most 4096 pixels: what a file can hold.
constexpr uint64_t kMaxPixelsPerByte = 8 * 4096 / 3;

// Called from giflib's C frames: nothing is thrown through them.
int ReadInput(GifFileType* gif, GifByteType* out, int length) {
    auto* stream = static_cast<SourceData::Stream*>(gif->UserData);
    try {
        return static_cast<int>(stream->Read(out, static_cast<size_t>(length)));
    } catch (...) {
        return 0;
    }
}

[[noreturn]] void Broken(const std::string& what) {
    throw PdfError(PDF_ERROR_CORRUPT, "broken GIF: " + what);
}

[[noreturn]] void Broken(int error) {
    const char* text = GifErrorString(error);
    Broken(text ? text : "unknown error");
}

struct GifCloser {
    void operator()(GifFileType* gif) const {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};

// An open GIF positioned at its first image's data.
class GifReader {
public:
    explicit GifReader(const SourceData& data) : m_stream(data) {
        int error = 0;
        m_gif.reset(DGifOpen(&m_stream, ReadInput, &error));
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
                Broken("no image");
            }
            if (type == IMAGE_DESC_RECORD_TYPE) {
                if (DGifGetImageDesc(gif) == GIF_ERROR) {
                    if (gif->Image.Width == 0 || gif->Image.Height == 0) {
                        Broken("no image (a frame without pixels)");
                    }
                    Broken(gif->Error);
                }
                if (gif->Image.Width <= 0 || gif->Image.Height <= 0) {
                    Broken("no image (a frame without pixels)");
                }
                return;
            }
            if (type == EXTENSION_RECORD_TYPE) {
                ReadExtension();
            }
        }
    }
    GifReader(const GifReader&) = delete;
    GifReader& operator=(const GifReader&) = delete;

    GifFileType* Get() const { return m_gif.get(); }
    // The bytes after the image descriptor.
    uint64_t Remaining() const { return m_stream.Size() - m_stream.Position(); }

    GifSource::Frame Describe() const {
        const GifFileType* gif = m_gif.get();
        GifSource::Frame frame;
        frame.screenWidth = gif->SWidth;
        frame.screenHeight = gif->SHeight;
        frame.left = gif->Image.Left;
        frame.top = gif->Image.Top;
        frame.width = gif->Image.Width;
        frame.height = gif->Image.Height;
        frame.interlaced = gif->Image.Interlace;
        const ColorMapObject* map =
            gif->Image.ColorMap != nullptr ? gif->Image.ColorMap : gif->SColorMap;
        frame.colourCount =
            map != nullptr && map->ColorCount > 0 ? std::min(map->ColorCount, 256) : 0;
        frame.transparentIndex = m_transparentIndex;
        return frame;
    }

private:
    void ReadExtension() {
        GifFileType* gif = m_gif.get();
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
                m_transparentIndex = control.TransparentColor;
            }
        }
        while (block != nullptr) {
            if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) {
                Broken(gif->Error);
            }
        }
    }

    SourceData::Stream m_stream;
    std::unique_ptr<GifFileType, GifCloser> m_gif;
    int m_transparentIndex = NO_TRANSPARENT_COLOR;
};
} // namespace

GifSource::GifSource(const SourceData& data) : ImageSource(data) {
    GifReader reader(m_data);
    m_frame = reader.Describe();
    const Frame& f = m_frame;
    CheckSize(static_cast<uint64_t>(f.screenWidth), static_cast<uint64_t>(f.screenHeight));

    ImageLayout layout;
    layout.colourSpace = ImageLayout::ColourSpace::Indexed;
    layout.paletteBase = ImageLayout::ColourSpace::RGB;
    layout.bitsPerComponent = 8;
    const GifFileType* gif = reader.Get();
    const ColorMapObject* map =
        gif->Image.ColorMap != nullptr ? gif->Image.ColorMap : gif->SColorMap;
    int colours = f.colourCount;
    if (colours > 0) {
        for (int i = 0; i < colours; ++i) {
            layout.palette.push_back(static_cast<char>(map->Colors[i].Red));
            layout.palette.push_back(static_cast<char>(map->Colors[i].Green));
            layout.palette.push_back(static_cast<char>(map->Colors[i].Blue));
        }
    } else {
        // No colour table at all: a grey ramp.
        colours = 256;
        for (int i = 0; i < 256; ++i) {
            layout.palette.append(3, static_cast<char>(i));
        }
    }

    // Transparency: the file's transparent colour.
    if (f.transparentIndex >= 0 && f.transparentIndex < colours) {
        layout.colourKey = {f.transparentIndex, f.transparentIndex};
    }

    // The frame, clipped to the logical screen, placed on it.
    const int left = std::min(f.left, f.screenWidth);
    const int top = std::min(f.top, f.screenHeight);
    const int right = std::min(f.left + f.width, f.screenWidth);
    const int bottom = std::min(f.top + f.height, f.screenHeight);
    layout.canvasWidth = f.screenWidth;
    layout.canvasHeight = f.screenHeight;
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
        // A file far too short for its frame is refused before anything is decoded.
        if (uint64_t(layout.width) * layout.height > kMaxPixelsPerByte * (reader.Remaining() + 1)) {
            Broken("the file is too short for its image size");
        }
    }
    m_pages.push_back(std::move(layout));
}

void GifSource::WriteImage(int, const Sink& out, std::string* softMask) {
    const ImageLayout& layout = m_pages.front();
    ImageEncoder encoder(out, softMask, layout.width, layout.height, 1, 8, 0);
    if (m_emptyFrame) {
        encoder.ColourRow()[0] = static_cast<unsigned char>(layout.colourKey.front());
        encoder.WriteRow();
        encoder.Finish();
        return;
    }

    GifReader reader(m_data);
    if (!(reader.Describe() == m_frame)) {
        Changed();
    }
    GifFileType* gif = reader.Get();
    const int frameWidth = m_frame.width;
    const int firstRow = layout.offsetY - m_frame.top; // of the frame that shows
    const int rows = layout.height;
    const size_t skipX = static_cast<size_t>(layout.offsetX - m_frame.left);
    const size_t width = static_cast<size_t>(layout.width);
    std::vector<unsigned char> line(static_cast<size_t>(frameWidth));

    // Reads the next stored row. Data that ends before the frame's last row, or is damaged,
    // is an error: the rows it lacks are no part of the image.
    const int entries = m_frame.colourCount > 0 ? m_frame.colourCount : 256;
    auto readLine = [&]() {
        if (DGifGetLine(gif, line.data(), frameWidth) == GIF_ERROR) {
            if (gif->Error == D_GIF_ERR_EOF_TOO_SOON || gif->Error == D_GIF_ERR_READ_FAILED) {
                Broken("truncated image data");
            }
            Broken(gif->Error);
        }
        for (int x = 0; x < frameWidth; ++x) {
            if (line[x] >= entries) {
                Broken("pixels use colours that are not in the palette");
            }
        }
    };

    if (!m_frame.interlaced) {
        // Rows come in order: each is written as it is decoded.
        for (int y = 0; y < firstRow + rows; ++y) {
            readLine();
            if (y >= firstRow) {
                encoder.WriteRow(&line[skipX]);
            }
        }
        encoder.Finish();
        return;
    }

    // Interlaced frames store every eighth row first, then the rows between: the part that
    // shows is held (not zero-filled: memory is taken as rows arrive).
    CheckBuffer(uint64_t(width) * rows);
    std::unique_ptr<unsigned char[]> image(new unsigned char[width * rows]);
    static const int kStart[] = {0, 4, 2, 1};
    static const int kStep[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass) {
        for (int y = kStart[pass]; y < m_frame.height; y += kStep[pass]) {
            readLine();
            if (y >= firstRow && y < firstRow + rows) {
                std::memcpy(&image[size_t(y - firstRow) * width], &line[skipX], width);
            }
        }
    }
    for (int y = 0; y < rows; ++y) {
        encoder.WriteRow(&image[size_t(y) * width]);
    }
    encoder.Finish();
}
