#pragma once

#include <wx/app.h>
#include <wx/settings.h>
#include <wx/uiaction.h>
#include <wx/utils.h>
#include <wx/window.h>

#include <chrono>
#include <thread>

// Lets the windows handle every event the X server has sent them so far: a round trip to the
// server on the toolkit's own connection puts those events in its queue, and yielding runs
// the queue dry. A second round takes what handling them caused (grabs, crossings, repaints).
void Settle();

// Yields to the toolkit until the condition holds. Returns false when it still does not hold
// after the timeout; the test then fails on what it expected.
template <typename Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        Settle();
        if (condition()) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= end) {
            return false;
        }
        // The X server shares the processors with the test: give it a moment to run.
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

// The screen position of a point of a window.
inline wxPoint At(wxWindow* window, int x, int y) {
    return window->ClientToScreen(wxPoint(x, y));
}

inline wxPoint Centre(wxWindow* window) {
    const wxSize size = window->GetClientSize();
    return At(window, size.x / 2, size.y / 2);
}

// Moves the pointer and waits until the server has it there and the windows have seen the
// crossing events.
inline void MoveTo(wxUIActionSimulator& sim, const wxPoint& target) {
    sim.MouseMove(target);
    WaitFor([&target] { return wxGetMousePosition() == target; });
}

// Two presses at one place within the toolkit's double-click time make a double click: this
// waits until that time has passed since now, the last press having just been made.
inline void PauseBetweenClicks() {
    int doubleClick = wxSystemSettings::GetMetric(wxSYS_DCLICK_MSEC);
    if (doubleClick <= 0) {
        doubleClick = 500; // the toolkit does not say: the usual setting
    }
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(doubleClick + 50);
    WaitFor([end] { return std::chrono::steady_clock::now() >= end; },
            std::chrono::milliseconds(doubleClick + 1000));
}
