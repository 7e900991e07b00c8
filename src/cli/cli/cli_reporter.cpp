#include "cli/cli_reporter.h"

#include "domain/domain_convert.h"

#include <memory>
#include <unistd.h>

CliReporter::CliReporter(std::vector<Row> rows, bool merge, FILE* out)
    : m_rows(std::move(rows)), m_merge(merge), m_out(out),
      m_terminal(::isatty(::fileno(out)) != 0) {}

void CliReporter::QueueEvent(wxEvent* raw) {
    std::unique_ptr<wxEvent> event(raw);
    if (event->GetEventType() == EVT_CONVERSION_FINISHED) {
        m_written = static_cast<wxThreadEvent*>(event.get())->GetInt();
        return;
    }
    if (event->GetEventType() != EVT_CELL_RENDER) {
        return;
    }
    const auto* cell = static_cast<DhGridCellRenderCommandEvent*>(event.get());
    const auto row = static_cast<size_t>(cell->GetRow());
    if (row >= m_rows.size()) {
        return;
    }
    Row& entry = m_rows[row];
    switch (cell->GetState()) {
    case DhGridCellRenderCommandEvent::kProgress:
        if (cell->GetPercent() >= 100) {
            entry.outcome = Row::Outcome::Converted;
            Finish(row);
        } else {
            Show(row, cell->GetPercent());
        }
        break;
    case DhGridCellRenderCommandEvent::kFailed:
        entry.outcome = Row::Outcome::Failed;
        entry.reason = cell->GetString();
        Finish(row);
        break;
    case DhGridCellRenderCommandEvent::kStopped:
        // The file in hand finished before the stop; it keeps its outcome.
        std::fprintf(m_out, "Stopped.\n");
        break;
    default:
        break;
    }
    std::fflush(m_out);
}

void CliReporter::Show(size_t row, int percent) {
    if (!m_terminal) {
        return;
    }
    const wxString verb = m_merge ? "adding" : "converting";
    std::fprintf(m_out, "\r\033[K[%zu/%zu] %s %s %d%%", row + 1, m_rows.size(),
                 static_cast<const char*>(verb.utf8_str()),
                 static_cast<const char*>(m_rows[row].name.utf8_str()), percent);
    m_lineOpen = true;
}

void CliReporter::Finish(size_t row) {
    const Row& entry = m_rows[row];
    if (m_lineOpen) {
        std::fprintf(m_out, "\r\033[K");
        m_lineOpen = false;
    }
    if (entry.outcome == Row::Outcome::Converted) {
        std::fprintf(m_out, "[%zu/%zu] %s -> %s\n", row + 1, m_rows.size(),
                     static_cast<const char*>(entry.name.utf8_str()),
                     static_cast<const char*>(entry.output.utf8_str()));
    } else {
        std::fprintf(m_out, "[%zu/%zu] %s: failed: %s\n", row + 1, m_rows.size(),
                     static_cast<const char*>(entry.name.utf8_str()),
                     static_cast<const char*>(entry.reason.utf8_str()));
    }
}

bool CliReporter::PrintSummary() {
    int converted = 0;
    int failed = 0;
    int notConverted = 0;
    for (const Row& row : m_rows) {
        converted += row.outcome == Row::Outcome::Converted ? 1 : 0;
        failed += row.outcome == Row::Outcome::Failed ? 1 : 0;
        notConverted += row.outcome == Row::Outcome::Pending ? 1 : 0;
    }
    std::fprintf(m_out, "\n%d converted, %d failed", converted, failed);
    if (notConverted > 0) {
        std::fprintf(m_out, ", %d not converted", notConverted);
    }
    std::fprintf(m_out, "\n");
    if (failed > 0) {
        std::fprintf(m_out, "Failed:\n");
        for (const Row& row : m_rows) {
            if (row.outcome == Row::Outcome::Failed) {
                std::fprintf(m_out, "  %s: %s\n", static_cast<const char*>(row.name.utf8_str()),
                             static_cast<const char*>(row.reason.utf8_str()));
            }
        }
    }
    return failed == 0 && notConverted == 0;
}
