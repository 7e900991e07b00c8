#include "theme_gallery.h"

#include "app/app_util.h"
#include "common/face_reader.h"
#include "common/image_util.h"
#include "window/base/dh_bitmap_button.h"
#include "window/base/dh_check_box.h"
#include "window/base/dh_hyperlink_ctrl.h"
#include "window/base/dh_radio_button.h"
#include "window/base/dh_radio_group.h"
#include "window/base/dh_static_bitmap.h"
#include "window/base/dh_static_text.h"
#include "window/base/dh_word_button.h"
#include "window/base/zl_menu_button.h"
#include "window/base/zq_piece_window.h"

#include <wx/settings.h>

namespace {
// Shows a themed button in a given state, as the pointer would.
class ShownWordButton : public DhWordButton {
public:
    void Show(int shown) { SetState(shown, true); }
};

class ShownBitmapButton : public DhBitmapButton {
public:
    using DhBitmapButton::DhBitmapButton;
    void Show(int shown) { SetState(shown, true); }
};

wxColour Colour(const char* path) {
    const FaceEntry& entry = GetFaceEntry(path);
    return wxColour(entry.x & 0xFF, entry.y & 0xFF, entry.width & 0xFF);
}

wxFont Font(int size, bool bold) {
    wxFont font = wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT);
    font.SetPointSize(size);
    if (bold) {
        font.SetWeight(wxFONTWEIGHT_BOLD);
    }
    return font;
}

const char* const kStateNames[] = {"normal", "pointer over", "pressed", "disabled"};
const int kStates[] = {DhWordButton::kNormal, DhWordButton::kCurrent, DhWordButton::kPressed,
                       DhWordButton::kDisabled};
} // namespace

ThemeGallery::~ThemeGallery() = default;

