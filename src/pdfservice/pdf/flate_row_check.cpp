#include "pdf/flate_row_check.h"

#include "pdf/pdf_error.h"

#include <libdeflate.h>
#include <memory>

namespace {
constexpr size_t kBufferSize = 64 * 1024;
} // namespace

FlateRowCheck::FlateRowCheck(uint64_t rows, uint64_t rowBytes)
    : m_buffer(kBufferSize), m_total(rows * (rowBytes + 1)), m_rowSize(rowBytes + 1) {
    if (inflateInit(&m_zlib) != Z_OK) {
        throw PdfError(PDF_ERROR_INTERNAL, "cannot start the decompressor");
    }
}

FlateRowCheck::~FlateRowCheck() {
    inflateEnd(&m_zlib);
}

void FlateRowCheck::Fail(const std::string& problem) {
    m_problem = problem;
    throw PdfError(PDF_ERROR_CORRUPT, problem);
}

size_t FlateRowCheck::Add(const unsigned char* data, size_t size) {
    if (m_ended) {
        return 0;
    }
    size_t used = 0;
    m_zlib.next_in = const_cast<unsigned char*>(data);
    while (used < size && !m_ended) {
        const uInt piece = static_cast<uInt>(std::min<size_t>(size - used, 1u << 30));
        m_zlib.avail_in = piece;
        while (m_zlib.avail_in > 0 && !m_ended) {
            m_zlib.next_out = m_buffer.data();
            m_zlib.avail_out = static_cast<uInt>(m_buffer.size());
            const int status = inflate(&m_zlib, Z_NO_FLUSH);
            if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR) {
                Fail("damaged compressed image data" +
                     std::string(m_zlib.msg != nullptr ? std::string(" (") + m_zlib.msg + ")"
                                                       : std::string()));
            }
            Count(m_buffer.data(), m_buffer.size() - m_zlib.avail_out);
            if (status == Z_STREAM_END) {
                m_ended = true;
            } else if (status == Z_BUF_ERROR) {
                break;
            }
        }
        used += piece - m_zlib.avail_in;
        if (m_zlib.avail_in > 0 && !m_ended) {
            break;
        }
    }
    return used;
}

void FlateRowCheck::Count(const unsigned char* data, size_t size) {
    if (size > m_total - m_done) {
        Fail("more image data than the header declares");
    }
    // Every row begins with its filter type, 0 to 4.
    uint64_t next = (m_done + m_rowSize - 1) / m_rowSize * m_rowSize;
    for (; next < m_done + size; next += m_rowSize) {
        if (data[next - m_done] > 4) {
            Fail("bad row filter in the image data");
        }
    }
    m_done += size;
}

void FlateRowCheck::Finish() {
    if (!m_ended || m_done != m_total) {
        Fail(m_done < m_total ? "the image data ends before the last row"
                              : "the compressed image data does not end");
    }
}

namespace {
struct DecompressorFree {
    void operator()(libdeflate_decompressor* decompressor) const {
        libdeflate_free_decompressor(decompressor);
    }
};

[[noreturn]] void WholeFails(std::string& problem, const std::string& what) {
    problem = what;
    throw PdfError(PDF_ERROR_CORRUPT, what);
}
} // namespace

size_t FlateRowCheck::CheckWhole(const unsigned char* data, size_t size, uint64_t rows,
                                 uint64_t rowBytes, std::string& problem) {
    // The decompressor and the rows are kept by each thread from image to image.
    static thread_local std::unique_ptr<libdeflate_decompressor, DecompressorFree> decompressor;
    static thread_local std::vector<unsigned char> inflated;
    if (!decompressor) {
        decompressor.reset(libdeflate_alloc_decompressor());
        if (!decompressor) {
            throw PdfError(PDF_ERROR_INTERNAL, "cannot start the decompressor");
        }
    }
    const uint64_t total = rows * (rowBytes + 1);
    inflated.resize(static_cast<size_t>(total));
    size_t used = 0;
    size_t produced = 0;
    switch (libdeflate_zlib_decompress_ex(decompressor.get(), data, size, inflated.data(),
                                          inflated.size(), &used, &produced)) {
    case LIBDEFLATE_SUCCESS:
        break;
    case LIBDEFLATE_INSUFFICIENT_SPACE:
        WholeFails(problem, "more image data than the header declares");
    default:
        WholeFails(problem, "damaged compressed image data");
    }
    if (produced != total) {
        WholeFails(problem, "the image data ends before the last row");
    }
    for (uint64_t row = 0; row < rows; ++row) {
        if (inflated[static_cast<size_t>(row * (rowBytes + 1))] > 4) {
            WholeFails(problem, "bad row filter in the image data");
        }
    }
    return used;
}
