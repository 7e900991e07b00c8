#include "thread/convert_worker.h"

#include "thread/convert_run.h"

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
    ConvertRun(*task->convert, task->settings).Execute(*task->job, task->threads);
    return nullptr;
}
