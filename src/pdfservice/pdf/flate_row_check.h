#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <zlib.h>

// Inflates zlib data with PNG predictors as it passes (into a small reused buffer) and checks
// that it holds exactly the rows an image header declares, each led by a valid filter byte:
// data copied into a PDF as it is must decode to the image the page was laid out for.
class FlateRowCheck {
public:
    // `rows` rows of `rowBytes` bytes each, after the filter byte.
    FlateRowCheck(uint64_t rows, uint64_t rowBytes);
    ~FlateRowCheck();
    FlateRowCheck(const FlateRowCheck&) = delete;
    FlateRowCheck& operator=(const FlateRowCheck&) = delete;

    // Adds the next piece of compressed data and returns how many of its bytes belong to the
    // stream (bytes after its end are of no use to anyone). Throws PdfError when the data is
    // damaged or holds more than the rows.
    size_t Add(const unsigned char* data, size_t size);
    // Throws PdfError unless the data has ended with every row.
    void Finish();

    // A description of what is wrong with the data, for reasons; empty when nothing is.
    const std::string& Problem() const { return m_problem; }

    // The same check of data held whole, by libdeflate (several times faster than zlib):
    // returns how many bytes the stream takes, or throws PdfError with `problem` set.
    static size_t CheckWhole(const unsigned char* data, size_t size, uint64_t rows,
                             uint64_t rowBytes, std::string& problem);

private:
    void Fail(const std::string& problem);
    void Count(const unsigned char* data, size_t size);

    z_stream m_zlib{};
    std::vector<unsigned char> m_buffer;
    uint64_t m_total;
    uint64_t m_rowSize;
    uint64_t m_done = 0;
    bool m_ended = false;
    std::string m_problem;
};
