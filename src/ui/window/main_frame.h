#pragma once

#include "window/base/cjx_observer.h"
#include "window/base/cjx_subject.h"

#include <wx/bitmap.h>
#include <wx/frame.h>
#include <wx/intl.h>

#include <memory>

// The application's only top-level window: a borderless frame of fixed size with rounded
// corners, painted entirely from the theme. Closing it writes the settings and ends the
// process.
class MainFrame : public wxFrame, public CjxObserver, public CjxSubject {
public:
    MainFrame() = default;
    ~MainFrame() override;

    // Creates the frame with the size of `background` (owned from now on), shapes it and
    // sets its icon.
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

protected:
    // Writes the settings and ends the process at once: detached workers are abandoned.
    virtual void EndProcess();

    std::unique_ptr<wxBitmap> background;

private:
    void ApplyShape();

    std::unique_ptr<wxLocale> locale;
};
