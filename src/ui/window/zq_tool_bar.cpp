#include "window/zq_tool_bar.h"

#include "common/face_reader.h"
#include "common/face_style.h"
#include "common/image_util.h"
#include "window/base/dh_word_button.h"
#include "window/notify_code.h"

namespace {
const char* const kStems[] = {"add-file", "add-folder", "delete", "clear-all"};
const int kCodes[] = {kNotifyAddFiles, kNotifyAddFolder, kNotifyDelete, kNotifyClearAll};
} // namespace

bool ZqToolBar::Create(wxWindow* parent, wxBitmap* pieceBitmap, wxWindowID id,
                       const wxPoint& position, const wxSize& size, long style) {
    if (!ZqPieceWindow::Create(parent, pieceBitmap, id, position, size, style)) {
        return false;
    }
    const wxBitmap background = pieceBitmap != nullptr ? *pieceBitmap : wxNullBitmap;
    for (int i = 0; i < 4; ++i) {
        const wxString face = wxString("/face/toolbar/") + kStems[i] + "-image";
        const FaceEntry& slices = GetFaceEntry(face);
        const wxString stem = wxString("image/toolbar/") + kStems[i];
        auto* button = new DhWordButton;
        button->Create(this, i + 1);
        button->SetStateBitmaps(ImageUtil::LoadThemeBitmap(stem + "-normal.png"), slices.x,
                                slices.width, ImageUtil::LoadThemeBitmap(stem + "-current.png"),
                                ImageUtil::LoadThemeBitmap(stem + "-pressed.png"));
        button->SetBackgroundBitmap(background, DhWordButton::kPiece);
        button->SetForegroundColour(FaceStyle::Colour(face + "/textcolour"));
        button->SetTextY(GetFaceEntry(face + "/offsety").y);
        buttons[i] = button;
    }
    Bind(wxEVT_BUTTON, &ZqToolBar::OnButton, this, kAddFile, kClearAll);
    RelabelButtons();
    return true;
}

void ZqToolBar::RelabelButtons() {
    const FaceEntry& font = GetFaceEntry("/face/toolbar/font");
    const wxFont labelFont = FaceStyle::Font(font.height, font.x != 0);
    const wxString labels[] = {_("Add File"), _("Add Folder"), _("Delete"), _("Clear All")};
    const FaceEntry& layout = GetFaceEntry("/face/toolbar/layout");
    int x = layout.x;
    for (int i = 0; i < 4; ++i) {
        buttons[i]->SetLabelAndFont(labels[i], labelFont);
        buttons[i]->Move(x, 0);
        x += buttons[i]->GetSize().x + layout.width;
    }
    Refresh();
}

void ZqToolBar::ReplacePiece(const wxBitmap& bitmap) {
    ZqPieceWindow::ReplacePiece(bitmap);
    for (DhWordButton* button : buttons) {
        button->SetBackgroundBitmap(bitmap, DhWordButton::kPiece);
        button->Refresh(false);
    }
}

int ZqToolBar::NeededWidth() const {
    const FaceEntry& layout = GetFaceEntry("/face/toolbar/layout");
    return buttons[3]->GetRect().GetRight() + 1 + layout.x;
}

void ZqToolBar::OnSubjectChanged(CjxSubject* subject, void*) {
    const int notified = subject->GetCode();
    if (notified == kNotifyConvertLock || notified == kNotifyLoadLock) {
        for (DhWordButton* button : buttons) {
            button->Disable();
        }
    } else if (notified == kNotifyConvertUnlock || notified == kNotifyLoadUnlock) {
        for (DhWordButton* button : buttons) {
            button->Enable();
        }
    }
}

void ZqToolBar::OnButton(wxCommandEvent& event) {
    SetCode(kCodes[event.GetId() - 1]);
    Notify();
}
