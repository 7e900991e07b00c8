#include "thread/update_worker.h"

#include "domain/update_description.h"
#include "domain/version_number.h"
#include "thread/task_thread.h"

wxDEFINE_EVENT(EVT_UPDATE_RESULT, wxThreadEvent);

UpdateStatus UpdateWorker::Check(const UpdateTask& task, std::string& version) {
    version.clear();
    std::string body;
    const UpdateStatus fetched =
        UpdateFetcher::Fetch(task.url, task.proxy, task.limits,
                             task.channel ? task.channel->ClosedFlag() : nullptr, body);
    if (fetched != UpdateStatus::kFetched) {
        return fetched;
    }
    std::string found;
    switch (UpdateDescription::FindVersion(body, task.product, found)) {
    case UpdateDescription::kMalformed:
        return UpdateStatus::kInvalidDescription;
    case UpdateDescription::kMissing:
        return UpdateStatus::kProductMissing;
    case UpdateDescription::kFound:
        break;
    }
    int order = 0;
    if (!VersionNumber::Compare(task.running, found, order)) {
        return UpdateStatus::kInvalidDescription;
    }
    version = found;
    return order < 0 ? UpdateStatus::kNewer : UpdateStatus::kLatest;
}

void* UpdateWorker::UpdateWorkerProc(void* record) {
    std::unique_ptr<UpdateTask> task(static_cast<UpdateTask*>(record));
    std::string version;
    const UpdateStatus status = Check(*task, version);
    if (task->channel) {
        auto* event = new wxThreadEvent(EVT_UPDATE_RESULT, 0);
        event->SetInt(static_cast<int>(status));
        event->SetString(wxString::FromUTF8(version));
        event->SetExtraLong(task->id);
        task->channel->Post(event);
    }
    return nullptr;
}

bool UpdateWorker::Start(UpdateTask* task) {
    if (!TaskThread::StartTask(new TaskThread(task, UpdateWorkerProc))) {
        delete task;
        return false;
    }
    return true;
}
