#pragma once

#include <wx/event.h>
#include <wx/gdicmn.h>

class wxTopLevelWindow;
class wxWindow;

// Lets a borderless top-level window be resized by the mouse at its edges and corners: the
// windows it watches (those that reach the edges) show a resize pointer within a few pixels of
// an edge, and a drag from there moves that edge. Other mouse events pass on untouched.
class DhWindowResize : public wxEvtHandler {
public:
    // The width of the band along each edge where a drag resizes.
    static constexpr int kGrip = 6;
    // How far along an edge from a corner a drag moves both edges of the corner.
    static constexpr int kCorner = 18;

    explicit DhWindowResize(wxTopLevelWindow* top) : m_top(top) {}
    DhWindowResize(const DhWindowResize&) = delete;
    DhWindowResize& operator=(const DhWindowResize&) = delete;

    // Watches a child window of the top-level window (or the window itself).
    void Watch(wxWindow* window);

    // The edges (a combination of wxLEFT, wxRIGHT, wxTOP and wxBOTTOM) a screen point lies
    // on, or 0; none while the window is maximised.
    int EdgesAt(const wxPoint& screen) const;

private:
    void OnMotion(wxMouseEvent& event);
    void OnLeftDown(wxMouseEvent& event);
    void OnLeftUp(wxMouseEvent& event);
    void OnLeave(wxMouseEvent& event);
    void OnCaptureLost(wxMouseCaptureLostEvent& event);
    // Moves the dragged edges to the pointer.
    void Follow();
    void End();

    wxTopLevelWindow* m_top;
    wxWindow* m_dragging = nullptr; // the watched window that holds the mouse during a drag
    int m_edges = 0;
    wxRect m_startRect;
    wxPoint m_startPointer;
    wxPoint m_followed; // the pointer the edges were last moved to
};
