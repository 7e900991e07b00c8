#include "pdf/text_layer.h"

#include "pdf/pdf_file_writer.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {
constexpr int kGlyphWidth = 500; // of 1000 to the em
constexpr unsigned kFirstExtra = 0xD800;
constexpr unsigned kLastExtra = 0xDFFF;
constexpr unsigned kReplacement = 0xFFFD;

// The characters of UTF-8 text; a malformed sequence counts as U+FFFD.
std::vector<char32_t> Decode(const std::string& text) {
    std::vector<char32_t> out;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const size_t size = text.size();
    size_t i = 0;
    while (i < size) {
        const unsigned char lead = bytes[i];
        if (lead < 0x80) {
            out.push_back(lead);
            ++i;
            continue;
        }
        const size_t extra = lead >= 0xC2 && lead <= 0xDF   ? 1
                             : lead >= 0xE0 && lead <= 0xEF ? 2
                             : lead >= 0xF0 && lead <= 0xF4 ? 3
                                                            : 0;
        char32_t c = lead & (0x3F >> extra);
        size_t k = 1;
        while (extra > 0 && k <= extra && i + k < size && (bytes[i + k] & 0xC0) == 0x80) {
            c = (c << 6) | (bytes[i + k] & 0x3F);
            ++k;
        }
        static const char32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
        if (extra == 0 || k <= extra || c < kLeast[extra] || c > 0x10FFFF ||
            (c >= 0xD800 && c <= 0xDFFF)) {
            out.push_back(kReplacement);
            ++i;
            continue;
        }
        out.push_back(c);
        i += extra + 1;
    }
    return out;
}

// Letters of the scripts written from right to left (Hebrew, Arabic, Syriac, Thaana, N'Ko,
// Samaritan, Mandaic, their presentation forms, and the historic ones beyond the BMP).
bool RightToLeft(char32_t c) {
    return (c >= 0x0590 && c <= 0x08FF) || (c >= 0xFB1D && c <= 0xFDFF) ||
           (c >= 0xFE70 && c <= 0xFEFF) || (c >= 0x10800 && c <= 0x10FFF) ||
           (c >= 0x1E800 && c <= 0x1EFFF);
}

std::string Number(double value) {
    return PdfFileWriter::Number(value, 3);
}

void Put16(std::string& out, unsigned value) {
    out += static_cast<char>((value >> 8) & 0xFF);
    out += static_cast<char>(value & 0xFF);
}

void Put32(std::string& out, uint32_t value) {
    Put16(out, value >> 16);
    Put16(out, value & 0xFFFF);
}

uint32_t CheckSum(const std::string& data) {
    uint32_t sum = 0;
    for (size_t i = 0; i < data.size(); i += 4) {
        uint32_t word = 0;
        for (size_t k = 0; k < 4; ++k) {
            word =
                (word << 8) | (i + k < data.size() ? static_cast<unsigned char>(data[i + k]) : 0);
        }
        sum += word;
    }
    return sum;
}

