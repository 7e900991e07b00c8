#include "pdf/flate_row_encoder.h"

#include "pdf/pdf_error.h"

#include <cstdlib>
#include <cstring>
#include <libdeflate.h>

namespace {
constexpr size_t kOutputChunk = 256 * 1024;
constexpr int kLevel = 6;

} // namespace

// The buffers of whole-image compression, kept by each thread from image to image: memory
// used again costs no page faults.
struct WholeImageBuffers {
    std::vector<unsigned char> gathered;
    std::vector<unsigned char> compressed;
    libdeflate_compressor* compressor = nullptr;
    ~WholeImageBuffers() { libdeflate_free_compressor(compressor); }
};

namespace {
// Sets of buffers free for the thread's next encoders (an image's colour and its alpha).
std::vector<std::unique_ptr<WholeImageBuffers>>& FreeBuffers() {
    static thread_local std::vector<std::unique_ptr<WholeImageBuffers>> free;
    return free;
}

WholeImageBuffers* TakeBuffers() {
    auto& free = FreeBuffers();
    if (free.empty()) {
        return new WholeImageBuffers;
    }
    WholeImageBuffers* buffers = free.back().release();
    free.pop_back();
    return buffers;
}

void GiveBack(WholeImageBuffers* buffers) {
    auto& free = FreeBuffers();
    if (free.size() < 2) {
        free.emplace_back(buffers);
    } else {
        delete buffers;
    }
}

// Sub, Up, Average and Paeth for the bytes from `bpp` on, in one pass that vectorises.
void FilterRest(const unsigned char* __restrict row, const unsigned char* __restrict up, size_t n,
                size_t bpp, unsigned char* __restrict sub, unsigned char* __restrict upf,
                unsigned char* __restrict avg, unsigned char* __restrict paeth) {
    // 16-bit arithmetic suffices (sums of two bytes) and doubles the lanes.
    for (size_t i = bpp; i < n; ++i) {
        const int16_t x = row[i];
        const int16_t a = row[i - bpp];
        const int16_t b = up[i];
        const int16_t c = up[i - bpp];
        sub[i] = static_cast<unsigned char>(x - a);
        upf[i] = static_cast<unsigned char>(x - b);
        avg[i] = static_cast<unsigned char>(x - ((a + b) >> 1));
        const int16_t pa = static_cast<int16_t>(b > c ? b - c : c - b);
        const int16_t pb = static_cast<int16_t>(a > c ? a - c : c - a);
        const int16_t sum = static_cast<int16_t>(a + b - 2 * c);
        const int16_t pc = static_cast<int16_t>(sum < 0 ? -sum : sum);
        const int16_t predicted = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
        paeth[i] = static_cast<unsigned char>(x - predicted);
    }
}

unsigned Magnitude(unsigned char value) {
    const int v = static_cast<signed char>(value);
    return static_cast<unsigned>(v < 0 ? -v : v);
}
} // namespace

size_t FlateRowEncoder::RowBytesOf(int columns, int colours, int bitsPerComponent) {
    return (static_cast<size_t>(columns) * colours * bitsPerComponent + 7) / 8;
}

std::unique_ptr<FlateRowEncoder> FlateRowEncoder::AppendingTo(std::string* out, int columns,
                                                              int rows, int colours,
                                                              int bitsPerComponent) {
    return std::make_unique<FlateRowEncoder>(
        [out](const unsigned char* data, size_t size) {
            out->append(reinterpret_cast<const char*>(data), size);
        },
        columns, rows, colours, bitsPerComponent);
}

