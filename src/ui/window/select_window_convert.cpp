// Converting the rows of the list: the checks before a job, the job itself on a worker, and
// the live status of each row.
#include "window/select_window.h"

#include "app/app_util.h"
#include "domain/domain_convert.h"
#include "domain/domain_settings.h"
#include "domain/job_settings.h"
#include "thread/convert_worker.h"
#include "thread/task_thread.h"
#include "window/file_grid_table.h"
#include "window/notify_code.h"
#include "window/xy_grid.h"

#include <wx/button.h>
#include <wx/filename.h>
#include <wx/msgdlg.h>
#include <wx/textdlg.h>
#include <wx/valtext.h>

#include <memory>

namespace {
// The output folder's problem, or an empty string when files can be written into it.
wxString CheckOutputFolder(const wxString& folder) {
    if (folder.empty() || !wxFileName::Exists(folder)) {
        return _("Select an output folder.");
    }
    if (!wxFileName::DirExists(folder) || !wxFileName::IsDirWritable(folder)) {
        return _("The folder is unwritable, please choose another one!");
    }
    return wxString();
}
} // namespace

void SelectWindow::ConvertRows(const wxArrayInt& rows) {
    if (state != State::kIdle || converter == nullptr || rows.empty()) {
        return;
    }
    if (grid->IsCellEditControlShown()) {
        grid->SaveEditControlValue();
        grid->HideCellEditControl();
    }
    if (DomainSettings::GetKeyedInt(DomainSettings::kSaveBesideSource) == 0) {
        const wxString problem =
            CheckOutputFolder(DomainSettings::GetKeyed(DomainSettings::kOutputDir));
        if (!problem.empty()) {
            wxMessageBox(problem, AppUtil::GetDisplayName(), wxOK | wxICON_INFORMATION, this);
            return;
        }
    }
    convertCount = static_cast<int>(rows.size());
    if (DomainSettings::GetKeyedInt(DomainSettings::kMergeOffered) != 0 &&
        DomainSettings::GetKeyedInt(DomainSettings::kMerge) != 0) {
        SetCode(kNotifyMergePrompt);
        Notify();
        if (!AskMergedName()) {
            return;
        }
    }

    // The job: each row's cells, the choice columns as the chosen index, with the settings
    // as they are now.
    auto job = std::make_unique<ConvertJob>();
    jobRows.assign(rows.begin(), rows.end());
    for (int row : rows) {
        (*job)[row] = table->GetRowCells(row);
        table->GetStatus(row) = FileGridTable::Status();
    }
    auto* task = new ConvertTask{converter, std::move(job), JobSettings::Capture()};
    summary = JobSummary();
    summary.outputFolder = task->settings.saveBesideSource
                               ? table->GetRowCells(rows[0])[FileRowInfo::kSourceDir]
                               : task->settings.outputDir;

    ConvertState = DomainConvert::kRunning;
    EnterState(State::kConverting);
    grid->ForceRefresh();
    if (converter->timerDriven) {
        timer.Start(100);
    }
    converter->progressTimer = &timer;
    if (!TaskThread::StartTask(new TaskThread(task, ConvertWorker::ConvertWorkerProc))) {
        delete task;
        timer.Stop();
        ConvertState = 0;
        EnterState(State::kIdle);
        wxMessageBox(_("The conversion cannot start: no worker thread could be started."),
                     AppUtil::GetDisplayName(), wxOK | wxICON_INFORMATION, this);
    }
}

bool SelectWindow::AskMergedName() {
    const wxArrayInt selected = GetSelectedRows();
    const int first = selected.empty() ? 0 : selected.front();
    wxString name = GetCellText(first, FileRowInfo::kFileName);
    if (name.Contains(".")) {
        name = name.BeforeLast('.');
    }
    wxTextEntryDialog dialog(nullptr, _("Please enter an output file name in the text box:\n"),
                             AppUtil::GetDisplayName(), name, wxOK | wxCANCEL | wxCENTRE);
    wxTextValidator validator(wxFILTER_EXCLUDE_CHAR_LIST);
    validator.SetCharExcludes("\\/|:*?\"<>");
    dialog.SetTextValidator(validator);
    // The whole text is checked on OK, pasted text too; a bad name keeps the dialog open.
    dialog.Bind(
        wxEVT_BUTTON,
        [&dialog](wxCommandEvent&) {
            const wxString problem = CheckOutputFileName(dialog.GetValue());
            if (!problem.empty()) {
                wxMessageBox(problem, AppUtil::GetDisplayName(), wxOK | wxICON_INFORMATION,
                             &dialog);
                return;
            }
            dialog.SetValue(wxString(dialog.GetValue()).Trim(true).Trim(false));
            dialog.EndModal(wxID_OK);
        },
        wxID_OK);
    if (dialog.ShowModal() != wxID_OK) {
        return false;
    }
    DomainSettings::SetKeyed(DomainSettings::kMergeName,
                             wxString(dialog.GetValue()).Trim(true).Trim(false));
    return true;
}

void SelectWindow::OnCellRender(DhGridCellRenderCommandEvent& event) {
    const int row = event.GetRow();
    // A row that is gone (or never was) is not drawn.
    if (row < 0 || row >= GetRowCount()) {
        return;
    }
    FileGridTable::Status& status = table->GetStatus(row);
    switch (event.GetState()) {
    case DhGridCellRenderCommandEvent::kConverting:
        status.state = event.GetState();
        break;
    case DhGridCellRenderCommandEvent::kProgress:
        status.state = event.GetState();
        status.percent = event.GetPercent();
        if (status.percent >= 100) {
            status.reason = event.GetString(); // what the conversion changed, if anything
        }
        if (status.percent >= 100 && state == State::kConverting) {
            ++summary.converted;
        }
        break;
    case DhGridCellRenderCommandEvent::kStopped:
        // The row in hand keeps its result; "Stop" shows on the rows the job did not reach.
        summary.stopped = true;
        for (int jobRow : jobRows) {
            if (jobRow < GetRowCount() && table->GetStatus(jobRow).state < 0) {
                table->GetStatus(jobRow).state = event.GetState();
            }
        }
        grid->ForceRefresh();
        break;
    case DhGridCellRenderCommandEvent::kFailed:
        status.state = event.GetState();
        status.percent = 0;
        status.reason = event.GetString();
        if (state == State::kConverting) {
            ++summary.failed;
        }
        break;
    default:
        break;
    }
    const int col = event.GetColumn() >= 0 && event.GetColumn() < table->GetNumberCols()
                        ? event.GetColumn()
                        : table->FindKind(FileGridTable::kStatus);
    grid->RefreshCell(row, col);
}

void SelectWindow::OnConvertFinished(wxThreadEvent&) {
    timer.Stop();
    converter->progressTimer = nullptr;
    ConvertState = 0;
    jobRows.clear();
    EnterState(State::kIdle);
    SetCode(kNotifyJobSummary);
    Notify(&summary);
}
