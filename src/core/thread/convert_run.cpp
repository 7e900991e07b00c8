#include "thread/convert_run.h"

#include "common/platform.h"
#include "common/temp_folder.h"
#include "domain/file_row_info.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>
#include <vector>

wxString ConvertRun::OutputPath(const wxArrayString& cells, const JobSettings& settings) {
    const wxString folder = settings.saveBesideSource && cells.size() > FileRowInfo::kSourceDir
                                ? cells[FileRowInfo::kSourceDir]
                                : settings.outputDir;
    const wxString name = settings.merge ? settings.mergeName
                          : cells.size() > FileRowInfo::kOutputName
                              ? cells[FileRowInfo::kOutputName]
                              : wxString();
    return folder + "/" + name + ".pdf";
}

int ConvertRun::Execute(ConvertJob& job, int threads) {
    // What killed runs left: their job folders, and part files where this job writes.
    TempFolder::RemoveStale();
    std::set<wxString> folders;
    for (const auto& [row, cells] : job) {
        folders.insert(OutputPath(cells, m_settings).BeforeLast('/'));
    }
    for (const wxString& folder : folders) {
        Platform::RemoveStalePartFiles(folder);
    }

    // The log is for scripts and support: English.
    m_convert.WriteLog("Begin", wxString(), 0);
    int written = 0;
    if (m_settings.merge) {
        written = m_convert.Run(job, m_settings);
    } else {
        RefuseSharedOutputs(job);
        written = ConvertOnThreads(job, threads);
    }
    job.clear();
    m_convert.WriteLog("Finish", wxString(), 0);
    if (const std::shared_ptr<EventChannel> channel = m_convert.GetChannel()) {
        auto* event = new wxThreadEvent(EVT_CONVERSION_FINISHED);
        event->SetInt(written);
        channel->Post(event);
    }
    return written;
}

void ConvertRun::RefuseSharedOutputs(ConvertJob& job) {
    // Two images of one job that would make the same PDF: the first makes it, the others
    // fail rather than replace it. A PDF from before the job is replaced as usual.
    std::map<wxString, wxString> made;
    for (auto it = job.begin(); it != job.end();) {
        const wxString output = OutputPath(it->second, m_settings);
        const wxString name = it->second[FileRowInfo::kFileName];
        const auto [first, inserted] = made.emplace(output, name);
        if (inserted) {
            ++it;
            continue;
        }
        const ConvertFailure failure(ConvertFailure::Kind::kOutputName,
                                     "another image of this run, " + first->second +
                                         ", makes the same PDF");
        m_convert.PostStatus(it->first, m_settings.statusColumn,
                             DhGridCellRenderCommandEvent::kFailed, failure);
        m_convert.WriteLog(it->second[FileRowInfo::kSourcePath], output + ": " + failure.reason, 0);
        it = job.erase(it);
    }
}

int ConvertRun::ConvertOnThreads(ConvertJob& job, int threads) {
    // Each thread takes the next row when it has finished one, so that large and small
    // images share the threads evenly; a stop lets the files in hand finish and leaves the
    // rest.
    std::mutex mutex;
    auto next = job.begin();
    std::atomic<int> written{0};
    auto work = [&](DomainConvert& convert) {
        for (;;) {
            ConvertJob one;
            {
                std::lock_guard lock(mutex);
                if (next == job.end()) {
                    return;
                }
                // The job's first row is in hand from its start: a stop ends the job after it.
                if (next != job.begin() && DomainConvert::StopRequested()) {
                    // Rows are left: say that the job stopped (the receiver shows it once).
                    convert.PostStatus(next->first, m_settings.statusColumn,
                                       DhGridCellRenderCommandEvent::kStopped);
                    return;
                }
                one.insert(*next++);
            }
            written += convert.Run(one, m_settings);
        }
    };
    const int count = std::clamp(threads, 1, static_cast<int>(std::max<size_t>(job.size(), 1)));
    std::vector<std::unique_ptr<DomainConvert>> converters;
    std::vector<std::thread> pool;
    try {
        for (int i = 1; i < count; ++i) {
            std::unique_ptr<DomainConvert> convert = m_convert.NewConverter();
            convert->SetChannel(m_convert.GetChannel());
            pool.emplace_back(work, std::ref(*convert));
            converters.push_back(std::move(convert));
        }
    } catch (const std::system_error&) {
        // A limit on the user's processes (RLIMIT_NPROC, a control group's pids.max) lets
        // fewer threads start: those that did share the rows, down to this thread alone.
    }
    work(m_convert);
    for (std::thread& thread : pool) {
        thread.join();
    }
    return written;
}
