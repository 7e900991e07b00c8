#pragma once

#include "common/accessible.h"
#include "window/base/background_piece.h"
#include "window/base/dh_hyperlink_ctrl_base.h"

// A hyperlink over a themed background: its erase step draws the piece of the parent's
// background under it; the link text is drawn over it in the link colours.
class DhHyperLinkCtrl : public DhHyperLinkCtrlBase, public Accessible {
public:
    DhHyperLinkCtrl() = default;
    DhHyperLinkCtrl(wxWindow* parent, wxWindowID id, const wxString& label, const wxString& url,
                    const wxPoint& position = wxDefaultPosition, const wxSize& size = wxDefaultSize,
                    long style = wxHL_DEFAULT_STYLE, const wxString& name = wxHyperlinkCtrlNameStr);

    // A link to assistive technologies; its action follows it as a click does.
    void SetLabel(const wxString& label) override;
    Role GetAccessibleRole() const override { return Role::kLink; }
    wxString GetAccessibleName() const override { return GetLabelText(); }
    bool HasAccessibleAction() const override { return true; }
    void DoAccessibleAction() override;

private:
    void OnEraseBackground(wxEraseEvent& event);

    BackgroundPiece piece;
};
