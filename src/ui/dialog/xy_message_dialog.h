#pragma once

#include <wx/bitmap.h>
#include <wx/button.h>
#include <wx/dialog.h>

#include <memory>

// A small message dialog of native controls: the theme's information icon, the text, a
// separator and OK and Cancel buttons. ShowModal returns the id of the pressed button.
class XyMessageDialog : public wxDialog {
public:
    enum { kOk = 50, kCancel = 51 };

    XyMessageDialog() = default;
    // `icon` may be null (the theme's information icon is used); the dialog owns it.
    XyMessageDialog(wxWindow* parent, wxWindowID id, wxBitmap* icon, const wxString& message,
                    const wxString& title, const wxPoint& position = wxDefaultPosition,
                    const wxSize& size = wxDefaultSize, long style = wxDEFAULT_DIALOG_STYLE);

    void SetButtonLabels(const wxString& ok, const wxString& cancel);

protected:
    virtual void CreateContent(const wxString& message);

private:
    void OnButton(wxCommandEvent& event);

    std::unique_ptr<wxBitmap> icon;
    wxButton* okButton = nullptr;
    wxButton* cancelButton = nullptr;

    wxDECLARE_DYNAMIC_CLASS(XyMessageDialog);
};
