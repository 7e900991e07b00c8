#include "window/file_grid_table.h"

#include "domain/dh_grid_cell_render_command_event.h"
#include "window/dh_grid_cell_choice_editor.h"
#include "window/xy_grid.h"
#include "window/zq_choice_cell_renderer.h"
#include "window/zq_grid_cell_renderer.h"

#include <wx/intl.h>

#include <utility>

void FileGridTable::AddColumn(const wxString& label, int kind) {
    m_kinds.push_back(kind);
    m_labels.Add(label);
    auto* attr = new wxGridCellAttr;
    // The grid centres a line vertically for wxALIGN_CENTRE only.
    attr->SetAlignment(wxALIGN_LEFT, wxALIGN_CENTRE);
    if (kind == kChoice) {
        attr->SetRenderer(new ZqChoiceCellRenderer(m_choices));
        attr->SetEditor(new DhGridCellChoiceEditor(m_choices));
    } else if (kind == kStatus) {
        attr->SetRenderer(new ZqGridCellRenderer);
        attr->SetReadOnly();
    } else if (kind != kEditable) {
        attr->SetReadOnly();
    }
    m_columnAttrs.emplace_back(attr);
    for (Row& row : m_rows) {
        row.cells.Add(wxString());
    }
    if (GetView() != nullptr) {
        wxGridTableMessage message(this, wxGRIDTABLE_NOTIFY_COLS_APPENDED, 1);
        GetView()->ProcessTableMessage(message);
    }
}

int FileGridTable::GetKind(int col) const {
    return col >= 0 && static_cast<size_t>(col) < m_kinds.size() ? m_kinds[col] : kReadOnly;
}

