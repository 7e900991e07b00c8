#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Reads CCITT Group 4 (T.6) data by the book, without leniency: every code is one the
// standard defines, every row ends exactly at the image's width with no zero-length or
// backward run, there are exactly the rows the image declares, and nothing but an
// end-of-block follows them. Data that passes decodes to the same pixels in every conforming
// reader (poppler, MuPDF, libtiff), so it can be copied into a PDF as it is; anything else
// is coded afresh.
class Group4Check {
public:
    struct Result {
        bool valid = false;
        uint64_t rowsEndBit = 0; // where the last row's codes end
        bool endOfBlock = false; // an end-of-block follows them
        uint64_t endBit = 0;     // where the end-of-block ends
    };

    // Checks `size` bytes (most significant bit first) of a `width` by `height` image. When
    // `pixels` is given, the rows are decoded into it too: (width + 7) / 8 bytes a row,
    // 1 for black.
    static Result Check(const unsigned char* data, size_t size, uint32_t width, uint32_t height,
                        std::vector<unsigned char>* pixels = nullptr);

    // Hands on the data of a valid result, with an end-of-block when it had none (for
    // readers that look for one), and without anything after it.
    template <typename Sink>
    static void Write(const unsigned char* data, const Result& result, const Sink& out) {
        if (result.endOfBlock) {
            out(data, static_cast<size_t>((result.endBit + 7) / 8));
            return;
        }
        out(data, static_cast<size_t>(result.rowsEndBit / 8));
        const std::vector<unsigned char> tail = EndOfBlock(data, result.rowsEndBit);
        out(tail.data(), tail.size());
    }

private:
    // The bits of the byte where `bit` falls, up to it, followed by an end-of-block.
    static std::vector<unsigned char> EndOfBlock(const unsigned char* data, uint64_t bit);
};
