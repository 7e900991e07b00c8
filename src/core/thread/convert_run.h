#pragma once

#include "domain/domain_convert.h"
#include "domain/job_settings.h"

#include <wx/string.h>

// One conversion job from start to end, as the window and the command-line converter both run
// it: the left-overs of killed runs removed where the job writes, the "Begin" and "Finish" log
// lines, a row whose PDF another row of the job already makes refused, the rows converted on
// one or more threads (as many as start), and conversion-finished with the number of files
// written. Every event goes through the conversion object's channel.
class ConvertRun {
public:
    // `convert` converts on the calling thread; further threads get conversion objects of the
    // same product that post to the same channel.
    ConvertRun(DomainConvert& convert, const JobSettings& settings)
        : m_convert(convert), m_settings(settings) {}

    // Where a row's PDF goes with these settings: the output folder (or the image's own) and
    // the row's output name, or the merged PDF's name.
    static wxString OutputPath(const wxArrayString& cells, const JobSettings& settings);

    // Runs the job (on the calling thread, a worker) with up to `threads` threads; a merge
    // takes one. Returns the number of PDFs written. The job is emptied.
    int Execute(ConvertJob& job, int threads);

private:
    // Fails the rows whose PDF an earlier row of the job makes, and leaves them out.
    void RefuseSharedOutputs(ConvertJob& job);
    int ConvertOnThreads(ConvertJob& job, int threads);

    DomainConvert& m_convert;
    const JobSettings& m_settings;
};
