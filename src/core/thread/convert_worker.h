#pragma once

#include "domain/domain_convert.h"

#include <wx/arrstr.h>
#include <wx/string.h>

#include <memory>

// The records the worker procedures take over, and the procedures themselves (the bodies of
// the worker threads of the conversion engine). Each procedure deletes its record.
struct AddFilesTask {
    DomainConvert* convert;
    wxArrayString paths; // files and folders
};

struct AddFolderTask {
    DomainConvert* convert;
    wxString folder;
};

struct ConvertTask {
    DomainConvert* convert;
    std::unique_ptr<ConvertJob> job;
    JobSettings settings = JobSettings::Capture();
    int threads = 1; // a merge takes one
};

class ConvertWorker {
public:
    static void* AddFilesWorker(void* record);
    static void* AddFolderWorker(void* record);
    // Runs the job as a ConvertRun.
    static void* ConvertWorkerProc(void* record);
};
