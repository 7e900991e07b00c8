#pragma once

#include <vector>

class DhRadioButton;

// Keeps exactly one of its radio buttons selected. Owned by the window that builds the
// buttons; it does not own them.
class DhRadioGroup {
public:
    // Appends the button and gives it its index.
    void Add(DhRadioButton* button);
    // The first selected button becomes the selection.
    void InitSelection();
    // Deselects the previous selection and selects the button at `index`.
    void Select(int index);

    DhRadioButton* GetSelectedButton() const;
    DhRadioButton* GetButton(int index) const;
    DhRadioButton* FindById(int id) const;
    DhRadioButton* GetFirst() const { return buttons.empty() ? nullptr : buttons.front(); }
    DhRadioButton* GetLast() const { return buttons.empty() ? nullptr : buttons.back(); }
    int GetCount() const { return static_cast<int>(buttons.size()); }
    int GetSelectedIndex() const { return selected; }

private:
    int selected = -1;
    int previous = -1;
    std::vector<DhRadioButton*> buttons;
};
