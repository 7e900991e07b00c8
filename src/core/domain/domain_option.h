#pragma once

#include <wx/string.h>

// The web links of the installation ("option.cfg"), loaded into the named settings under
// "url:" + link name.
class DomainOption {
public:
    virtual ~DomainOption() = default;

    // Loads every child of the first /setting/url element. Returns false when the file is
    // missing, does not parse or has no /setting/url; every link is then empty.
    bool Load();

    // The address of a link ("help", "support", "product", "update"); empty when absent.
    static wxString GetLink(const wxString& name);
};
