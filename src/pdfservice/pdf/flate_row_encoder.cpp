#include "pdf/flate_row_encoder.h"

#include "pdf/pdf_error.h"

#include <cstdlib>
#include <cstring>
#include <libdeflate.h>

namespace {
constexpr size_t kOutputChunk = 256 * 1024;
constexpr int kLevel = 6;
// For decoded photographs of lossy codecs, whose samples Flate compresses little at any level.
constexpr int kFastLevel = 1;

} // namespace

// The buffers of whole-image compression, kept by each thread from image to image: memory
// used again costs no page faults.
struct WholeImageBuffers {
    std::vector<unsigned char> gathered;
    std::vector<unsigned char> compressed;
    libdeflate_compressor* compressor = nullptr; // of kLevel
    libdeflate_compressor* fastCompressor = nullptr;
    ~WholeImageBuffers() {
        libdeflate_free_compressor(compressor);
        libdeflate_free_compressor(fastCompressor);
    }
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

unsigned Magnitude(int filtered) {
    const int v = static_cast<signed char>(static_cast<unsigned char>(filtered));
    return static_cast<unsigned>(v < 0 ? -v : v);
}

int16_t PaethPredictor(int16_t a, int16_t b, int16_t c) {
    const int16_t pa = static_cast<int16_t>(b > c ? b - c : c - b);
    const int16_t pb = static_cast<int16_t>(a > c ? a - c : c - a);
    const int16_t sum = static_cast<int16_t>(a + b - 2 * c);
    const int16_t pc = static_cast<int16_t>(sum < 0 ? -sum : sum);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// The sums of absolute values of the row under each PNG filter (none, sub, up, average,
// Paeth), in one pass that vectorises (16-bit lanes: sums of two bytes fit).
void FilterSums(const unsigned char* __restrict row, const unsigned char* __restrict up, size_t n,
                size_t bpp, unsigned (&sums)[5]) {
    unsigned none = 0, sub = 0, upf = 0, avg = 0, paeth = 0;
    for (size_t i = 0; i < bpp; ++i) {
        const int16_t x = row[i];
        const int16_t b = up[i];
        none += Magnitude(x);
        sub += Magnitude(x);
        upf += Magnitude(x - b);
        avg += Magnitude(x - b / 2);
        paeth += Magnitude(x - b);
    }
    // Rows of more than a few hundred bytes are judged on a quarter of them (32 bytes in
    // every 128): the choice comes out the same nearly always, at a quarter of the cost.
    const size_t block = n - bpp > 512 ? 32 : n;
    const size_t step = n - bpp > 512 ? 128 : n;
    for (size_t start = bpp; start < n; start += step) {
        const size_t end = std::min(n, start + block);
        for (size_t i = start; i < end; ++i) {
            const int16_t x = row[i];
            const int16_t a = row[i - bpp];
            const int16_t b = up[i];
            const int16_t c = up[i - bpp];
            none += Magnitude(x);
            sub += Magnitude(x - a);
            upf += Magnitude(x - b);
            avg += Magnitude(x - ((a + b) >> 1));
            paeth += Magnitude(x - PaethPredictor(a, b, c));
        }
    }
    sums[0] = none;
    sums[1] = sub;
    sums[2] = upf;
    sums[3] = avg;
    sums[4] = paeth;
}

// Writes the filter type and the row under that filter to `out`.
void ApplyFilter(int filter, const unsigned char* __restrict row,
                 const unsigned char* __restrict up, size_t n, size_t bpp,
                 unsigned char* __restrict out) {
    out[0] = static_cast<unsigned char>(filter);
    unsigned char* __restrict to = out + 1;
    switch (filter) {
    case 0:
        std::memcpy(to, row, n);
        break;
    case 1:
        std::memcpy(to, row, bpp);
        for (size_t i = bpp; i < n; ++i) {
            to[i] = static_cast<unsigned char>(row[i] - row[i - bpp]);
        }
        break;
    case 2:
        for (size_t i = 0; i < n; ++i) {
            to[i] = static_cast<unsigned char>(row[i] - up[i]);
        }
        break;
    case 3:
        for (size_t i = 0; i < bpp; ++i) {
            to[i] = static_cast<unsigned char>(row[i] - up[i] / 2);
        }
        for (size_t i = bpp; i < n; ++i) {
            to[i] = static_cast<unsigned char>(row[i] - ((row[i - bpp] + up[i]) >> 1));
        }
        break;
    default:
        for (size_t i = 0; i < bpp; ++i) {
            to[i] = static_cast<unsigned char>(row[i] - up[i]);
        }
        for (size_t i = bpp; i < n; ++i) {
            to[i] = static_cast<unsigned char>(row[i] -
                                               PaethPredictor(row[i - bpp], up[i], up[i - bpp]));
        }
        break;
    }
}

} // namespace

size_t FlateRowEncoder::RowBytesOf(int columns, int colours, int bitsPerComponent) {
    return (static_cast<size_t>(columns) * colours * bitsPerComponent + 7) / 8;
}

std::unique_ptr<FlateRowEncoder> FlateRowEncoder::AppendingTo(std::string* out, int columns,
                                                              int rows, int colours,
                                                              int bitsPerComponent, bool fast) {
    return std::make_unique<FlateRowEncoder>(
        [out](const unsigned char* data, size_t size) {
            out->append(reinterpret_cast<const char*>(data), size);
        },
        columns, rows, colours, bitsPerComponent, fast);
}

FlateRowEncoder::FlateRowEncoder(Sink sink, int columns, int rows, int colours,
                                 int bitsPerComponent, bool fast)
    : m_sink(std::move(sink)), m_fast(fast),
      m_rowBytes(RowBytesOf(columns, colours, bitsPerComponent)),
      m_bytesPerPixel(std::max<size_t>(1, static_cast<size_t>(colours) * bitsPerComponent / 8)),
      // Filtering helps whole-byte samples; for packed sub-byte samples it rarely does.
      m_adaptive(bitsPerComponent >= 8), m_previous(m_rowBytes, 0), m_row(m_rowBytes + 1),
      m_whole(nullptr, GiveBack) {
    const uint64_t filtered = uint64_t(m_rowBytes + 1) * static_cast<uint64_t>(std::max(rows, 0));
    if (filtered <= kWholeImage) {
        m_whole.reset(TakeBuffers());
        m_whole->gathered.clear();
        m_whole->gathered.reserve(static_cast<size_t>(filtered));
        return;
    }
    m_out.resize(kOutputChunk);
    if (deflateInit(&m_zlib, m_fast ? kFastLevel : kLevel) != Z_OK) {
        throw PdfError(PDF_ERROR_INTERNAL, "cannot start the compressor");
    }
    m_zlibStarted = true;
}

FlateRowEncoder::~FlateRowEncoder() {
    if (m_zlibStarted) {
        deflateEnd(&m_zlib);
    }
}

int FlateRowEncoder::ChooseFilter(const unsigned char* row) const {
    if (!m_adaptive) {
        return 0;
    }
    // Every PNG filter is tried; the one with the smallest sum of absolute values wins, the
    // heuristic PNG encoders use.
    unsigned sums[5];
    FilterSums(row, m_previous.data(), m_rowBytes, std::min(m_bytesPerPixel, m_rowBytes), sums);
    int best = 0;
    for (int filter = 1; filter < 5; ++filter) {
        if (sums[filter] < sums[best]) {
            best = filter;
        }
    }
    return best;
}

void FlateRowEncoder::WriteRow(const unsigned char* row) {
    const int filter = ChooseFilter(row);
    const size_t n = m_rowBytes;
    const size_t bpp = std::min(m_bytesPerPixel, n);
    if (m_whole) {
        std::vector<unsigned char>& gathered = m_whole->gathered;
        const size_t at = gathered.size();
        gathered.resize(at + n + 1);
        ApplyFilter(filter, row, m_previous.data(), n, bpp, &gathered[at]);
    } else {
        ApplyFilter(filter, row, m_previous.data(), n, bpp, m_row.data());
        Deflate(m_row.data(), n + 1, Z_NO_FLUSH);
    }
    if (m_adaptive) {
        std::memcpy(m_previous.data(), row, n);
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
    libdeflate_compressor*& compressor = m_fast ? buffers.fastCompressor : buffers.compressor;
    if (compressor == nullptr) {
        compressor = libdeflate_alloc_compressor(m_fast ? kFastLevel : kLevel);
        if (compressor == nullptr) {
            throw PdfError(PDF_ERROR_INTERNAL, "cannot start the compressor");
        }
    }
    buffers.compressed.resize(libdeflate_zlib_compress_bound(compressor, buffers.gathered.size()));
    const size_t size =
        libdeflate_zlib_compress(compressor, buffers.gathered.data(), buffers.gathered.size(),
                                 buffers.compressed.data(), buffers.compressed.size());
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
