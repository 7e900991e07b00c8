#include "window/select_window.h"

#include "app/app_util.h"
#include "domain/domain_convert.h"
#include "domain/domain_settings.h"
#include "domain/output_name.h"
#include "window/dnd_file.h"
#include "window/file_cell_info.h"
#include "window/file_grid_table.h"
#include "window/notify_code.h"
#include "window/xy_grid.h"

#include <wx/dcclient.h>
#include <wx/menu.h>
#include <wx/msgdlg.h>
#include <wx/settings.h>

#include <algorithm>
#include <set>

SelectWindow::~SelectWindow() {
    if (converter != nullptr && converter->GetChannel() &&
        converter->GetChannel()->Delivers(this)) {
        converter->CloseChannel();
    }
}

bool SelectWindow::Create(wxWindow* parent, wxBitmap* pieceBitmap, wxWindowID id,
                          const wxPoint& position, const wxSize& size, long style) {
    if (!ZqPieceWindow::Create(parent, pieceBitmap, id, position, size, style)) {
        return false;
    }
    convertCount = -1;
    timer.SetOwner(this, 8007);
    grid = new XyGrid(this, 8000, wxPoint(0, 0), wxSize(size.x, size.y - 2), wxWANTS_CHARS);
    SetUpGrid();
    EnableDropTarget(true);

    Bind(wxEVT_MENU, &SelectWindow::OnCommand, this, kAddFiles, kConvertSelected);
    Bind(wxEVT_MENU, &SelectWindow::OnCommand, this, kMoveUp, kMoveDown);
    Bind(wxEVT_TIMER, &SelectWindow::OnTimer, this, 8007);
    Bind(EVT_FILES_LOADED, &SelectWindow::OnFilesLoaded, this);
    Bind(EVT_CELL_RENDER, &SelectWindow::OnCellRender, this);
    Bind(EVT_CONVERSION_FINISHED, &SelectWindow::OnConvertFinished, this);
    // The grid fills the panel, its first column taking the width the others leave.
    Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
        event.Skip();
        const wxSize client = GetClientSize();
        grid->SetSize(0, 0, client.x, std::max(0, client.y - 2));
        FillWidth();
        Refresh(false);
    });
    return true;
}

void SelectWindow::SetUpGrid() {
    table = new FileGridTable;
    grid->SetTable(table, true, wxGrid::wxGridSelectRows);
    grid->SetColLabelSize(20);
    grid->SetRowLabelSize(20);
    grid->SetLabelFont(grid->GetDefaultCellFont());
    grid->SetDefaultRowSize(30);
    grid->SetDefaultCellAlignment(wxALIGN_LEFT, wxALIGN_CENTRE);
    grid->SetLabelBackgroundColour(wxColour(232, 232, 232));
    grid->SetGridLineColour(wxColour(232, 232, 232));
    grid->SetCellHighlightPenWidth(0);
    grid->SetCellHighlightROPenWidth(0);
    grid->EnableEditing(true);
    grid->DisableDragGridSize();
    grid->DisableDragRowSize();
    grid->UseNativeColHeader(true);
    grid->SetTabBehaviour(wxGrid::Tab_Leave);
    grid->SetColLabelAlignment(wxALIGN_LEFT, wxALIGN_CENTRE);
    BindGridHandlers(true);
    grid->Bind(wxEVT_GRID_CELL_LEFT_CLICK, &SelectWindow::OnCellLeftClick, this);
    grid->GetGridWindow()->Bind(wxEVT_MOTION, &SelectWindow::OnGridMotion, this);
    // The grid is shown when rows arrive; the main frame paints a guide while it is hidden.
    grid->Hide();
}

