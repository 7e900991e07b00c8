#include "common/face_style.h"

#include "common/face_reader.h"
#include "common/image_util.h"
#include "window/base/dh_word_button.h"

#include <wx/settings.h>

wxColour FaceStyle::Colour(const wxString& path) {
    const FaceEntry& entry = GetFaceEntry(path);
    return wxColour(entry.x & 0xFF, entry.y & 0xFF, entry.width & 0xFF);
}

wxFont FaceStyle::Font(int pointSize, bool bold) {
    wxFont font = wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT);
    if (pointSize > 0) {
        font.SetPointSize(pointSize);
    }
    if (bold) {
        font.SetWeight(wxFONTWEIGHT_BOLD);
    }
    return font;
}

DhWordButton* FaceStyle::MakeBaseButton(wxWindow* parent, wxWindowID id, bool big,
                                        const wxBitmap& background) {
    const wxString kind = big ? "big" : "small";
    const wxString crop = "/face/base-button/" + kind + "-button-crop";
    const FaceEntry& slices = GetFaceEntry(crop);
    auto* button = new DhWordButton;
    button->Create(parent, id);
    button->SetStateBitmaps(ImageUtil::LoadThemeBitmap("image/base/" + kind + "-normal.png"),
                            slices.x, slices.width,
                            ImageUtil::LoadThemeBitmap("image/base/" + kind + "-current.png"),
                            ImageUtil::LoadThemeBitmap("image/base/" + kind + "-pressed.png"));
    button->SetBackgroundBitmap(background, DhWordButton::kPiece);
    button->SetTextY(slices.y);
    button->SetForegroundColour(Colour(crop + "/textcolour"));
    return button;
}
