#include "window/radio_bar.h"

#include "common/face_reader.h"
#include "common/face_style.h"
#include "common/image_util.h"
#include "window/base/dh_radio_button.h"
#include "window/notify_code.h"

#include <wx/bmpbuttn.h>

#include <cstdlib>

bool RadioBar::Create(wxWindow* parent, wxBitmap* pieceBitmap, wxWindowID id,
                      const wxPoint& position, const wxSize& size, long style) {
    if (!ZqPieceWindow::Create(parent, pieceBitmap, id, position, size, style)) {
        return false;
    }
    addButton = new wxBitmapButton(this, 1, ImageUtil::LoadThemeBitmap("image/radiobar/add.png"));
    addButton->SetToolTip(_("Click to add product."));
    addButton->Hide();
    addButton->Bind(wxEVT_BUTTON, &RadioBar::OnAdd, this);
    return true;
}

void RadioBar::AddProduct(wxWindowID id, const wxBitmap& normal, const wxBitmap& selected) {
    auto* button = new DhRadioButton;
    button->Create(this, id, normal, selected, GetPiece() != nullptr ? *GetPiece() : wxNullBitmap);
    group.Add(button);
    button->SetFont(FaceStyle::Font(GetFaceEntry("/face/radiobar/textfont").height, true));
    button->SetForegroundColour(FaceStyle::Colour("/face/radiobar/textcolor"));
    button->Bind(DH_EVT_RADIO_BUTTON, &RadioBar::OnSelect, this);
}

void RadioBar::ShowProducts(const std::vector<int>& ids, size_t max) {
    for (int i = 0; i < group.GetCount(); ++i) {
        group.GetButton(i)->Hide();
    }
    int x = firstX;
    for (size_t i = 0; i < ids.size() && i < max; ++i) {
        if (DhRadioButton* button = group.FindById(ids[i])) {
            button->Move(x, 0);
            button->Show();
            x += button->GetSize().x;
        }
    }
    if (addShown) {
        const int y = std::abs(GetClientSize().y - addButton->GetSize().y) / 2;
        addButton->Move(x, y);
        addButton->Show();
    }
}

void RadioBar::OnSubjectChanged(CjxSubject* subject, void*) {
    const int notified = subject->GetCode();
    const bool lock = notified == kNotifyConvertLock || notified == kNotifyLoadLock;
    const bool unlock = notified == kNotifyConvertUnlock || notified == kNotifyLoadUnlock;
    if (!lock && !unlock) {
        return;
    }
    for (int i = 0; i < group.GetCount(); ++i) {
        DhRadioButton* button = group.GetButton(i);
        button->Enable(unlock || button == group.GetSelectedButton());
    }
}

void RadioBar::OnAdd(wxCommandEvent&) {
    SetCode(kNotifyPreferences);
    Notify();
}

void RadioBar::OnSelect(wxCommandEvent& event) {
    ProductChoice choice{event.GetId(), event.GetInt(), true};
    SetCode(kNotifyProductSelecting);
    Notify(&choice);
    if (choice.accept) {
        SetCode(kNotifyProductSelected);
        Notify(&choice);
    }
    event.Skip();
}
