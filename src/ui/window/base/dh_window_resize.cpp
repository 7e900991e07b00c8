#include "window/base/dh_window_resize.h"

#include "common/ui_platform.h"

#include <wx/cursor.h>
#include <wx/toplevel.h>
#include <wx/utils.h>
#include <wx/window.h>

#include <algorithm>

namespace {
wxStockCursor CursorFor(int edges) {
    const bool horizontal = (edges & (wxLEFT | wxRIGHT)) != 0;
    const bool vertical = (edges & (wxTOP | wxBOTTOM)) != 0;
    if (horizontal && vertical) {
        const bool falling = (edges & wxLEFT) != 0 ? (edges & wxTOP) != 0 : (edges & wxBOTTOM) != 0;
        return falling ? wxCURSOR_SIZENWSE : wxCURSOR_SIZENESW;
    }
    if (horizontal) {
        return wxCURSOR_SIZEWE;
    }
    return vertical ? wxCURSOR_SIZENS : wxCURSOR_NONE;
}
} // namespace

void DhWindowResize::Watch(wxWindow* window) {
    // The toolkit drops these bindings when either side is destroyed first.
    window->Bind(wxEVT_MOTION, &DhWindowResize::OnMotion, this);
    window->Bind(wxEVT_LEFT_DOWN, &DhWindowResize::OnLeftDown, this);
    window->Bind(wxEVT_LEFT_UP, &DhWindowResize::OnLeftUp, this);
    window->Bind(wxEVT_LEAVE_WINDOW, &DhWindowResize::OnLeave, this);
    window->Bind(wxEVT_MOUSE_CAPTURE_LOST, &DhWindowResize::OnCaptureLost, this);
}

int DhWindowResize::EdgesAt(const wxPoint& screen) const {
    if (m_top->IsMaximized() || m_top->IsFullScreen()) {
        return 0;
    }
    const wxRect rect = m_top->GetScreenRect();
    if (!rect.Contains(screen)) {
        return 0;
    }
    // Near a corner the band is wider along the other edge: the rounded corner itself is not
    // part of the window.
    auto near = [&screen, &rect](int band, int& horizontal, int& vertical) {
        horizontal = screen.x < rect.x + band            ? wxLEFT
                     : screen.x > rect.GetRight() - band ? wxRIGHT
                                                         : 0;
        vertical = screen.y < rect.y + band             ? wxTOP
                   : screen.y > rect.GetBottom() - band ? wxBOTTOM
                                                        : 0;
    };
    int horizontal = 0;
    int vertical = 0;
    near(kGrip, horizontal, vertical);
    if ((horizontal | vertical) == 0) {
        return 0;
    }
    int cornerHorizontal = 0;
    int cornerVertical = 0;
    near(kCorner, cornerHorizontal, cornerVertical);
    return (horizontal != 0 ? horizontal | cornerVertical : 0) |
           (vertical != 0 ? vertical | cornerHorizontal : 0);
}

void DhWindowResize::OnMotion(wxMouseEvent& event) {
    auto* window = static_cast<wxWindow*>(event.GetEventObject());
    if (m_dragging != nullptr) {
        if (!event.LeftIsDown()) {
            End();
            return;
        }
        Follow();
        return;
    }
    const wxPoint screen = window->ClientToScreen(event.GetPosition());
    const int edges = EdgesAt(screen);
    window->SetCursor(edges != 0 ? wxCursor(CursorFor(edges)) : wxNullCursor);
    if (edges == 0) {
        event.Skip();
    }
}

void DhWindowResize::Follow() {
    // The dragged edges follow the pointer; the others stay. The size hints decide the
    // smallest size: an edge that cannot move further keeps the opposite one in place.
    m_followed = UiPlatform::EventPointer();
    const wxPoint moved = m_followed - m_startPointer;
    const wxSize minimum = m_top->GetMinSize();
    wxRect rect = m_startRect;
    if ((m_edges & wxRIGHT) != 0) {
        rect.width = std::max(minimum.x, m_startRect.width + moved.x);
    }
    if ((m_edges & wxBOTTOM) != 0) {
        rect.height = std::max(minimum.y, m_startRect.height + moved.y);
    }
    if ((m_edges & wxLEFT) != 0) {
        rect.width = std::max(minimum.x, m_startRect.width - moved.x);
        rect.x = m_startRect.GetRight() + 1 - rect.width;
    }
    if ((m_edges & wxTOP) != 0) {
        rect.height = std::max(minimum.y, m_startRect.height - moved.y);
        rect.y = m_startRect.GetBottom() + 1 - rect.height;
    }
    m_top->SetSize(rect);
}

void DhWindowResize::OnLeftDown(wxMouseEvent& event) {
    auto* window = static_cast<wxWindow*>(event.GetEventObject());
    const wxPoint screen = window->ClientToScreen(event.GetPosition());
    const int edges = EdgesAt(screen);
    if (edges == 0) {
        event.Skip();
        return;
    }
    m_dragging = window;
    m_edges = edges;
    m_startRect = m_top->GetRect();
    m_startPointer = screen;
    m_followed = screen;
    if (!window->HasCapture()) {
        window->CaptureMouse();
    }
}

void DhWindowResize::OnLeftUp(wxMouseEvent& event) {
    if (m_dragging == nullptr) {
        event.Skip();
        return;
    }
    // The edges end where the button was released, also when a busy program was not given
    // the last motions before it.
    if (UiPlatform::EventPointer() != m_followed) {
        Follow();
    }
    End();
}

void DhWindowResize::OnLeave(wxMouseEvent& event) {
    if (m_dragging == nullptr) {
        static_cast<wxWindow*>(event.GetEventObject())->SetCursor(wxNullCursor);
    }
    event.Skip();
}

void DhWindowResize::OnCaptureLost(wxMouseCaptureLostEvent& event) {
    if (m_dragging == nullptr) {
        event.Skip();
        return;
    }
    m_dragging = nullptr;
    m_edges = 0;
}

void DhWindowResize::End() {
    if (m_dragging != nullptr) {
        wxWindow* window = m_dragging;
        m_dragging = nullptr;
        m_edges = 0;
        window->SetCursor(wxNullCursor);
        if (window->HasCapture()) {
            window->ReleaseMouse();
        }
    }
}
