#pragma once

#include "window/base/zq_piece_window.h"

class DhWordButton;

// The strip of four large buttons under the menu bar: "Add File", "Add Folder", "Delete" and
// "Clear All". Each press is a notification for the file list; the buttons are locked while
// files load or a conversion runs.
class ZqToolBar : public ZqPieceWindow {
public:
    enum Id { kAddFile = 1, kAddFolder = 2, kDelete = 3, kClearAll = 4 };

    ZqToolBar() = default;

    bool Create(wxWindow* parent, wxBitmap* piece, wxWindowID id, const wxPoint& position,
                const wxSize& size, long style = wxTAB_TRAVERSAL | wxNO_BORDER);

    // Sets the translated labels again and lays the buttons out (after a language change).
    void RelabelButtons();
    // The buttons draw their background from the new piece.
    void ReplacePiece(const wxBitmap& bitmap) override;
    // The width the buttons need, with the margin on both sides.
    int NeededWidth() const;
    void OnSubjectChanged(CjxSubject* subject, void* argument) override;

    DhWordButton* GetButton(int id) const { return buttons[id - 1]; }

private:
    void OnButton(wxCommandEvent& event);

    DhWordButton* buttons[4] = {};
};
