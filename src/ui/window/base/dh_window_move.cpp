#include "window/base/dh_window_move.h"

#include "common/ui_platform.h"

#include <wx/window.h>

void DhWindowMove::BeginDrag(wxWindow* top, wxWindow* child, const wxMouseEvent& event,
                             wxPoint& offset) {
    if (!child->HasCapture()) {
        child->CaptureMouse();
    }
    const wxPoint screen = child->ClientToScreen(event.GetPosition());
    offset = screen - top->GetPosition();
}

void DhWindowMove::Drag(wxWindow* top, wxWindow* child, const wxMouseEvent& event,
                        const wxPoint& offset) {
    if (!event.Dragging() || !event.LeftIsDown() || !child->HasCapture()) {
        return;
    }
    // The event's own screen point: its coordinates are relative to where the window was when
    // it happened, and the window may have moved since.
    top->Move(UiPlatform::EventPointer() - offset);
}

void DhWindowMove::EndDrag(wxWindow* top, wxWindow* child, const wxPoint& offset) {
    if (!child->HasCapture()) {
        return;
    }
    // A busy program may not be given the last motions before the release.
    const wxPoint place = UiPlatform::EventPointer() - offset;
    if (place != top->GetPosition()) {
        top->Move(place);
    }
    child->ReleaseMouse();
}
