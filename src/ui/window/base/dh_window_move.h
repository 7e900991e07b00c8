#pragma once

#include <wx/event.h>
#include <wx/gdicmn.h>

class wxWindow;

// Lets a borderless top-level window be dragged by the mouse through one of its child
// windows (or itself). The caller keeps the offset between calls.
class DhWindowMove {
public:
    virtual ~DhWindowMove() = default;

    // Captures the mouse for `child` and notes where, relative to the top-level window, the
    // drag began.
    static void BeginDrag(wxWindow* top, wxWindow* child, const wxMouseEvent& event,
                          wxPoint& offset);
    // Moves the top-level window so that the grabbed point stays under the pointer; only for
    // a motion with the left button down while `child` has the capture.
    static void Drag(wxWindow* top, wxWindow* child, const wxMouseEvent& event,
                     const wxPoint& offset);
    // Ends a drag that `child` holds: the grabbed point goes where the button was released,
    // and the capture is released.
    static void EndDrag(wxWindow* top, wxWindow* child, const wxPoint& offset);
};
