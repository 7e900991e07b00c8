#include "pdf/group4_check.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

namespace {
// Run-length codes of T.4 (bit strings) and the runs they stand for.
struct Code {
    const char* bits;
    int run;
};

constexpr Code kWhite[] = {
    {"00110101", 0},     {"000111", 1},       {"0111", 2},         {"1000", 3},
    {"1011", 4},         {"1100", 5},         {"1110", 6},         {"1111", 7},
    {"10011", 8},        {"10100", 9},        {"00111", 10},       {"01000", 11},
    {"001000", 12},      {"000011", 13},      {"110100", 14},      {"110101", 15},
    {"101010", 16},      {"101011", 17},      {"0100111", 18},     {"0001100", 19},
    {"0001000", 20},     {"0010111", 21},     {"0000011", 22},     {"0000100", 23},
    {"0101000", 24},     {"0101011", 25},     {"0010011", 26},     {"0100100", 27},
    {"0011000", 28},     {"00000010", 29},    {"00000011", 30},    {"00011010", 31},
    {"00011011", 32},    {"00010010", 33},    {"00010011", 34},    {"00010100", 35},
    {"00010101", 36},    {"00010110", 37},    {"00010111", 38},    {"00101000", 39},
    {"00101001", 40},    {"00101010", 41},    {"00101011", 42},    {"00101100", 43},
    {"00101101", 44},    {"00000100", 45},    {"00000101", 46},    {"00001010", 47},
    {"00001011", 48},    {"01010010", 49},    {"01010011", 50},    {"01010100", 51},
    {"01010101", 52},    {"00100100", 53},    {"00100101", 54},    {"01011000", 55},
    {"01011001", 56},    {"01011010", 57},    {"01011011", 58},    {"01001010", 59},
    {"01001011", 60},    {"00110010", 61},    {"00110011", 62},    {"00110100", 63},
    {"11011", 64},       {"10010", 128},      {"010111", 192},     {"0110111", 256},
    {"00110110", 320},   {"00110111", 384},   {"01100100", 448},   {"01100101", 512},
    {"01101000", 576},   {"01100111", 640},   {"011001100", 704},  {"011001101", 768},
    {"011010010", 832},  {"011010011", 896},  {"011010100", 960},  {"011010101", 1024},
    {"011010110", 1088}, {"011010111", 1152}, {"011011000", 1216}, {"011011001", 1280},
    {"011011010", 1344}, {"011011011", 1408}, {"010011000", 1472}, {"010011001", 1536},
    {"010011010", 1600}, {"011000", 1664},    {"010011011", 1728},
};

constexpr Code kBlack[] = {
    {"0000110111", 0},
    {"010", 1},
    {"11", 2},
    {"10", 3},
    {"011", 4},
    {"0011", 5},
    {"0010", 6},
    {"00011", 7},
    {"000101", 8},
    {"000100", 9},
    {"0000100", 10},
    {"0000101", 11},
    {"0000111", 12},
    {"00000100", 13},
    {"00000111", 14},
    {"000011000", 15},
    {"0000010111", 16},
    {"0000011000", 17},
    {"0000001000", 18},
    {"00001100111", 19},
    {"00001101000", 20},
    {"00001101100", 21},
    {"00000110111", 22},
    {"00000101000", 23},
    {"00000010111", 24},
    {"00000011000", 25},
    {"000011001010", 26},
    {"000011001011", 27},
    {"000011001100", 28},
    {"000011001101", 29},
    {"000001101000", 30},
    {"000001101001", 31},
    {"000001101010", 32},
    {"000001101011", 33},
    {"000011010010", 34},
    {"000011010011", 35},
    {"000011010100", 36},
    {"000011010101", 37},
    {"000011010110", 38},
    {"000011010111", 39},
    {"000001101100", 40},
    {"000001101101", 41},
    {"000011011010", 42},
    {"000011011011", 43},
    {"000001010100", 44},
    {"000001010101", 45},
    {"000001010110", 46},
    {"000001010111", 47},
    {"000001100100", 48},
    {"000001100101", 49},
    {"000001010010", 50},
    {"000001010011", 51},
    {"000000100100", 52},
    {"000000110111", 53},
    {"000000111000", 54},
    {"000000100111", 55},
    {"000000101000", 56},
    {"000001011000", 57},
    {"000001011001", 58},
    {"000000101011", 59},
    {"000000101100", 60},
    {"000001011010", 61},
    {"000001100110", 62},
    {"000001100111", 63},
    {"0000001111", 64},
    {"000011001000", 128},
    {"000011001001", 192},
    {"000001011011", 256},
    {"000000110011", 320},
    {"000000110100", 384},
    {"000000110101", 448},
    {"0000001101100", 512},
    {"0000001101101", 576},
    {"0000001001010", 640},
    {"0000001001011", 704},
    {"0000001001100", 768},
    {"0000001001101", 832},
    {"0000001110010", 896},
    {"0000001110011", 960},
    {"0000001110100", 1024},
    {"0000001110101", 1088},
    {"0000001110110", 1152},
    {"0000001110111", 1216},
    {"0000001010010", 1280},
    {"0000001010011", 1344},
    {"0000001010100", 1408},
    {"0000001010101", 1472},
    {"0000001011010", 1536},
    {"0000001011011", 1600},
    {"0000001100100", 1664},
    {"0000001100101", 1728},
};

// Make-up codes of both colours for runs of 1792 and more.
constexpr Code kExtended[] = {
    {"00000001000", 1792},  {"00000001100", 1856},  {"00000001101", 1920},  {"000000010010", 1984},
    {"000000010011", 2048}, {"000000010100", 2112}, {"000000010101", 2176}, {"000000010110", 2240},
    {"000000010111", 2304}, {"000000011100", 2368}, {"000000011101", 2432}, {"000000011110", 2496},
    {"000000011111", 2560},
};

enum Mode : uint8_t { kInvalid, kPass, kHorizontal, kV0, kVR1, kVR2, kVR3, kVL1, kVL2, kVL3 };

struct Entry {
    uint8_t length = 0; // 0: no code
    uint16_t value = 0; // run, or mode
};

// A table indexed by the next `Bits` bits.
template <int Bits> struct Table {
    std::array<Entry, size_t(1) << Bits> entries{};
    void Add(const std::string& bits, uint16_t value) {
        const int length = static_cast<int>(bits.size());
        const uint32_t code = static_cast<uint32_t>(std::stoul(bits, nullptr, 2));
        const uint32_t first = code << (Bits - length);
        for (uint32_t i = 0; i < (uint32_t(1) << (Bits - length)); ++i) {
            entries[first + i] = {static_cast<uint8_t>(length), value};
        }
    }
};

struct Tables {
    Table<12> white;
    Table<13> black;
    Table<7> modes;
    Tables() {
        for (const Code& code : kWhite) {
            white.Add(code.bits, static_cast<uint16_t>(code.run));
        }
        for (const Code& code : kBlack) {
            black.Add(code.bits, static_cast<uint16_t>(code.run));
        }
        for (const Code& code : kExtended) {
            white.Add(code.bits, static_cast<uint16_t>(code.run));
            black.Add(code.bits, static_cast<uint16_t>(code.run));
        }
        modes.Add("1", kV0);
        modes.Add("011", kVR1);
        modes.Add("010", kVL1);
        modes.Add("001", kHorizontal);
        modes.Add("0001", kPass);
        modes.Add("000011", kVR2);
        modes.Add("000010", kVL2);
        modes.Add("0000011", kVR3);
        modes.Add("0000010", kVL3);
    }
};

const Tables& CodeTables() {
    static const Tables tables;
    return tables;
}

// Bits most significant first, past the end of the data read as zeros.
class BitReader {
public:
    BitReader(const unsigned char* data, size_t size) : m_data(data), m_size(size) {}
    uint32_t Peek(int count) {
        Fill();
        return static_cast<uint32_t>(m_bits >> (64 - count));
    }
    void Skip(int count) {
        m_bits <<= count;
        m_count -= count;
        m_position += static_cast<uint64_t>(count);
    }
    uint64_t Position() const { return m_position; }
    bool Past() const { return m_position > uint64_t(m_size) * 8; }

private:
    void Fill() {
        if (m_count > 32) {
            return;
        }
        if (m_next + 4 <= m_size) {
            const uint64_t word = uint64_t(m_data[m_next]) << 24 |
                                  uint64_t(m_data[m_next + 1]) << 16 |
                                  uint64_t(m_data[m_next + 2]) << 8 | m_data[m_next + 3];
            m_bits |= word << (32 - m_count);
            m_count += 32;
            m_next += 4;
            return;
        }
        while (m_count <= 56) {
            const uint64_t byte = m_next < m_size ? m_data[m_next] : 0;
            ++m_next;
            m_bits |= byte << (56 - m_count);
            m_count += 8;
        }
    }

