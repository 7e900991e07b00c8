#pragma once

#include "window/base/cjx_observer.h"
#include "window/base/cjx_subject.h"

#include <wx/bitmap.h>
#include <wx/panel.h>

#include <memory>

class wxDC;

// The panel every themed panel derives from: paints its piece of the window background
// (double-buffered) and takes part in the observer protocol.
class ZqPieceWindow : public wxPanel, public CjxObserver, public CjxSubject {
public:
    ZqPieceWindow() = default;
    ~ZqPieceWindow() override;

    // Creates the panel; ownership of `piece` passes to the window.
    bool Create(wxWindow* parent, wxBitmap* piece, wxWindowID id = wxID_ANY,
                const wxPoint& position = wxDefaultPosition, const wxSize& size = wxDefaultSize,
                long style = wxTAB_TRAVERSAL | wxNO_BORDER, const wxString& name = wxPanelNameStr);

    wxBitmap* GetPiece() const { return piece.get(); }
    void SetPiece(wxBitmap* bitmap) { piece.reset(bitmap); }
    // Gives the piece another image (the window grew or shrank); the piece object stays the
    // same, so that controls drawing parts of it keep their pointer. Panels whose controls
    // keep copies of the piece give them the new one.
    virtual void ReplacePiece(const wxBitmap& bitmap);

    void OnSubjectChanged(CjxSubject* subject, void* argument) override;
    virtual void DrawBackground(wxDC& dc);

private:
    void OnPaint(wxPaintEvent& event);

    std::unique_ptr<wxBitmap> piece;

    wxDECLARE_DYNAMIC_CLASS(ZqPieceWindow);
};
