#pragma once

#include "pdf/image_layout.h"
#include "pdf/source_data.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

// One image file: its pages (a multi-page TIFF has several) with their layouts, known after
// a cheap read of the headers, and the image data, produced page by page when the PDF is
// written. One subclass per format; the format is told by the content, never by the name.
class ImageSource {
public:
    using Sink = std::function<void(const unsigned char* data, size_t size)>;

    virtual ~ImageSource() = default;

    // How a source is read.
    struct OpenOptions {
        // False: JPEG 2000 data is decoded, never embedded as it is (a document that must be
        // readable as PDF 1.4).
        bool jpx = true;
        // Every top-level image of a HEIF or AVIF file is a page (a burst), not only its
        // primary image.
        bool allImages = false;
    };

    // Reads the headers of a source. Throws PdfError when the content is no supported
    // image or its headers are broken.
    static std::unique_ptr<ImageSource> Open(const SourceData& data, const OpenOptions& options);
    static std::unique_ptr<ImageSource> Open(const SourceData& data);

    const std::string& Name() const { return m_data.Name(); }
    int PageCount() const { return static_cast<int>(m_pages.size()); }
    const ImageLayout& Layout(int page) const { return m_pages.at(page); }

    // Writes the image data of a page, encoded as its layout's filter says, to `out`, and,
    // when the layout has a soft mask, the mask's Flate data (with PNG predictors) to
    // `softMask`. Throws PdfError when the data is damaged.
    virtual void WriteImage(int page, const Sink& out, std::string* softMask) = 0;

    // Limits against images too large to convert (and headers that only claim to be).
#ifdef OMBRIX_FUZZING
    static constexpr uint64_t kMaxPixels = uint64_t(1) << 24;
    static constexpr int kMaxSide = 1 << 16;
    static constexpr uint64_t kMaxBuffer = uint64_t(1) << 26;
#else
    static constexpr uint64_t kMaxPixels = uint64_t(1) << 30;
    static constexpr int kMaxSide = 1 << 20;
    static constexpr uint64_t kMaxBuffer = uint64_t(1) << 30;
#endif
    // Decoded data that any image may take, whatever its file holds.
#ifdef OMBRIX_FUZZING
    static constexpr uint64_t kFreeBytes = uint64_t(1) << 20;
#else
    static constexpr uint64_t kFreeBytes = uint64_t(1) << 26;
#endif
    // Throws PdfError when an image of this size is beyond the limits.
    static void CheckSize(uint64_t width, uint64_t height);
    // Memory and time are bounded by what a file holds: `dataBytes` of a coding that gives at
    // most `ratio` bytes for each of its bytes decode to no more than that (or kFreeBytes).
    // Throws PdfError when `decodedBytes` is beyond: a header that claims far more than its
    // data can hold is refused before anything is decoded.
    static void CheckDataSize(uint64_t decodedBytes, uint64_t dataBytes, uint64_t ratio);
    // Throws PdfError when a buffer of this many bytes is beyond the limits.
    static void CheckBuffer(uint64_t bytes);

protected:
    explicit ImageSource(const SourceData& data) : m_data(data) {}

    // Throws PdfError: the file no longer holds what its header said when it was opened
    // (another program saved over it).
    [[noreturn]] void Changed() const;
    // The whole file, for decoders that take it in one piece (within the buffer limit).
    std::string ReadAll() const;

    SourceData m_data;
    std::vector<ImageLayout> m_pages;
};
