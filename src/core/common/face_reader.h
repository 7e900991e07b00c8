#pragma once

#include "common/face_entry.h"

#include <wx/string.h>

#include <string>

// The process-wide face table, filled from the theme's "face.xml": every element that has
// attributes is stored under its path ("/face/toolbar/font"); "x", "y" and "width" set those
// values and any other attribute sets `height`.
//
// Loads a face file into the table (a later file's entries replace those of the same path).
// Returns 0 when the file was opened, parsed cleanly or not (entries read before an error
// stay), and -1 when it cannot be opened.
int LoadFace(const wxString& path);

// Loads a face description held in memory, as LoadFace does a file.
int LoadFaceText(const std::string& text);

// The face of the default theme, compiled in: the windows keep their layout when the
// installation's face file is missing.
const char* GetBuiltInFace();

// The entry stored under a path; an all-zero entry for a path the face does not define.
const FaceEntry& GetFaceEntry(const wxString& path);
