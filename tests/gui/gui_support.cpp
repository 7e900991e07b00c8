#include "gui/gui_support.h"

// After the toolkit's headers: Xlib's macros (None, Status, Bool) would clash with them.
#include <X11/Xlib.h>

void Settle() {
    for (int round = 0; round < 2; ++round) {
        XSync(wxGetX11Display(), False);
        wxTheApp->Yield(true);
    }
}
