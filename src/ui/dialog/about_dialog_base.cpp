#include "dialog/about_dialog_base.h"

#include "app/app_util.h"
#include "common/image_util.h"
#include "common/text_wrap.h"
#include "domain/domain_settings.h"
#include "window/base/dh_bitmap_button.h"
#include "window/base/dh_hyperlink_ctrl.h"
#include "window/base/dh_static_bitmap.h"
#include "window/base/dh_static_text.h"
#include "window/base/dh_window_move.h"

#include <wx/app.h>
#include <wx/dcbuffer.h>
#include <wx/dcmemory.h>
#include <wx/region.h>
#include <wx/settings.h>
#include <wx/toplevel.h>

#include <algorithm>

wxIMPLEMENT_DYNAMIC_CLASS(AboutDialogBase, wxDialog);

AboutDialogBase::~AboutDialogBase() = default;

bool AboutDialogBase::Create(const wxBitmap* backgroundBitmap, wxWindow* parent, wxWindowID id,
                             const wxString& title, const wxPoint& position, const wxSize& size,
                             long style) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    if (!wxDialog::Create(parent, id, title, position, size, style)) {
        return false;
    }
    if (backgroundBitmap != nullptr) {
        background = backgroundBitmap;
        Bind(wxEVT_PAINT, &AboutDialogBase::OnPaint, this);
    }
    const wxBitmap icon = ImageUtil::LoadThemeBitmap("application/application.png");
    if (icon.IsOk()) {
        logo =
            std::make_unique<wxBitmap>(icon.ConvertToImage().Scale(80, 80, wxIMAGE_QUALITY_HIGH));
    }
    Bind(wxEVT_BUTTON, &AboutDialogBase::OnButton, this);
    Bind(wxEVT_LEFT_DOWN, &AboutDialogBase::OnLeftDown, this);
    Bind(wxEVT_MOTION, &AboutDialogBase::OnMotion, this);
    Bind(wxEVT_LEFT_UP, &AboutDialogBase::OnLeftUp, this);
    Bind(wxEVT_MOUSE_CAPTURE_LOST, [](wxMouseCaptureLostEvent&) {});

    CreateTitleButtons();
    CreateContent();
    CreateOkButton();
    SetRoundedShape(size.x, size.y);
    Centre(wxBOTH);
    return true;
}

void AboutDialogBase::CreateTitleButtons() {
    const int width = GetSize().x;
    struct Spec {
        int id;
        const char* images[3];
        const char* meaning;
    };
    const Spec specs[] = {
        {kCloseButton,
         {"image/base/close-normal.png", "image/base/close-current.png",
          "image/base/close-pressed.png"},
         wxTRANSLATE("Close")},
        {kMinimizeButton,
         {"image/titlebar/minimize-normal.png", "image/titlebar/minimize-current.png",
          "image/titlebar/minimize-pressed.png"},
         wxTRANSLATE("Minimize")},
    };
    int right = width - 4;
    for (int i = 0; i < 2; ++i) {
        for (int j = 0; j < 3; ++j) {
            buttonImages[3 * i + j].reset(ImageUtil::LoadThemeBitmapPtr(specs[i].images[j]));
        }
        const wxBitmap& normal = *buttonImages[3 * i];
        const wxSize size = normal.IsOk() ? normal.GetSize() : wxSize(24, 24);
        const wxPoint position(right - size.x, 2);
        right = position.x - 1;
        auto* button = new DhBitmapButton(this, specs[i].id, position, size, wxBORDER_NONE);
        button->SetMeaning(specs[i].meaning);
        button->SetNormalBitmap(buttonImages[3 * i].get())
            ->SetPressedBitmap(buttonImages[3 * i + 2].get());
        button->SetCurrentBitmap(buttonImages[3 * i + 1].get());
        if (background != nullptr && background->IsOk()) {
            buttonPieces[i].reset(
                ImageUtil::CropBitmapStrict(*background, position.x, position.y, size.x, size.y));
            button->SetBackgroundBitmap(*buttonPieces[i]);
        }
    }
}

