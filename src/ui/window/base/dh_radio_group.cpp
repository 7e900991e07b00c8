#include "window/base/dh_radio_group.h"

#include "window/base/dh_radio_button.h"

void DhRadioGroup::Add(DhRadioButton* button) {
    button->SetGroup(this, GetCount());
    buttons.push_back(button);
}

void DhRadioGroup::InitSelection() {
    for (int i = 0; i < GetCount(); ++i) {
        if (buttons[i]->GetValue()) {
            selected = previous = i;
            return;
        }
    }
}

void DhRadioGroup::Select(int index) {
    if (index < 0 || index >= GetCount()) {
        return;
    }
    if (previous >= 0 && previous < GetCount() && previous != index) {
        buttons[previous]->SetSelected(false);
    }
    buttons[index]->SetSelected(true);
    selected = previous = index;
}

DhRadioButton* DhRadioGroup::GetSelectedButton() const {
    return GetButton(selected);
}

DhRadioButton* DhRadioGroup::GetButton(int index) const {
    return index >= 0 && index < GetCount() ? buttons[index] : nullptr;
}

DhRadioButton* DhRadioGroup::FindById(int id) const {
    for (DhRadioButton* button : buttons) {
        if (button->GetId() == id) {
            return button;
        }
    }
    return nullptr;
}
