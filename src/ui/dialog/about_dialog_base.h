#pragma once

#include <wx/bitmap.h>
#include <wx/button.h>
#include <wx/dialog.h>

#include <memory>

// The borderless, skinned modal dialog frame: a background image with a bold title, image
// close and minimise buttons in the top right corner, an OK button in the bottom right
// corner, a rounded outline, and dragging by any point of its surface. Its content comes
// from CreateContent.
class AboutDialogBase : public wxDialog {
public:
    enum { kCloseButton = 2, kMinimizeButton = 3 };

    AboutDialogBase() = default;
    ~AboutDialogBase() override;

    // Builds the dialog; `background` (may be null) must outlive it. Owners create it with
    // wxBORDER_NONE | wxFRAME_SHAPED and the background's size.
    virtual bool Create(const wxBitmap* background, wxWindow* parent, wxWindowID id,
                        const wxString& title, const wxPoint& position, const wxSize& size,
                        long style);

    virtual void SetRoundedShape(int width, int height);

protected:
    virtual void OnPaint(wxPaintEvent& event);
    virtual void DrawTitle(wxDC& dc);
    virtual void DrawBackground(wxDC& dc);
    virtual void CreateOkButton();
    // The controls between the title bar and the OK button, centred: the logo, the product's
    // name and version, the copyright notice and the link to the product page.
    virtual void CreateContent();
    virtual void CreateTitleButtons();
    virtual void OnLeftDown(wxMouseEvent& event);
    virtual void OnMotion(wxMouseEvent& event);
    virtual void OnLeftUp(wxMouseEvent& event);

    std::unique_ptr<wxBitmap> logo;
    const wxBitmap* background = nullptr;
    wxButton* okButton = nullptr;
    wxPoint dragOffset;

private:
    void OnButton(wxCommandEvent& event);

    // The title buttons' images and background pieces, kept for the buttons.
    std::unique_ptr<wxBitmap> buttonImages[6];
    std::unique_ptr<wxBitmap> buttonPieces[2];

    wxDECLARE_DYNAMIC_CLASS(AboutDialogBase);
};
