#pragma once

#include <wx/string.h>

#include <map>

// The two process-wide setting tables through which the parts of the application exchange
// settings: keyed settings (small integer keys) and named settings (text keys). An absent key
// reads as the empty string. Flags are stored as "1" and "0".
//
// Conversion workers read the tables while the user interface may write other keys, so every
// access takes a lock and values are handed out as copies.
class DomainSettings {
public:
    enum Key {
        kOutputDir = 1,        // output folder
        kSaveBesideSource = 2, // "1": target files go into each source's folder
        kMerge = 3,            // "1": merge into one file is checked
        kMergeOffered = 4,     // "1": the product offers merging
        kMergeName = 5,        // file name of the merged output, without extension
        kOutputType = 6,       // default text of the output-type cell
        kStatusColumn = 9,     // grid column index of the status column
    };

    static wxString GetKeyed(int key);
    static void SetKeyed(int key, const wxString& value);
    // The keyed setting read as a decimal integer, 0 when it is not a number.
    static int GetKeyedInt(int key);

    static wxString GetNamed(const wxString& key);
    static void SetNamed(const wxString& key, const wxString& value);
    static bool HasNamed(const wxString& key);
    // Copies of every named setting whose key starts with `prefix`.
    static std::map<wxString, wxString> GetNamedWithPrefix(const wxString& prefix);
};
