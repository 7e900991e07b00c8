#include "window/base/zl_menu_button.h"

#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/settings.h>

wxIMPLEMENT_DYNAMIC_CLASS(ZlMenuButton, wxControl);

ZlMenuButton::ZlMenuButton(void* data, const wxString& label, const wxBitmap& background,
                           wxWindow* parent, wxWindowID id, const wxColour& normalColour,
                           const wxColour& currentColour, const wxPoint& position, long style,
                           const wxValidator& validator)
    : userData(data) {
    wxFont font = wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT);
    font.SetPointSize(10);
    SetFont(font);
    SetLabel(label);

    // Measure with a memory context: the control does not exist yet.
    wxBitmap measure(1, 1);
    wxMemoryDC probe(measure);
    probe.SetFont(font);
    const wxSize text = probe.GetTextExtent(label);
    probe.SelectObject(wxNullBitmap);

    const wxRect rect(position.x < 0 ? 0 : position.x, position.y < 0 ? 0 : position.y, text.x + 16,
                      text.y);
    wxBitmap normal;
    if (background.IsOk() && wxRect(background.GetSize()).Contains(rect)) {
        normal = background.GetSubBitmap(rect);
    } else {
        normal = wxBitmap(rect.width, rect.height);
        wxMemoryDC fill(normal);
        fill.SetBackground(*wxWHITE_BRUSH);
        fill.Clear();
    }
    wxBitmap current = normal.GetSubBitmap(wxRect(normal.GetSize()));
    for (auto [bitmap, colour] :
         {std::pair{&normal, normalColour}, std::pair{&current, currentColour}}) {
        wxMemoryDC dc(*bitmap);
        dc.SetFont(font);
        dc.SetPen(*wxBLACK_PEN);
        dc.SetTextForeground(colour);
        dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
        dc.DrawText(label, 0, 0);
    }
    bitmaps[0] = normal;
    bitmaps[1] = current;
    Create(parent, id, position, style, validator);
}

bool ZlMenuButton::Create(wxWindow* parent, wxWindowID id, const wxPoint& position, long style,
                          const wxValidator& validator) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    const wxSize size = bitmaps[0].IsOk() ? bitmaps[0].GetSize() : wxDefaultSize;
    if (!wxControl::Create(parent, id, position, size, style, validator)) {
        return false;
    }
    Bind(wxEVT_PAINT, &ZlMenuButton::OnPaint, this);
    Bind(wxEVT_ENTER_WINDOW, &ZlMenuButton::OnEnterWindow, this);
    Bind(wxEVT_LEAVE_WINDOW, &ZlMenuButton::OnLeaveWindow, this);
    Bind(wxEVT_LEFT_DOWN, &ZlMenuButton::OnLeftDown, this);
    // The second press of a quick pair arrives as a double click: it is a press all the same.
    Bind(wxEVT_LEFT_DCLICK, &ZlMenuButton::OnLeftDown, this);
    AttachAccessible(this);
    return true;
}

void ZlMenuButton::DoAccessibleAction() {
    if (IsEnabled()) {
        SendClick();
    }
}

void ZlMenuButton::SetBitmap(int index, const wxBitmap& bitmap) {
    if (index >= 0 && index < 3) {
        bitmaps[index] = bitmap;
    }
}

wxBitmap ZlMenuButton::GetBitmap(int index) const {
    return index >= 0 && index < 3 ? bitmaps[index] : wxNullBitmap;
}

void ZlMenuButton::SetCurrent() {
    state = 1;
    Refresh(true);
    Update();
}

void ZlMenuButton::SetNormal() {
    state = 0;
    Refresh(true);
    Update();
}

bool ZlMenuButton::Enable(bool enable) {
    const bool result = wxControl::Enable(enable);
    Update();
    Refresh(true);
    return result;
}

wxSize ZlMenuButton::DoGetBestSize() const {
    return bitmaps[0].IsOk() ? bitmaps[0].GetSize() : wxSize(0, 0);
}

void ZlMenuButton::OnEnterWindow(wxMouseEvent& event) {
    if (hoverTracking) {
        SetCurrent();
    }
    event.Skip();
}

void ZlMenuButton::OnLeaveWindow(wxMouseEvent& event) {
    if (hoverTracking) {
        SetNormal();
    }
    event.Skip();
}

void ZlMenuButton::OnLeftDown(wxMouseEvent& event) {
    event.Skip();
    SendClick();
}

void ZlMenuButton::SendClick() {
    wxCommandEvent click(wxEVT_BUTTON, GetId());
    click.SetEventObject(this);
    GetEventHandler()->ProcessEvent(click);
}

void ZlMenuButton::OnPaint(wxPaintEvent&) {
    wxPaintDC dc(this);
    if (bitmaps[0].IsOk()) {
        dc.DrawBitmap(bitmaps[0], 0, 0, true);
    }
    if (IsEnabled() && state == 1 && bitmaps[1].IsOk()) {
        dc.DrawBitmap(bitmaps[1], 0, 0, true);
    } else if (!IsEnabled() && bitmaps[2].IsOk()) {
        dc.DrawBitmap(bitmaps[2], 0, 0, true);
    }
}
