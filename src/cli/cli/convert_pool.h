#pragma once

#include "domain/domain_convert.h"
#include "domain/job_settings.h"

#include <wx/event.h>

// Runs a one-PDF-per-image job on several threads at once. Each thread has its own
// conversion object and takes the next row when it has finished one, so that large and small
// images share the threads evenly; each row is the engine's one-file pass (its own temporary
// folder and service, the PDF placed in one step, its log line). A stop request lets the
// files in hand finish and leaves the rest. Threads that cannot be started (a process limit)
// are done without: the rows go to those that started, or to the calling thread. Logs "Begin" and
// "Finish" around the job and queues conversion-finished with the number of files written, as the
// worker does.
class ConvertPool {
public:
    static int Run(const ConvertJob& job, const JobSettings& settings, wxEvtHandler* target,
                   int threads);
};
