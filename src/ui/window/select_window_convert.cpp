// Converting the rows of the list: the checks before a job, the job itself on a worker, and
// the live status of each row.
#include "window/select_window.h"

#include "app/app_util.h"
#include "domain/domain_convert.h"
#include "domain/domain_settings.h"
#include "domain/job_settings.h"
#include "domain/output_name.h"
#include "pdf/pdf_service.h"
#include "thread/convert_run.h"
#include "thread/convert_worker.h"
#include "thread/task_thread.h"
#include "window/file_grid_table.h"
#include "window/notify_code.h"
#include "window/xy_grid.h"

#include <wx/button.h>
#include <wx/filename.h>
#include <wx/msgdlg.h>
#include <wx/textctrl.h>
#include <wx/textdlg.h>
#include <wx/valtext.h>

#include <algorithm>
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
    // A missing OCR language would fail every file: said before any is converted.
    const wxString ocr = DomainSettings::GetNamed("page:ocr");
    if (!ocr.empty()) {
        if (const char* why = PdfOcrCheckLanguages(ocr.utf8_str(), nullptr)) {
            // TRANSLATORS: %s is the reason in English, for example: the OCR language "deu"
            // is not installed (no deu.traineddata in /usr/share/tesseract-ocr/5/tessdata).
            wxMessageBox(wxString::Format(_("Text recognition (OCR) cannot run: %s.\n\nInstall "
                                            "the language (the package tesseract-ocr-LANG) or "
                                            "choose another one in Preference, Page Setting."),
                                          wxString::FromUTF8(why)),
                         AppUtil::GetDisplayName(), wxOK | wxICON_INFORMATION, this);
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

    // The settings as they are now: what changes while the job runs does not reach it.
    JobSettings settings = JobSettings::Capture();
    std::vector<int> skipped;
    if (!AskBeforeReplacing(rows, settings, skipped)) {
        return;
    }

    // The job: each row's cells, the choice columns as the chosen index. Rows whose PDF the
    // user keeps are left out.
    auto job = std::make_unique<ConvertJob>();
    jobRows.clear();
    for (int row : rows) {
        table->GetStatus(row) = FileGridTable::Status();
        if (std::find(skipped.begin(), skipped.end(), row) != skipped.end()) {
            table->GetStatus(row).state = DhGridCellRenderCommandEvent::kSkipped;
            continue;
        }
        jobRows.push_back(row);
        (*job)[row] = table->GetRowCells(row);
    }
    if (job->empty()) {
        // Every PDF exists and stays: there is nothing to convert.
        summary = JobSummary();
        summary.skipped = static_cast<int>(skipped.size());
        grid->ForceRefresh();
        SetCode(kNotifyJobSummary);
        Notify(&summary);
        return;
    }
    auto* task = new ConvertTask{converter, std::move(job), std::move(settings)};
    summary = JobSummary();
    summary.skipped = static_cast<int>(skipped.size());
    followedRow = -1;
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

bool SelectWindow::AskBeforeReplacing(const wxArrayInt& rows, const JobSettings& settings,
                                      std::vector<int>& skipped) {
    const bool merge = settings.merge;
    // The rows whose PDF exists, and the names of those PDFs.
    std::vector<int> existing;
    wxArrayString names;
    for (int row : rows) {
        const wxString output = ConvertRun::OutputPath(table->GetRowCells(row), settings);
        if (wxFileName::Exists(output)) {
            existing.push_back(row);
            const wxString name = output.AfterLast('/');
            if (names.Index(name) == wxNOT_FOUND) {
                names.Add(name);
            }
        }
        if (merge) {
            break; // one PDF for every row
        }
    }
    if (names.empty()) {
        return true;
    }
    // The first few names, so that the user sees what is at stake.
    const size_t shown = std::min<size_t>(names.size(), 5);
    wxString list;
    for (size_t i = 0; i < shown; ++i) {
        list += "\n" + names[i];
    }
    if (shown < names.size()) {
        // TRANSLATORS: ends a list of file names: how many more there are.
        list += "\n" + wxString::Format(_("and %zu more"), names.size() - shown);
    }
    if (merge) {
        wxMessageDialog ask(this, _("The PDF already exists:") + list + "\n\n" + _("Replace it?"),
                            AppUtil::GetDisplayName(), wxYES_NO | wxNO_DEFAULT | wxICON_QUESTION);
        ask.SetYesNoLabels(_("Replace"), _("Cancel"));
        return ask.ShowModal() == wxID_YES;
    }
    // TRANSLATORS: %zu is the number of PDFs that exist already; their names follow.
    wxMessageDialog ask(
        this,
        wxString::Format(_("%zu of the PDFs already exist:"), names.size()) + list + "\n\n" +
            _("Replace them, or convert only the images whose PDF does not exist?"),
        AppUtil::GetDisplayName(), wxYES_NO | wxCANCEL | wxCANCEL_DEFAULT | wxICON_QUESTION);
    ask.SetYesNoCancelLabels(_("Replace All"), _("Skip Existing"), _("Cancel"));
    switch (ask.ShowModal()) {
    case wxID_YES:
        return true;
    case wxID_NO:
        skipped = existing;
        return true;
    default:
        return false;
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
            // The toolkit's own OK handler, which this one replaces, is what copies the typed
            // text into the dialog's value.
            if (!dialog.TransferDataFromWindow()) {
                return;
            }
            const wxString problem = CheckOutputFileName(dialog.GetValue());
            if (!problem.empty()) {
                wxMessageBox(problem, AppUtil::GetDisplayName(), wxOK | wxICON_INFORMATION,
                             &dialog);
                // Back to the text, selected, for the next try.
                for (wxWindow* child : dialog.GetChildren()) {
                    if (auto* text = dynamic_cast<wxTextCtrl*>(child)) {
                        text->SetFocus();
                        text->SelectAll();
                    }
                }
                return;
            }
            dialog.SetValue(OutputName::Trimmed(dialog.GetValue()));
            dialog.EndModal(wxID_OK);
        },
        wxID_OK);
    if (dialog.ShowModal() != wxID_OK) {
        return false;
    }
    DomainSettings::SetKeyed(DomainSettings::kMergeName, OutputName::Trimmed(dialog.GetValue()));
    return true;
}

void SelectWindow::OnCellRender(DhGridCellRenderCommandEvent& event) {
    const int row = event.GetRow();
    // A row that is gone (or never was) is not drawn.
    if (row < 0 || row >= GetRowCount()) {
        return;
    }
    FileGridTable::Status& status = table->GetStatus(row);
    // The list follows the row in hand, so that its progress is seen.
    if (state == State::kConverting && row != followedRow &&
        (event.GetState() == DhGridCellRenderCommandEvent::kConverting ||
         (event.GetState() == DhGridCellRenderCommandEvent::kProgress &&
          event.GetPercent() < 100))) {
        followedRow = row;
        grid->MakeCellVisible(row, std::max(0, grid->GetGridCursorCol()));
    }
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
        // The row in hand keeps its result; "Stop" shows on the rows the job did not reach,
        // and on the row whose text recognition was stopped half way.
        summary.stopped = true;
        if (status.state == DhGridCellRenderCommandEvent::kConverting ||
            (status.state == DhGridCellRenderCommandEvent::kProgress && status.percent < 100)) {
            status.state = event.GetState();
        }
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
        status.failure = event.GetFailureKind();
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