ThemeGallery::ThemeGallery()
    : wxFrame(nullptr, wxID_ANY, "Theme gallery", wxPoint(0, 0), wxSize(900, 620),
              wxBORDER_NONE | wxFRAME_NO_TASKBAR) {
    m_background.reset(ImageUtil::LoadThemeBitmapPtr("image/screen1.png"));
    const wxBitmap& background = *m_background;
    auto* body = new ZqPieceWindow;
    body->Create(this, new wxBitmap(background), wxID_ANY, wxPoint(0, 0), background.GetSize());

    auto text = [&](const wxString& label, wxPoint where, const wxColour& colour,
                    const wxFont& font) {
        auto* control = new DhStaticText(body, wxID_ANY, label, where);
        control->SetParentBackground(m_background.get());
        control->SetForegroundColour(colour);
        control->SetFont(font);
        return control;
    };

    // Title bar: logo, caption, close and minimise buttons.
    const FaceEntry& logo = GetFaceEntry("/face/titlebar/logo");
    const wxBitmap icon = ImageUtil::LoadThemeBitmap("application/application.png");
    auto* logoBitmap = new DhStaticBitmap(
        body, wxID_ANY,
        wxBitmap(icon.ConvertToImage().Scale(logo.width, logo.height, wxIMAGE_QUALITY_HIGH)),
        wxPoint(logo.x, logo.y));
    logoBitmap->SetParentBackground(m_background.get());
    titleText = text(AppUtil::GetDisplayName(), wxPoint(logo.x + logo.width + 10, 11),
                     Colour("/face/titlebar/textcolour"), Font(11, true));
    const FaceEntry& close = GetFaceEntry("/face/titlebar/closebutton");
    int x = background.GetWidth() + close.x - close.width;
    for (const char* kind : {"image/base/close", "image/titlebar/minimize"}) {
        for (int state : {DhWordButton::kNormal, DhWordButton::kCurrent, DhWordButton::kPressed}) {
            const char* names[] = {"-normal.png", "-current.png", "-pressed.png"};
            const int i = state == DhWordButton::kNormal    ? 0
                          : state == DhWordButton::kCurrent ? 1
                                                            : 2;
            m_owned.emplace_back(ImageUtil::LoadThemeBitmapPtr(wxString(kind) + names[i]));
            auto* button = new ShownBitmapButton(body, wxID_ANY, wxPoint(x, close.y),
                                                 wxSize(close.width, close.height));
            button->SetNormalBitmap(m_owned.back().get());
            button->SetCurrentBitmap(m_owned.back().get());
            button->SetPressedBitmap(m_owned.back().get());
            m_owned.emplace_back(
                ImageUtil::CropBitmapStrict(background, x, close.y, close.width, close.height));
            button->SetBackgroundBitmap(*m_owned.back());
            x -= close.width + 4;
        }
    }

    // Menu bar: titles, normal and highlighted.
    const FaceEntry& menubar = GetFaceEntry("/face/menubar");
    int menuX = 12;
    int index = 0;
    for (const char* label : {"File", "Edit", "Language", "Help"}) {
        auto* title = new ZlMenuButton(
            nullptr, label, background, body, wxID_ANY, Colour("/face/menu/text-normal-colour"),
            Colour("/face/menu/text-current-colour"), wxPoint(menuX, menubar.y + 7));
        if (index++ == 1) {
            title->SetCurrent();
        }
        menuX += title->GetSize().x + 8;
    }

    // Tool bar: the four tool buttons, one state each.
    const FaceEntry& toolbar = GetFaceEntry("/face/toolbar");
    const FaceEntry& layout = GetFaceEntry("/face/toolbar/layout");
    const FaceEntry& toolFont = GetFaceEntry("/face/toolbar/font");
    int toolX = layout.x;
    const struct {
        const char* stem;
        const char* label;
    } tools[] = {{"add-file", "Add Files"},
                 {"add-folder", "Add Folder"},
                 {"delete", "Delete"},
                 {"clear-all", "Clear All"}};
    for (int i = 0; i < 4; ++i) {
        const wxString face = wxString("/face/toolbar/") + tools[i].stem + "-image";
        const FaceEntry& crop = GetFaceEntry(face);
        auto* button = new ShownWordButton;
        button->Create(body, wxID_ANY, wxPoint(toolX, toolbar.y + 15));
        const wxString stem = wxString("image/toolbar/") + tools[i].stem;
        button->SetStateBitmaps(ImageUtil::LoadThemeBitmap(stem + "-normal.png"), crop.x,
                                crop.width, ImageUtil::LoadThemeBitmap(stem + "-current.png"),
                                ImageUtil::LoadThemeBitmap(stem + "-pressed.png"));
        button->SetBackgroundBitmap(background, DhWordButton::kPiece);
        button->SetTextY(GetFaceEntry(face + "/offsety").y);
        button->SetForegroundColour(Colour(face + "/textcolour"));
        button->SetLabelAndFont(tools[i].label, Font(toolFont.height, toolFont.x != 0));
        if (kStates[i] == DhWordButton::kDisabled) {
            button->Enable(false);
        } else {
            button->Show(kStates[i]);
        }
        toolX += button->GetSize().x + layout.width;
    }

    // File list area: the base buttons in every state, check boxes, radio buttons, a link.
    const FaceEntry& list = GetFaceEntry("/face/selectwidow");
    const wxColour dark(31, 41, 55);
    int y = list.y + 20;
    for (int row = 0; row < 2; ++row) {
        const bool big = row == 0;
        const wxString kind = big ? "big" : "small";
        const FaceEntry& crop = GetFaceEntry("/face/base-button/" + kind + "-button-crop");
        int bx = list.x + 140;
        text(big ? "Big buttons" : "Small buttons", wxPoint(list.x + 20, y + 8), dark,
             Font(9, true));
        for (int i = 0; i < 4; ++i) {
            auto* button = new ShownWordButton;
            button->Create(body, wxID_ANY, wxPoint(bx, y));
            button->SetStateBitmaps(
                ImageUtil::LoadThemeBitmap("image/base/" + kind + "-normal.png"), crop.x,
                crop.width, ImageUtil::LoadThemeBitmap("image/base/" + kind + "-current.png"),
                ImageUtil::LoadThemeBitmap("image/base/" + kind + "-pressed.png"));
            button->SetBackgroundBitmap(background, DhWordButton::kPiece);
            button->SetTextY(crop.y);
            button->SetForegroundColour(
                Colour("/face/base-button/" + kind + "-button-crop/textcolour"));
            button->SetLabelAndFont(big ? "Start" : "Browse...", Font(big ? 13 : 9, big));
            if (kStates[i] == DhWordButton::kDisabled) {
                button->Enable(false);
            } else {
                button->Show(kStates[i]);
            }
            if (big && i == 0) {
                startNormal = button;
            }
            if (big && i == 3) {
                startDisabled = button;
            }
            text(kStateNames[i], wxPoint(bx, y + button->GetSize().y + 4), wxColour(96, 112, 134),
                 Font(8, false));
            bx += std::max(button->GetSize().x, 90) + 40;
        }
        y += big ? 80 : 64;
    }

    text("Check boxes", wxPoint(list.x + 20, y + 2), dark, Font(9, true));
    int cx = list.x + 140;
    for (int i = 0; i < 4; ++i) {
        auto* box = new DhCheckBox;
        box->Create(body, wxID_ANY, wxPoint(cx, y));
        box->SetBackgroundBitmap(background, 0);
        box->SetForegroundColour(dark);
        box->SetLabel(i % 2 ? "Merge into one file" : "Save in source folder");
        box->SetValue(i % 2 == 1);
        if (i >= 2) {
            box->Enable(false);
        }
        cx += box->GetSize().x + 24;
    }
    y += 44;

    text("Radio buttons", wxPoint(list.x + 20, y + 4), dark, Font(9, true));
    static DhRadioGroup group;
    int rx = list.x + 140;
    const wxBitmap normalRadio = ImageUtil::CreateRadioBitmap(body, false);
    const wxBitmap selectedRadio = ImageUtil::CreateRadioBitmap(body, true);
    for (const char* label : {"PDF", "PDF/A", "Images"}) {
        auto* radio = new DhRadioButton;
        radio->Create(body, wxID_ANY, normalRadio, selectedRadio, background, wxPoint(rx, y));
        radio->SetForegroundColour(dark);
        radio->SetLabel(label, false);
        group.Add(radio);
        rx += radio->GetSize().x + 24;
    }
    group.GetFirst()->SetValue(true);
    group.InitSelection();
    const wxBitmap add = ImageUtil::LoadThemeBitmap("image/radiobar/add.png");
    auto* imageRadio = new DhRadioButton;
    imageRadio->Create(body, wxID_ANY, add, add, background, wxPoint(rx + 20, y));
    imageRadio->SetLabel("", true);
    y += 44;

    text("Link", wxPoint(list.x + 20, y), dark, Font(9, true));
    auto* link = new DhHyperLinkCtrl(body, wxID_ANY, "Visit the product page",
                                     "https://example.com/", wxPoint(list.x + 140, y));
    link->SetParentBackground(m_background.get());

    // Output panel band: a description and the Start button.
    const FaceEntry& output = GetFaceEntry("/face/outputwindow");
    text("Transparent labels show the background around their glyphs.", wxPoint(24, output.y + 22),
         dark, Font(10, false));
}
