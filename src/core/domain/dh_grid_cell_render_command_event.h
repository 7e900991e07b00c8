#pragma once

#include "domain/convert_failure.h"

#include <wx/event.h>

// Progress or status of one cell of the file list, sent by conversion workers. The inherited
// integer is the percent; the extra long, at 100 %, the pages written; for a failure, the
// string is the English reason and the failure kind says what went wrong. A thread event
// (wxBase), as the engine runs without the GUI library; its copies own their string.
class DhGridCellRenderCommandEvent : public wxThreadEvent {
public:
    enum State {
        kConverting = 0, // "Converting..."
        kProgress = 1,   // a progress bar with the percent
        kStopped = 2,    // "Stop"
        kFailed = 3,     // "Failed"
        kSkipped = 4,    // "Skipped": its PDF exists and the user kept it
    };

    DhGridCellRenderCommandEvent(wxEventType type, int id, int row, int column, int state);

    int GetRow() const { return m_row; }
    int GetColumn() const { return m_column; }
    int GetState() const { return m_state; }
    int GetPercent() const { return GetInt(); }
    int GetPages() const { return static_cast<int>(GetExtraLong()); }
    ConvertFailure::Kind GetFailureKind() const { return m_failure; }
    void SetFailure(const ConvertFailure& failure) {
        m_failure = failure.kind;
        SetString(failure.reason);
    }

    wxEvent* Clone() const override { return new DhGridCellRenderCommandEvent(*this); }

private:
    int m_row;
    int m_column;
    int m_state;
    ConvertFailure::Kind m_failure = ConvertFailure::Kind::kNone;
};
