#include "pdf/image_source.h"

#include "pdf/bmp_source.h"
#include "pdf/gif_source.h"
#include "pdf/jpeg_source.h"
#include "pdf/pdf_error.h"
#include "pdf/png_source.h"
#include "pdf/tiff_source.h"

#include <cstring>

std::unique_ptr<ImageSource> ImageSource::Open(const SourceData& data) {
    const std::string head = data.ReadPrefix(8);
    const auto starts = [&](const char* magic, size_t length) {
        return head.size() >= length && std::memcmp(head.data(), magic, length) == 0;
    };
    if (starts("\xFF\xD8\xFF", 3)) {
        return std::make_unique<JpegSource>(data);
    }
    if (starts("\x89PNG\r\n\x1A\n", 8)) {
        return std::make_unique<PngSource>(data);
    }
    if (starts("II*\0", 4) || starts("MM\0*", 4) || starts("II+\0", 4) || starts("MM\0+", 4)) {
        return std::make_unique<TiffSource>(data);
    }
    if (starts("GIF87a", 6) || starts("GIF89a", 6)) {
        return std::make_unique<GifSource>(data);
    }
    if (starts("BM", 2)) {
        return std::make_unique<BmpSource>(data);
    }
    if (head.empty()) {
        throw PdfError(PDF_ERROR_UNKNOWN_FORMAT, data.Name() + " is empty");
    }
    throw PdfError(PDF_ERROR_UNKNOWN_FORMAT,
                   data.Name() + " is not a JPEG, PNG, TIFF, BMP or GIF image");
}

void ImageSource::CheckSize(uint64_t width, uint64_t height) {
    if (width == 0 || height == 0) {
        throw PdfError(PDF_ERROR_CORRUPT, "image without pixels");
    }
    if (width > kMaxSide || height > kMaxSide || width * height > kMaxPixels) {
        throw PdfError(PDF_ERROR_TOO_LARGE, "image of " + std::to_string(width) + " x " +
                                                std::to_string(height) +
                                                " pixels is too large to convert");
    }
}

void ImageSource::CheckDataSize(uint64_t decodedBytes, uint64_t dataBytes, uint64_t ratio) {
    if (decodedBytes > kFreeBytes && decodedBytes / ratio > dataBytes) {
        throw PdfError(PDF_ERROR_CORRUPT, "the image data is too short for the image size");
    }
}

void ImageSource::CheckBuffer(uint64_t bytes) {
    if (bytes > kMaxBuffer) {
        throw PdfError(PDF_ERROR_TOO_LARGE, "image too large to convert");
    }
}

void ImageSource::Changed() const {
    throw PdfError(PDF_ERROR_READ, Name() + " changed while it was being converted");
}