std::string BuildFont() {
    // Each table in the order of its tag, as the directory lists them.
    std::vector<std::pair<std::string, std::string>> tables;

    std::string cmap; // format 4: the space to the glyph (the CID font maps its codes itself)
    Put16(cmap, 0);
    Put16(cmap, 1);
    Put16(cmap, 3);
    Put16(cmap, 1);
    Put32(cmap, 12);
    for (unsigned value : {4u, 32u, 0u, 4u, 4u, 1u, 0u, 0x20u, 0xFFFFu, 0u, 0x20u, 0xFFFFu,
                           (1u - 0x20u) & 0xFFFFu, 1u, 0u, 0u}) {
        Put16(cmap, value);
    }
    tables.emplace_back("cmap", cmap);
    tables.emplace_back("glyf", ""); // both glyphs are empty

    std::string head;
    Put32(head, 0x00010000); // version
    Put32(head, 0x00010000); // font revision
    Put32(head, 0);          // checksum adjustment, set below
    Put32(head, 0x5F0F3CF5); // magic
    Put16(head, 0x000B);     // flags: baseline and left side bearing at 0, integer scaling
    Put16(head, 1000);       // units per em
    head.append(16, '\0');   // created, modified
    for (unsigned value : {0u, 0u, static_cast<unsigned>(kGlyphWidth), 1000u}) {
        Put16(head, value); // bounding box
    }
    for (unsigned value : {0u, 3u, 2u, 0u, 0u}) {
        Put16(head, value); // style, smallest size, direction, short offsets, glyph format
    }
    tables.emplace_back("head", head);

    std::string hhea;
    Put32(hhea, 0x00010000);
    for (unsigned value :
         {1000u, 0u, 0u, static_cast<unsigned>(kGlyphWidth), 0u, 0u,
          static_cast<unsigned>(kGlyphWidth), 1u, 0u, 0u, 0u, 0u, 0u, 0u, 0u, 2u}) {
        Put16(hhea, value);
    }
    tables.emplace_back("hhea", hhea);

    std::string hmtx;
    for (int glyph = 0; glyph < 2; ++glyph) {
        Put16(hmtx, kGlyphWidth);
        Put16(hmtx, 0);
    }
    tables.emplace_back("hmtx", hmtx);

    std::string loca;
    for (int entry = 0; entry < 3; ++entry) {
        Put16(loca, 0);
    }
    tables.emplace_back("loca", loca);

    std::string maxp;
    Put32(maxp, 0x00010000);
    Put16(maxp, 2); // glyphs
    for (unsigned value : {0u, 0u, 0u, 0u, 1u, 0u, 0u, 0u, 0u, 0u, 0u, 0u, 0u}) {
        Put16(maxp, value);
    }
    tables.emplace_back("maxp", maxp);

    std::string name;
    for (unsigned value : {0u, 0u, 6u}) {
        Put16(name, value);
    }
    tables.emplace_back("name", name);

    std::string post;
    Put32(post, 0x00030000);
    Put32(post, 0); // italic angle
    Put32(post, 0); // underline position and thickness
    Put32(post, 1); // fixed pitch
    post.append(16, '\0');
    tables.emplace_back("post", post);

    const unsigned count = static_cast<unsigned>(tables.size());
    unsigned power = 1;
    unsigned log = 0;
    while (power * 2 <= count) {
        power *= 2;
        ++log;
    }
    std::string font;
    Put32(font, 0x00010000);
    Put16(font, count);
    Put16(font, power * 16);
    Put16(font, log);
    Put16(font, count * 16 - power * 16);
    uint32_t offset = 12 + 16 * count;
    std::string body;
    size_t headAt = 0;
    for (const auto& [tag, data] : tables) {
        font += tag;
        Put32(font, CheckSum(data));
        Put32(font, offset + static_cast<uint32_t>(body.size()));
        Put32(font, static_cast<uint32_t>(data.size()));
        if (tag == "head") {
            headAt = body.size();
        }
        body += data;
        body.append((4 - body.size() % 4) % 4, '\0');
    }
    font += body;
    const uint32_t adjustment = 0xB1B0AFBA - CheckSum(font);
    std::string bytes;
    Put32(bytes, adjustment);
    font.replace(offset + headAt + 8, 4, bytes);
    return font;
}
} // namespace

const std::string& TextLayer::FontProgram() {
    static const std::string font = BuildFont();
    return font;
}

std::string TextLayer::Codes(const std::string& text) {
    std::vector<char32_t> characters = Decode(text);
    if (std::any_of(characters.begin(), characters.end(), RightToLeft)) {
        std::reverse(characters.begin(), characters.end());
    }
    std::string codes;
    for (const char32_t c : characters) {
        unsigned code = static_cast<unsigned>(c);
        if (c > 0xFFFF) {
            const auto found = m_extra.find(c);
            if (found != m_extra.end()) {
                code = found->second;
            } else if (kFirstExtra + m_extra.size() <= kLastExtra) {
                code = kFirstExtra + static_cast<unsigned>(m_extra.size());
                m_extra.emplace(c, code);
            } else {
                code = kReplacement;
            }
        }
        Put16(codes, code);
    }
    return codes;
}

