#include "window/base/dh_static_text.h"

DhStaticText::DhStaticText(wxWindow* parent, wxWindowID id, const wxString& label,
                           const wxPoint& position, const wxSize& size, long style,
                           const wxString& name)
    : DhStaticTextBase(parent, id, label, position, size, style, name) {
    SetForegroundColour(*wxWHITE);
    Bind(wxEVT_ERASE_BACKGROUND, &DhStaticText::OnEraseBackground, this);
    AttachAccessible(this);
}

void DhStaticText::SetLabel(const wxString& label) {
    DhStaticTextBase::SetLabel(label);
    NotifyAccessibleNameChanged();
}

void DhStaticText::OnEraseBackground(wxEraseEvent& event) {
    piece.Erase(this, bg_, event);
}
