#include "window/base/focus_mark.h"

#include <wx/dc.h>
#include <wx/renderer.h>
#include <wx/window.h>

void FocusMark::Follow(wxWindow* control) {
    auto repaint = [control](wxFocusEvent& event) {
        control->Refresh(false);
        event.Skip();
    };
    control->Bind(wxEVT_SET_FOCUS, repaint);
    control->Bind(wxEVT_KILL_FOCUS, repaint);
}

void FocusMark::Draw(wxWindow* control, wxDC& dc, const wxRect& area) {
    if (control->HasFocus()) {
        wxRendererNative::Get().DrawFocusRect(control, dc, area);
    }
}
