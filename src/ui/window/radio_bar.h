#pragma once

#include "window/base/dh_radio_group.h"
#include "window/base/zq_piece_window.h"

#include <vector>

class wxBitmapButton;

// What a product selection tells the observers: the product's id, a value, and a flag they
// clear to refuse the selection.
struct ProductChoice {
    int id = 0;
    int value = 0;
    bool accept = true;
};

// A strip of themed radio buttons, one per product kind, and an "add" button that asks for
// the preferences. The image converter shows none; other products of the family do.
class RadioBar : public ZqPieceWindow {
public:
    RadioBar() = default;

    bool Create(wxWindow* parent, wxBitmap* piece, wxWindowID id, const wxPoint& position,
                const wxSize& size, long style = wxBORDER_NONE);

    void AddProduct(wxWindowID id, const wxBitmap& normal, const wxBitmap& selected);
    // Shows the buttons of the first `max` ids, in order, from the bar's first x; the "add"
    // button follows the last one when it is shown.
    void ShowProducts(const std::vector<int>& ids, size_t max);
    void ShowAddButton(bool show) { addShown = show; }

    void OnSubjectChanged(CjxSubject* subject, void* argument) override;

private:
    void OnAdd(wxCommandEvent& event);
    void OnSelect(wxCommandEvent& event);

    DhRadioGroup group;
    int firstX = 0;
    int reserved = 0;
    wxBitmapButton* addButton = nullptr;
    bool addShown = false;
};