void AboutDialogBase::CreateContent() {
    const int width = GetSize().x;
    if (logo) {
        auto* image =
            new DhStaticBitmap(this, wxID_ANY, *logo, wxPoint((width - logo->GetWidth()) / 2, 36));
        image->SetParentBackground(background);
        image->SetAccessibleName(AppUtil::GetDisplayName());
    }

    // The texts from the theme's places down, each below the one before when large text
    // needs more room; a text wider than the dialog goes on in lines below.
    int bottom = 0;
    auto centredText = [this, width, &bottom](const wxString& text, int y) {
        auto* label = new DhStaticText(this, wxID_ANY, TextWrap::Wrap(*this, text, width - 40));
        label->SetParentBackground(background);
        label->SetForegroundColour(*wxBLACK);
        label->SetSize(label->GetBestSize());
        y = std::max(y, bottom + 6);
        label->Move((width - label->GetSize().x) / 2, y);
        bottom = label->GetRect().GetBottom();
        return label;
    };
    centredText(AppUtil::GetDisplayName() + " " + AppUtil::GetVersion(), 120);
    // TRANSLATORS: the copyright line of the about dialog: the copyright sign, the year the
    // program was built and the maker's name.
    centredText(wxString::Format(_("Copyright %s %s %s. All rights reserved."),
                                 wxString::FromUTF8("\xC2\xA9"), AppUtil::GetBuildYear(),
                                 AppUtil::GetBrandName()),
                150);

    // The product page as a link; without one there is nothing to show (an empty link is
    // not a link).
    const wxString link = DomainSettings::GetNamed("url:product");
    if (!link.empty()) {
        auto* control =
            new DhHyperLinkCtrl(this, wxID_ANY, link, link, wxDefaultPosition, wxDefaultSize,
                                wxBORDER_NONE | wxHL_CONTEXTMENU | wxHL_ALIGN_LEFT);
        wxFont font = wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT);
        font.SetUnderlined(true);
        control->SetFont(font);
        control->SetSize(control->GetBestSize());
        control->SetParentBackground(background);
        control->Move((width - control->GetSize().x) / 2, std::max(190, bottom + 12));
    }
}

void AboutDialogBase::CreateOkButton() {
    okButton = new wxButton(this, wxID_OK, _("Ok"));
    wxFont font = wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT);
    font.SetWeight(wxFONTWEIGHT_BOLD);
    font.SetPointSize(10);
    okButton->SetFont(font);
    const wxSize text = okButton->GetTextExtent(okButton->GetLabel());
    const wxSize best = okButton->GetBestSize();
    const wxSize size(std::max(text.x + 16, best.x), std::max(text.y + 8, best.y));
    okButton->SetSize(size);
    const wxSize dialog = GetSize();
    okButton->Move(dialog.x - size.x - 20, dialog.y - size.y - 16);
}

void AboutDialogBase::SetRoundedShape(int width, int height) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    wxBitmap shape(width, height);
    {
        wxMemoryDC dc(shape);
        dc.SetBackground(*wxBLACK_BRUSH);
        dc.Clear();
        dc.SetPen(*wxWHITE_PEN);
        dc.SetBrush(*wxWHITE_BRUSH);
        dc.DrawRoundedRectangle(0, 0, width, height, 8.0);
    }
    SetShape(wxRegion(shape, *wxBLACK));
}

void AboutDialogBase::OnPaint(wxPaintEvent&) {
    wxAutoBufferedPaintDC dc(this);
    DrawBackground(dc);
    DrawTitle(dc);
}

void AboutDialogBase::DrawBackground(wxDC& dc) {
    if (background != nullptr && background->IsOk()) {
        dc.DrawBitmap(*background, 0, 0, false);
    }
}

void AboutDialogBase::DrawTitle(wxDC& dc) {
    wxFont font = wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT);
    font.SetPointSize(10);
    font.SetWeight(wxFONTWEIGHT_BOLD);
    dc.SetFont(font);
    dc.SetTextForeground(*wxWHITE);
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    dc.DrawText(GetTitle(), 20, 8);
}

void AboutDialogBase::OnButton(wxCommandEvent& event) {
    switch (event.GetId()) {
    case kCloseButton:
    case wxID_CLOSE:
    case wxID_OK:
        EndModal(0);
        break;
    case kMinimizeButton:
        if (auto* top = wxDynamicCast(wxTheApp->GetTopWindow(), wxTopLevelWindow)) {
            top->Iconize(true);
        }
        break;
    default:
        event.Skip();
        break;
    }
}

void AboutDialogBase::OnLeftDown(wxMouseEvent& event) {
    DhWindowMove::BeginDrag(this, this, event, dragOffset);
}

void AboutDialogBase::OnMotion(wxMouseEvent& event) {
    DhWindowMove::Drag(this, this, event, dragOffset);
}

void AboutDialogBase::OnLeftUp(wxMouseEvent&) {
    DhWindowMove::EndDrag(this, this, dragOffset);
}
