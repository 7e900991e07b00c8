#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <zlib.h>

// Compresses image rows for a PDF FlateDecode stream with PNG predictors (/Predictor 15):
// each row gets the PNG filter that suits it best, as PNG encoders do, then the rows are
// deflated. An image whose filtered rows fit a bounded buffer is compressed in one go by
// libdeflate (far faster than zlib at the same ratio); a larger one goes through zlib row by
// row, so memory stays bounded whatever the image's size.
class FlateRowEncoder {
public:
    using Sink = std::function<void(const unsigned char* data, size_t size)>;

    // `fast`: a quicker, looser compression, for decoded photographs of lossy codecs (whose
    // samples Flate compresses little at any level).
    FlateRowEncoder(Sink sink, int columns, int rows, int colours, int bitsPerComponent,
                    bool fast = false);
    ~FlateRowEncoder();

    FlateRowEncoder(const FlateRowEncoder&) = delete;
    FlateRowEncoder& operator=(const FlateRowEncoder&) = delete;

    // The bytes of one row of packed samples.
    size_t RowBytes() const { return m_rowBytes; }
    // Adds one row of RowBytes() bytes.
    void WriteRow(const unsigned char* row);
    // Ends the stream; no row may follow.
    void Finish();

    static size_t RowBytesOf(int columns, int colours, int bitsPerComponent);

    // An encoder whose compressed bytes are appended to `out` (a soft mask's data).
    static std::unique_ptr<FlateRowEncoder> AppendingTo(std::string* out, int columns, int rows,
                                                        int colours, int bitsPerComponent,
                                                        bool fast = false);

    // Filtered images up to this size are compressed in one go.
    static constexpr size_t kWholeImage = 32 * 1024 * 1024;

private:
    // The PNG filter that suits the row best.
    int ChooseFilter(const unsigned char* row) const;
    void Deflate(const unsigned char* data, size_t size, int flush);

    Sink m_sink;
    bool m_fast;
    size_t m_rowBytes;
    size_t m_bytesPerPixel;
    bool m_adaptive;
    std::vector<unsigned char> m_previous;
    std::vector<unsigned char> m_row; // a filtered row, led by its filter type
    // Whole-image compression: the filtered rows and the compressor (null: streaming).
    std::unique_ptr<struct WholeImageBuffers, void (*)(struct WholeImageBuffers*)> m_whole;
    std::vector<unsigned char> m_out;
    z_stream m_zlib{};
    bool m_zlibStarted = false;
    bool m_finished = false;
};