void SelectWindow::BindGridHandlers(bool bind) {
    if (bind == gridHandlersBound) {
        return;
    }
    gridHandlersBound = bind;
    wxWindow* target = grid->GetGridWindow();
    if (bind) {
        target->Bind(wxEVT_KEY_DOWN, &SelectWindow::OnGridKeyDown, this);
        target->Bind(wxEVT_RIGHT_UP, &SelectWindow::OnGridRightUp, this);
        grid->Bind(wxEVT_GRID_CELL_CHANGING, &SelectWindow::OnCellChanging, this);
    } else {
        target->Unbind(wxEVT_KEY_DOWN, &SelectWindow::OnGridKeyDown, this);
        target->Unbind(wxEVT_RIGHT_UP, &SelectWindow::OnGridRightUp, this);
        grid->Unbind(wxEVT_GRID_CELL_CHANGING, &SelectWindow::OnCellChanging, this);
    }
}

void SelectWindow::AddOutputTypeChoice(const wxString& text) {
    outputTypes.Add(text);
    table->SetChoices(outputTypes);
}

void SelectWindow::AddColumn(const wxString& title, int width, int kind, bool hidden) {
    kinds.Add(kind);
    widths.push_back(hidden ? 0 : width);
    table->AddColumn(title, kind);
    const int col = table->GetNumberCols() - 1;
    grid->SetColSize(col, hidden ? 0 : width);
    if (hidden) {
        grid->HideCol(col);
    }
}

int SelectWindow::OtherColumnsWidth() const {
    int used = grid->GetRowLabelSize() + wxSystemSettings::GetMetric(wxSYS_VSCROLL_X, grid) + 2;
    for (int col = 1; col < grid->GetNumberCols(); ++col) {
        used += grid->GetColSize(col);
    }
    return used;
}

void SelectWindow::FillWidth() {
    // The first column takes the width the others leave, so that the list has no empty
    // strip at its right and, in a narrow window, no column beyond its right edge.
    if (!widths.empty()) {
        grid->SetColSize(0,
                         std::max(firstColumnMin, grid->GetClientSize().x - OtherColumnsWidth()));
    }
}

int SelectWindow::NeededWidth() const {
    return OtherColumnsWidth() + firstColumnMin + (GetSize().x - grid->GetSize().x);
}

void SelectWindow::SetConverter(DomainConvert* value) {
    converter = value;
    if (converter != nullptr) {
        converter->SetTarget(this, GetId());
    }
}

void SelectWindow::SetColumnLabel(int col, const wxString& text) {
    grid->SetColLabelValue(col, text);
    // A column is never narrower than its heading, in any language.
    if (static_cast<size_t>(col) < widths.size() && grid->IsColShown(col)) {
        wxClientDC dc(grid->GetGridColLabelWindow());
        dc.SetFont(grid->GetLabelFont());
        int needed = dc.GetTextExtent(text).x + kHeadingPadding;
        if (table->GetKind(col) == FileGridTable::kStatus) {
            // Nor narrower than the longest status it shows.
            dc.SetFont(grid->GetDefaultCellFont());
            for (const wxString& status : FileGridTable::GetStatusTexts()) {
                needed = std::max(needed, dc.GetTextExtent(status).x + kHeadingPadding);
            }
        }
        if (col == 0) {
            firstColumnMin = std::max(kMinFirstColumn, needed);
        } else {
            grid->SetColSize(col, std::max(widths[col], needed));
        }
        FillWidth();
    }
}

int SelectWindow::GetRowCount() const {
    return grid->GetNumberRows();
}

wxString SelectWindow::GetCellText(int row, int col) const {
    if (grid->GetTable() == nullptr || row < 0 || row >= GetRowCount()) {
        return wxString();
    }
    return table->GetRowCells(row)[col];
}

void SelectWindow::SetCellText(int row, int col, const wxString& text) {
    if (row >= 0 && row < GetRowCount()) {
        table->SetValue(row, col, text);
        grid->RefreshCell(row, col);
    }
}

wxArrayInt SelectWindow::GetSelectedRows() const {
    wxArrayInt all = grid->GetSelectedRowsAll();
    std::vector<int> rows(all.begin(), all.end());
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    wxArrayInt result;
    for (int row : rows) {
        if (row >= 0 && row < GetRowCount()) {
            result.Add(row);
        }
    }
    return result;
}

