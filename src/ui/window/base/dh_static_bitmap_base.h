#pragma once

#include <wx/generic/statbmpg.h>

// A bitmap control that shows its parent's background image around its content. The parent
// keeps the background bitmap alive as long as the control.
class DhStaticBitmapBase : public wxGenericStaticBitmap {
public:
    using wxGenericStaticBitmap::wxGenericStaticBitmap;

    // The parent's background image (not owned).
    void SetParentBackground(const wxBitmap* background) { bg_ = background; }
    bool HasTransparentBackground() override { return true; }

protected:
    const wxBitmap* bg_ = nullptr;
};
