#include "common/ui_platform.h"

#include <wx/menu.h>
#include <wx/timer.h>
#include <wx/toplevel.h>
#include <wx/utils.h>

#include <gtk/gtk.h>

#include <cmath>

void UiPlatform::AllowResizing(wxTopLevelWindow* window) {
    // Applied to the desktop's window when the toolkit realises it.
    window->m_gdkFunc |= GDK_FUNC_RESIZE | GDK_FUNC_MAXIMIZE;
}

bool UiPlatform::GetFrameOrigin(const wxTopLevelWindow* window, wxPoint& origin) {
    GtkWidget* widget = window->m_widget;
    GdkWindow* gdk = widget != nullptr ? gtk_widget_get_window(widget) : nullptr;
    if (gdk == nullptr || !gtk_widget_get_mapped(widget)) {
        return false;
    }
    gdk_window_get_root_origin(gdk, &origin.x, &origin.y);
    return true;
}

wxPoint UiPlatform::EventPointer() {
    GdkEvent* event = gtk_get_current_event();
    double x = 0;
    double y = 0;
    const bool known = event != nullptr && gdk_event_get_root_coords(event, &x, &y);
    if (event != nullptr) {
        gdk_event_free(event);
    }
    return known ? wxPoint(static_cast<int>(std::lround(x)), static_cast<int>(std::lround(y)))
                 : wxGetMousePosition();
}

// While the popup menu is open, GTK holds the pointer: the bar's titles see no motion. The
// pointer is therefore polled, and the menu's own key navigation is watched for Left and
// Right at its top level.
class UiPlatform::MenuSlide::Impl : public wxTimer {
public:
    Impl(wxMenu* menu, TitleAt titleAt, Neighbour neighbour)
        : m_shell(menu != nullptr ? menu->m_menu : nullptr), m_titleAt(std::move(titleAt)),
          m_neighbour(std::move(neighbour)) {
        if (m_shell != nullptr) {
            g_object_ref(m_shell);
            m_handler = g_signal_connect(m_shell, "move-current", G_CALLBACK(OnMoveCurrent), this);
        }
        m_last = wxGetMouseState().GetPosition();
        Start(25);
    }

    ~Impl() override {
        Stop();
        if (m_shell != nullptr) {
            g_signal_handler_disconnect(m_shell, m_handler);
            g_object_unref(m_shell);
        }
    }

    void Notify() override {
        if (m_done) {
            return;
        }
        // Only a pointer that moves switches menus: one resting on a title while the keys
        // move to another menu must not pull the menu back.
        const wxPoint position = wxGetMouseState().GetPosition();
        if (position == m_last) {
            return;
        }
        m_last = position;
        const int title = m_titleAt(position);
        if (title >= 0) {
            Close(title);
        } else {
            m_next = title;
        }
    }

    int Next() const { return m_next; }

private:
    static void OnMoveCurrent(GtkMenuShell* shell, GtkMenuDirectionType direction, gpointer data) {
        auto* self = static_cast<Impl*>(data);
        int step = 0;
        if (direction == GTK_MENU_DIR_PARENT) {
            step = -1;
        } else if (direction == GTK_MENU_DIR_CHILD) {
            // Right opens a submenu where the selected item has one.
            GtkWidget* item = gtk_menu_shell_get_selected_item(shell);
            if (item == nullptr || gtk_menu_item_get_submenu(GTK_MENU_ITEM(item)) == nullptr) {
                step = 1;
            }
        }
        if (step != 0) {
            const int next = self->m_neighbour(step);
            if (next >= 0) {
                g_signal_stop_emission_by_name(shell, "move-current");
                self->Close(next);
            }
        }
    }

    void Close(int next) {
        m_next = next;
        m_done = true;
        Stop();
        if (m_shell != nullptr) {
            gtk_menu_shell_cancel(GTK_MENU_SHELL(m_shell));
        }
    }

    GtkWidget* m_shell;
    gulong m_handler = 0;
    TitleAt m_titleAt;
    Neighbour m_neighbour;
    int m_next = kNoTitle;
    bool m_done = false;
    wxPoint m_last;
};

UiPlatform::MenuSlide::MenuSlide(wxMenu* menu, TitleAt titleAt, Neighbour neighbour)
    : impl(std::make_unique<Impl>(menu, std::move(titleAt), std::move(neighbour))) {}

UiPlatform::MenuSlide::~MenuSlide() = default;

int UiPlatform::MenuSlide::Next() const {
    return impl->Next();
}