void SelectWindow::OnSubjectChanged(CjxSubject* subject, void*) {
    switch (subject->GetCode()) {
    case kNotifyStart: {
        wxArrayInt rows;
        for (int row = 0; row < GetRowCount(); ++row) {
            rows.Add(row);
        }
        ConvertRows(rows);
        break;
    }
    case kNotifyStop:
        if (state == State::kConverting && converter != nullptr) {
            converter->Stop();
        }
        break;
    case kNotifyAddFiles:
        AddFiles();
        break;
    case kNotifyAddFolder:
        AddFolder();
        break;
    case kNotifyDelete:
        DeleteSelected();
        break;
    case kNotifyClearAll:
        ClearAll();
        break;
    case kNotifySelectAll:
        SelectAll();
        break;
    case kNotifyInvertSelection:
        InvertSelection();
        break;
    default:
        break;
    }
}

void SelectWindow::EnterState(State next) {
    if (next == state) {
        return;
    }
    const State previous = state;
    state = next;
    // The panels hear of a lock once when the list leaves idle, and of the unlock once when
    // it returns: a second load, or a load queued behind another, changes nothing for them.
    if (previous == State::kIdle) {
        if (next == State::kLoading) {
            SetCode(kNotifyLoadLock);
            Notify();
        } else {
            SetCode(kNotifyConvertStarting);
            Notify();
            SetCode(kNotifyConvertLock);
            Notify();
        }
        BindGridHandlers(false);
        if (next == State::kConverting) {
            EnableDropTarget(false);
        }
    } else if (next == State::kIdle) {
        if (previous == State::kLoading) {
            SetCode(kNotifyLoadUnlock);
            Notify();
        } else {
            SetCode(kNotifyConvertFinished);
            Notify();
            SetCode(kNotifyConvertUnlock);
            Notify();
            EnableDropTarget(true);
        }
        BindGridHandlers(true);
    }
}

void SelectWindow::AddRows(FileRowArray& rows) {
    // A file already in the list is not added again.
    std::set<wxString> listed;
    for (int row = 0; row < GetRowCount(); ++row) {
        listed.insert(table->GetRowCells(row)[FileRowInfo::kSourcePath]);
    }
    std::vector<wxArrayString> accepted;
    accepted.reserve(rows.size());
    for (FileRowInfo& row : rows) {
        if (row.cells.size() <= FileRowInfo::kSourcePath ||
            !listed.insert(row.cells[FileRowInfo::kSourcePath]).second) {
            continue;
        }
        if (row.flagged) {
            SetCode(kNotifyEmptyRow);
            Notify(&row);
            if (!row.accept) {
                continue;
            }
        }
        accepted.push_back(row.cells);
    }
    if (accepted.empty()) {
        return;
    }
    grid->BeginBatch();
    table->AppendRowCells(accepted);
    grid->SetRowLabelSize(
        std::max(20, grid->GetTextExtent(wxString::Format("%d", GetRowCount())).x + 12));
    FillWidth();
    grid->EndBatch();
    if (!grid->IsShown()) {
        grid->Show();
        Refresh();
    }
    grid->ForceRefresh();
}

void SelectWindow::EnableDropTarget(bool enable) {
    if (enable) {
        SetDropTarget(new DnDFile(this));
        grid->GetGridWindow()->SetDropTarget(new DnDFile(this));
    } else {
        SetDropTarget(nullptr);
        grid->GetGridWindow()->SetDropTarget(nullptr);
    }
}

