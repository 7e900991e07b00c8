#pragma once

#include "domain/convert_failure.h"

#include <wx/event.h>
#include <wx/string.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

// The target of the conversion engine in the command-line converter: shows each file's
// progress (a line updated in place on a terminal, one line per file otherwise), writes one
// JSON line per file when asked, and keeps the outcome of every row for the summary. Events
// are handled as they are queued, from whichever thread converts.
class CliReporter : public wxEvtHandler {
public:
    struct Row {
        wxString name;   // the image's file name, as shown
        wxString input;  // the input as given (a folder's image: the folder as given + name)
        wxString output; // the PDF it becomes
        enum class Outcome { Pending, Converted, Failed, Skipped } outcome = Outcome::Pending;
        wxString reason; // why it failed, or what its conversion changed
        ConvertFailure::Kind failure = ConvertFailure::Kind::kNone; // the kind of a failure
        int pages = -1;                                             // pages of the PDF; -1 unknown
        int64_t bytes = -1;                                         // size of the PDF; -1 unknown
        int64_t inputBytes = -1;                                    // size of the image; -1 unknown
        std::string sha256; // of the PDF, in hexadecimal; empty when unknown
        double seconds = 0; // from the file's first progress (or its decision) to its end
    };

    // `human` gets the progress lines and the summary; `json`, when not null, one JSON line
    // per file, which names the converter's `version`.
    CliReporter(std::vector<Row> rows, bool merge, FILE* human, FILE* json,
                const wxString& version);

    void QueueEvent(wxEvent* event) override;

    // Outcomes decided before the conversion: the file is not handed to the engine.
    void Fail(size_t row, ConvertFailure::Kind kind, const wxString& reason);
    // `seconds`: how long deciding to skip took.
    void Skip(size_t row, double seconds);

    // The SHA-256 of a file's content in lowercase hexadecimal; empty when it cannot be read.
    static std::string FileSha256(const wxString& path);

    const std::vector<Row>& Rows() const { return m_rows; }
    int FilesWritten() const { return m_written; }
    // Prints "N converted, M failed" (and the skipped and not converted) and the failed files
    // with their reasons; writes the JSON lines of the files never reached. Returns true when
    // every file converted or was skipped.
    bool PrintSummary();

private:
    void Show(size_t row, int percent);
    void Finish(size_t row);
    void WriteJson(const Row& row);
    // The digest of a row's PDF, read once per PDF of a merge. Called without the lock.
    std::string OutputSha256(size_t row);

    using Clock = std::chrono::steady_clock;

    std::mutex m_mutex;
    std::vector<Row> m_rows;
    std::vector<Clock::time_point> m_started; // a row's first progress; zero before it
    std::string m_version;
    std::mutex m_mergeMutex;
    std::string m_mergeSha256; // the merged PDF's digest, once read
    bool m_merge;
    FILE* m_out;
    FILE* m_json;
    bool m_terminal;
    int m_written = 0;
    bool m_lineOpen = false;
    bool m_stopShown = false;
};
