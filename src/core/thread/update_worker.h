#pragma once

#include "domain/domain_config.h"
#include "domain/update_fetcher.h"
#include "domain/update_status.h"
#include "thread/event_channel.h"

#include <wx/event.h>

#include <memory>
#include <string>

// The update-result event: its int is an UpdateStatus, its string the version found (empty
// when the check failed), its extra long the task's id.
wxDECLARE_EVENT(EVT_UPDATE_RESULT, wxThreadEvent);

// Everything a check needs, copied on the user-interface thread before the worker starts.
struct UpdateTask {
    std::string url;     // the update description's address
    ProxyRecord proxy;   // the proxy settings of the run
    std::string product; // this application's display name, UTF-8
    std::string running; // the running version
    UpdateLimits limits;
    long id = 0; // handed back with the result, so that a window can tell checks apart
    std::shared_ptr<EventChannel> channel; // closed when the window gives up on the check
};

class UpdateWorker {
public:
    // The whole check: fetch, find the product, compare versions. `version` is the version
    // found (set for kNewer and kLatest).
    static UpdateStatus Check(const UpdateTask& task, std::string& version);

    // Body of the update thread: runs Check and posts the update-result event. Takes over
    // and deletes its UpdateTask record.
    static void* UpdateWorkerProc(void* record);

    // Starts the check on a detached worker thread; false when no thread could start (the
    // task is then deleted).
    static bool Start(UpdateTask* task);
};