void SelectWindow::DeleteSelected() {
    if (state != State::kIdle || GetRowCount() == 0) {
        return;
    }
    const wxArrayInt rows = GetSelectedRows();
    if (rows.empty()) {
        wxMessageBox(_("Delete failed! No selected file!"), AppUtil::GetDisplayName(),
                     wxOK | wxICON_INFORMATION, this);
        return;
    }
    if (!AskBeforeRemoving(
            _("Are you sure you want to remove the selected items from the list?"))) {
        return;
    }
    grid->BeginBatch();
    // From the last row up, one range of neighbouring rows at a time.
    int index = static_cast<int>(rows.size()) - 1;
    while (index >= 0) {
        int first = index;
        while (first > 0 && rows[first - 1] == rows[first] - 1) {
            --first;
        }
        for (int i = index; i >= first; --i) {
            FileCellInfo info;
            info.row = rows[i];
            info.cells = table->GetRowCells(rows[i]);
            SetCode(kNotifyRowDeleted);
            Notify(&info);
        }
        grid->DeleteRows(rows[first], index - first + 1);
        index = first - 1;
    }
    grid->ClearSelection();
    grid->EndBatch();
    if (GetRowCount() == 0) {
        HideEmptyGrid();
    }
    grid->ForceRefresh();
}

bool SelectWindow::AskBeforeRemoving(const wxString& question) {
    wxMessageDialog ask(this, question, AppUtil::GetDisplayName(),
                        wxOK | wxCANCEL | wxICON_INFORMATION);
    // Anything but Cancel goes on.
    if (ask.ShowModal() == wxID_CANCEL) {
        return false;
    }
    if (grid->IsCellEditControlShown()) {
        grid->DisableCellEditControl();
    }
    return true;
}

void SelectWindow::HideEmptyGrid() {
    grid->Hide();
    Refresh();
}

void SelectWindow::ClearAll() {
    if (state != State::kIdle || GetRowCount() == 0) {
        return;
    }
    if (!AskBeforeRemoving(_("Are you sure you want to clear all the items from the list?"))) {
        return;
    }
    grid->ClearSelection();
    grid->DeleteRows(0, GetRowCount());
    HideEmptyGrid();
    FileCellInfo info;
    info.row = -1;
    SetCode(kNotifyRowDeleted);
    Notify(&info);
}

void SelectWindow::SelectAll() {
    if (GetRowCount() > 0) {
        grid->SelectAll();
    }
}

void SelectWindow::InvertSelection() {
    const int count = GetRowCount();
    if (count == 0) {
        return;
    }
    const wxArrayInt selected = GetSelectedRows();
    if (selected.empty()) {
        grid->SelectAll();
    } else {
        std::vector<bool> was(count, false);
        for (int row : selected) {
            was[row] = true;
        }
        grid->BeginBatch();
        grid->ClearSelection();
        for (int row = 0; row < count; ++row) {
            if (!was[row]) {
                grid->SelectRow(row, true);
            }
        }
        grid->EndBatch();
    }
    Refresh();
}

void SelectWindow::MoveSelection(int step) {
    const wxArrayInt rows = GetSelectedRows();
    const int count = GetRowCount();
    if (state != State::kIdle || rows.empty() || (step < 0 && rows.front() == 0) ||
        (step > 0 && rows.back() == count - 1)) {
        return;
    }
    if (grid->IsCellEditControlShown()) {
        grid->DisableCellEditControl();
    }
    // Rows move one place at a time; the neighbour they pass takes their place.
    std::vector<int> order(rows.begin(), rows.end());
    if (step > 0) {
        std::reverse(order.begin(), order.end());
    }
    grid->BeginBatch();
    grid->ClearSelection();
    for (int row : order) {
        table->SwapRows(row, row + step);
    }
    for (int row : rows) {
        grid->SelectRow(row + step, true);
    }
    const int cursorRow = step < 0 ? rows.front() + step : rows.back() + step;
    grid->SetGridCursor(cursorRow, std::max(0, grid->GetGridCursorCol()));
    grid->MakeCellVisible(cursorRow, 0);
    grid->EndBatch();
    grid->ForceRefresh();
}

void SelectWindow::RenameCurrent() {
    const int col = FirstVisibleColumn(FileGridTable::kEditable);
    int row = grid->GetGridCursorRow();
    const wxArrayInt selected = GetSelectedRows();
    if (row < 0 && !selected.empty()) {
        row = selected.front();
    }
    if (state != State::kIdle || col < 0 || row < 0 || row >= GetRowCount()) {
        return;
    }
    grid->SetGridCursor(row, col);
    grid->MakeCellVisible(row, col);
    grid->EnableCellEditControl();
}