    const unsigned char* m_data;
    size_t m_size;
    size_t m_next = 0;
    uint64_t m_bits = 0;
    int m_count = 0;
    uint64_t m_position = 0;
};

// A run of one colour: make-up codes, then a terminating code. Negative when invalid.
template <int Bits> int64_t ReadRun(BitReader& reader, const Table<Bits>& table) {
    int64_t run = 0;
    for (;;) {
        const Entry entry = table.entries[reader.Peek(Bits)];
        if (entry.length == 0) {
            return -1;
        }
        reader.Skip(entry.length);
        run += entry.value;
        if (entry.value < 64) {
            return run;
        }
    }
}

void SetBits(unsigned char* row, int64_t from, int64_t to) {
    for (int64_t x = from; x < to; ++x) {
        row[x / 8] |= static_cast<unsigned char>(0x80 >> (x % 8));
    }
}
} // namespace

Group4Check::Result Group4Check::Check(const unsigned char* data, size_t size, uint32_t width,
                                       uint32_t height, std::vector<unsigned char>* pixels) {
    const Tables& tables = CodeTables();
    Result result;
    if (width == 0 || height == 0) {
        return result;
    }
    const int64_t w = width;
    const size_t rowBytes = (size_t(width) + 7) / 8;
    if (pixels != nullptr) {
        pixels->assign(rowBytes * height, 0);
    }
    // Changing elements of the reference and the current row, ended by the width (three
    // times, so that b1 and b2 can always be read).
    std::vector<int32_t> referenceBuffer(size_t(width) + 4, static_cast<int32_t>(w));
    std::vector<int32_t> currentBuffer(size_t(width) + 4, static_cast<int32_t>(w));
    int32_t* reference = referenceBuffer.data();
    int32_t* current = currentBuffer.data();
    BitReader reader(data, size);
    static constexpr int kShift[] = {0, 0, 0, 0, 1, 2, 3, -1, -2, -3};
    for (uint32_t row = 0; row < height; ++row) {
        size_t changes = 0;
        int64_t a0 = -1;
        int colour = 0;  // white
        size_t next = 0; // the first reference change right of a0
        unsigned char* bits = pixels != nullptr ? pixels->data() + size_t(row) * rowBytes : nullptr;
        while (a0 < w) {
            // (The ending entries equal the width, which a0 is below.)
            while (reference[next] <= a0) {
                ++next;
            }
            // b1 changes to the colour opposite a0's: even entries change to black.
            const size_t b1Index = next + ((next ^ static_cast<size_t>(colour)) & 1);
            const int64_t b1 = reference[b1Index];
            const Entry mode = tables.modes.entries[reader.Peek(7)];
            if (mode.length == 0) {
                return result; // an end of line, an extension or no code
            }
            reader.Skip(mode.length);
            if (mode.value >= kV0) {
                // A change right of a0 (at 0 for the first of a row) and within the row.
                const int64_t a1 = b1 + kShift[mode.value];
                if (a1 <= a0 || a1 > w) {
                    return result;
                }
                if (bits != nullptr && colour == 1) {
                    SetBits(bits, std::max<int64_t>(a0, 0), a1);
                }
                current[changes] = static_cast<int32_t>(a1);
                changes += a1 < w ? 1 : 0;
                colour ^= 1;
                a0 = a1;
            } else if (mode.value == kHorizontal) {
                const int64_t start = std::max<int64_t>(a0, 0);
                const int64_t first =
                    colour == 0 ? ReadRun(reader, tables.white) : ReadRun(reader, tables.black);
                const int64_t second =
                    colour == 0 ? ReadRun(reader, tables.black) : ReadRun(reader, tables.white);
                const int64_t a1 = start + first;
                const int64_t a2 = a1 + second;
                if (first < 0 || second < 0 || a2 > w || (first == 0 && a0 >= 0) ||
                    (second == 0 && a2 < w)) {
                    return result;
                }
                if (bits != nullptr) {
                    SetBits(bits, colour == 0 ? a1 : start, colour == 0 ? a2 : a1);
                }
                current[changes] = static_cast<int32_t>(a1);
                changes += a1 < w ? 1 : 0;
                current[changes] = static_cast<int32_t>(a2);
                changes += a2 < w ? 1 : 0;
                a0 = a2;
            } else {
                const int64_t b2 = reference[b1Index + 1];
                if (b2 >= w) {
                    return result;
                }
                if (bits != nullptr && colour == 1) {
                    SetBits(bits, std::max<int64_t>(a0, 0), b2);
                }
                a0 = b2;
            }
        }
        if (a0 != w || reader.Past()) {
            return result;
        }
        current[changes] = current[changes + 1] = current[changes + 2] = static_cast<int32_t>(w);
        std::swap(reference, current);
    }
    result.rowsEndBit = reader.Position();
    // Then an end-of-block, or nothing but padding.
    if (reader.Peek(24) == 0x001001) {
        reader.Skip(24);
        result.endOfBlock = true;
        result.endBit = reader.Position();
        result.valid = !reader.Past();
        return result;
    }
    const uint64_t end = uint64_t(size) * 8;
    while (reader.Position() < end) {
        const int count = static_cast<int>(std::min<uint64_t>(32, end - reader.Position()));
        if (reader.Peek(count) != 0) {
            return result;
        }
        reader.Skip(count);
    }
    result.endBit = result.rowsEndBit;
    result.valid = true;
    return result;
}

std::vector<unsigned char> Group4Check::EndOfBlock(const unsigned char* data, uint64_t bit) {
    // Two end-of-line codes in place of the padding.
    std::vector<unsigned char> out;
    uint64_t accumulator = 0;
    int count = 0;
    if (bit % 8 != 0) {
        count = static_cast<int>(bit % 8);
        accumulator = data[bit / 8] >> (8 - count);
    }
    accumulator = accumulator << 24 | 0x001001;
    count += 24;
    while (count >= 8) {
        out.push_back(static_cast<unsigned char>(accumulator >> (count - 8)));
        count -= 8;
    }
    if (count > 0) {
        out.push_back(static_cast<unsigned char>(accumulator << (8 - count)));
    }
    return out;
}
