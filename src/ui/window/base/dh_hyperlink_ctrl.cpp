#include "window/base/dh_hyperlink_ctrl.h"

DhHyperLinkCtrl::DhHyperLinkCtrl(wxWindow* parent, wxWindowID id, const wxString& label,
                                 const wxString& url, const wxPoint& position, const wxSize& size,
                                 long style, const wxString& name)
    : DhHyperLinkCtrlBase(parent, id, label, url, position, size, style, name) {
    Bind(wxEVT_ERASE_BACKGROUND, &DhHyperLinkCtrl::OnEraseBackground, this);
    AttachAccessible(this);
}

void DhHyperLinkCtrl::SetLabel(const wxString& label) {
    DhHyperLinkCtrlBase::SetLabel(label);
    NotifyAccessibleNameChanged();
}

void DhHyperLinkCtrl::DoAccessibleAction() {
    if (IsEnabled()) {
        SendEvent();
    }
}

void DhHyperLinkCtrl::OnEraseBackground(wxEraseEvent& event) {
    piece.Erase(this, bg_, event);
}