void SelectWindow::MoveCursor(int key, bool extend) {
    const int count = GetRowCount();
    if (count == 0) {
        return;
    }
    int current = grid->GetGridCursorRow();
    if (current < 0 || current >= count) {
        current = 0;
    }
    // A page is the rows the list shows, less one that stays in view.
    const int page =
        std::max(1, grid->GetGridWindow()->GetClientSize().y / grid->GetDefaultRowSize() - 1);
    int target = current;
    switch (key) {
    case WXK_UP:
        target = current - 1;
        break;
    case WXK_DOWN:
        target = current + 1;
        break;
    case WXK_PAGEUP:
        target = current - page;
        break;
    case WXK_PAGEDOWN:
        target = current + page;
        break;
    case WXK_HOME:
        target = 0;
        break;
    case WXK_END:
        target = count - 1;
        break;
    default:
        return;
    }
    target = std::clamp(target, 0, count - 1);
    if (!extend || anchorRow < 0 || anchorRow >= count) {
        anchorRow = extend ? current : target;
    }
    // The row the cursor reaches is selected, with Shift every row from the anchor to it.
    const int col = std::max(0, grid->GetGridCursorCol());
    grid->BeginBatch();
    grid->SetGridCursor(target, col);
    grid->ClearSelection();
    grid->SelectBlock(std::min(anchorRow, target), 0, std::max(anchorRow, target),
                      grid->GetNumberCols() - 1);
    grid->MakeCellVisible(target, col);
    grid->EndBatch();
}

int SelectWindow::FirstVisibleColumn(int kind) const {
    for (size_t col = 0; col < kinds.size(); ++col) {
        if (kinds[col] == kind && grid->IsColShown(static_cast<int>(col))) {
            return static_cast<int>(col);
        }
    }
    return -1;
}

wxString SelectWindow::CheckOutputFileName(const wxString& name) {
    return OutputName::CheckTyped(name).empty() ? wxString() : _("Invalid file name!");
}

void SelectWindow::OnCommand(wxCommandEvent& event) {
    switch (event.GetId()) {
    case kAddFiles:
        AddFiles();
        break;
    case kAddFolder:
        AddFolder();
        break;
    case kDelete:
        DeleteSelected();
        break;
    case kClearAll:
        ClearAll();
        break;
    case kConvertSelected:
        ConvertRows(GetSelectedRows());
        break;
    case kMoveUp:
        MoveSelection(-1);
        break;
    case kMoveDown:
        MoveSelection(1);
        break;
    default:
        event.Skip();
        break;
    }
}

void SelectWindow::OnGridKeyDown(wxKeyEvent& event) {
    const int key = event.GetKeyCode();
    const int modifiers = event.GetModifiers();
    if (key == 'A' && modifiers == wxMOD_CONTROL) {
        SelectAll();
    } else if ((key == WXK_DELETE || key == WXK_BACK) && modifiers == wxMOD_NONE) {
        DeleteSelected();
    } else if ((key == WXK_UP || key == WXK_DOWN) && modifiers == wxMOD_ALT) {
        MoveSelection(key == WXK_UP ? -1 : 1);
    } else if (key == WXK_F2 && modifiers == wxMOD_NONE) {
        RenameCurrent();
    } else if (key == WXK_TAB) {
        event.Skip(); // the grid passes it on to the next control
    } else if ((key == WXK_UP || key == WXK_DOWN || key == WXK_PAGEUP || key == WXK_PAGEDOWN ||
                key == WXK_HOME || key == WXK_END) &&
               (modifiers & ~(wxMOD_SHIFT | wxMOD_CONTROL)) == 0) {
        MoveCursor(key, (modifiers & wxMOD_SHIFT) != 0);
    }
    // Every other key is consumed: no typing into cells.
}

