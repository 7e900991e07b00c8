#pragma once

#include <wx/colour.h>
#include <wx/font.h>
#include <wx/string.h>

class DhWordButton;
class wxWindow;

// Colours, fonts and buttons made from the theme's face values. Static operations only.
class FaceStyle {
public:
    // The colour stored under `path` (x red, y green, width blue).
    static wxColour Colour(const wxString& path);
    // The system's GUI font at a point size (the system's own size when 0), bold or not.
    static wxFont Font(int pointSize, bool bold);
    // A text button of the theme's "small" (Browse, Open) or "big" (Start, Stop) kind over
    // the parent's background piece; the label is set separately.
    static DhWordButton* MakeBaseButton(wxWindow* parent, wxWindowID id, bool big,
                                        const wxBitmap& background);
};
