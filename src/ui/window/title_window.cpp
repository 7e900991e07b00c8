#include "window/title_window.h"

#include "app/app_util.h"
#include "common/face_reader.h"
#include "common/face_style.h"
#include "common/image_util.h"
#include "window/base/dh_bitmap_button.h"
#include "window/base/dh_window_move.h"
#include "window/main_frame.h"

#include <wx/app.h>
#include <wx/dc.h>
#include <wx/dcclient.h>
#include <wx/toplevel.h>

bool TitleWindow::Create(wxWindow* parent, wxBitmap* pieceBitmap, wxWindowID id,
                         const wxPoint& position, const wxSize& size, long style) {
    if (!ZqPieceWindow::Create(parent, pieceBitmap, id, position, size, style)) {
        return false;
    }
    const wxBitmap application = ImageUtil::LoadThemeBitmap("application/application.png");
    if (application.IsOk()) {
        logo = wxBitmap(application.ConvertToImage().Scale(16, 16, wxIMAGE_QUALITY_NORMAL));
    }
    logoPosition = GetFaceEntry("/face/titlebar/logo");
    textColour = FaceStyle::Colour("/face/titlebar/textcolour");
    LoadImages(0, "image/base/close");
    LoadImages(3, "image/titlebar/minimize");
    LoadImages(6, "image/titlebar/maximize");
    LoadImages(9, "image/titlebar/restore");
    closeButton = MakeButton(kClose, 0);
    closeButton->SetMeaning(wxTRANSLATE("Close"));
    minimizeButton = MakeButton(kMinimize, 3);
    minimizeButton->SetMeaning(wxTRANSLATE("Minimize"));
    maximizeButton = MakeButton(kMaximize, 6);
    maximizeButton->SetMeaning(wxTRANSLATE("Maximize"));
    LayOutButtons();

    Bind(wxEVT_BUTTON, &TitleWindow::OnClose, this, kClose);
    Bind(wxEVT_BUTTON, &TitleWindow::OnMinimize, this, kMinimize);
    Bind(wxEVT_BUTTON, &TitleWindow::OnMaximize, this, kMaximize);
    Bind(wxEVT_LEFT_DOWN, &TitleWindow::OnLeftDown, this);
    Bind(wxEVT_LEFT_UP, &TitleWindow::OnLeftUp, this);
    Bind(wxEVT_LEFT_DCLICK, &TitleWindow::OnDoubleClick, this);
    Bind(wxEVT_MOTION, &TitleWindow::OnMotion, this);
    Bind(wxEVT_SIZE, &TitleWindow::OnSize, this);
    return true;
}

void TitleWindow::LoadImages(int first, const char* stem) {
    images[first].reset(ImageUtil::LoadThemeBitmapPtr(wxString(stem) + "-normal.png"));
    images[first + 1].reset(ImageUtil::LoadThemeBitmapPtr(wxString(stem) + "-pressed.png"));
    images[first + 2].reset(ImageUtil::LoadThemeBitmapPtr(wxString(stem) + "-current.png"));
}

DhBitmapButton* TitleWindow::MakeButton(wxWindowID id, int first) {
    const wxSize size = images[first]->IsOk() ? images[first]->GetSize() : wxSize(16, 16);
    auto* button = new DhBitmapButton(this, id, wxDefaultPosition, size, wxBORDER_NONE);
    // The window's own buttons: the desktop's keys reach them, Tab does not.
    button->DisableFocusFromKeyboard();
    button->SetNormalBitmap(images[first].get())->SetPressedBitmap(images[first + 1].get());
    button->SetCurrentBitmap(images[first + 2].get());
    return button;
}

