#include "gui/top_level_windows.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <chrono>
#include <memory>
#include <thread>

namespace {
struct XFreeDeleter {
    void operator()(void* data) const { XFree(data); }
};

// A window may go away between the listing and the questions about it.
int IgnoreErrors(Display*, XErrorEvent*) {
    return 0;
}

// The items of a window property of the given type and format 32, or none.
std::vector<unsigned long> Property(Display* display, ::Window window, const char* name,
                                    Atom type) {
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* raw = nullptr;
    if (XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, 64, False, type,
                           &actualType, &format, &count, &after, &raw) != Success) {
        return {};
    }
    const std::unique_ptr<unsigned char, XFreeDeleter> owned(raw);
    if (raw == nullptr || actualType != type || format != 32) {
        return {};
    }
    const auto* items = reinterpret_cast<const unsigned long*>(raw);
    return std::vector<unsigned long>(items, items + count);
}

std::string Title(Display* display, ::Window window) {
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* raw = nullptr;
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    if (XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False), 0, 256,
                           False, utf8, &actualType, &format, &count, &after, &raw) == Success &&
        raw != nullptr) {
        const std::unique_ptr<unsigned char, XFreeDeleter> owned(raw);
        if (actualType == utf8 && format == 8) {
            return std::string(reinterpret_cast<const char*>(raw), count);
        }
    }
    char* name = nullptr;
    if (XFetchName(display, window, &name) != 0 && name != nullptr) {
        const std::unique_ptr<char, XFreeDeleter> owned(name);
        return name;
    }
    return {};
}
} // namespace

TopLevelWindows::TopLevelWindows() : m_display(XOpenDisplay(nullptr)) {
    XSetErrorHandler(IgnoreErrors);
}

TopLevelWindows::~TopLevelWindows() {
    if (m_display != nullptr) {
        XCloseDisplay(m_display);
    }
}

std::vector<TopLevelWindows::Window> TopLevelWindows::ShownBy(pid_t pid) {
    std::vector<Window> shown;
    if (m_display != nullptr) {
        Collect(DefaultRootWindow(m_display), pid, 0, shown);
    }
    return shown;
}

void TopLevelWindows::Collect(unsigned long parentWindow, pid_t pid, int depth,
                              std::vector<Window>& shown) {
    ::Window root = 0;
    ::Window parent = 0;
    ::Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(m_display, parentWindow, &root, &parent, &children, &count) == 0) {
        return;
    }
    const std::unique_ptr<::Window, XFreeDeleter> owned(children);
    const Atom dialogType = XInternAtom(m_display, "_NET_WM_WINDOW_TYPE_DIALOG", False);
    for (unsigned int i = 0; i < count; ++i) {
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(m_display, children[i], &attributes) == 0 ||
            attributes.map_state != IsViewable) {
            continue;
        }
        const std::vector<unsigned long> owner =
            Property(m_display, children[i], "_NET_WM_PID", XA_CARDINAL);
        if (owner.empty()) {
            // A window manager puts each client window inside a frame of its own.
            if (depth < 2) {
                Collect(children[i], pid, depth + 1, shown);
            }
            continue;
        }
        if (owner[0] != static_cast<unsigned long>(pid)) {
            continue;
        }
        Window window;
        window.id = children[i];
        window.title = Title(m_display, children[i]);
        for (unsigned long type :
             Property(m_display, children[i], "_NET_WM_WINDOW_TYPE", XA_ATOM)) {
            window.dialog = window.dialog || type == dialogType;
        }
        shown.push_back(window);
    }
}

void TopLevelWindows::PressEscape(unsigned long window) {
    PressKey(window, XK_Escape);
}

void TopLevelWindows::ToScreen(unsigned long window, int& x, int& y) {
    int rootX = 0;
    int rootY = 0;
    ::Window child = 0;
    XTranslateCoordinates(m_display, window, DefaultRootWindow(m_display), x, y, &rootX, &rootY,
                          &child);
    x = rootX;
    y = rootY;
}

void TopLevelWindows::PressButton() {
    // A press soon after the last release would be read as a double click, which the toolkit
    // delivers in place of the press; a person's next click comes later.
    std::this_thread::sleep_until(m_lastRelease + std::chrono::milliseconds(500));
    XTestFakeButtonEvent(m_display, 1, True, CurrentTime);
    XSync(m_display, False);
}

void TopLevelWindows::ReleaseButton() {
    XTestFakeButtonEvent(m_display, 1, False, CurrentTime);
    XSync(m_display, False);
    m_lastRelease = std::chrono::steady_clock::now();
}

void TopLevelWindows::ClickAt(unsigned long window, int x, int y) {
    if (m_display == nullptr) {
        return;
    }
    ToScreen(window, x, y);
    XTestFakeMotionEvent(m_display, DefaultScreen(m_display), x, y, CurrentTime);
    PressButton();
    ReleaseButton();
}

bool TopLevelWindows::Geometry(unsigned long window, int& x, int& y, int& width, int& height) {
    XWindowAttributes attributes{};
    ::Window child = 0;
    if (m_display == nullptr || XGetWindowAttributes(m_display, window, &attributes) == 0 ||
        !XTranslateCoordinates(m_display, window, DefaultRootWindow(m_display), 0, 0, &x, &y,
                               &child)) {
        return false;
    }
    width = attributes.width;
    height = attributes.height;
    return true;
}

void TopLevelWindows::DragFrom(unsigned long window, int x, int y, int dx, int dy) {
    if (m_display == nullptr) {
        return;
    }
    // Screen points from the start: the window may move under the pointer.
    ToScreen(window, x, y);
    const int screen = DefaultScreen(m_display);
    XTestFakeMotionEvent(m_display, screen, x, y, CurrentTime);
    PressButton();
    const int steps = 5;
    for (int step = 1; step <= steps; ++step) {
        // The program sees each step as a motion of its own.
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        XTestFakeMotionEvent(m_display, screen, x + dx * step / steps, y + dy * step / steps,
                             CurrentTime);
        XSync(m_display, False);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    ReleaseButton();
}

void TopLevelWindows::PressKey(unsigned long window, unsigned long keysym, bool control) {
    if (m_display == nullptr) {
        return;
    }
    XSetInputFocus(m_display, window, RevertToPointerRoot, CurrentTime);
    const KeyCode key = XKeysymToKeycode(m_display, keysym);
    const KeyCode ctrl = XKeysymToKeycode(m_display, XK_Control_L);
    if (control) {
        XTestFakeKeyEvent(m_display, ctrl, True, CurrentTime);
    }
    XTestFakeKeyEvent(m_display, key, True, CurrentTime);
    XTestFakeKeyEvent(m_display, key, False, CurrentTime);
    if (control) {
        XTestFakeKeyEvent(m_display, ctrl, False, CurrentTime);
    }
    XSync(m_display, False);
}
