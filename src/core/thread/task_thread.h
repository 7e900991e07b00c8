#pragma once

#include <wx/thread.h>

// A detached worker thread carrying one user pointer and up to three procedures: `runProc`
// is its body, `startProc` runs in the constructor on the creating thread, `endProc` in the
// destructor on the worker. It deletes itself when its body returns.
class TaskThread : public wxThread {
public:
    using RunProc = void* (*)(void* userData);
    using HookProc = void (*)(void* userData);

    TaskThread(void* userData, RunProc runProc, HookProc startProc = nullptr,
               HookProc endProc = nullptr);
    ~TaskThread() override;

    // Creates and runs the thread. Returns false when it cannot start; the thread object is
    // then deleted and the record stays with the caller.
    static bool StartTask(TaskThread* thread);

protected:
    ExitCode Entry() override;

private:
    void* userData;
    RunProc runProc;
    HookProc startProc;
    HookProc endProc;
};
