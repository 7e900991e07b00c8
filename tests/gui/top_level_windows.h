#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

struct _XDisplay;

// The top-level windows that a process shows on the display, as the X server has them, and
// keys pressed in them: what a person at the screen sees and does. Connects to $DISPLAY.
class TopLevelWindows {
public:
    struct Window {
        unsigned long id = 0;
        std::string title;
        bool dialog = false;
    };

    TopLevelWindows();
    ~TopLevelWindows();
    TopLevelWindows(const TopLevelWindows&) = delete;
    TopLevelWindows& operator=(const TopLevelWindows&) = delete;

    bool Connected() const { return m_display != nullptr; }
    // The process's top-level windows that are mapped and viewable.
    std::vector<Window> ShownBy(pid_t pid);
    // Gives the window the keyboard focus and presses and releases Escape there.
    void PressEscape(unsigned long window);
    // The same for a key (an X key symbol), with Ctrl held when asked.
    void PressKey(unsigned long window, unsigned long keysym, bool control = false);
    // Moves the pointer to a point of the window and clicks the left button there, as a person
    // does to bring a window to the front and give it the keyboard.
    void ClickAt(unsigned long window, int x, int y);
    // Where the window is on the screen and its size, as the display has them; false when it
    // cannot tell.
    bool Geometry(unsigned long window, int& x, int& y, int& width, int& height);
    // Presses the left button at a point of the window, moves the pointer by (dx, dy) in a few
    // steps and releases it there: a drag.
    void DragFrom(unsigned long window, int x, int y, int dx, int dy);

private:
    // The viewable windows of the process below a window, looking into window-manager frames.
    void Collect(unsigned long parentWindow, pid_t pid, int depth, std::vector<Window>& shown);
    // A point of the window as a point of the screen.
    void ToScreen(unsigned long window, int& x, int& y);
    // The left button, pressed and released at the pointer.
    void PressButton();
    void ReleaseButton();

    _XDisplay* m_display = nullptr;
    std::chrono::steady_clock::time_point m_lastRelease;
};
