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
    const FaceEntry& close = GetFaceEntry("/face/titlebar/closebutton");

    // The close button's right edge is the bar's width plus the face's x (a negative x moves
    // it in from the right); the minimize button sits directly to its left.
    closeButton = MakeButton(kClose, "image/base/close", size.x + close.x, logoPosition.y);
    minimizeButton = MakeButton(kMinimize, "image/titlebar/minimize", closeButton->GetPosition().x,
                                logoPosition.y);

    Bind(wxEVT_BUTTON, &TitleWindow::OnClose, this, kClose);
    Bind(wxEVT_BUTTON, &TitleWindow::OnMinimize, this, kMinimize);
    Bind(wxEVT_LEFT_DOWN, &TitleWindow::OnLeftDown, this);
    Bind(wxEVT_LEFT_UP, &TitleWindow::OnLeftUp, this);
    Bind(wxEVT_MOTION, &TitleWindow::OnMotion, this);
    return true;
}

DhBitmapButton* TitleWindow::MakeButton(wxWindowID id, const char* stem, int right, int y) {
    const int first = id == kClose ? 0 : 3;
    images[first].reset(ImageUtil::LoadThemeBitmapPtr(wxString(stem) + "-normal.png"));
    images[first + 1].reset(ImageUtil::LoadThemeBitmapPtr(wxString(stem) + "-pressed.png"));
    images[first + 2].reset(ImageUtil::LoadThemeBitmapPtr(wxString(stem) + "-current.png"));
    const wxSize size = images[first]->IsOk() ? images[first]->GetSize() : wxSize(16, 16);
    const wxPoint at(right - size.x, y);
    auto* button = new DhBitmapButton(this, id, at, size, wxBORDER_NONE);
    // The window's own close and minimise: the desktop's keys reach them, Tab does not.
    button->DisableFocusFromKeyboard();
    button->SetNormalBitmap(images[first].get())->SetPressedBitmap(images[first + 1].get());
    button->SetCurrentBitmap(images[first + 2].get());
    if (GetPiece() != nullptr && GetPiece()->IsOk()) {
        button->SetBackgroundBitmap(ImageUtil::CropBitmap(*GetPiece(), at.x, at.y, size.x, size.y));
    }
    return button;
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

void TitleWindow::OnLeftDown(wxMouseEvent& event) {
    DhWindowMove::BeginDrag(wxTheApp->GetTopWindow(), this, event, dragOffset);
}

void TitleWindow::OnLeftUp(wxMouseEvent&) {
    DhWindowMove::EndDrag(this);
}

void TitleWindow::OnMotion(wxMouseEvent& event) {
    DhWindowMove::Drag(wxTheApp->GetTopWindow(), this, event, dragOffset);
}
