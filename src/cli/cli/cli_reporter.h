#pragma once

#include <wx/event.h>
#include <wx/string.h>

#include <cstdio>
#include <vector>

// The target of the conversion engine in the command-line converter: shows each file's
// progress (a line updated in place on a terminal, one line per file otherwise) and keeps
// the outcome of every row for the summary. The engine runs on the calling thread, so events
// are handled as they are queued.
class CliReporter : public wxEvtHandler {
public:
    struct Row {
        wxString name;   // the image's file name
        wxString output; // the PDF it becomes
        enum class Outcome { Pending, Converted, Failed, Stopped } outcome = Outcome::Pending;
        wxString reason;
    };

    CliReporter(std::vector<Row> rows, bool merge, FILE* out);

    void QueueEvent(wxEvent* event) override;

    const std::vector<Row>& Rows() const { return m_rows; }
    int FilesWritten() const { return m_written; }
    // Prints "N converted, M failed" and the failed files with their reasons; returns true
    // when every file converted.
    bool PrintSummary();

private:
    void Show(size_t row, int percent);
    void Finish(size_t row);

    std::vector<Row> m_rows;
    bool m_merge;
    FILE* m_out;
    bool m_terminal;
    int m_written = 0;
    bool m_lineOpen = false;
};
