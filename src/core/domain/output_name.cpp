#include "domain/output_name.h"

#include <cstring>

namespace {
const char kReserved[] = "\\/|:*?\"<>";
} // namespace

wxString OutputName::Trimmed(const wxString& name) {
    return wxString(name).Trim(true).Trim(false);
}

wxString OutputName::CheckTyped(const wxString& name) {
    const wxString safe = CheckSafe(name);
    if (!safe.empty()) {
        return safe;
    }
    for (wxUniChar c : name) {
        if (c < 0x20 || c == 0x7F) {
            return "the output name holds a control character";
        }
        if (wxString(kReserved).Find(c) != wxNOT_FOUND) {
            return "the output name \"" + name + "\" holds " + wxString(c) +
                   ", which file names may not hold";
        }
    }
    if (std::strlen(Trimmed(name).utf8_str()) + std::strlen(".pdf") > 255) {
        return "the output name is longer than a file name may be";
    }
    return wxString();
}

wxString OutputName::CheckSafe(const wxString& name) {
    const wxString trimmed = Trimmed(name);
    if (trimmed.empty()) {
        return "the output name is empty";
    }
    if (name.Contains("/") || name.Contains("\\") || trimmed == "." || trimmed == "..") {
        return "the output name \"" + name + "\" is not a plain file name";
    }
    return wxString();
}
