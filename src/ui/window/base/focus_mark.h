#pragma once

#include <wx/gdicmn.h>

class wxDC;
class wxWindow;

// The mark of the themed control that has the keyboard focus. Static operations only.
class FocusMark {
public:
    // Repaints the control whenever it gains or loses the focus.
    static void Follow(wxWindow* control);
    // Draws the mark around `area` when the control has the focus.
    static void Draw(wxWindow* control, wxDC& dc, const wxRect& area);
};
