#include "thread/convert_worker.h"

#include "common/platform.h"

#include <set>

void* ConvertWorker::AddFilesWorker(void* record) {
    std::unique_ptr<AddFilesTask> task(static_cast<AddFilesTask*>(record));
    task->convert->AddFiles(task->paths);
    return nullptr;
}

void* ConvertWorker::AddFolderWorker(void* record) {
    std::unique_ptr<AddFolderTask> task(static_cast<AddFolderTask*>(record));
    task->convert->AddFolder(task->folder);
    return nullptr;
}

void* ConvertWorker::ConvertWorkerProc(void* record) {
    std::unique_ptr<ConvertTask> task(static_cast<ConvertTask*>(record));
    DomainConvert* convert = task->convert;
    // Part files that killed runs left where this job writes.
    std::set<wxString> folders;
    for (const auto& [row, cells] : *task->job) {
        folders.insert(task->settings.saveBesideSource && cells.size() > FileRowInfo::kSourceDir
                           ? cells[FileRowInfo::kSourceDir]
                           : task->settings.outputDir);
    }
    for (const wxString& folder : folders) {
        Platform::RemoveStalePartFiles(folder);
    }
    // The log is for scripts and support: English.
    convert->WriteLog("Begin", wxString(), 0);
    const int written = convert->Run(*task->job, task->settings);
    convert->WriteLog("Finish", wxString(), 0);
    task.reset();
    if (const std::shared_ptr<EventChannel> channel = convert->GetChannel()) {
        auto* event = new wxThreadEvent(EVT_CONVERSION_FINISHED);
        event->SetInt(written);
        channel->Post(event);
    }
    return nullptr;
}
