#include "cli/cli_reporter.h"

#include "common/file_util.h"
#include "domain/domain_convert.h"

#include <nlohmann/json.hpp>
#include <openssl/evp.h>

#include <cmath>
#include <filesystem>
#include <fstream>
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

CliReporter::CliReporter(std::vector<Row> rows, bool merge, FILE* human, FILE* json,
                         const wxString& version)
    : m_rows(std::move(rows)), m_started(m_rows.size()), m_version(version.utf8_str()),
      m_merge(merge), m_out(human), m_json(json), m_terminal(::isatty(::fileno(human)) != 0) {}

std::string CliReporter::FileSha256(const wxString& path) {
    std::ifstream in(std::filesystem::path(std::string(path.utf8_str())), std::ios::binary);
    if (!in) {
        return std::string();
    }
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                    EVP_MD_CTX_free);
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) {
        return std::string();
    }
    std::vector<char> buffer(1 << 16);
    while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0) {
        if (EVP_DigestUpdate(context.get(), buffer.data(), static_cast<size_t>(in.gcount())) != 1) {
            return std::string();
        }
    }
    if (in.bad()) {
        return std::string();
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_DigestFinal_ex(context.get(), digest, &size) != 1) {
        return std::string();
    }
    static const char kHex[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < size; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 15];
    }
    return hex;
}

std::string CliReporter::OutputSha256(size_t row) {
    if (!m_merge) {
        return FileSha256(m_rows[row].output);
    }
    std::lock_guard lock(m_mergeMutex);
    if (m_mergeSha256.empty()) {
        m_mergeSha256 = FileSha256(m_rows[row].output);
    }
    return m_mergeSha256;
}

void CliReporter::QueueEvent(wxEvent* raw) {
    std::unique_ptr<wxEvent> event(raw);
    if (event->GetEventType() == EVT_CONVERSION_FINISHED) {
        std::lock_guard lock(m_mutex);
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
    const bool converted =
        cell->GetState() == DhGridCellRenderCommandEvent::kProgress && cell->GetPercent() >= 100;
    // Outputs never change once the rows are made: their PDF is read outside the lock, so
    // that the threads converting do not wait on each other's reading.
    const std::string sha256 = converted ? OutputSha256(row) : std::string();
    const int64_t bytes = converted ? FileSize(m_rows[row].output) : -1;
    std::lock_guard lock(m_mutex);
    Row& entry = m_rows[row];
    if (m_started[row] == Clock::time_point()) {
        m_started[row] = Clock::now();
    }
    switch (cell->GetState()) {
    case DhGridCellRenderCommandEvent::kProgress:
        if (converted) {
            entry.outcome = Row::Outcome::Converted;
            entry.reason = cell->GetString(); // what the conversion changed, if anything
            entry.pages = cell->GetPages();
            entry.bytes = bytes;
            entry.sha256 = sha256;
            Finish(row);
        } else {
            Show(row, cell->GetPercent());
        }
        break;
    case DhGridCellRenderCommandEvent::kFailed:
        entry.outcome = Row::Outcome::Failed;
        entry.reason = cell->GetString();
        entry.failure = cell->GetFailureKind();
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

void CliReporter::Fail(size_t row, ConvertFailure::Kind kind, const wxString& reason) {
    std::lock_guard lock(m_mutex);
    m_rows[row].outcome = Row::Outcome::Failed;
    m_rows[row].failure = kind;
    m_rows[row].reason = reason;
    Finish(row);
}

void CliReporter::Skip(size_t row, double seconds) {
    const std::string sha256 = OutputSha256(row);
    std::lock_guard lock(m_mutex);
    m_rows[row].outcome = Row::Outcome::Skipped;
    m_rows[row].bytes = FileSize(m_rows[row].output);
    m_rows[row].sha256 = sha256;
    m_rows[row].seconds = seconds;
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
    Row& entry = m_rows[row];
    if (m_started[row] != Clock::time_point()) {
        entry.seconds = std::chrono::duration<double>(Clock::now() - m_started[row]).count();
    }
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
        std::fprintf(m_out, "[%zu/%zu] %s: skipped, %s is done\n", row + 1, m_rows.size(),
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
    const char* failureClass = nullptr;
    if (row.outcome == Row::Outcome::Failed) {
        failureClass = ConvertFailure::ClassOf(row.failure);
        failureClass = failureClass != nullptr ? failureClass : "internal";
    }
    line["class"] = failureClass != nullptr ? nlohmann::ordered_json(failureClass) : nullptr;
    line["input_bytes"] = row.inputBytes >= 0 ? nlohmann::ordered_json(row.inputBytes) : nullptr;
    // Milliseconds are what a scheduler's accounting shows.
    line["seconds"] = std::round(row.seconds * 1000) / 1000;
    line["sha256"] = row.sha256.empty() ? nullptr : nlohmann::ordered_json(row.sha256);
    line["version"] = m_version;
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
