#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TiffFile;

// CCITT Group 4 coding of black and white images, by libtiff's encoder, row after row.
class FaxEncoder {
public:
    FaxEncoder(uint32_t width, uint32_t height);
    ~FaxEncoder();
    FaxEncoder(const FaxEncoder&) = delete;
    FaxEncoder& operator=(const FaxEncoder&) = delete;

    // Adds a row of (width + 7) / 8 bytes, 1 for black, most significant bit first.
    void WriteRow(const unsigned char* row);
    // Returns the Group 4 data of every row (with its end-of-block code).
    std::string Finish();

private:
    [[noreturn]] void Fail() const;

    std::unique_ptr<TiffFile> m_file;
    std::vector<unsigned char> m_row;
    uint32_t m_height;
    uint32_t m_done = 0;
};