void SelectWindow::OnGridRightUp(wxMouseEvent& event) {
    wxMenu menu;
    menu.Append(kAddFiles, _("Add File"));
    menu.Append(kAddFolder, _("Add Folder"));
    // TRANSLATORS: removes the selected files from the list; the files themselves stay.
    menu.Append(kDelete, _("Delete"));
    menu.Append(kClearAll, _("Clear All"));
    menu.AppendSeparator();
    menu.Append(kMoveUp, _("Move Up"));
    menu.Append(kMoveDown, _("Move Down"));
    menu.AppendSeparator();
    menu.Append(kConvertSelected, _("Convert Selected"));
    const bool anySelected = !GetSelectedRows().empty();
    menu.Enable(kDelete, anySelected || GetRowCount() > 0);
    menu.Enable(kMoveUp, anySelected);
    menu.Enable(kMoveDown, anySelected);
    menu.Enable(kConvertSelected, anySelected);
    const wxPoint where =
        ScreenToClient(grid->GetGridWindow()->ClientToScreen(event.GetPosition()));
    PopupMenu(&menu, where);
}

void SelectWindow::OnCellChanging(wxGridEvent& event) {
    const int row = event.GetRow();
    const int col = event.GetCol();
    FileCellInfo info;
    info.row = row;
    info.col = col;
    info.text = event.GetString();
    info.cells = table->GetRowCells(row);
    if (table->GetKind(col) == FileGridTable::kEditable) {
        // An output name that could not be a file name is refused here, not when converting.
        const wxString problem = CheckOutputFileName(info.text);
        if (!problem.empty()) {
            event.Veto();
            CallAfter([this, problem] {
                wxMessageBox(problem, AppUtil::GetDisplayName(), wxOK | wxICON_INFORMATION, this);
            });
            return;
        }
        info.text = OutputName::Trimmed(info.text);
    }
    SetCode(kNotifyCellEdit);
    Notify(&info);
    // The grid's own change is vetoed; an accepted text is set here.
    event.Veto();
    if (info.accept) {
        SetCellText(row, col, info.text);
    }
}

void SelectWindow::OnCellLeftClick(wxGridEvent& event) {
    const int row = event.GetRow();
    if (!event.ShiftDown()) {
        anchorRow = row;
    }
    if (event.ControlDown()) {
        if (grid->IsInSelection(row, 0)) {
            grid->DeselectRow(row);
            Refresh();
        } else {
            grid->SelectRow(row, true);
        }
        return;
    }
    FileCellInfo info;
    info.row = row;
    info.col = event.GetCol();
    info.cells = table->GetRowCells(row);
    SetCode(kNotifyCellClicked);
    Notify(&info);
    event.Skip();
}

void SelectWindow::OnGridMotion(wxMouseEvent& event) {
    event.Skip();
    // A failed row tells why in its tool tip, a converted one what its conversion changed.
    int x = 0;
    int y = 0;
    grid->CalcUnscrolledPosition(event.GetX(), event.GetY(), &x, &y);
    const int row = grid->YToRow(y);
    wxString tip;
    if (row >= 0 && row < GetRowCount()) {
        const FileGridTable::Status& status = table->GetStatus(row);
        if (status.state == DhGridCellRenderCommandEvent::kFailed) {
            tip = _("Failed") + ": " + FileGridTable::DescribeFailure(status);
        } else if (status.state == DhGridCellRenderCommandEvent::kProgress &&
                   status.percent >= 100) {
            tip = status.reason;
        }
    }
    if (grid->GetGridWindow()->GetToolTipText() != tip) {
        grid->GetGridWindow()->SetToolTip(tip);
    }
}

void SelectWindow::OnTimer(wxTimerEvent&) {
    if (converter == nullptr || converter->currentRow < 0) {
        return;
    }
    DhGridCellRenderCommandEvent event(EVT_CELL_RENDER, GetId(), converter->currentRow,
                                       converter->currentColumn,
                                       DhGridCellRenderCommandEvent::kProgress);
    event.SetInt(converter->GetProgress());
    OnCellRender(event);
}
