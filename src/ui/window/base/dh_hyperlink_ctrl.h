#pragma once

#include "window/base/background_piece.h"
#include "window/base/dh_hyperlink_ctrl_base.h"

// A hyperlink over a themed background: its erase step draws the piece of the parent's
// background under it; the link text is drawn over it in the link colours.
class DhHyperLinkCtrl : public DhHyperLinkCtrlBase {
public:
    DhHyperLinkCtrl() = default;
    DhHyperLinkCtrl(wxWindow* parent, wxWindowID id, const wxString& label, const wxString& url,
                    const wxPoint& position = wxDefaultPosition, const wxSize& size = wxDefaultSize,
                    long style = wxHL_DEFAULT_STYLE, const wxString& name = wxHyperlinkCtrlNameStr);

private:
    void OnEraseBackground(wxEraseEvent& event);

    BackgroundPiece piece;
};
