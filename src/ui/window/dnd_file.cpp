#include "window/dnd_file.h"

#include "window/select_window.h"

bool DnDFile::OnDropFiles(wxCoord, wxCoord, const wxArrayString& filenames) {
    return owner->AddPaths(filenames, SelectWindow::Origin::kDrop);
}
