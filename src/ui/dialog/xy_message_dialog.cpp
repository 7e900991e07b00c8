#include "dialog/xy_message_dialog.h"

#include "common/image_util.h"

#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/statline.h>
#include <wx/stattext.h>

wxIMPLEMENT_DYNAMIC_CLASS(XyMessageDialog, wxDialog);

XyMessageDialog::XyMessageDialog(wxWindow* parent, wxWindowID id, wxBitmap* iconBitmap,
                                 const wxString& message, const wxString& title,
                                 const wxPoint& position, const wxSize& size, long style)
    : icon(iconBitmap) {
    if (wxDialog::Create(parent, id, title, position, size, style)) {
        CreateContent(message);
    }
}

void XyMessageDialog::CreateContent(const wxString& message) {
    if (!icon) {
        icon.reset(ImageUtil::LoadThemeBitmapPtr("image/base/information.png"));
    }
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    auto* body = new wxBoxSizer(wxHORIZONTAL);
    if (icon->IsOk()) {
        body->Add(new wxStaticBitmap(this, wxID_ANY, *icon), 0, wxLEFT | wxTOP | wxBOTTOM, 20);
    }
    body->Add(new wxStaticText(this, wxID_ANY, message), 0, wxALL | wxALIGN_CENTER, 20);
    sizer->Add(body);
    sizer->Add(new wxStaticLine(this), 0, wxEXPAND);
    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    okButton = new wxButton(this, kOk, "ok");
    cancelButton = new wxButton(this, kCancel, "cancel");
    buttons->Add(okButton, 0, wxALL, 5);
    buttons->Add(cancelButton, 0, wxALL, 5);
    sizer->Add(buttons, 0, wxALIGN_RIGHT);
    SetSizerAndFit(sizer);
    sizer->SetSizeHints(this);
    Centre(wxBOTH);
    Bind(wxEVT_BUTTON, &XyMessageDialog::OnButton, this);
}

void XyMessageDialog::SetButtonLabels(const wxString& ok, const wxString& cancel) {
    okButton->SetLabel(ok);
    cancelButton->SetLabel(cancel);
    Layout();
    Fit();
}

void XyMessageDialog::OnButton(wxCommandEvent& event) {
    if (event.GetId() == kOk || event.GetId() == kCancel) {
        EndModal(event.GetId());
    } else {
        event.Skip();
    }
}
