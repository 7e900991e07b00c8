#pragma once

#include <libxml/xpath.h>
#include <wx/string.h>

// The page settings of the PDFs (page type or size, margins, author, subject, archive format,
// passwords and permissions), read from "page.xml" into the named settings and written back.
//
// The installation's default page file is copied to the user data folder on the first run,
// and again whenever an installed default carries a higher version.
class DomainPage {
public:
    virtual ~DomainPage() = default;

    // Reads the page settings into the named settings. Returns false when the installation's
    // default page file is missing or damaged; built-in settings are then used.
    bool Load();
    // Writes the page type, custom size, size selection, margins, author and archive format
    // ("page:pdfa": "1b", "2b", "3b" or empty) into the user page file.
    bool Save();
    // Sets the content of every node the expression finds; 0, or -1 when it cannot be
    // evaluated.
    int SetNodes(xmlXPathContext* context, const char* expression, const wxString& value);

    // The decimal number at the start of a text ("1.10" reads as 1.1, "12mm" as 12; text that
    // is no number reads as 0), independent of the locale: versions and page sizes.
    static double ParseDecimal(const char* text);

    // A length in millimetres as a person types it: a decimal number with "." or "," before
    // its decimals and an optional sign, blanks around it ("12.7", "12,7", " 210 ", "-5").
    // False for anything else (empty text, "abc", "1e3", "12.7mm", "1.2.3").
    static bool ParseMillimetres(const wxString& text, double& value);
    // The number as the page file and the named settings store it, independent of the
    // locale: "210", "12.7". With `decimals` at 0 or more, rounded to that many decimals
    // ("215.9" for 215.899999 with 2); the shortest text that reads back as the same number
    // otherwise. No trailing zeros.
    static wxString FormatMillimetres(double value, int decimals = -1);

    // The built-in page file, used when the installation's default page file is damaged.
    static const char* GetBuiltInPageFile();
};
