#pragma once

#include "window/base/cjx_observer.h"
#include "window/base/cjx_subject.h"

#include <wx/bitmap.h>
#include <wx/frame.h>
#include <wx/intl.h>

#include <memory>
#include <vector>

// The application's only top-level window: a borderless frame with rounded corners, painted
// entirely from the theme, that the user may resize and maximise: its background stretches
// where the theme says it may ("/face/stretch"). Closing it writes the settings and ends the
// process.
class MainFrame : public wxFrame, public CjxObserver, public CjxSubject {
public:
    MainFrame() = default;
    ~MainFrame() override;

    // Creates the frame with the size of `background` (owned from now on; the size the theme
    // was drawn for), shapes it and sets its icon.
    virtual bool CreateFrame(wxWindowID id, wxBitmap* background, const wxString& title);
    virtual bool Create(wxWindowID id, const wxString& title);
    virtual void OnLanguageChanged(wxCommandEvent& event);
    void OnSubjectChanged(CjxSubject* subject, void* argument) override;
    virtual void OnClose(wxCloseEvent& event);
    virtual float GetCornerRadius() const { return 10.9f; }

    // Queues a close request (that may be refused) on the application's top window, as its
    // close button and File › Exit do; the window decides when it runs.
    static void QueueCloseRequest();

    // Replaces the locale by one for the language (a stored language number).
    void SetLanguage(int language);
    const wxBitmap* GetBackground() const { return background.get(); }
    // The size the theme's background was drawn for (with the rows added for the texts, see
    // GrowDesign), and where it stretches.
    wxSize GetDesignSize() const { return design.GetSize(); }
    wxRect GetStretch() const;

    // Rows added to the theme's background: its row `row` repeated `extra` times more.
    struct Band {
        int row;
        int extra;
    };

    // Maximises the window, or restores it when it is maximised.
    void ToggleMaximize();

protected:
    // The position as the display has it (see UiPlatform::GetFrameOrigin), else the toolkit's.
    void DoGetPosition(int* x, int* y) const override;
    // Writes the settings and ends the process at once: detached workers are abandoned.
    virtual void EndProcess();
    // Places the frame's panels for the background's current size.
    virtual void LayOutPanels() {}
    // Gives the background the rows where texts need more height than the theme drew (large
    // text, tall scripts); the caller then lays the panels out again. The bands are in the
    // theme's rows.
    void GrowDesign(std::vector<Band> bands);
    // Where a row of the theme's background lies in the grown one.
    int GrownY(int y) const;

    // The background at the window's current size (the object stays the same, so that the
    // panels may keep a pointer to it).
    std::unique_ptr<wxBitmap> background;

private:
    void ApplyShape();
    void OnSize(wxSizeEvent& event);

    wxBitmap theme;  // the background as the theme drew it
    wxBitmap design; // the same with the rows the texts need
    std::vector<Band> bands;

    std::unique_ptr<wxLocale> locale;
};
