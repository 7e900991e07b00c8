#pragma once

#include <wx/string.h>

// The rules for the name of an output PDF (without its ".pdf"), in one place for the window
// and the converter. Reasons are English; the window shows its own translated message.
class OutputName {
public:
    // Why a name that a user typed (a merged PDF's name, an edited output name) cannot be
    // used, or an empty string: nothing but blanks, "." or "..", a control character, one of
    // \ / | : * ? " < > (not allowed on the file systems PDFs are often copied to), or more
    // than a file name's 255 bytes with ".pdf". Blanks at either end do not count: they are
    // trimmed.
    static wxString CheckTyped(const wxString& name);
    // Why any name, typed or made from an image's file name, cannot name a file in the output
    // folder, or an empty string: nothing but blanks, a path separator, "." or "..".
    static wxString CheckSafe(const wxString& name);
    // The name as it is used: without blanks at either end.
    static wxString Trimmed(const wxString& name);
};
