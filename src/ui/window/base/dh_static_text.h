#pragma once

#include "common/accessible.h"
#include "window/base/background_piece.h"
#include "window/base/dh_static_text_base.h"

// Static text over a themed background: its erase step draws the piece of the parent's
// background under it, then the text is drawn in the foreground colour (white unless the
// owner sets another).
class DhStaticText : public DhStaticTextBase, public Accessible {
public:
    DhStaticText() = default;
    DhStaticText(wxWindow* parent, wxWindowID id, const wxString& label,
                 const wxPoint& position = wxDefaultPosition, const wxSize& size = wxDefaultSize,
                 long style = 0, const wxString& name = wxStaticTextNameStr);

    void SetLabel(const wxString& label) override;
    Role GetAccessibleRole() const override { return Role::kLabel; }
    wxString GetAccessibleName() const override { return GetLabelText(); }

private:
    void OnEraseBackground(wxEraseEvent& event);

    BackgroundPiece piece;
};