void TitleWindow::LayOutButtons() {
    auto* top = dynamic_cast<wxTopLevelWindow*>(wxGetTopLevelParent(this));
    const bool maximized = top != nullptr && top->IsMaximized();
    if (maximized != showsRestore) {
        showsRestore = maximized;
        const int first = maximized ? 9 : 6;
        maximizeButton->SetNormalBitmap(images[first].get())
            ->SetPressedBitmap(images[first + 1].get());
        maximizeButton->SetCurrentBitmap(images[first + 2].get());
        maximizeButton->SetMeaning(maximized ? wxTRANSLATE("Restore") : wxTRANSLATE("Maximize"));
        maximizeButton->NotifyAccessibleNameChanged();
        maximizeButton->Refresh();
    }
    // The close button's right edge is the bar's width plus the face's x (a negative x moves
    // it in from the right); the others sit directly to its left.
    const FaceEntry& close = GetFaceEntry("/face/titlebar/closebutton");
    int right = GetClientSize().x + close.x;
    for (DhBitmapButton* button : {closeButton, maximizeButton, minimizeButton}) {
        const wxPoint at(right - button->GetSize().x, logoPosition.y);
        button->Move(at);
        if (GetPiece() != nullptr && GetPiece()->IsOk()) {
            button->SetBackgroundBitmap(ImageUtil::CropBitmap(
                *GetPiece(), at.x, at.y, button->GetSize().x, button->GetSize().y));
        }
        right = at.x;
    }
}

int TitleWindow::NeededWidth() const {
    wxClientDC dc(const_cast<TitleWindow*>(this));
    dc.SetFont(FaceStyle::Font(9, true));
    const FaceEntry& close = GetFaceEntry("/face/titlebar/closebutton");
    const int buttons = closeButton->GetSize().x + maximizeButton->GetSize().x +
                        minimizeButton->GetSize().x - close.x;
    return logoPosition.x + logo.GetWidth() + 10 + dc.GetTextExtent(AppUtil::GetDisplayName()).x +
           16 + buttons;
}

wxSize TitleWindow::DoGetBestSize() const {
    return GetPiece() != nullptr && GetPiece()->IsOk() ? GetPiece()->GetSize() : wxSize(0, 0);
}

void TitleWindow::DrawBackground(wxDC& dc) {
    ZqPieceWindow::DrawBackground(dc);
    int x = logoPosition.x + 10;
    int textBottom = logoPosition.y;
    if (logo.IsOk()) {
        dc.DrawBitmap(logo, logoPosition.x, logoPosition.y, false);
        x = logoPosition.x + logo.GetWidth() + 10;
        textBottom = logoPosition.y + logo.GetHeight();
    }
    dc.SetFont(FaceStyle::Font(9, true));
    dc.SetTextForeground(textColour);
    const wxString title = AppUtil::GetDisplayName();
    const wxSize extent = dc.GetTextExtent(title);
    // The text's bottom lines up with the logo's.
    dc.DrawText(title, x, logo.IsOk() ? textBottom - extent.y : logoPosition.y);
}

void TitleWindow::OnClose(wxCommandEvent&) {
    MainFrame::QueueCloseRequest();
}

void TitleWindow::OnMinimize(wxCommandEvent&) {
    if (auto* top = dynamic_cast<wxTopLevelWindow*>(wxTheApp->GetTopWindow())) {
        top->Iconize(true);
    }
}

void TitleWindow::OnMaximize(wxCommandEvent&) {
    if (auto* top = dynamic_cast<MainFrame*>(wxGetTopLevelParent(this))) {
        top->ToggleMaximize();
    }
}

void TitleWindow::OnDoubleClick(wxMouseEvent&) {
    DhWindowMove::EndDrag(wxTheApp->GetTopWindow(), this, dragOffset);
    if (auto* top = dynamic_cast<MainFrame*>(wxGetTopLevelParent(this))) {
        top->ToggleMaximize();
    }
}

void TitleWindow::OnSize(wxSizeEvent& event) {
    event.Skip();
    LayOutButtons();
    Refresh(false);
}

void TitleWindow::OnLeftDown(wxMouseEvent& event) {
    // A maximised window stays where it is.
    auto* top = dynamic_cast<wxTopLevelWindow*>(wxGetTopLevelParent(this));
    if (top != nullptr && top->IsMaximized()) {
        return;
    }
    DhWindowMove::BeginDrag(wxTheApp->GetTopWindow(), this, event, dragOffset);
}

void TitleWindow::OnLeftUp(wxMouseEvent&) {
    DhWindowMove::EndDrag(wxTheApp->GetTopWindow(), this, dragOffset);
}

void TitleWindow::OnMotion(wxMouseEvent& event) {
    DhWindowMove::Drag(wxTheApp->GetTopWindow(), this, event, dragOffset);
}