std::string TextLayer::PageContent(const OcrPage& page, double x, double y, double width,
                                   double height) {
    if (page.width <= 0 || page.height <= 0) {
        return {};
    }
    const double sx = width / page.width;
    const double sy = height / page.height;
    std::string content;
    for (const OcrLine& line : page.lines) {
        // The words of a line share its height and stand on its bottom.
        const double size = std::max(1, line.bottom - line.top) * sy;
        const double baseline = y + height - line.bottom * sy;
        for (const OcrWord& word : line.words) {
            const std::string codes = Codes(word.text);
            if (codes.empty()) {
                continue;
            }
            const double glyphs = static_cast<double>(codes.size() / 2);
            const double span = (word.right - word.left) * sx;
            const double scale = 100 * span / (glyphs * size * kGlyphWidth / 1000);
            content += kFontName;
            content += " " + Number(size) + " Tf " + Number(scale) + " Tz 1 0 0 1 " +
                       Number(x + word.left * sx) + " " + Number(baseline) + " Tm " +
                       PdfFileWriter::HexString(codes) + " Tj\n";
        }
    }
    return content.empty() ? content : "BT 3 Tr\n" + content + "ET\n";
}

void TextLayer::WriteFont(PdfFileWriter& file, int font) const {
    const int program = file.Reserve();
    file.Stream(program,
                " /Length1 " + std::to_string(FontProgram().size()) + " /Filter /FlateDecode",
                PdfFileWriter::Deflate(FontProgram()));
    const int descriptor = file.Reserve();
    file.Object(descriptor, "<< /Type /FontDescriptor /FontName /OcrText /Flags 5 /FontBBox [0 0 " +
                                std::to_string(kGlyphWidth) +
                                " 1000] /ItalicAngle 0 /Ascent 1000 /Descent -1 /CapHeight 1000 "
                                "/StemV 80 /FontFile2 " +
                                PdfFileWriter::Reference(program) + " >>");
    // Every code shows glyph 1.
    std::string map;
    for (unsigned code = 0; code <= 0xFFFF; ++code) {
        Put16(map, 1);
    }
    const int glyphs = file.Reserve();
    file.Stream(glyphs, " /Filter /FlateDecode", PdfFileWriter::Deflate(map));
    const int cidFont = file.Reserve();
    file.Object(cidFont, "<< /Type /Font /Subtype /CIDFontType2 /BaseFont /OcrText "
                         "/CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 "
                         ">> /FontDescriptor " +
                             PdfFileWriter::Reference(descriptor) + " /DW " +
                             std::to_string(kGlyphWidth) + " /CIDToGIDMap " +
                             PdfFileWriter::Reference(glyphs) + " >>");

    // The codes of the BMP are its characters; the surrogate codes name what they stand for.
    std::string cmap = "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
                       "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
                       "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
                       "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n"
                       "2 beginbfrange\n<0000> <D7FF> <0000>\n<E000> <FFFF> <E000>\nendbfrange\n";
    std::vector<std::pair<unsigned, char32_t>> extras;
    for (const auto& [character, code] : m_extra) {
        extras.emplace_back(code, character);
    }
    std::sort(extras.begin(), extras.end());
    for (size_t start = 0; start < extras.size(); start += 100) {
        const size_t end = std::min(extras.size(), start + 100);
        cmap += std::to_string(end - start) + " beginbfchar\n";
        for (size_t i = start; i < end; ++i) {
            const char32_t c = extras[i].second - 0x10000;
            std::string code;
            Put16(code, extras[i].first);
            std::string utf16;
            Put16(utf16, 0xD800 + static_cast<unsigned>(c >> 10));
            Put16(utf16, 0xDC00 + static_cast<unsigned>(c & 0x3FF));
            cmap += PdfFileWriter::HexString(code) + " " + PdfFileWriter::HexString(utf16) + "\n";
        }
        cmap += "endbfchar\n";
    }
    cmap += "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
    const int toUnicode = file.Reserve();
    file.Stream(toUnicode, " /Filter /FlateDecode", PdfFileWriter::Deflate(cmap));
    file.Object(font, "<< /Type /Font /Subtype /Type0 /BaseFont /OcrText /Encoding /Identity-H "
                      "/DescendantFonts [" +
                          PdfFileWriter::Reference(cidFont) + "] /ToUnicode " +
                          PdfFileWriter::Reference(toUnicode) + " >>");
}
