#pragma once

#include <wx/event.h>
#include <wx/string.h>

#include <cstdint>
#include <cstdio>
#include <mutex>
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
        wxString reason;    // why it failed, or what its conversion changed
        int pages = -1;     // pages of the PDF; -1 unknown
        int64_t bytes = -1; // size of the PDF; -1 unknown
    };

    // `human` gets the progress lines and the summary; `json`, when not null, one JSON line
    // per file.
    CliReporter(std::vector<Row> rows, bool merge, FILE* human, FILE* json);

    void QueueEvent(wxEvent* event) override;

    // Outcomes decided before the conversion: the file is not handed to the engine.
    void Fail(size_t row, const wxString& reason);
    void Skip(size_t row);

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

    std::mutex m_mutex;
    std::vector<Row> m_rows;
    bool m_merge;
    FILE* m_out;
    FILE* m_json;
    bool m_terminal;
    int m_written = 0;
    bool m_lineOpen = false;
    bool m_stopShown = false;
};
