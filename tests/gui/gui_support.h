#pragma once

#include <wx/app.h>
#include <wx/uiaction.h>
#include <wx/window.h>

#include <chrono>
#include <thread>

// Lets synthesised input reach the windows: the X server delivers it asynchronously.
inline void Settle(int rounds = 8) {
    for (int i = 0; i < rounds; ++i) {
        wxTheApp->Yield(true);
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
    }
    wxTheApp->Yield(true);
}

// The screen position of a point of a window.
inline wxPoint At(wxWindow* window, int x, int y) {
    return window->ClientToScreen(wxPoint(x, y));
}

inline wxPoint Centre(wxWindow* window) {
    const wxSize size = window->GetClientSize();
    return At(window, size.x / 2, size.y / 2);
}

// Moves the pointer in a few steps, as a hand does, so that enter and leave events come.
inline void MoveTo(wxUIActionSimulator& sim, const wxPoint& target) {
    sim.MouseMove(target);
    Settle(3);
}

// Two clicks in a row at one place would make a double click.
inline void PauseBetweenClicks() {
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
}
