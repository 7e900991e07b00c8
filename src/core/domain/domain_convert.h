#pragma once

#include "domain/dh_grid_cell_render_command_event.h"
#include "domain/file_row_info.h"
#include "domain/job_settings.h"
#include "thread/event_channel.h"

#include <wx/arrstr.h>
#include <wx/event.h>
#include <wx/string.h>

#include <atomic>
#include <map>
#include <memory>

class wxTimer;

// The rows of one conversion job: grid row index to that row's cell texts. Visited in
// ascending row order, so that merged pages follow the list.
using ConvertJob = std::map<int, wxArrayString>;

// The events a conversion object sends to its target (the file list). Files-loaded carries
// 1 with the new rows as its payload (a FileRowArray* the receiver takes over), or 0 for a
// folder without images; conversion-finished carries the number of files written. Texts in
// events and rows are English: the window translates them when it shows them.
wxDECLARE_EVENT(EVT_FILES_LOADED, wxThreadEvent);
wxDECLARE_EVENT(EVT_CELL_RENDER, DhGridCellRenderCommandEvent);
wxDECLARE_EVENT(EVT_CONVERSION_FINISHED, wxThreadEvent);

// The run state of conversions: 1 running, 2 stop requested.
extern std::atomic<int> ConvertState;

// The product-independent conversion object: turns paths into file-list rows, runs
// conversion jobs and reports to its target by queued events. Its operations run on worker
// threads; it never touches a window.
class DomainConvert {
public:
    // A stop ends a one-file-per-image job after the file in hand and lets a merge finish;
    // abandoning (the window closes) cancels a merge too.
    enum RunState { kRunning = 1, kStopRequested = 2, kAbandonRequested = 3 };

    DomainConvert() = default;
    virtual ~DomainConvert() = default;
    DomainConvert(const DomainConvert&) = delete;
    DomainConvert& operator=(const DomainConvert&) = delete;

    // Sets the row's flagged field when the file is empty.
    virtual void CheckRow(FileRowInfo& row);
    virtual wxString GetOutputExt() const;
    virtual wxString GetFileFilter() const;
    virtual wxArrayString GetWildcards() const;
    virtual bool IsSupportedExt(const wxString& extension) const;
    virtual int GetProgress() const;
    // Converts the job's rows with the settings copied when it started; returns the number
    // of files written.
    virtual int Run(ConvertJob& job, const JobSettings& settings);
    // The same with the settings as they are now.
    int Run(ConvertJob& job) { return Run(job, JobSettings::Capture()); }
    // Lists the folder's matching files and sends their rows (worker thread).
    virtual void AddFolder(const wxString& folder);
    // Sends the rows of the paths, in order; a folder among them stands for its matching
    // files (worker thread).
    virtual void AddFiles(const wxArrayString& paths);
    // Appends the regular files directly inside the folder that match the wildcards, in
    // natural name order ("scan2.png" before "scan10.jpg"); returns how many were found.
    size_t ListFolder(const wxString& folder, wxArrayString& paths) const;
    virtual void Stop();
    void Abandon() { ConvertState = kAbandonRequested; }
    static bool StopRequested() { return ConvertState >= kStopRequested; }

    // Rows for a list of file paths, in the given order (empty paths are dropped).
    FileRowArray* BuildRowsFromPaths(const wxArrayString& paths);

    // Queues a cell-render event: progress (state 1, percent done * 100 / total); at 100 %,
    // the pages of the PDF written and the service's notes on what it changed (English, as
    // reasons are), if any.
    void PostProgress(int done, int total, int row, int column, int pages = 0,
                      const wxString& note = wxString());
    // Queues a cell-render event with a state; a failure carries its kind and reason.
    void PostStatus(int row, int column, int state, const ConvertFailure& failure = {});
    // Appends "first [second] [code]" to today's log, control characters escaped.
    void WriteLog(const wxString& first, const wxString& second, int code);

    // The receiver of the events, and the window id they carry: a new channel to it. Only
    // while no job or load runs.
    void SetTarget(wxEvtHandler* handler, int id = wxID_ANY);
    // The channel the events go through (null before SetTarget).
    std::shared_ptr<EventChannel> GetChannel() const { return channel; }
    // Ends the delivery to the receiver, which is going away; workers still running post
    // into the closed channel.
    void CloseChannel();
    // Posts into an existing channel (another thread's object of the same job).
    void SetChannel(std::shared_ptr<EventChannel> shared) { channel = std::move(shared); }
    // A new conversion object of the same product, for another thread of a job.
    virtual std::unique_ptr<DomainConvert> NewConverter() const;

    wxTimer* progressTimer = nullptr;
    int currentColumn = 0;
    int currentRow = -1;
    bool timerDriven = false;

protected:
    // Fills the cells of a row for a path; the PDF classes add the product-type cell.
    virtual void FillRow(FileRowInfo& row, const wxString& path);
    // Queues files-loaded: with the rows, or 0 when there are none (null).
    void SendRows(FileRowArray* rows);

    // Set before workers start; closed, never replaced, while they may run.
    std::shared_ptr<EventChannel> channel;
};
