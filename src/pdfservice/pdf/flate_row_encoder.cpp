#include "pdf/flate_row_encoder.h"

#include "pdf/pdf_error.h"

#include <cstdlib>
#include <cstring>

namespace {
constexpr size_t kOutputChunk = 256 * 1024;

unsigned char Paeth(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a);
    const int pb = std::abs(p - b);
    const int pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) {
        return static_cast<unsigned char>(a);
    }
    return static_cast<unsigned char>(pb <= pc ? b : c);
}
} // namespace

size_t FlateRowEncoder::RowBytesOf(int columns, int colours, int bitsPerComponent) {
    return (static_cast<size_t>(columns) * colours * bitsPerComponent + 7) / 8;
}

std::unique_ptr<FlateRowEncoder> FlateRowEncoder::AppendingTo(std::string* out, int columns,
                                                              int colours, int bitsPerComponent) {
    return std::make_unique<FlateRowEncoder>(
        [out](const unsigned char* data, size_t size) {
            out->append(reinterpret_cast<const char*>(data), size);
        },
        columns, colours, bitsPerComponent);
}

FlateRowEncoder::FlateRowEncoder(Sink sink, int columns, int colours, int bitsPerComponent)
    : m_sink(std::move(sink)), m_rowBytes(RowBytesOf(columns, colours, bitsPerComponent)),
      m_bytesPerPixel(std::max<size_t>(1, static_cast<size_t>(colours) * bitsPerComponent / 8)),
      // Filtering helps whole-byte samples; for packed sub-byte samples it rarely does.
      m_adaptive(bitsPerComponent >= 8), m_previous(m_rowBytes, 0),
      m_candidates(m_adaptive ? 5 * (m_rowBytes + 1) : m_rowBytes + 1), m_out(kOutputChunk) {
    if (deflateInit(&m_zlib, 6) != Z_OK) {
        throw PdfError(PDF_ERROR_INTERNAL, "cannot start the compressor");
    }
}

FlateRowEncoder::~FlateRowEncoder() {
    deflateEnd(&m_zlib);
}

void FlateRowEncoder::WriteRow(const unsigned char* row) {
    const size_t n = m_rowBytes;
    const size_t bpp = m_bytesPerPixel;
    const unsigned char* up = m_previous.data();
    if (!m_adaptive) {
        m_candidates[0] = 0;
        std::memcpy(&m_candidates[1], row, n);
        Deflate(m_candidates.data(), n + 1, Z_NO_FLUSH);
        return;
    }

    // Try every PNG filter and keep the one with the smallest sum of absolute values, the
    // heuristic PNG encoders use.
    unsigned char* none = &m_candidates[0];
    unsigned char* sub = &m_candidates[n + 1];
    unsigned char* upf = &m_candidates[2 * (n + 1)];
    unsigned char* avg = &m_candidates[3 * (n + 1)];
    unsigned char* paeth = &m_candidates[4 * (n + 1)];
    none[0] = 0;
    sub[0] = 1;
    upf[0] = 2;
    avg[0] = 3;
    paeth[0] = 4;
    std::memcpy(none + 1, row, n);
    for (size_t i = 0; i < bpp && i < n; ++i) {
        sub[i + 1] = row[i];
        upf[i + 1] = static_cast<unsigned char>(row[i] - up[i]);
        avg[i + 1] = static_cast<unsigned char>(row[i] - up[i] / 2);
        paeth[i + 1] = static_cast<unsigned char>(row[i] - up[i]);
    }
    for (size_t i = bpp; i < n; ++i) {
        const int a = row[i - bpp];
        const int b = up[i];
        const int c = up[i - bpp];
        sub[i + 1] = static_cast<unsigned char>(row[i] - a);
        upf[i + 1] = static_cast<unsigned char>(row[i] - b);
        avg[i + 1] = static_cast<unsigned char>(row[i] - (a + b) / 2);
        paeth[i + 1] = static_cast<unsigned char>(row[i] - Paeth(a, b, c));
    }
    unsigned long best = ~0UL;
    size_t bestFilter = 0;
    for (size_t filter = 0; filter < 5; ++filter) {
        const signed char* values =
            reinterpret_cast<const signed char*>(&m_candidates[filter * (n + 1) + 1]);
        unsigned long sum = 0;
        for (size_t i = 0; i < n; ++i) {
            sum += static_cast<unsigned long>(std::abs(static_cast<int>(values[i])));
        }
        if (sum < best) {
            best = sum;
            bestFilter = filter;
        }
    }
    Deflate(&m_candidates[bestFilter * (n + 1)], n + 1, Z_NO_FLUSH);
    std::memcpy(m_previous.data(), row, n);
}

void FlateRowEncoder::Finish() {
    if (!m_finished) {
        Deflate(nullptr, 0, Z_FINISH);
        m_finished = true;
    }
}

void FlateRowEncoder::Deflate(const unsigned char* data, size_t size, int flush) {
    m_zlib.next_in = const_cast<unsigned char*>(data);
    m_zlib.avail_in = static_cast<uInt>(size);
    do {
        m_zlib.next_out = m_out.data();
        m_zlib.avail_out = static_cast<uInt>(m_out.size());
        const int status = deflate(&m_zlib, flush);
        if (status == Z_STREAM_ERROR) {
            throw PdfError(PDF_ERROR_INTERNAL, "compressor failure");
        }
        const size_t produced = m_out.size() - m_zlib.avail_out;
        if (produced > 0) {
            m_sink(m_out.data(), produced);
        }
    } while (m_zlib.avail_out == 0 || (flush == Z_FINISH && m_zlib.avail_in > 0));
}
