#pragma once

#include <wx/bitmap.h>
#include <wx/frame.h>

#include <memory>
#include <vector>

class DhWordButton;
class DhStaticText;

// Every themed control in every state on the theme's main background, laid out on the
// bands of the main window: a page to look at, and to check pixels of.
class ThemeGallery : public wxFrame {
public:
    ThemeGallery();
    ~ThemeGallery() override;

    // Controls whose pixels tests look at.
    DhWordButton* startNormal = nullptr;
    DhWordButton* startDisabled = nullptr;
    DhStaticText* titleText = nullptr;

private:
    std::unique_ptr<wxBitmap> m_background;
    std::vector<std::unique_ptr<wxBitmap>> m_owned;
};
