#pragma once

#include <wx/gdicmn.h>

// How a themed window grows or shrinks from the size its background was drawn for: the
// background stretches only inside one rectangle, whose columns and rows are alike. A point
// left of (or above) that rectangle keeps its place, one right of (or below) it moves with the
// window's edge, and one inside it moves in proportion.
class StretchLayout {
public:
    // `stretch` is in the design's coordinates; an empty or misplaced one stands for the
    // design's inside, one pixel in from each edge.
    StretchLayout(const wxSize& design, const wxRect& stretch, const wxSize& current);

    int MapX(int x) const { return Map(x, m_stretch.x, m_stretch.width, m_current.x - m_design.x); }
    int MapY(int y) const {
        return Map(y, m_stretch.y, m_stretch.height, m_current.y - m_design.y);
    }
    // A rectangle of the design as it lies in the current size.
    wxRect Map(const wxRect& rect) const;

    const wxRect& GetStretch() const { return m_stretch; }
    const wxSize& GetCurrent() const { return m_current; }

private:
    static int Map(int value, int start, int length, int growth);

    wxSize m_design;
    wxRect m_stretch;
    wxSize m_current;
};
