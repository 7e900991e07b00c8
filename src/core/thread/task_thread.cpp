#include "thread/task_thread.h"

TaskThread::TaskThread(void* data, RunProc run, HookProc start, HookProc end)
    : wxThread(wxTHREAD_DETACHED), userData(data), runProc(run), startProc(start), endProc(end) {
    if (startProc != nullptr) {
        startProc(userData);
    }
}

TaskThread::~TaskThread() {
    if (endProc != nullptr) {
        endProc(userData);
    }
}

bool TaskThread::StartTask(TaskThread* thread) {
    if (thread->Create() != wxTHREAD_NO_ERROR || thread->Run() != wxTHREAD_NO_ERROR) {
        // A detached thread that never ran does not delete itself.
        delete thread;
        return false;
    }
    return true;
}

wxThread::ExitCode TaskThread::Entry() {
    if (runProc != nullptr) {
        runProc(userData);
    }
    return nullptr;
}