FlateRowEncoder::FlateRowEncoder(Sink sink, int columns, int rows, int colours,
                                 int bitsPerComponent)
    : m_sink(std::move(sink)), m_rowBytes(RowBytesOf(columns, colours, bitsPerComponent)),
      m_bytesPerPixel(std::max<size_t>(1, static_cast<size_t>(colours) * bitsPerComponent / 8)),
      // Filtering helps whole-byte samples; for packed sub-byte samples it rarely does.
      m_adaptive(bitsPerComponent >= 8), m_previous(m_rowBytes, 0),
      m_candidates(m_adaptive ? 5 * (m_rowBytes + 1) : m_rowBytes + 1), m_whole(nullptr, GiveBack) {
    const uint64_t filtered = uint64_t(m_rowBytes + 1) * static_cast<uint64_t>(std::max(rows, 0));
    if (filtered <= kWholeImage) {
        m_whole.reset(TakeBuffers());
        m_whole->gathered.clear();
        m_whole->gathered.reserve(static_cast<size_t>(filtered));
        return;
    }
    m_out.resize(kOutputChunk);
    if (deflateInit(&m_zlib, kLevel) != Z_OK) {
        throw PdfError(PDF_ERROR_INTERNAL, "cannot start the compressor");
    }
    m_zlibStarted = true;
}

FlateRowEncoder::~FlateRowEncoder() {
    if (m_zlibStarted) {
        deflateEnd(&m_zlib);
    }
}

const unsigned char* FlateRowEncoder::Filter(const unsigned char* row) {
    const size_t n = m_rowBytes;
    const size_t bpp = std::min(m_bytesPerPixel, n);
    const unsigned char* up = m_previous.data();
    if (!m_adaptive) {
        m_candidates[0] = 0;
        std::memcpy(&m_candidates[1], row, n);
        return m_candidates.data();
    }

    // Try every PNG filter and keep the one with the smallest sum of absolute values, the
    // heuristic PNG encoders use. One pass computes them all.
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
    unsigned sums[5] = {0, 0, 0, 0, 0};
    for (size_t i = 0; i < bpp; ++i) {
        const int x = row[i];
        const int b = up[i];
        sub[i + 1] = static_cast<unsigned char>(x);
        upf[i + 1] = static_cast<unsigned char>(x - b);
        avg[i + 1] = static_cast<unsigned char>(x - b / 2);
        paeth[i + 1] = static_cast<unsigned char>(x - b);
    }
    FilterRest(row, up, n, bpp, sub + 1, upf + 1, avg + 1, paeth + 1);
    for (size_t i = 1; i <= n; ++i) {
        sums[0] += Magnitude(none[i]);
        sums[1] += Magnitude(sub[i]);
        sums[2] += Magnitude(upf[i]);
        sums[3] += Magnitude(avg[i]);
        sums[4] += Magnitude(paeth[i]);
    }
    size_t best = 0;
    for (size_t filter = 1; filter < 5; ++filter) {
        if (sums[filter] < sums[best]) {
            best = filter;
        }
    }
    std::memcpy(m_previous.data(), row, n);
    return &m_candidates[best * (n + 1)];
}

void FlateRowEncoder::WriteRow(const unsigned char* row) {
    const unsigned char* filtered = Filter(row);
    if (m_whole) {
        m_whole->gathered.insert(m_whole->gathered.end(), filtered, filtered + m_rowBytes + 1);
    } else {
        Deflate(filtered, m_rowBytes + 1, Z_NO_FLUSH);
    }
}

void FlateRowEncoder::Finish() {
    if (m_finished) {
        return;
    }
    m_finished = true;
    if (!m_whole) {
        Deflate(nullptr, 0, Z_FINISH);
        return;
    }
    WholeImageBuffers& buffers = *m_whole;
    if (buffers.compressor == nullptr) {
        buffers.compressor = libdeflate_alloc_compressor(kLevel);
        if (buffers.compressor == nullptr) {
            throw PdfError(PDF_ERROR_INTERNAL, "cannot start the compressor");
        }
    }
    buffers.compressed.resize(
        libdeflate_zlib_compress_bound(buffers.compressor, buffers.gathered.size()));
    const size_t size = libdeflate_zlib_compress(buffers.compressor, buffers.gathered.data(),
                                                 buffers.gathered.size(), buffers.compressed.data(),
                                                 buffers.compressed.size());
    if (size == 0) {
        throw PdfError(PDF_ERROR_INTERNAL, "compressor failure");
    }
    m_sink(buffers.compressed.data(), size);
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
