#include "window/main_frame.h"

#include "app/language_file.h"
#include "app/main_app.h"
#include "common/face_reader.h"
#include "common/image_util.h"
#include "common/stretch_layout.h"
#include "common/ui_platform.h"
#include "window/language_event.h"

#include <wx/app.h>
#include <wx/dcmemory.h>
#include <wx/region.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

MainFrame::~MainFrame() = default;

bool MainFrame::CreateFrame(wxWindowID id, wxBitmap* bitmap, const wxString& title) {
    background.reset(bitmap);
    if (!background || !background->IsOk()) {
        background = std::make_unique<wxBitmap>(900, 620);
    }
    theme = *background;
    design = theme;
    const wxSize size = background->GetSize();
    // Borderless: the theme draws the caption; the panels give the window its edges to resize
    // by. The smallest size is the design's until the window sets its own.
    const long style = wxFRAME_SHAPED | wxBORDER_NONE | wxMINIMIZE_BOX | wxMAXIMIZE_BOX |
                       wxCLOSE_BOX | wxSYSTEM_MENU | wxCLIP_CHILDREN | wxRESIZE_BORDER;
    if (!wxFrame::Create(nullptr, id, title, wxDefaultPosition, size, style)) {
        return false;
    }
    UiPlatform::AllowResizing(this);
    SetSizeHints(size);
    ApplyShape();
    Bind(wxEVT_SIZE, &MainFrame::OnSize, this);
    const wxBitmap icon = ImageUtil::LoadThemeBitmap("application/application.png");
    if (icon.IsOk()) {
        wxIcon frameIcon;
        frameIcon.CopyFromBitmap(icon);
        SetIcon(frameIcon);
    }
    Bind(wxEVT_CLOSE_WINDOW, &MainFrame::OnClose, this);
    Bind(EVT_LANGUAGE_CHANGED, &MainFrame::OnLanguageChanged, this);
    return true;
}

wxRect MainFrame::GetStretch() const {
    const FaceEntry& stretch = GetFaceEntry("/face/stretch");
    const int top = GrownY(stretch.y);
    const wxRect rect(stretch.x, top, stretch.width, GrownY(stretch.y + stretch.height) - top);
    return StretchLayout(design.GetSize(), rect, design.GetSize()).GetStretch();
}

int MainFrame::GrownY(int y) const {
    int grown = y;
    for (const Band& band : bands) {
        grown += band.row < y ? band.extra : 0;
    }
    return grown;
}

void MainFrame::GrowDesign(std::vector<Band> wanted) {
    wanted.erase(std::remove_if(wanted.begin(), wanted.end(),
                                [](const Band& band) { return band.extra <= 0; }),
                 wanted.end());
    std::sort(wanted.begin(), wanted.end(),
              [](const Band& a, const Band& b) { return a.row < b.row; });
    const auto same = [](const Band& a, const Band& b) {
        return a.row == b.row && a.extra == b.extra;
    };
    if (std::equal(wanted.begin(), wanted.end(), bands.begin(), bands.end(), same)) {
        return;
    }
    bands = std::move(wanted);
    design = theme;
    int shift = 0;
    for (const Band& band : bands) {
        const wxSize size = design.GetSize();
        design = ImageUtil::StretchBitmap(design, wxRect(0, band.row + shift, size.x, 1),
                                          wxSize(size.x, size.y + band.extra));
        shift += band.extra;
    }
    *background = ImageUtil::StretchBitmap(design, GetStretch(), GetClientSize());
    ApplyShape();
    Refresh(false);
}

void MainFrame::DoGetPosition(int* x, int* y) const {
    wxPoint origin;
    if (UiPlatform::GetFrameOrigin(this, origin)) {
        if (x != nullptr) {
            *x = origin.x;
        }
        if (y != nullptr) {
            *y = origin.y;
        }
        return;
    }
    wxFrame::DoGetPosition(x, y);
}

void MainFrame::ToggleMaximize() {
    Maximize(!IsMaximized());
}

void MainFrame::OnSize(wxSizeEvent& event) {
    event.Skip();
    const wxSize size = GetClientSize();
    if (size.x <= 0 || size.y <= 0) {
        return;
    }
    if (background->GetSize() != size) {
        *background = ImageUtil::StretchBitmap(design, GetStretch(), size);
    }
    ApplyShape();
    LayOutPanels();
    Refresh(false);
}

void MainFrame::ApplyShape() {
    // The region a filled rounded rectangle over the whole frame covers: the corners are
    // cut; a maximised window is a plain rectangle. Where the desktop cannot shape windows
    // the frame stays a plain rectangle with the same skin.
    const wxSize size = GetSize();
    if (IsMaximized() || IsFullScreen()) {
        SetShape(wxRegion(0, 0, size.x, size.y));
        return;
    }
    wxBitmap mask(size);
    {
        wxMemoryDC dc(mask);
        dc.SetBackground(*wxBLACK_BRUSH);
        dc.Clear();
        dc.SetBrush(*wxWHITE_BRUSH);
        dc.SetPen(*wxWHITE_PEN);
        dc.DrawRoundedRectangle(0, 0, size.x, size.y, GetCornerRadius());
    }
    SetShape(wxRegion(mask, *wxBLACK));
}

bool MainFrame::Create(wxWindowID id, const wxString& title) {
    return CreateFrame(id, nullptr, title);
}

void MainFrame::OnLanguageChanged(wxCommandEvent&) {}

void MainFrame::OnSubjectChanged(CjxSubject*, void*) {}

void MainFrame::OnClose(wxCloseEvent&) {
    EndProcess();
}

void MainFrame::QueueCloseRequest() {
    if (wxWindow* top = wxTheApp->GetTopWindow()) {
        auto* close = new wxCloseEvent(wxEVT_CLOSE_WINDOW, top->GetId());
        close->SetEventObject(top);
        close->SetCanVeto(true);
        top->GetEventHandler()->QueueEvent(close);
    }
}

void MainFrame::SetLanguage(int language) {
    locale.reset();
    locale = LanguageFile::CreateLocale(language);
}

void MainFrame::EndProcess() {
    wxGetApp().Shutdown();
    std::fflush(nullptr);
    std::_Exit(0);
}
