#pragma once

#include "dialog/about_dialog_base.h"

// The about dialog: the logo, name and version, copyright notice and product link on the
// themed dialog frame.
class AboutDialog : public AboutDialogBase {
public:
    AboutDialog() = default;

    // Shows the about dialog modally on the theme's dialog background, as the "About"
    // command does, and destroys it when it closes.
    static void Open(wxWindow* parent = nullptr);

private:
    wxDECLARE_DYNAMIC_CLASS(AboutDialog);
};
