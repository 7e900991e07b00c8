#pragma once

#include "window/base/background_piece.h"
#include "window/base/dh_static_text_base.h"

// Static text over a themed background: its erase step draws the piece of the parent's
// background under it, then the text is drawn in the foreground colour (white unless the
// owner sets another).
class DhStaticText : public DhStaticTextBase {
public:
    DhStaticText() = default;
    DhStaticText(wxWindow* parent, wxWindowID id, const wxString& label,
                 const wxPoint& position = wxDefaultPosition, const wxSize& size = wxDefaultSize,
                 long style = 0, const wxString& name = wxStaticTextNameStr);

private:
    void OnEraseBackground(wxEraseEvent& event);

    BackgroundPiece piece;
};
