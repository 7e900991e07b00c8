// Adding files and folders to the list: the dialogs, drops and the command line all end in
// a load on a worker; the rows come back in a files-loaded event.
#include "window/select_window.h"

#include "app/app_util.h"
#include "domain/domain_config.h"
#include "domain/domain_convert.h"
#include "thread/convert_worker.h"
#include "thread/task_thread.h"
#include "window/notify_code.h"
#include "window/xy_grid.h"

#include <wx/app.h>
#include <wx/arrstr.h>
#include <wx/dirdlg.h>
#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/msgdlg.h>
#include <wx/stdpaths.h>
#include <wx/utils.h>

#include <memory>
#include <utility>

namespace {
// "*.jpg" as a pattern that also matches "*.JPG" and "*.Jpg": the desktop's file dialog
// compares case-sensitively.
wxString AnyCase(const wxString& wildcard) {
    wxString pattern;
    for (wxUniChar c : wildcard) {
        const wxString lower = wxString(c).Lower();
        const wxString upper = wxString(c).Upper();
        pattern += lower == upper ? lower : "[" + lower + upper + "]";
    }
    return pattern;
}

// The label of the converter's file filter ("Image files"), translated.
wxString FilterLabel(const DomainConvert& converter) {
    return wxGetTranslation(converter.GetFileFilter().BeforeFirst('|'));
}

// Where the file and folder dialogs open: the folder files were last added from, else the
// user's pictures, else the home folder (never the program's working folder).
wxString StartFolder() {
    DomainConfig* config = DomainConfig::GetInstance();
    if (config != nullptr && wxFileName::DirExists(config->GetLastConvertDir())) {
        return config->GetLastConvertDir();
    }
    const wxString pictures = wxStandardPaths::Get().GetUserDir(wxStandardPaths::Dir_Pictures);
    return wxFileName::DirExists(pictures) ? pictures : wxGetHomeDir();
}

wxString Extension(const wxString& path) {
    const wxString name = wxFileName(path).GetFullName();
    return name.Contains(".") ? name.AfterLast('.').Lower() : wxString();
}
} // namespace

void SelectWindow::AddFiles() {
    if (converter == nullptr || state == State::kConverting) {
        return;
    }
    wxString patterns;
    for (const wxString& wildcard : converter->GetWildcards()) {
        patterns += (patterns.empty() ? "" : ";") + AnyCase(wildcard);
    }
    wxString filter = FilterLabel(*converter) + "|" + patterns;
    // The newer formats have filters of their own too, to find them among the others.
    const std::pair<wxString, const char*> formats[] = {
        {_("WebP images"), "*.webp"},
        {_("JPEG 2000 images"), "*.jp2;*.j2k;*.jpx"},
        {_("HEIF and AVIF images"), "*.heic;*.heif;*.avif"},
        {_("JPEG XL images"), "*.jxl"},
    };
    for (const auto& [label, wildcards] : formats) {
        wxString any;
        for (const wxString& wildcard : wxSplit(wildcards, ';')) {
            any += (any.empty() ? "" : ";") + AnyCase(wildcard);
        }
        filter += "|" + label + "|" + any;
    }
    filter += "|" + _("All files") + "|*";
    DomainConfig* config = DomainConfig::GetInstance();
    wxFileDialog dialog(wxTheApp->GetTopWindow(), _("Select One or More Files"), StartFolder(),
                        wxString(), filter, wxFD_OPEN | wxFD_FILE_MUST_EXIST | wxFD_MULTIPLE);
    if (dialog.ShowModal() != wxID_OK) {
        return;
    }
    wxArrayString chosen;
    dialog.GetPaths(chosen);
    if (chosen.empty()) {
        return;
    }
    if (config != nullptr) {
        config->SetLastConvertDir(wxFileName(chosen[0]).GetPath());
    }
    AddPaths(chosen, Origin::kDialog);
}

