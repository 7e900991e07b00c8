#include "window/main_frame.h"

#include "app/language_file.h"
#include "app/main_app.h"
#include "common/image_util.h"
#include "window/language_event.h"

#include <wx/app.h>
#include <wx/dcmemory.h>
#include <wx/region.h>

#include <cstdio>
#include <cstdlib>

MainFrame::~MainFrame() = default;

bool MainFrame::CreateFrame(wxWindowID id, wxBitmap* bitmap, const wxString& title) {
    background.reset(bitmap);
    const wxSize size = background && background->IsOk() ? background->GetSize() : wxSize(900, 620);
    // Borderless, fixed size: the theme draws the caption and there is nothing to resize.
    // The size is fixed by equal minimum and maximum sizes: GTK shrinks a window that is not
    // resizable to what its children ask for, which here is nothing.
    const long style = wxFRAME_SHAPED | wxBORDER_NONE | wxMINIMIZE_BOX | wxCLOSE_BOX |
                       wxSYSTEM_MENU | wxCLIP_CHILDREN | wxRESIZE_BORDER;
    if (!wxFrame::Create(nullptr, id, title, wxDefaultPosition, size, style)) {
        return false;
    }
    SetSizeHints(size, size);
    ApplyShape();
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

void MainFrame::ApplyShape() {
    // The region a filled rounded rectangle over the whole frame covers: the corners are
    // cut. Where the desktop cannot shape windows the frame stays a plain rectangle with the
    // same skin.
    const wxSize size = GetSize();
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
