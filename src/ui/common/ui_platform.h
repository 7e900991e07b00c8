#pragma once

#include <wx/gdicmn.h>

#include <functional>
#include <memory>

class wxMenu;
class wxTopLevelWindow;

// The desktop facilities of the user interface that the toolkit does not wrap, one
// implementation per desktop toolkit (ui_platform_gtk.cpp), so that callers carry no
// platform conditionals.
class UiPlatform {
public:
    // Tells the window manager that a borderless window may be resized and maximised (the
    // toolkit offers neither for a window without a border). Before the window is shown.
    static void AllowResizing(wxTopLevelWindow* window);
    // Where the window manager has the window's frame on the screen, asked of the display; false
    // while the window is not shown. The toolkit's own idea can be stale: a window manager that
    // frames a window tells it of a position relative to the frame.
    static bool GetFrameOrigin(const wxTopLevelWindow* window, wxPoint& origin);
    // Where on the screen the pointer was when the input event in hand happened; the pointer
    // when there is none. A busy program handles an event after the pointer moved on, and a
    // window that moves under the pointer makes the event's own coordinates stale.
    static wxPoint EventPointer();

    // Watches a popup menu of a custom menu bar while it is open, so that the user can move
    // to a neighbouring menu as in a native menu bar: by moving the pointer onto another
    // title, or with the Left and Right keys. It then closes the menu; `Next()` tells which
    // menu to open instead.
    class MenuSlide {
    public:
        // The title under a screen point: a title's id, kOwnTitle for the open menu's own
        // title, kNoTitle for none.
        using TitleAt = std::function<int(const wxPoint& screen)>;
        // The id of the title `step` places to the left (-1) or right (+1) of the open one.
        using Neighbour = std::function<int(int step)>;
        enum { kNoTitle = -1, kOwnTitle = -2 };

        MenuSlide(wxMenu* menu, TitleAt titleAt, Neighbour neighbour);
        ~MenuSlide();
        MenuSlide(const MenuSlide&) = delete;
        MenuSlide& operator=(const MenuSlide&) = delete;

        // After the menu closed: the id of the menu to open next, or a negative value (where
        // the pointer was: kOwnTitle or kNoTitle) when none.
        int Next() const;

    private:
        class Impl;
        std::unique_ptr<Impl> impl;
    };
};
