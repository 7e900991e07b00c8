#pragma once

#include "pdf/ocr_engine.h"

#include <map>
#include <string>

class PdfFileWriter;

// The invisible text of recognised pages: each word drawn in rendering mode 3 (neither fill
// nor stroke) over its place in the image, stretched to its box, so that readers find, select
// and copy it there. The font is our own: a CID font (Identity-H, two-byte codes) whose one
// glyph has no outline, with a ToUnicode map. A code is the character's own UTF-16 value;
// characters beyond the Basic Multilingual Plane get codes of the surrogate range, one each,
// which the document's ToUnicode map names.
class TextLayer {
public:
    // The name of the font in the pages' resources.
    static constexpr const char* kFontName = "/OcrText";

    // The content that draws the page's words over the image box at (`x`, `y`) of size
    // `width` x `height` (points); empty when the page has no words.
    std::string PageContent(const OcrPage& page, double x, double y, double width, double height);
    // Writes the font as object `font` with the objects it needs, its ToUnicode map covering
    // every code of the pages so far.
    void WriteFont(PdfFileWriter& file, int font) const;

    // The font program: a TrueType font of one empty glyph (and .notdef), 500 units wide on
    // 1000 to the em.
    static const std::string& FontProgram();

private:
    // Two-byte codes of a word's UTF-8 text, right-to-left words in the order of their glyphs
    // on the page (the reverse of reading).
    std::string Codes(const std::string& text);

    std::map<char32_t, unsigned> m_extra; // characters beyond the BMP by their codes
};
