#include "pdf/flate_row_decoder.h"

#include "pdf/flate_row_encoder.h"
#include "pdf/pdf_error.h"

#include <algorithm>
#include <cstdlib>

FlateRowDecoder::FlateRowDecoder(const std::string& data, int columns, int colours,
                                 int bitsPerComponent)
    : m_rowBytes(FlateRowEncoder::RowBytesOf(columns, colours, bitsPerComponent)),
      m_bytesPerPixel(std::max<size_t>(1, static_cast<size_t>(colours * bitsPerComponent) / 8)),
      m_row(m_rowBytes + 1), m_previous(m_rowBytes, 0) {
    if (inflateInit(&m_zlib) != Z_OK) {
        throw PdfError(PDF_ERROR_TOO_LARGE, "not enough memory");
    }
    m_zlib.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    m_zlib.avail_in = static_cast<uInt>(data.size());
}

FlateRowDecoder::~FlateRowDecoder() {
    inflateEnd(&m_zlib);
}

const unsigned char* FlateRowDecoder::NextRow() {
    m_zlib.next_out = m_row.data();
    m_zlib.avail_out = static_cast<uInt>(m_row.size());
    while (m_zlib.avail_out > 0) {
        const int status = inflate(&m_zlib, Z_NO_FLUSH);
        if (status == Z_STREAM_END && m_zlib.avail_out > 0) {
            throw PdfError(PDF_ERROR_CORRUPT, "the image data ends early");
        }
        if (status != Z_OK && status != Z_STREAM_END) {
            throw PdfError(PDF_ERROR_CORRUPT, "the image data is damaged");
        }
        if (status == Z_STREAM_END) {
            break;
        }
    }
    unsigned char* row = m_row.data() + 1;
    const unsigned char* up = m_previous.data();
    const size_t bpp = m_bytesPerPixel;
    switch (m_row[0]) {
    case 0:
        break;
    case 1:
        for (size_t i = bpp; i < m_rowBytes; ++i) {
            row[i] = static_cast<unsigned char>(row[i] + row[i - bpp]);
        }
        break;
    case 2:
        for (size_t i = 0; i < m_rowBytes; ++i) {
            row[i] = static_cast<unsigned char>(row[i] + up[i]);
        }
        break;
    case 3:
        for (size_t i = 0; i < m_rowBytes; ++i) {
            const int left = i >= bpp ? row[i - bpp] : 0;
            row[i] = static_cast<unsigned char>(row[i] + (left + up[i]) / 2);
        }
        break;
    case 4:
        for (size_t i = 0; i < m_rowBytes; ++i) {
            const int a = i >= bpp ? row[i - bpp] : 0;
            const int b = up[i];
            const int c = i >= bpp ? up[i - bpp] : 0;
            const int p = a + b - c;
            const int pa = std::abs(p - a);
            const int pb = std::abs(p - b);
            const int pc = std::abs(p - c);
            const int predictor = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
            row[i] = static_cast<unsigned char>(row[i] + predictor);
        }
        break;
    default:
        throw PdfError(PDF_ERROR_CORRUPT, "the image data has an unknown row filter");
    }
    std::copy(row, row + m_rowBytes, m_previous.begin());
    return m_previous.data();
}
