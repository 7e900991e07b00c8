#pragma once

#include <wx/dnd.h>

class SelectWindow;

// Files and folders dropped on the file list are added like files chosen in the dialog.
class DnDFile : public wxFileDropTarget {
public:
    explicit DnDFile(SelectWindow* window) : owner(window) {}

    // True when a load was started (or queued behind the one that runs). Refused files are
    // reported once, after the drop has returned to the desktop.
    bool OnDropFiles(wxCoord x, wxCoord y, const wxArrayString& filenames) override;

private:
    SelectWindow* owner;
};
