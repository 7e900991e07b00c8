#pragma once

#include "domain/dh_grid_cell_render_command_event.h"
#include "domain/file_row_info.h"
#include "window/base/zq_piece_window.h"

#include <wx/arrstr.h>
#include <wx/dynarray.h>
#include <wx/timer.h>

#include <deque>
#include <vector>

class DomainConvert;
class FileGridTable;
class XyGrid;
class wxGridEvent;
class wxThreadEvent;

// What a finished conversion job did, for the summary under the list.
struct JobSummary {
    int converted = 0;
    int failed = 0;
    int skipped = 0; // rows whose existing PDF the user chose to keep
    bool stopped = false;
    wxString outputFolder; // where to look for the results
};

// The list of files to convert: adds files and folders on a worker, deletes and clears rows
// with confirmation, selects and reorders rows, converts all or the selected rows and shows
// each row's live status. It is in one of three states; while it loads or converts, every
// command that changes rows or settings is locked, and the panels are told so once.
class SelectWindow : public ZqPieceWindow {
public:
    enum Command {
        kAddFiles = 8001,
        kAddFolder = 8002,
        kDelete = 8003,
        kClearAll = 8004,
        kConvertSelected = 8005,
        kMoveUp = 8008,
        kMoveDown = 8009,
    };
    enum class State { kIdle, kLoading, kConverting };
    // Where a load came from: its refusals and "nothing added" are worded after it.
    enum class Origin { kDialog, kDrop, kCommandLine };

    SelectWindow() = default;
    ~SelectWindow() override;

    bool Create(wxWindow* parent, wxBitmap* piece, wxWindowID id, const wxPoint& position,
                const wxSize& size, long style = wxTAB_TRAVERSAL | wxNO_BORDER);

    void AddOutputTypeChoice(const wxString& text);
    void AddColumn(const wxString& title, int width, int kind, bool hidden);
    void SetConverter(DomainConvert* converter);
    DomainConvert* GetConverter() const { return converter; }
    void SetColumnLabel(int col, const wxString& text);

    void OnSubjectChanged(CjxSubject* subject, void* argument) override;

    // The selected rows in ascending order, each once.
    virtual wxArrayInt GetSelectedRows() const;
    virtual wxString GetCellText(int row, int col) const;
    virtual void SetCellText(int row, int col, const wxString& text);
    virtual int GetConvertCount() const { return convertCount; }
    virtual void OnCellRender(DhGridCellRenderCommandEvent& event);

    int GetRowCount() const;
    // The width the list needs: every column after the first whole, the first at its
    // narrowest.
    int NeededWidth() const;
    State GetState() const { return state; }
    XyGrid* GetGrid() const { return grid; }
    FileGridTable* GetTable() const { return table; }
    const JobSummary& GetLastSummary() const { return summary; }

    // Adds the rows of a load (files-loaded), skipping files already listed.
    void AddRows(FileRowArray& rows);
    void EnableDropTarget(bool enable);

    // Files and folders from a drop or the command line: the supported files and every
    // folder are loaded on a worker; the others are reported once, after the caller returns.
    // A load asked for while one runs waits for it. Returns false while a conversion runs.
    bool AddPaths(const wxArrayString& paths, Origin origin);

    // The commands, as the menus, the tool bar, the keyboard and the context menu run them.
    void AddFiles();
    void AddFolder();
    void DeleteSelected();
    void ClearAll();
    void SelectAll();
    void InvertSelection();
    void ConvertRows(const wxArrayInt& rows);
    void MoveSelection(int step);
    // Starts editing the output name of the current row.
    void RenameCurrent();

    // The name a user typed for an output file: why it cannot be used, or an empty string.
    static wxString CheckOutputFileName(const wxString& name);

private:
    struct PendingLoad {
        wxArrayString paths;
        Origin origin;
    };

    void SetUpGrid();
    // Asks the question; true on anything but Cancel, with any cell edit ended.
    bool AskBeforeRemoving(const wxString& question);
    void FillWidth();
    // The width of the row labels, the columns after the first and the scroll bar.
    int OtherColumnsWidth() const;
    // Hides the grid of an empty list; the main frame paints its guide there.
    void HideEmptyGrid();
    void BindGridHandlers(bool bind);
    void EnterState(State next);
    void StartNextLoad();
    bool AskMergedName();
    // Asks before PDFs that exist are replaced: all of them, none (the rows go to `skipped`),
    // or no job at all (false).
    bool AskBeforeReplacing(const wxArrayInt& rows, std::vector<int>& skipped);
    int FirstVisibleColumn(int kind) const;
    // Moves the cursor for a navigation key and selects the row it reaches, or with `extend`
    // the rows from the anchor to it; the row is scrolled into view.
    void MoveCursor(int key, bool extend);

    void OnCommand(wxCommandEvent& event);
    void OnGridKeyDown(wxKeyEvent& event);
    void OnGridRightUp(wxMouseEvent& event);
    void OnCellChanging(wxGridEvent& event);
    void OnCellLeftClick(wxGridEvent& event);
    void OnFilesLoaded(wxThreadEvent& event);
    void OnConvertFinished(wxThreadEvent& event);
    void OnTimer(wxTimerEvent& event);
    void OnGridMotion(wxMouseEvent& event);

    static constexpr int kMinFirstColumn = 100;
    // The room a column heading takes beside its text: the margins and the header's edges.
    static constexpr int kHeadingPadding = 16;

    DomainConvert* converter = nullptr;
    wxTimer timer;
    XyGrid* grid = nullptr;
    FileGridTable* table = nullptr; // owned by the grid
    int convertCount = -1;
    wxArrayString outputTypes;
    wxArrayInt kinds;
    std::vector<int> widths; // as the columns were defined
    int firstColumnMin = kMinFirstColumn;

    State state = State::kIdle;
    std::deque<PendingLoad> pendingLoads;
    Origin loadOrigin = Origin::kDialog;
    bool gridHandlersBound = false;
    std::vector<int> jobRows; // the rows of the running job
    int anchorRow = -1;       // where a selection extended with Shift starts
    int followedRow = -1;     // the row in hand that the list last scrolled to
    JobSummary summary;
};
