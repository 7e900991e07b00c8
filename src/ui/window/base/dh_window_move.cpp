#include "window/base/dh_window_move.h"

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
    const wxPoint screen = child->ClientToScreen(event.GetPosition());
    top->Move(screen - offset);
}

void DhWindowMove::EndDrag(wxWindow* child) {
    if (child->HasCapture()) {
        child->ReleaseMouse();
    }
}
