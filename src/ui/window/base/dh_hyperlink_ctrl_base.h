#pragma once

#include <wx/hyperlink.h>

// A link control that shows its parent's background image around its content. The parent
// keeps the background bitmap alive as long as the control.
class DhHyperLinkCtrlBase : public wxGenericHyperlinkCtrl {
public:
    using wxGenericHyperlinkCtrl::wxGenericHyperlinkCtrl;

    // The parent's background image (not owned).
    void SetParentBackground(const wxBitmap* background) { bg_ = background; }
    bool HasTransparentBackground() override { return true; }

protected:
    const wxBitmap* bg_ = nullptr;
};
