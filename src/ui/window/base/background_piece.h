#pragma once

#include <wx/bitmap.h>
#include <wx/event.h>
#include <wx/gdicmn.h>

class wxWindow;

// The piece of a parent's background image under a control, cut again only when the
// control's position or size changes. A control lying partly outside the background gets
// the overlapping part.
class BackgroundPiece {
public:
    // The piece for a control at `rect` (its position in the parent and its size); an
    // invalid bitmap when nothing of the background lies under it.
    const wxBitmap& Get(const wxBitmap* background, const wxRect& rect);
    // The erase step of a control that looks transparent: draws its piece of the parent's
    // background; without one, lets the toolkit clear the control as usual.
    void Erase(wxWindow* control, const wxBitmap* background, wxEraseEvent& event);
    // Forgets the cached piece (the background changed).
    void Reset() {
        m_rect = wxRect();
        m_piece = wxNullBitmap;
    }

private:
    wxRect m_rect;
    wxBitmap m_piece;
};
