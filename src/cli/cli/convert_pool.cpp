#include "cli/convert_pool.h"

#include "domain/domain_convert_zuzur2aze.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

int ConvertPool::Run(const ConvertJob& job, const JobSettings& settings, wxEvtHandler* target,
                     int threads) {
    DomainConvertZUZUR2AZE logger;
    logger.WriteLog("Begin", wxString(), 0);

    std::mutex mutex;
    auto next = job.begin();
    std::atomic<int> written{0};
    auto work = [&] {
        DomainConvertZUZUR2AZE convert;
        convert.SetTarget(target);
        for (;;) {
            ConvertJob one;
            {
                std::lock_guard lock(mutex);
                if (next == job.end()) {
                    return;
                }
                if (DomainConvert::StopRequested()) {
                    // Rows are left: say that the job stopped (the target shows it once).
                    convert.PostStatus(next->first, settings.statusColumn,
                                       DhGridCellRenderCommandEvent::kStopped);
                    return;
                }
                one.insert(*next++);
            }
            written += convert.Run(one, settings);
        }
    };
    const int count = std::clamp(threads, 1, static_cast<int>(std::max<size_t>(job.size(), 1)));
    std::vector<std::thread> pool;
    try {
        for (int i = 1; i < count; ++i) {
            pool.emplace_back(work);
        }
    } catch (const std::system_error&) {
        // A limit on the user's processes (RLIMIT_NPROC, a control group's pids.max) lets
        // fewer threads start: those that did share the rows, down to this thread alone.
    }
    work();
    for (std::thread& thread : pool) {
        thread.join();
    }

    logger.WriteLog("Finish", wxString(), 0);
    if (target != nullptr) {
        auto* event = new wxThreadEvent(EVT_CONVERSION_FINISHED);
        event->SetInt(written);
        target->QueueEvent(event);
    }
    return written;
}
