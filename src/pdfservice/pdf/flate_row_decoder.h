#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include <zlib.h>

// Gives back the rows of image data held as Flate with PNG predictors (/Predictor 15, a filter
// byte before each row), one row at a time: the data of an image of any size is decoded
// through a buffer of two rows.
class FlateRowDecoder {
public:
    // `data` stays alive and unchanged while the decoder is used.
    FlateRowDecoder(const std::string& data, int columns, int colours, int bitsPerComponent);
    ~FlateRowDecoder();
    FlateRowDecoder(const FlateRowDecoder&) = delete;
    FlateRowDecoder& operator=(const FlateRowDecoder&) = delete;

    size_t RowBytes() const { return m_rowBytes; }
    // The next row, of RowBytes() bytes. Throws PdfError when the data ends early or is
    // damaged.
    const unsigned char* NextRow();

private:
    z_stream m_zlib{};
    size_t m_rowBytes;
    size_t m_bytesPerPixel;
    std::vector<unsigned char> m_row; // led by its filter byte
    std::vector<unsigned char> m_previous;
};
