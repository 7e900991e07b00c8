#include "pdf/image_source.h"

#include "pdf/bmp_source.h"
#include "pdf/gif_source.h"
#include "pdf/heif_source.h"
#include "pdf/jp2_source.h"
#include "pdf/jpeg_source.h"
#include "pdf/jxl_source.h"
#include "pdf/pdf_error.h"
#include "pdf/png_source.h"
#include "pdf/tiff_source.h"
#include "pdf/webp_source.h"

#include <cstring>

std::unique_ptr<ImageSource> ImageSource::Open(const SourceData& data) {
    return Open(data, OpenOptions());
}

std::unique_ptr<ImageSource> ImageSource::Open(const SourceData& data, const OpenOptions& options) {
    const std::string head = data.ReadPrefix(16);
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
    if (starts("RIFF", 4) && head.size() >= 12 && head.compare(8, 4, "WEBP") == 0) {
        return std::make_unique<WebpSource>(data);
    }
    if (starts("\0\0\0\x0CjP  \r\n\x87\n", 12) || starts("\xFF\x4F\xFF\x51", 4)) {
        return std::make_unique<Jp2Source>(data, options.jpx);
    }
    if (starts("\xFF\x0A", 2) || starts("\0\0\0\x0CJXL \r\n\x87\n", 12)) {
        return std::make_unique<JxlSource>(data);
    }
    if (head.size() >= 12 && head.compare(4, 4, "ftyp") == 0) {
        static const char* const kBrands[] = {"heic", "heix", "heim", "heis", "hevc",
                                              "hevx", "mif1", "msf1", "avif", "avis"};
        for (const char* brand : kBrands) {
            if (head.compare(8, 4, brand) == 0) {
                return std::make_unique<HeifSource>(data, options.allImages);
            }
        }
    }
    if (starts("BM", 2)) {
        return std::make_unique<BmpSource>(data);
    }
    if (head.empty()) {
        throw PdfError(PDF_ERROR_UNKNOWN_FORMAT, data.Name() + " is empty");
    }
    throw PdfError(
        PDF_ERROR_UNKNOWN_FORMAT,
        data.Name() +
            " is not a JPEG, PNG, TIFF, BMP, GIF, WebP, JPEG 2000, JPEG XL, HEIF or AVIF image");
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

std::string ImageSource::ReadAll() const {
    SourceData::Reader reader(m_data);
    CheckBuffer(reader.Size());
    std::string bytes(static_cast<size_t>(reader.Size()), '\0');
    if (reader.ReadAt(0, bytes.data(), bytes.size()) != bytes.size()) {
        Changed();
    }
    return bytes;
}
