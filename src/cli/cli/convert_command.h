#pragma once

#include "cli/cli_reporter.h"

#include <wx/arrstr.h>
#include <wx/string.h>

#include <optional>
#include <string>
#include <vector>

class DomainConvert;

// The command-line converter: turns images and folders of images into PDFs with the same
// conversion object, page settings and daily log as the desktop application.
class ConvertCommand {
public:
    // The exit statuses, which scripts and batch schedulers rely on.
    static constexpr int kStatusDone = 0;        // every file converted (or was skipped)
    static constexpr int kStatusFailed = 1;      // a file failed or was not converted
    static constexpr int kStatusUsage = 2;       // the command line is wrong
    static constexpr int kStatusCannotStart = 3; // a folder or file the run needs fails it

    // Runs the command; returns its exit status.
    int Run(const std::vector<std::string>& arguments);

    static const char* Usage();

    // What the command line asks for.
    struct Options {
        // An input path, or (`list`) a file naming one input path per line.
        struct Input {
            wxString text;
            bool list = false;
        };
        wxString outputDir;
        bool besideSource = false;
        std::optional<wxString> mergeName;
        std::optional<wxString> pageType;
        std::optional<std::pair<wxString, wxString>> size;
        std::optional<std::vector<wxString>> margins;
        std::optional<wxString> author;
        std::optional<wxString> ownerPassword;
        std::optional<wxString> userPassword;
        std::optional<wxString> ownerPasswordFile;
        std::optional<wxString> userPasswordFile;
        bool noCopy = false;
        bool noPrint = false;
        wxString pdfa;                        // "1b", "2b", "3b"; empty for a plain PDF
        std::optional<wxString> flattenAlpha; // PDF/A-1b: the colour, as #RRGGBB
        bool reduceDepth = false;             // PDF/A-1b: 16-bit samples written as 8-bit
        bool attachOriginals = false;         // PDF/A-3b: the images embedded
        bool allImages = false;               // every image of a HEIF or AVIF file a page
        wxString ocr;                         // OCR languages ("eng+deu"); empty for none
        bool ocrSidecar = false;              // the recognised text beside each PDF too
        bool skipExisting = false;
        bool jsonReport = false;
        bool nullSeparated = false; // lists name their paths separated by NUL, not newlines
        int jobs = 0;               // files converted at once; 0: one per processor
        // --shard K/N: this run takes the inputs K, K + N, K + 2N, ... of the whole list.
        int shardIndex = 0;
        int shardCount = 1;
        std::vector<Input> inputs;
    };

    // Parses the arguments; false with a message for a usage error.
    static bool Parse(const std::vector<std::string>& arguments, Options& options, wxString& error);

    // The most files converted at once with `processors` processors and `memory` bytes: two
    // per processor, one per GiB, at least one. A larger -j is lowered to it.
    static int MostJobs(int processors, unsigned long long memory);

private:
    // One file the run is about, before its row is built.
    struct Item {
        wxString input;  // as given
        wxString path;   // absolute (shown when the name is not valid UTF-8)
        wxString name;   // shown
        wxString reason; // why it fails before conversion, or empty
    };

    // The longest password taken, in bytes of UTF-8 (as the PDF service takes them).
    static constexpr size_t kMaxPasswordBytes = 4096;

    // The passwords from the options, their files or the environment, each checked as the
    // PDF service checks them. Returns the exit status of a failure (kStatusCannotStart a file
    // cannot be read, kStatusUsage) with a message, or 0.
    int ResolvePasswords(Options& options, wxString& error);
    // The first line of a password file into `text`, read no further than a password may be
    // long. Returns the exit status of a failure with a message (a UTF-16 file, a NUL byte, a
    // line too long are usage errors), or 0.
    static int ReadPasswordFile(const wxString& path, const wxString& source, std::string& text,
                                wxString& error);
    // The items of the inputs in order: files as given, folders listed in natural name order,
    // lists read. Returns false with a message when a list cannot be read.
    bool CollectItems(const Options& options, const wxArrayString& wildcards,
                      std::vector<Item>& items, wxString& error);
    void AddPath(const wxString& text, const wxArrayString& wildcards, std::vector<Item>& items);
    bool ReadList(const wxString& path, bool nullSeparated, const wxArrayString& wildcards,
                  std::vector<Item>& items, wxString& error);
    void ApplyPageSettings(const Options& options);
    // Why the page settings of the run cannot be honoured, or an empty string.
    static wxString CheckSecurity(const Options& options);
    // Why an archival document cannot be made with the run's security, or an empty string.
    // `securityGiven`: the command line itself asked for a password or a restriction.
    static wxString CheckArchive(bool securityGiven);
    // --extract-originals PDF DIR: the exit status.
    static int ExtractOriginals(const std::vector<std::string>& arguments);
};
