#include "common/text_wrap.h"

#include <wx/arrstr.h>
#include <wx/window.h>

namespace {
// Han ideographs, kana, Hangul and the full-width forms: a line may break before and after
// each of them.
bool IsIdeographic(wxUniChar c) {
    const auto code = c.GetValue();
    return (code >= 0x2E80 && code <= 0x9FFF) || (code >= 0xAC00 && code <= 0xD7AF) ||
           (code >= 0xF900 && code <= 0xFAFF) || (code >= 0xFE30 && code <= 0xFE4F) ||
           (code >= 0xFF00 && code <= 0xFFEF) || (code >= 0x20000 && code <= 0x3FFFF);
}

bool Contains(const wchar_t* set, wxUniChar c) {
    for (; *set != L'\0'; ++set) {
        if (c == *set) {
            return true;
        }
    }
    return false;
}

// Characters that never start a line: closing punctuation, the prolonged sound mark and the
// small kana.
bool ClosesLine(wxUniChar c) {
    return Contains(L".,:;!?)]}%\u3001\u3002\uFF0C\uFF0E\u30FB\uFF1A\uFF1B\uFF1F\uFF01\uFF09"
                    L"\u300D\u300F\u3011\u3009\u300B\u3015\uFF3D\uFF5D\u201D\u2019\u30FC\u3005"
                    L"\u301C\u2026\u3041\u3043\u3045\u3047\u3049\u3063\u3083\u3085\u3087\u308E"
                    L"\u30A1\u30A3\u30A5\u30A7\u30A9\u30C3\u30E3\u30E5\u30E7\u30EE\u30F5\u30F6",
                    c);
}

// Characters that never end a line: opening punctuation.
bool OpensLine(wxUniChar c) {
    return Contains(L"([{\uFF08\u300C\u300E\u3010\u3008\u300A\u3014\uFF3B\uFF5B\u201C\u2018", c);
}
} // namespace

bool TextWrap::CanBreakBetween(wxUniChar before, wxUniChar after) {
    if (after == ' ') {
        return false;
    }
    if (before == ' ') {
        return true;
    }
    return (IsIdeographic(before) || IsIdeographic(after)) && !ClosesLine(after) &&
           !OpensLine(before);
}

wxString TextWrap::Wrap(const wxWindow& window, const wxString& text, int width) {
    const wxArrayString paragraphs = wxSplit(text, '\n', '\0');
    wxString result;
    for (size_t i = 0; i < paragraphs.size(); ++i) {
        result += (i == 0 ? "" : "\n") + WrapParagraph(window, paragraphs[i], width);
    }
    return result;
}

wxString TextWrap::WrapParagraph(const wxWindow& window, const wxString& text, int width) {
    wxString result;
    size_t start = 0;     // where the line being filled begins
    size_t lastBreak = 0; // the last place in it where it may break; 0 for none
    for (size_t i = start; i < text.length(); ++i) {
        if (i > start && CanBreakBetween(text[i - 1], text[i])) {
            lastBreak = i;
        }
        // A blank may hang past the end of a line: it goes with the break.
        if (i == start || text[i] == ' ' ||
            window.GetTextExtent(text.Mid(start, i + 1 - start)).x <= width) {
            continue;
        }
        if (lastBreak <= start) {
            continue; // one word wider than the line: it runs on to the next blank
        }
        wxString line = text.Mid(start, lastBreak - start);
        result += line.Trim(true) + "\n";
        start = lastBreak;
        while (start < text.length() && text[start] == ' ') {
            ++start;
        }
        lastBreak = 0;
        i = start; // the new line's first character is placed: go on with the one after it
    }
    return result + text.Mid(start);
}
