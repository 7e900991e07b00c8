#include "dialog/about_dialog.h"

#include "common/image_util.h"

#include <memory>

wxIMPLEMENT_DYNAMIC_CLASS(AboutDialog, AboutDialogBase);

void AboutDialog::Open(wxWindow* parent) {
    // The background outlives the dialog, which only points to it.
    const std::unique_ptr<wxBitmap> background(
        ImageUtil::LoadThemeBitmapPtr("image/base/background.png"));
    const bool themed = background && background->IsOk();
    const wxSize size = themed ? background->GetSize() : wxSize(460, 320);
    AboutDialog dialog;
    if (!dialog.Create(themed ? background.get() : nullptr, parent, wxID_ANY, _("About"),
                       wxDefaultPosition, size, wxBORDER_NONE | wxFRAME_SHAPED)) {
        return;
    }
    dialog.ShowModal();
}
