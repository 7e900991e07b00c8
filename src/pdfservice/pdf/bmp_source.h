#pragma once

#include "pdf/image_source.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A Windows or OS/2 bitmap: 1, 2, 4 and 8-bit palettes (also RLE4 and RLE8), 16, 24 and
// 32-bit direct colour with default or given bit-field masks, an alpha mask as a soft mask,
// bottom-up or top-down; an embedded JPEG or PNG is handed to its own reader.
class BmpSource : public ImageSource {
public:
    explicit BmpSource(const SourceData& data);
    ~BmpSource() override;

    void WriteImage(int page, const Sink& out, std::string* softMask) override;

private:
    struct Channel {
        uint32_t mask = 0;
        int shift = 0;
        int bits = 0;
    };

    // What the file and information headers say.
    struct Header {
        uint32_t size = 0; // of the information header
        int64_t width = 0;
        int64_t height = 0; // rows, whichever way they are stored
        uint32_t sizeImage = 0;
        int32_t xPerMetre = 0;
        int32_t yPerMetre = 0;
        uint32_t colours = 0;
    };

    void Parse();
    Header ReadHeader(const unsigned char* d, size_t headSize, uint64_t size);
    void CheckCompression() const;
    bool IsIndexed() const;
    void ReadPalette(const unsigned char* d, const Header& header, ImageLayout& layout);
    void ReadBitFields(const unsigned char* d, const Header& header, ImageLayout& layout);
    // Decides whether the alpha channel is used.
    void FindAlpha(SourceData::Reader& reader, const Header& header, ImageLayout& layout);
    void ReadProfile(SourceData::Reader& reader, const Header& header, ImageLayout& layout);
    // A row as stored (counted in file order), read into `row`.
    const unsigned char* ReadRow(SourceData::Reader& reader, int stored,
                                 std::vector<unsigned char>& row) const;
    void CheckIndices(const unsigned char* row) const;
    // Where the RLE data draws a row: from `begin` to `end` in the file, from column `x` on.
    struct RleRow {
        uint32_t y; // counted from the bottom
        uint32_t x;
        uint64_t begin;
        uint64_t end;
    };
    // The rows the RLE data draws, bottom-up; throws PdfError when the data is damaged.
    std::vector<RleRow> IndexRle() const;
    void WriteRle(const Sink& out) const;
    // The Decode value that maps `bits`-bit samples stored at `outBits` bits exactly.
    static double DecodeScale(int bits, int outBits);

    std::string m_head; // the headers and palette, as read when the file was opened
    int m_bitCount = 0;
    int m_compression = 0;
    bool m_topDown = false;
    uint32_t m_dataOffset = 0;
    uint64_t m_stride = 0;
    int m_paletteEntries = 0;
    Channel m_channels[4]; // red, green, blue, alpha
    bool m_hasAlpha = false;
    std::unique_ptr<ImageSource> m_embedded; // BI_JPEG, BI_PNG
};