int FileGridTable::FindKind(int kind) const {
    for (size_t i = 0; i < m_kinds.size(); ++i) {
        if (m_kinds[i] == kind) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void FileGridTable::SetChoices(const wxArrayString& choices) {
    m_choices = choices;
    for (size_t i = 0; i < m_kinds.size(); ++i) {
        if (m_kinds[i] == kChoice) {
            m_columnAttrs[i]->SetRenderer(new ZqChoiceCellRenderer(m_choices));
            m_columnAttrs[i]->SetEditor(new DhGridCellChoiceEditor(m_choices));
        }
    }
}

void FileGridTable::AppendRowCells(const std::vector<wxArrayString>& rows) {
    if (rows.empty()) {
        return;
    }
    m_rows.reserve(m_rows.size() + rows.size());
    for (const wxArrayString& cells : rows) {
        Row row;
        row.cells = cells;
        while (row.cells.size() < m_kinds.size()) {
            row.cells.Add(wxString());
        }
        m_rows.push_back(std::move(row));
    }
    if (GetView() != nullptr) {
        wxGridTableMessage message(this, wxGRIDTABLE_NOTIFY_ROWS_APPENDED,
                                   static_cast<int>(rows.size()));
        GetView()->ProcessTableMessage(message);
    }
    TellRowsChanged();
}

void FileGridTable::SwapRows(int a, int b) {
    std::swap(m_rows[a], m_rows[b]);
    TellRowsChanged();
}

void FileGridTable::ResetStatuses() {
    for (Row& row : m_rows) {
        row.status = Status();
    }
    TellRowsChanged();
}

void FileGridTable::TellRowsChanged() {
    if (auto* grid = dynamic_cast<XyGrid*>(GetView()); grid != nullptr) {
        grid->NotifyAccessibleRowsChanged();
    }
}

wxString FileGridTable::GetValue(int row, int col) {
    if (row < 0 || static_cast<size_t>(row) >= m_rows.size() || col < 0 ||
        static_cast<size_t>(col) >= m_rows[row].cells.size()) {
        return wxString();
    }
    // The status cell itself is blank: its renderer draws the status.
    return m_kinds[col] == kStatus ? wxString(" ") : m_rows[row].cells[col];
}

void FileGridTable::SetValue(int row, int col, const wxString& value) {
    if (row >= 0 && static_cast<size_t>(row) < m_rows.size() && col >= 0 &&
        static_cast<size_t>(col) < m_rows[row].cells.size()) {
        m_rows[row].cells[col] = value;
    }
}

bool FileGridTable::IsEmptyCell(int row, int col) {
    return GetValue(row, col).empty();
}

bool FileGridTable::DeleteRows(size_t pos, size_t count) {
    if (pos >= m_rows.size()) {
        return false;
    }
    count = std::min(count, m_rows.size() - pos);
    m_rows.erase(m_rows.begin() + pos, m_rows.begin() + pos + count);
    if (GetView() != nullptr) {
        wxGridTableMessage message(this, wxGRIDTABLE_NOTIFY_ROWS_DELETED, static_cast<int>(pos),
                                   static_cast<int>(count));
        GetView()->ProcessTableMessage(message);
    }
    TellRowsChanged();
    return true;
}

bool FileGridTable::AppendRows(size_t count) {
    AppendRowCells(std::vector<wxArrayString>(count));
    return true;
}

wxString FileGridTable::GetColLabelValue(int col) {
    return col >= 0 && static_cast<size_t>(col) < m_labels.size() ? m_labels[col] : wxString();
}

void FileGridTable::SetColLabelValue(int col, const wxString& label) {
    if (col >= 0 && static_cast<size_t>(col) < m_labels.size()) {
        m_labels[col] = label;
    }
}

wxGridCellAttr* FileGridTable::GetAttr(int, int col, wxGridCellAttr::wxAttrKind) {
    if (col < 0 || static_cast<size_t>(col) >= m_kinds.size()) {
        return nullptr;
    }
    // A new reference to the column's shared attribute: the grid releases it. The grid keeps
    // the last one it looked up, so nothing of a row's own may live in it: the status renderer
    // asks for its row's status when it draws.
    m_columnAttrs[col]->IncRef();
    return m_columnAttrs[col].get();
}

wxString FileGridTable::DescribeFailure(const Status& status) {
    using Kind = ConvertFailure::Kind;
    wxString kind;
    switch (status.failure) {
    case Kind::kUnreadable:
        kind = _("The file cannot be read.");
        break;
    case Kind::kUnknownFormat:
        kind = _("The file is not an image of a supported type.");
        break;
    case Kind::kDamaged:
        kind = _("The image is damaged or incomplete.");
        break;
    case Kind::kUnsupported:
        kind = _("The image cannot be kept in a PDF without loss.");
        break;
    case Kind::kTooLarge:
        kind = _("The image is too large to convert.");
        break;
    case Kind::kPageSettings:
        kind = _("The page settings leave no room for the image.");
        break;
    case Kind::kPassword:
        kind = _("The password of the page settings cannot protect a PDF.");
        break;
    case Kind::kOutputName:
        kind = _("The output name cannot be used.");
        break;
    case Kind::kWrite:
        kind = _("The PDF cannot be written.");
        break;
    case Kind::kCancelled:
        kind = _("The conversion was cancelled.");
        break;
    case Kind::kInternal:
        kind = _("The conversion failed.");
        break;
    case Kind::kNone:
        break;
    }
    if (kind.empty()) {
        return status.reason;
    }
    return status.reason.empty() ? kind : kind + "\n(" + status.reason + ")";
}

wxString FileGridTable::GetStatusText(int row) const {
    if (row < 0 || static_cast<size_t>(row) >= m_rows.size()) {
        return wxString();
    }
    const Status& status = m_rows[row].status;
    switch (status.state) {
    case DhGridCellRenderCommandEvent::kConverting:
        return _("Converting...");
    case DhGridCellRenderCommandEvent::kProgress:
        return wxString::Format("%d%%", status.percent);
    case DhGridCellRenderCommandEvent::kStopped:
        // TRANSLATORS: the status of a file whose conversion was stopped.
        return _("Stop");
    case DhGridCellRenderCommandEvent::kSkipped:
        // TRANSLATORS: the status of a file whose PDF existed and was kept.
        return _("Skipped");
    case DhGridCellRenderCommandEvent::kFailed:
        return _("Failed");
    default:
        return _("Not Converted");
    }
}

wxArrayString FileGridTable::GetStatusTexts() {
    wxArrayString texts;
    FileGridTable probe;
    probe.m_rows.resize(1);
    for (int state :
         {-1, int(DhGridCellRenderCommandEvent::kConverting),
          int(DhGridCellRenderCommandEvent::kStopped), int(DhGridCellRenderCommandEvent::kSkipped),
          int(DhGridCellRenderCommandEvent::kFailed)}) {
        probe.m_rows[0].status.state = state;
        texts.Add(probe.GetStatusText(0));
    }
    return texts;
}

void FileGridTable::DescribeStatus(int row, ZqGridCellRenderer& renderer) const {
    renderer.percent = 0;
    renderer.SetColour(wxColour());
    renderer.SetText(GetStatusText(row));
    if (row < 0 || static_cast<size_t>(row) >= m_rows.size()) {
        return;
    }
    const Status& status = m_rows[row].status;
    switch (status.state) {
    case DhGridCellRenderCommandEvent::kConverting:
        renderer.SetColour(wxColour(255, 255, 255));
        break;
    case DhGridCellRenderCommandEvent::kProgress:
    case DhGridCellRenderCommandEvent::kStopped:
        renderer.SetColour(wxColour(252, 156, 0));
        renderer.percent = status.percent;
        break;
    default:
        // A failed row shows no bar: a full one would read as done.
        break;
    }
}