void SelectWindow::AddFolder() {
    if (converter == nullptr || state == State::kConverting) {
        return;
    }
    DomainConfig* config = DomainConfig::GetInstance();
    wxDirDialog dialog(wxTheApp->GetTopWindow(), _("Select a folder"), StartFolder(),
                       wxDD_DEFAULT_STYLE | wxDD_DIR_MUST_EXIST);
    if (dialog.ShowModal() != wxID_OK) {
        return;
    }
    const wxString folder = dialog.GetPath();
    if (config != nullptr) {
        config->SetLastConvertDir(folder);
    }
    AddPaths(wxArrayString(1, &folder), Origin::kDialog);
}

bool SelectWindow::AddPaths(const wxArrayString& paths, Origin origin) {
    if (converter == nullptr || state == State::kConverting) {
        return false;
    }
    // Folders are listed on the worker; files are checked here: a regular file (or a link to
    // one) with a supported extension. A name that is no file is refused, not made a row.
    wxArrayString accepted;
    wxArrayString refused;
    for (const wxString& path : paths) {
        if (wxFileName::DirExists(path) || (wxFileName::Exists(path, wxFILE_EXISTS_REGULAR) &&
                                            converter->IsSupportedExt(Extension(path)))) {
            accepted.Add(path);
        } else {
            refused.Add(path);
        }
    }
    if (!refused.empty()) {
        // Reported once, after a drop has returned to the desktop.
        wxString message;
        if (origin == Origin::kDialog) {
            // TRANSLATORS: followed by the names of the files that were refused, one a line.
            message = _("Fail to open file\n");
            for (const wxString& path : refused) {
                message += wxFileName(path).GetFullName() + "\n";
            }
        } else {
            message = "Fail to open file  \n ";
            for (size_t i = 0; i < refused.size(); ++i) {
                message += (i == 0 ? "" : "\n ") + refused[i];
            }
        }
        CallAfter([message] {
            wxMessageBox(message, AppUtil::GetDisplayName(), wxOK | wxICON_INFORMATION);
        });
    }
    if (accepted.empty()) {
        if (refused.empty() || origin == Origin::kDialog) {
            return false;
        }
        CallAfter([this] {
            // TRANSLATORS: the start of a message: "No ", the kind of files ("Image files")
            // and " Files Added !", which stays in English.
            wxMessageBox(_("No ") + FilterLabel(*converter) + " Files Added !",
                         AppUtil::GetDisplayName(), wxOK | wxICON_INFORMATION);
        });
        return false;
    }
    pendingLoads.push_back({accepted, origin});
    if (state == State::kIdle) {
        StartNextLoad();
    }
    return true;
}

void SelectWindow::StartNextLoad() {
    if (pendingLoads.empty()) {
        EnterState(State::kIdle);
        return;
    }
    PendingLoad load = std::move(pendingLoads.front());
    pendingLoads.pop_front();
    loadOrigin = load.origin;
    EnterState(State::kLoading);
    auto* task = new AddFilesTask{converter, load.paths};
    if (!TaskThread::StartTask(new TaskThread(task, ConvertWorker::AddFilesWorker))) {
        delete task;
        wxMessageBox(_("The files cannot be loaded: no worker thread could be started."),
                     AppUtil::GetDisplayName(), wxOK | wxICON_INFORMATION, this);
        pendingLoads.clear();
        EnterState(State::kIdle);
    }
}

void SelectWindow::OnFilesLoaded(wxThreadEvent& event) {
    std::unique_ptr<FileRowArray> rows(event.GetPayload<FileRowArray*>());
    if (event.GetInt() != 0 && rows) {
        AddRows(*rows);
    } else if (converter != nullptr) {
        const wxString label = FilterLabel(*converter);
        // TRANSLATORS: %s is the kind of files ("Image files").
        wxString message = wxString::Format(_("No %s Added !"), label);
        if (loadOrigin != Origin::kDialog) {
            message = _("No ") + label + " Files Added !";
        }
        CallAfter([this, message] {
            wxMessageBox(message, AppUtil::GetDisplayName(), wxOK | wxICON_INFORMATION, this);
        });
    }
    // The next queued load, or back to idle.
    StartNextLoad();
}
