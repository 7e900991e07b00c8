#pragma once

#include <wx/arrstr.h>
#include <wx/string.h>

#include <optional>
#include <string>
#include <vector>

// The command-line converter: turns images and folders of images into PDFs with the same
// conversion object, page settings and daily log as the desktop application.
class ConvertCommand {
public:
    // Runs the command; returns the exit status: 0 every file converted, 1 a file failed,
    // 2 a usage error.
    int Run(const std::vector<std::string>& arguments);

    static const char* Usage();

private:
    struct Options {
        wxString outputDir;
        bool besideSource = false;
        std::optional<wxString> mergeName;
        std::optional<wxString> pageType;
        std::optional<std::pair<wxString, wxString>> size;
        std::optional<std::vector<wxString>> margins;
        std::optional<wxString> author;
        std::optional<wxString> ownerPassword;
        std::optional<wxString> userPassword;
        bool noCopy = false;
        bool noPrint = false;
        wxArrayString inputs;
    };

    // Parses the arguments; false with a message for a usage error.
    bool Parse(const std::vector<std::string>& arguments, Options& options, wxString& error);
    // The images of the inputs: files as given, folders listed as the application lists them.
    wxArrayString CollectImages(const wxArrayString& inputs, const wxArrayString& wildcards);
    void ApplyPageSettings(const Options& options);
};
