#include "domain/domain_convert.h"

#include "common/file_util.h"
#include "common/platform.h"
#include "domain/domain_settings.h"

#include <wx/filename.h>

wxDEFINE_EVENT(EVT_FILES_LOADED, wxThreadEvent);
wxDEFINE_EVENT(EVT_CELL_RENDER, DhGridCellRenderCommandEvent);
wxDEFINE_EVENT(EVT_CONVERSION_FINISHED, wxThreadEvent);

std::atomic<int> ConvertState{0};

FileRowArray* DomainConvert::BuildRowsFromPaths(const wxArrayString& paths) {
    auto* rows = new FileRowArray;
    for (const wxString& path : paths) {
        if (path.empty()) {
            continue;
        }
        FileRowInfo row;
        FillRow(row, path);
        CheckRow(row);
        rows->push_back(std::move(row));
    }
    return rows;
}

void DomainConvert::FillRow(FileRowInfo& row, const wxString& path) {
    const wxFileName name(path);
    // A file that is gone reads as empty, and is flagged like one.
    const wxULongLong size = name.FileExists() ? name.GetSize() : wxULongLong(0);
    row.path = path;
    row.size = size == wxInvalidSize ? 0 : size.GetValue();
    wxString folder = name.GetPath(wxPATH_GET_VOLUME);
    folder = Platform::ToSlashes(folder);
    row.cells.Clear();
    row.cells.Add(name.GetFullName());
    row.cells.Add(FileUtil::FormatSize(row.size));
    row.cells.Add(DomainSettings::GetKeyed(DomainSettings::kOutputType));
    row.cells.Add(name.GetName());
    row.cells.Add("Not Converted");
    row.cells.Add(path);
    row.cells.Add(folder);
}

void DomainConvert::CheckRow(FileRowInfo& row) {
    row.flagged = row.size == 0;
}

wxString DomainConvert::GetOutputExt() const {
    return ".pdf";
}

wxString DomainConvert::GetFileFilter() const {
    return "EPUB files(*.epub)|*.epub";
}

wxArrayString DomainConvert::GetWildcards() const {
    wxArrayString wildcards;
    wildcards.Add("*.epub");
    return wildcards;
}

bool DomainConvert::IsSupportedExt(const wxString& extension) const {
    return wxString(";epub;").Contains(";" + extension + ";");
}

int DomainConvert::GetProgress() const {
    return 0;
}

int DomainConvert::Run(ConvertJob&, const JobSettings&) {
    return 0;
}

size_t DomainConvert::ListFolder(const wxString& folder, wxArrayString& paths) const {
    wxArrayString found;
    FileUtil::ListFiles(folder, found, GetWildcards());
    // One natural order over every type, so that a merged folder keeps its page order.
    FileUtil::SortNatural(found);
    for (const wxString& path : found) {
        paths.Add(Platform::ToSlashes(path));
    }
    return found.size();
}

void DomainConvert::AddFolder(const wxString& folder) {
    AddFiles(wxArrayString(1, &folder));
}

void DomainConvert::AddFiles(const wxArrayString& paths) {
    wxArrayString files;
    for (const wxString& path : paths) {
        if (wxDirExists(path)) {
            ListFolder(path, files);
        } else if (!path.empty()) {
            files.Add(path);
        }
    }
    SendRows(files.empty() ? nullptr : BuildRowsFromPaths(files));
}

void DomainConvert::SetTarget(wxEvtHandler* handler, int id) {
    if (channel) {
        channel->Close();
    }
    channel = handler != nullptr ? std::make_shared<EventChannel>(handler, id) : nullptr;
}

std::unique_ptr<DomainConvert> DomainConvert::NewConverter() const {
    return std::make_unique<DomainConvert>();
}

void DomainConvert::CloseChannel() {
    if (channel) {
        channel->Close();
    }
}

void DomainConvert::SendRows(FileRowArray* rows) {
    // The receiver takes the rows over with the event; an event that is not delivered leaves
    // them here.
    auto* event = new wxThreadEvent(EVT_FILES_LOADED);
    event->SetInt(rows != nullptr ? 1 : 0);
    event->SetPayload(rows);
    if (!channel || !channel->Post(event)) {
        delete rows;
    }
}

void DomainConvert::Stop() {
    ConvertState = kStopRequested;
}

void DomainConvert::PostProgress(int done, int total, int row, int column, int pages,
                                 const wxString& note) {
    if (!channel || total == 0) {
        return;
    }
    auto* event = new DhGridCellRenderCommandEvent(EVT_CELL_RENDER, channel->GetId(), row, column,
                                                   DhGridCellRenderCommandEvent::kProgress);
    event->SetInt(done * 100 / total);
    event->SetExtraLong(pages);
    event->SetString(note);
    channel->Post(event);
}

void DomainConvert::PostStatus(int row, int column, int state, const ConvertFailure& failure) {
    if (!channel) {
        return;
    }
    auto* event =
        new DhGridCellRenderCommandEvent(EVT_CELL_RENDER, channel->GetId(), row, column, state);
    event->SetInt(0);
    event->SetFailure(failure);
    channel->Post(event);
}

void DomainConvert::WriteLog(const wxString& first, const wxString& second, int code) {
    // A file name cannot add lines of its own.
    FileUtil::AppendLog(FileUtil::EscapeControls(first) + " [" + FileUtil::EscapeControls(second) +
                        "] [" + wxString::Format("%d", code) + "]\n");
}
