#pragma once

#include "domain/convert_failure.h"

#include <wx/arrstr.h>
#include <wx/grid.h>

#include <vector>

class ZqGridCellRenderer;

// The rows of the file list, held by the grid as its table: the cell texts of each row and the
// conversion status shown in the status column. Rows live here, not as per-cell attributes of
// the grid, so that tens of thousands of them are added, drawn and deleted quickly.
class FileGridTable : public wxGridTableBase {
public:
    // Column kinds.
    enum Kind { kEditable = 0, kChoice = 1, kReadOnly = 2, kStatus = 3 };

    // The status of a row, kept as codes and English texts: they are translated when drawn.
    struct Status {
        int state = -1; // -1 not converted, else a cell-render state
        int percent = 0;
        wxString reason; // why a row failed, or what its conversion changed, as the engine gave it
        ConvertFailure::Kind failure = ConvertFailure::Kind::kNone;
    };

    void AddColumn(const wxString& label, int kind);
    int GetKind(int col) const;
    int FindKind(int kind) const;
    void SetChoices(const wxArrayString& choices);
    const wxArrayString& GetChoices() const { return m_choices; }

    // Appends the rows (one text per column each) and tells the grid once.
    void AppendRowCells(const std::vector<wxArrayString>& rows);
    const wxArrayString& GetRowCells(int row) const { return m_rows[row].cells; }
    Status& GetStatus(int row) { return m_rows[row].status; }
    const Status& GetStatus(int row) const { return m_rows[row].status; }
    // Exchanges two rows (their cells and status).
    void SwapRows(int a, int b);
    // Every row back to "Not Converted".
    void ResetStatuses();
    // The status of the row as its cell reads, translated now.
    wxString GetStatusText(int row) const;
    // Every status a cell can read but a percentage, translated now.
    static wxArrayString GetStatusTexts();
    // Sets the status renderer's bar, colour and text for the row, translated now.
    void DescribeStatus(int row, ZqGridCellRenderer& renderer) const;
    // What went wrong with a failed row, in the user's language: its kind, then the engine's
    // own (English) reason.
    static wxString DescribeFailure(const Status& status);

    // wxGridTableBase.
    int GetNumberRows() override { return static_cast<int>(m_rows.size()); }
    int GetNumberCols() override { return static_cast<int>(m_kinds.size()); }
    wxString GetValue(int row, int col) override;
    void SetValue(int row, int col, const wxString& value) override;
    bool IsEmptyCell(int row, int col) override;
    bool DeleteRows(size_t pos, size_t count) override;
    bool AppendRows(size_t count) override;
    wxString GetColLabelValue(int col) override;
    void SetColLabelValue(int col, const wxString& label) override;
    wxGridCellAttr* GetAttr(int row, int col, wxGridCellAttr::wxAttrKind kind) override;

private:
    // Tells assistive technologies that rows were added, removed, reordered or reset.
    void TellRowsChanged();

    struct Row {
        wxArrayString cells;
        Status status;
    };

    std::vector<Row> m_rows;
    std::vector<int> m_kinds;
    wxArrayString m_labels;
    wxArrayString m_choices;
    // One attribute per column kind, shared by every cell of the column.
    std::vector<wxGridCellAttrPtr> m_columnAttrs;
};
