#pragma once

#include <wx/string.h>

class wxWindow;

// Breaks a text into lines no wider than a width, as a label that wraps needs: at blanks, and
// in Chinese and Japanese between two characters, which those scripts allow without a blank.
// Closing punctuation stays on the line it ends, opening punctuation goes with what follows.
// Static operations only.
class TextWrap {
public:
    // The text with line breaks inserted, measured in the window's font; the breaks it has are
    // kept and the blanks at a new break dropped. A word wider than the width keeps a line of
    // its own.
    static wxString Wrap(const wxWindow& window, const wxString& text, int width);
    // True when a line may break between the two characters.
    static bool CanBreakBetween(wxUniChar before, wxUniChar after);

private:
    static wxString WrapParagraph(const wxWindow& window, const wxString& text, int width);
};
