#include "cli/cli_reporter.h"

#include "common/file_util.h"
#include "domain/domain_convert.h"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

namespace {
std::string Shown(const wxString& text) {
    return std::string(FileUtil::EscapeControls(text).utf8_str());
}

int64_t FileSize(const wxString& path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(std::string(path.utf8_str()), error);
    return error ? -1 : static_cast<int64_t>(size);
}

const char* StatusName(CliReporter::Row::Outcome outcome) {
    switch (outcome) {
    case CliReporter::Row::Outcome::Converted:
        return "converted";
    case CliReporter::Row::Outcome::Failed:
        return "failed";
    case CliReporter::Row::Outcome::Skipped:
        return "skipped";
    default:
        return "not converted";
    }
}
} // namespace

CliReporter::CliReporter(std::vector<Row> rows, bool merge, FILE* human, FILE* json)
    : m_rows(std::move(rows)), m_merge(merge), m_out(human), m_json(json),
      m_terminal(::isatty(::fileno(human)) != 0) {}

void CliReporter::QueueEvent(wxEvent* raw) {
    std::unique_ptr<wxEvent> event(raw);
    std::lock_guard lock(m_mutex);
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
            entry.reason = cell->GetString(); // what the conversion changed, if anything
            entry.pages = cell->GetPages();
            entry.bytes = FileSize(entry.output);
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
        // The files in hand finished before the stop; they keep their outcome. Several
        // workers each report the stop: it is shown once.
        if (!m_stopShown) {
            std::fprintf(m_out, "Stopped.\n");
            m_stopShown = true;
        }
        break;
    default:
        break;
    }
    std::fflush(m_out);
}

void CliReporter::Fail(size_t row, const wxString& reason) {
    std::lock_guard lock(m_mutex);
    m_rows[row].outcome = Row::Outcome::Failed;
    m_rows[row].reason = reason;
    Finish(row);
}

void CliReporter::Skip(size_t row) {
    std::lock_guard lock(m_mutex);
    m_rows[row].outcome = Row::Outcome::Skipped;
    m_rows[row].bytes = FileSize(m_rows[row].output);
    Finish(row);
}

void CliReporter::Show(size_t row, int percent) {
    if (!m_terminal) {
        return;
    }
    std::fprintf(m_out, "\r\033[K[%zu/%zu] %s %s %d%%", row + 1, m_rows.size(),
                 m_merge ? "adding" : "converting", Shown(m_rows[row].name).c_str(), percent);
    m_lineOpen = true;
}

void CliReporter::Finish(size_t row) {
    const Row& entry = m_rows[row];
    if (m_lineOpen) {
        std::fprintf(m_out, "\r\033[K");
        m_lineOpen = false;
    }
    const std::string name = Shown(entry.name);
    switch (entry.outcome) {
    case Row::Outcome::Converted: {
        const std::string note = entry.reason.empty() ? "" : " (" + Shown(entry.reason) + ")";
        std::fprintf(m_out, "[%zu/%zu] %s -> %s%s\n", row + 1, m_rows.size(), name.c_str(),
                     Shown(entry.output).c_str(), note.c_str());
        break;
    }
    case Row::Outcome::Skipped:
        std::fprintf(m_out, "[%zu/%zu] %s: skipped, %s is newer\n", row + 1, m_rows.size(),
                     name.c_str(), Shown(entry.output).c_str());
        break;
    default:
        std::fprintf(m_out, "[%zu/%zu] %s: failed: %s\n", row + 1, m_rows.size(), name.c_str(),
                     Shown(entry.reason).c_str());
        break;
    }
    std::fflush(m_out);
    WriteJson(entry);
}

void CliReporter::WriteJson(const Row& row) {
    if (m_json == nullptr) {
        return;
    }
    nlohmann::ordered_json line;
    line["input"] = std::string(row.input.utf8_str());
    line["output"] = std::string(row.output.utf8_str());
    line["status"] = StatusName(row.outcome);
    line["pages"] = row.pages >= 0 ? nlohmann::ordered_json(row.pages) : nullptr;
    line["bytes"] = row.bytes >= 0 ? nlohmann::ordered_json(row.bytes) : nullptr;
    line["reason"] = std::string(row.reason.utf8_str());
    // One write per line, flushed, so that a scheduler reading the stream sees whole lines.
    const std::string text =
        line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
    std::fwrite(text.data(), 1, text.size(), m_json);
    std::fflush(m_json);
}

bool CliReporter::PrintSummary() {
    std::lock_guard lock(m_mutex);
    int converted = 0;
    int failed = 0;
    int skipped = 0;
    int notConverted = 0;
    for (const Row& row : m_rows) {
        converted += row.outcome == Row::Outcome::Converted ? 1 : 0;
        failed += row.outcome == Row::Outcome::Failed ? 1 : 0;
        skipped += row.outcome == Row::Outcome::Skipped ? 1 : 0;
        if (row.outcome == Row::Outcome::Pending) {
            ++notConverted;
            WriteJson(row);
        }
    }
    std::fprintf(m_out, "\n%d converted, %d failed", converted, failed);
    if (skipped > 0) {
        std::fprintf(m_out, ", %d skipped", skipped);
    }
    if (notConverted > 0) {
        std::fprintf(m_out, ", %d not converted", notConverted);
    }
    std::fprintf(m_out, "\n");
    if (failed > 0) {
        std::fprintf(m_out, "Failed:\n");
        for (const Row& row : m_rows) {
            if (row.outcome == Row::Outcome::Failed) {
                std::fprintf(m_out, "  %s: %s\n", Shown(row.name).c_str(),
                             Shown(row.reason).c_str());
            }
        }
    }
    std::fflush(m_out);
    return failed == 0 && notConverted == 0;
}
