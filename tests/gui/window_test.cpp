// The main window driven as a user drives it: loads and drops, the three states of the list
// and their locks, deleting, the keyboard, the merged-name prompt, the output folder, the
// menus and the language.
#include "app/language_file.h"
#include "domain/dh_grid_cell_render_command_event.h"
#include "domain/domain_convert.h"
#include "domain/file_row_info.h"
#include "gui/window_test_support.h"
#include "pdf/pdf_service.h"
#include "window/base/dh_bitmap_button.h"
#include "window/base/dh_check_box.h"
#include "window/base/dh_radio_button.h"
#include "window/base/dh_word_button.h"
#include "window/base/zl_menu_button.h"
#include "window/dnd_file.h"
#include "window/file_cell_info.h"
#include "window/file_grid_table.h"
#include "window/language_event.h"
#include "window/notify_code.h"
#include "window/output_window.h"
#include "window/title_window.h"
#include "window/xy_grid.h"
#include "window/zl_menu_bar.h"
#include "window/zq_menu_bar.h"
#include "window/zq_tool_bar.h"

#include <wx/clipbrd.h>
#include <wx/dcmemory.h>
#include <wx/dirdlg.h>
#include <wx/file.h>
#include <wx/filedlg.h>
#include <wx/menu.h>
#include <wx/textctrl.h>
#include <wx/textdlg.h>
#include <wx/uiaction.h>

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

namespace {
wxArrayString Column(SelectWindow* list, int col) {
    wxArrayString cells;
    for (int row = 0; row < list->GetRowCount(); ++row) {
        cells.Add(list->GetCellText(row, col));
    }
    return cells;
}

wxArrayString Names(std::initializer_list<const char*> names) {
    wxArrayString list;
    for (const char* name : names) {
        list.Add(wxString::FromUTF8(name));
    }
    return list;
}

// Moves the pointer and waits until the display has it there.
void MovePointer(wxUIActionSimulator& sim, const wxPoint& target) {
    sim.MouseMove(target);
    WaitFor([&] { return wxGetMouseState().GetPosition() == target; }, 5);
}

// The page sizes of a PDF, in points, as poppler reads them.
std::vector<wxSize> PageSizes(const wxString& pdf) {
    const std::string command =
        "pdfinfo -f 1 -l 99 '" + std::string(pdf.utf8_str()) + "' 2>/dev/null";
    std::vector<wxSize> sizes;
    FILE* pipe = popen(command.c_str(), "r");
    char line[512];
    while (pipe != nullptr && fgets(line, sizeof line, pipe) != nullptr) {
        int page = 0;
        double width = 0;
        double height = 0;
        if (sscanf(line, "Page %d size: %lf x %lf", &page, &width, &height) == 3) {
            sizes.emplace_back(static_cast<int>(width), static_cast<int>(height));
        }
    }
    if (pipe != nullptr) {
        pclose(pipe);
    }
    return sizes;
}

int StatusOf(SelectWindow* list, int row) {
    return list->GetTable()->GetStatus(row).state;
}
} // namespace

TEST_F(WindowTest, LoadsFilesAndFoldersOnceEachAndReportsRefusalsOnce) {
    const wxString folder = m_home.Documents() + "/scans";
    Image("scans/scan10.png");
    Image("scans/scan2.png");
    Image("scans/Scan1.PNG");
    TestHome::WriteFile(folder + "/notes.txt", "text");
    Image("scans/inner/deep.png");
    // A pipe named like an image never reaches the list (nor blocks the load).
    ASSERT_EQ(mkfifo((folder + "/pipe.png").utf8_str(), 0600), 0);
    const wxString loose = Image("loose photo.png");
    const wxString refused = m_home.Documents() + "/readme.txt";
    TestHome::WriteFile(refused, "text");

    MessageRecorder messages;
    CodeRecorder codes;
    list->Attach(&codes);
    // A name that is no file, or a pipe given by itself, is refused like a text file.
    const wxString missing = m_home.Documents() + "/gone.png";
    ASSERT_TRUE(list->AddPaths(
        Paths({folder, loose, refused, folder + "/scan2.png", missing, folder + "/pipe.png"}),
        SelectWindow::Origin::kCommandLine));
    ASSERT_TRUE(WaitIdle());
    WaitFor([&] { return !messages.messages.empty(); }, 2);

    EXPECT_EQ(Column(list, FileRowInfo::kFileName),
              Names({"Scan1.PNG", "scan2.png", "scan10.png", "loose photo.png"}));
    EXPECT_EQ(Column(list, FileRowInfo::kOutputName),
              Names({"Scan1", "scan2", "scan10", "loose photo"}));
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_TRUE(messages.messages[0].StartsWith("Fail to open file  \n "));
    for (const char* name : {"readme.txt", "gone.png", "pipe.png"}) {
        EXPECT_TRUE(messages.messages[0].Contains(name)) << name;
    }
    EXPECT_EQ(codes.Count(kNotifyLoadLock), 1);
    EXPECT_EQ(codes.Count(kNotifyLoadUnlock), 1);
    EXPECT_TRUE(list->GetGrid()->IsShown());

    // The same folder again adds nothing.
    Load(Paths({folder}));
    EXPECT_EQ(list->GetRowCount(), 4);
    list->Detach(&codes);
}

TEST_F(WindowTest, ADropOnTheListLoadsAndADropOfNothingUsableSaysSo) {
    const wxString photo = Image("photo.png");
    const wxString empty = m_home.Documents() + "/empty";
    wxMkdir(empty);
    MessageRecorder messages;
    DnDFile target(list);
    EXPECT_TRUE(target.OnDropFiles(0, 0, Paths({photo})));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(list->GetRowCount(), 1);

    // An empty folder is listed on the worker, which finds nothing.
    EXPECT_TRUE(target.OnDropFiles(0, 0, Paths({empty})));
    ASSERT_TRUE(WaitIdle());
    ASSERT_TRUE(WaitFor([&] { return messages.messages.size() == 1; }, 5));
    EXPECT_EQ(messages.messages[0], "No Image files Files Added !");
    EXPECT_EQ(list->GetRowCount(), 1);
}

TEST_F(WindowTest, LoadsAskedForDuringALoadWaitForItAndTheWindowUnlocksOnce) {
    std::vector<wxString> first;
    std::vector<wxString> second;
    for (int i = 0; i < 20; ++i) {
        first.push_back(Image(wxString::Format("a/%02d.png", i)));
        second.push_back(Image(wxString::Format("b/%02d.png", i)));
    }
    CodeRecorder codes;
    list->Attach(&codes);
    ASSERT_TRUE(list->AddPaths(Paths({m_home.Documents() + "/a"}), SelectWindow::Origin::kDrop));
    ASSERT_EQ(list->GetState(), SelectWindow::State::kLoading);
    ASSERT_TRUE(list->AddPaths(Paths({m_home.Documents() + "/b"}), SelectWindow::Origin::kDrop));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(list->GetRowCount(), 40);
    EXPECT_EQ(codes.codes, (std::vector<int>{kNotifyLoadLock, kNotifyLoadUnlock}));
    list->Detach(&codes);
}

TEST_F(WindowTest, AConversionLocksTheWindowUntilItEnds) {
    Load(Paths({Image("one.png"), Image("two.png"), Image("three.png")}));
    ZqToolBar* tools = frame->GetThemedToolBar();
    ZqMenuBar* menus = frame->GetThemedMenuBar();
    OutputWindow* panel = frame->GetOutputPanel();

    panel->RequestStart();
    // Until the job's end is processed, everything that changes rows or settings is locked.
    ASSERT_EQ(list->GetState(), SelectWindow::State::kConverting);
    for (int id = ZqToolBar::kAddFile; id <= ZqToolBar::kClearAll; ++id) {
        EXPECT_FALSE(tools->GetButton(id)->IsEnabled()) << id;
    }
    EXPECT_FALSE(menus->GetFileMenu()->IsEnabled(DhMenuBarBase::kAddFiles));
    EXPECT_FALSE(menus->GetEditMenu()->IsEnabled(DhMenuBarBase::kDelete));
    EXPECT_FALSE(menus->GetEditMenu()->IsEnabled(wxID_PREFERENCES));
    EXPECT_FALSE(menus->GetLanguageMenu()->IsEnabled(LanguageFile::kGerman));
    EXPECT_TRUE(menus->GetFileMenu()->IsEnabled(wxID_EXIT));
    EXPECT_TRUE(menus->GetHelpMenu()->IsEnabled(wxID_ABOUT));
    EXPECT_FALSE(panel->GetMergeBox()->IsEnabled());
    EXPECT_FALSE(panel->GetFolderField()->IsEnabled());
    EXPECT_FALSE(panel->GetStartButton()->IsShown());
    EXPECT_TRUE(panel->GetStopButton()->IsShown());
    EXPECT_FALSE(list->AddPaths(Paths({Image("late.png")}), SelectWindow::Origin::kDrop));
    EXPECT_EQ(list->GetDropTarget(), nullptr);

    ASSERT_TRUE(WaitIdle());
    for (int id = ZqToolBar::kAddFile; id <= ZqToolBar::kClearAll; ++id) {
        EXPECT_TRUE(tools->GetButton(id)->IsEnabled()) << id;
    }
    EXPECT_TRUE(menus->GetFileMenu()->IsEnabled(DhMenuBarBase::kAddFiles));
    EXPECT_TRUE(panel->GetMergeBox()->IsEnabled());
    EXPECT_TRUE(panel->GetStartButton()->IsShown());
    EXPECT_FALSE(panel->GetStopButton()->IsShown());
    EXPECT_NE(list->GetDropTarget(), nullptr);
    for (const char* name : {"one", "two", "three"}) {
        EXPECT_TRUE(wxFileExists(output + "/" + name + ".pdf")) << name;
    }
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(StatusOf(list, row), DhGridCellRenderCommandEvent::kProgress);
        EXPECT_EQ(list->GetTable()->GetStatus(row).percent, 100);
    }
    EXPECT_EQ(panel->GetSummaryText(), "3 converted, 0 failed");
}

TEST_F(WindowTest, StopEndsTheJobAfterTheFileInHand) {
    wxArrayString paths;
    for (int i = 0; i < 5; ++i) {
        paths.Add(Image(wxString::Format("%d.png", i), 600, 400));
    }
    Load(paths);
    list->SetConverter(&gated);
    OutputWindow* panel = frame->GetOutputPanel();
    panel->RequestStart();
    panel->RequestStop();
    EXPECT_FALSE(panel->GetStopButton()->IsEnabled()) << "Stop is disabled at once";
    gated.Open();
    ASSERT_TRUE(WaitIdle());
    int converted = 0;
    for (int row = 0; row < 5; ++row) {
        converted += wxFileExists(output + wxString::Format("/%d.pdf", row)) ? 1 : 0;
    }
    EXPECT_EQ(converted, 1);
    for (int row = 1; row < 5; ++row) {
        EXPECT_EQ(StatusOf(list, row), DhGridCellRenderCommandEvent::kStopped) << row;
    }
    EXPECT_TRUE(panel->GetSummaryText().StartsWith("1 converted, 0 failed"));
}

TEST_F(WindowTest, AFailedRowShowsFailedWithItsReasonAndNoBar) {
    const wxString broken = m_home.Documents() + "/broken.png";
    TestHome::WriteFile(broken, "not an image at all");
    Load(Paths({Image("good.png"), broken}));
    frame->GetOutputPanel()->RequestStart();
    ASSERT_TRUE(WaitIdle());
    const FileGridTable::Status& status = list->GetTable()->GetStatus(1);
    EXPECT_EQ(status.state, DhGridCellRenderCommandEvent::kFailed);
    EXPECT_EQ(status.percent, 0);
    EXPECT_FALSE(status.reason.empty());
    EXPECT_EQ(frame->GetOutputPanel()->GetSummaryText(), "1 converted, 1 failed");
    EXPECT_FALSE(wxFileExists(output + "/broken.pdf"));

    // The tool tip names what went wrong in the user's language, the engine's details after.
    wxCommandEvent german(EVT_LANGUAGE_CHANGED, frame->GetId());
    german.SetInt(LanguageFile::kGerman);
    frame->OnLanguageChanged(german);
    const wxString kind = _("The file is not an image of a supported type.");
    EXPECT_NE(kind, "The file is not an image of a supported type.") << "translated";
    XyGrid* grid = list->GetGrid();
    wxUIActionSimulator sim;
    const wxRect cell = grid->CellToRect(1, 0);
    MovePointer(sim, grid->GetGridWindow()->ClientToScreen(cell.GetPosition() + wxPoint(10, 10)));
    ASSERT_TRUE(WaitFor([&] { return !grid->GetGridWindow()->GetToolTipText().empty(); }, 5));
    const wxString tip = grid->GetGridWindow()->GetToolTipText();
    EXPECT_TRUE(tip.StartsWith(_("Failed") + ": " + kind)) << tip;
    EXPECT_TRUE(tip.Contains(status.reason)) << tip;
}

TEST_F(WindowTest, ExistingPdfsAreReplacedOrKeptAsTheUserChooses) {
    Load(Paths({Image("a.png"), Image("b.png")}));
    auto contents = [this](const wxString& name) {
        wxString text;
        wxFile file(output + "/" + name);
        return file.IsOpened() && file.ReadAll(&text, wxConvISO8859_1) ? text : wxString();
    };
    struct Case {
        int answer;
        bool aReplaced;
        bool bWritten;
    };
    const Case cases[] = {
        {wxID_CANCEL, false, false}, // no job at all
        {wxID_NO, false, true},      // skip existing
        {wxID_YES, true, true},      // replace all
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        TestHome::WriteFile(output + "/a.pdf", "older");
        if (wxFileExists(output + "/b.pdf")) {
            wxRemoveFile(output + "/b.pdf");
        }
        MessageRecorder messages({c.answer});
        frame->GetOutputPanel()->RequestStart();
        ASSERT_TRUE(WaitIdle());
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_TRUE(messages.messages[0].Contains("a.pdf")) << messages.messages[0];
        EXPECT_EQ(contents("a.pdf").StartsWith("%PDF-"), c.aReplaced);
        EXPECT_EQ(contents("a.pdf") == "older", !c.aReplaced);
        EXPECT_EQ(wxFileExists(output + "/b.pdf"), c.bWritten);
        if (c.answer == wxID_NO) {
            EXPECT_EQ(list->GetTable()->GetStatus(0).state, DhGridCellRenderCommandEvent::kSkipped);
            EXPECT_EQ(frame->GetOutputPanel()->GetSummaryText(),
                      "1 converted, 0 failed, 1 skipped");
        }
    }

    // A merged PDF that exists is replaced only when the user says so.
    TestHome::WriteFile(output + "/a.pdf", "older");
    frame->GetOutputPanel()->GetMergeBox()->SetValue(true);
    DomainSettings::SetKeyed(DomainSettings::kMerge, "1");
    DialogAnswer<wxTextEntryDialog> name([](wxTextEntryDialog*) { return wxID_OK; });
    MessageRecorder messages({wxID_NO});
    frame->GetOutputPanel()->RequestStart();
    ASSERT_TRUE(WaitIdle());
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(contents("a.pdf"), "older");
}

TEST_F(WindowTest, TheListFollowsTheRowInHand) {
    wxArrayString paths;
    for (int i = 0; i < 40; ++i) {
        paths.Add(Image(wxString::Format("f%02d.png", i)));
    }
    Load(paths);
    XyGrid* grid = list->GetGrid();
    ASSERT_FALSE(grid->IsVisible(39, 0, false));
    frame->GetOutputPanel()->RequestStart();
    ASSERT_TRUE(WaitIdle());
    EXPECT_TRUE(grid->IsVisible(39, 0, false));
}

TEST_F(WindowTest, AConvertedRowKeepsWhatItsConversionChangedForItsToolTip) {
    // 10 million pixels per metre: no real image's density, left out with a note.
    const wxString speck = m_home.Documents() + "/speck.png";
    wxImage image(40, 30);
    image.SetOption(wxIMAGE_OPTION_RESOLUTIONUNIT, wxIMAGE_RESOLUTION_CM);
    image.SetOption(wxIMAGE_OPTION_RESOLUTIONX, 100000);
    image.SetOption(wxIMAGE_OPTION_RESOLUTIONY, 100000);
    ASSERT_TRUE(image.SaveFile(speck, wxBITMAP_TYPE_PNG));
    Load(Paths({Image("plain.png"), speck}));
    frame->GetOutputPanel()->RequestStart();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(list->GetTable()->GetStatus(0).reason, "");
    const FileGridTable::Status& status = list->GetTable()->GetStatus(1);
    EXPECT_EQ(status.state, DhGridCellRenderCommandEvent::kProgress);
    EXPECT_EQ(status.percent, 100);
    EXPECT_TRUE(status.reason.Contains("dpi out of range, placed at 96 dpi")) << status.reason;
    EXPECT_EQ(frame->GetOutputPanel()->GetSummaryText(), "2 converted, 0 failed");
}

TEST_F(WindowTest, DeleteAndClearAskFirstAndRemoveExactlyTheSelectedRows) {
    wxArrayString paths;
    for (int i = 0; i < 5; ++i) {
        paths.Add(Image(wxString::Format("r%d.png", i)));
    }
    Load(paths);
    {
        MessageRecorder messages;
        list->DeleteSelected();
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_EQ(messages.messages[0], "Delete failed! No selected file!");
    }
    list->GetGrid()->SelectRow(1);
    list->GetGrid()->SelectRow(3, true);
    {
        MessageRecorder messages({wxID_CANCEL});
        list->DeleteSelected();
        EXPECT_EQ(messages.messages.size(), 1u);
        EXPECT_EQ(list->GetRowCount(), 5);
    }
    CodeRecorder codes;
    std::vector<int> deleted;
    struct RowWatcher : CjxObserver {
        std::vector<int>* rows;
        void OnSubjectChanged(CjxSubject* subject, void* data) override {
            if (subject->GetCode() == kNotifyRowDeleted) {
                rows->push_back(static_cast<FileCellInfo*>(data)->row);
            }
        }
    } watcher;
    watcher.rows = &deleted;
    list->Attach(&watcher);
    {
        MessageRecorder messages({wxID_OK});
        list->DeleteSelected();
    }
    EXPECT_EQ(deleted, (std::vector<int>{3, 1}));
    EXPECT_EQ(Column(list, FileRowInfo::kFileName), Names({"r0.png", "r2.png", "r4.png"}));
    {
        MessageRecorder messages({wxID_CANCEL});
        list->ClearAll();
        EXPECT_EQ(list->GetRowCount(), 3);
    }
    {
        MessageRecorder messages({wxID_OK});
        list->ClearAll();
    }
    EXPECT_EQ(list->GetRowCount(), 0);
    EXPECT_FALSE(list->GetGrid()->IsShown());
    EXPECT_EQ(deleted.back(), -1);
    list->Detach(&watcher);
}

TEST_F(WindowTest, TheKeyboardDrivesTheList) {
    Load(Paths({Image("k0.png"), Image("k1.png"), Image("k2.png")}));
    XyGrid* grid = list->GetGrid();
    wxUIActionSimulator sim;
    grid->GetGridWindow()->SetFocus();
    grid->SetGridCursor(0, 0);
    grid->SelectRow(0);
    ASSERT_TRUE(WaitFor([&] { return grid->GetGridWindow()->HasFocus(); }, 5));

    // Alt+Down moves the selected row down; the merge follows the list's order.
    sim.Char(WXK_DOWN, wxMOD_ALT);
    ASSERT_TRUE(WaitFor([&] { return list->GetCellText(1, 0) == "k0.png"; }, 5));
    EXPECT_EQ(Column(list, 0), Names({"k1.png", "k0.png", "k2.png"}));
    ASSERT_EQ(list->GetSelectedRows().size(), 1u);
    EXPECT_EQ(list->GetSelectedRows()[0], 1);

    // Ctrl+A selects every row.
    sim.Char('A', wxMOD_CONTROL);
    ASSERT_TRUE(WaitFor([&] { return list->GetSelectedRows().size() == 3; }, 5));

    // Delete asks first.
    MessageRecorder messages({wxID_CANCEL});
    sim.Char(WXK_DELETE);
    ASSERT_TRUE(WaitFor([&] { return messages.messages.size() == 1; }, 5));
    EXPECT_EQ(list->GetRowCount(), 3);

    // Ctrl+Return starts the conversion.
    sim.Char(WXK_RETURN, wxMOD_CONTROL);
    ASSERT_TRUE(WaitFor([&] { return wxFileExists(output + "/k2.pdf"); }, 20));
    ASSERT_TRUE(WaitIdle());
}

TEST_F(WindowTest, NavigationKeysMoveTheSelectionAndKeepItInView) {
    wxArrayString paths;
    for (int i = 0; i < 30; ++i) {
        paths.Add(Image(wxString::Format("n%02d.png", i)));
    }
    Load(paths);
    XyGrid* grid = list->GetGrid();
    auto selected = [this](int first, int last) {
        const wxArrayInt rows = list->GetSelectedRows();
        return !rows.empty() && rows.front() == first && rows.back() == last &&
               static_cast<int>(rows.size()) == last - first + 1;
    };
    wxUIActionSimulator sim;
    const wxRect cell = grid->CellToRect(2, 0);
    MovePointer(sim, grid->GetGridWindow()->ClientToScreen(cell.GetPosition() + wxPoint(10, 10)));
    sim.MouseClick();
    ASSERT_TRUE(WaitFor([&] { return selected(2, 2); }, 5));

    struct Case {
        int key;
        int modifiers;
        int first; // the selected rows after the key
        int last;
    };
    const Case cases[] = {
        {WXK_DOWN, wxMOD_NONE, 3, 3}, {WXK_DOWN, wxMOD_SHIFT, 3, 4}, {WXK_DOWN, wxMOD_SHIFT, 3, 5},
        {WXK_UP, wxMOD_NONE, 4, 4},   {WXK_END, wxMOD_NONE, 29, 29}, {WXK_HOME, wxMOD_SHIFT, 0, 29},
        {WXK_HOME, wxMOD_NONE, 0, 0},
    };
    for (const Case& c : cases) {
        sim.Char(c.key, c.modifiers);
        ASSERT_TRUE(WaitFor([&] { return selected(c.first, c.last); }, 5)) << "key " << c.key;
        EXPECT_TRUE(grid->IsVisible(grid->GetGridCursorRow(), 0)) << "key " << c.key;
    }
    // A page down moves by the rows in view, less one.
    sim.Char(WXK_PAGEDOWN);
    ASSERT_TRUE(WaitFor([&] { return grid->GetGridCursorRow() > 3; }, 5));
    const int row = grid->GetGridCursorRow();
    EXPECT_TRUE(selected(row, row));
    EXPECT_TRUE(grid->IsVisible(row, 0));

    // Delete removes the row the keys reached.
    MessageRecorder messages({wxID_OK});
    sim.Char(WXK_DELETE);
    ASSERT_TRUE(WaitFor([&] { return list->GetRowCount() == 29; }, 5));
    EXPECT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(Column(list, 0).Index(wxString::Format("n%02d.png", row)), wxNOT_FOUND);
}

TEST_F(WindowTest, ShortcutsStillWorkAfterTheKeysRemovedEveryRow) {
    Load(Paths({Image("s0.png"), Image("s1.png")}));
    XyGrid* grid = list->GetGrid();
    wxUIActionSimulator sim;
    const wxRect cell = grid->CellToRect(0, 0);
    MovePointer(sim, grid->GetGridWindow()->ClientToScreen(cell.GetPosition() + wxPoint(10, 10)));
    sim.MouseClick();
    ASSERT_TRUE(WaitFor([&] { return grid->GetGridWindow()->HasFocus(); }, 5));
    MessageRecorder messages({wxID_OK});
    sim.Char('A', wxMOD_CONTROL);
    sim.Char(WXK_DELETE);
    ASSERT_TRUE(WaitFor([&] { return list->GetRowCount() == 0; }, 5));
    DialogAnswer<wxFileDialog> files([](wxFileDialog*) { return wxID_CANCEL; });
    sim.Char('O', wxMOD_CONTROL);
    EXPECT_TRUE(WaitFor([&] { return files.shown == 1; }, 5)) << "Ctrl+O after the list emptied";
}

TEST_F(WindowTest, CtrlClickTogglesOneRowAndAClickBelowTheRowsClearsTheSelection) {
    Load(Paths({Image("c0.png"), Image("c1.png"), Image("c2.png")}));
    XyGrid* grid = list->GetGrid();
    grid->SelectAll();
    wxUIActionSimulator sim;
    const wxRect cell = grid->CellToRect(1, 0);
    MovePointer(sim, grid->GetGridWindow()->ClientToScreen(cell.GetPosition() + wxPoint(10, 10)));
    sim.KeyDown(WXK_CONTROL);
    sim.MouseClick();
    sim.KeyUp(WXK_CONTROL);
    ASSERT_TRUE(WaitFor([&] { return list->GetSelectedRows().size() == 2; }, 5));
    EXPECT_EQ(list->GetSelectedRows()[0], 0);
    EXPECT_EQ(list->GetSelectedRows()[1], 2);

    const wxRect last = grid->CellToRect(2, 0);
    MovePointer(sim, grid->GetGridWindow()->ClientToScreen(wxPoint(10, last.GetBottom() + 20)));
    sim.MouseClick();
    ASSERT_TRUE(WaitFor([&] { return list->GetSelectedRows().empty(); }, 5));
}

TEST_F(WindowTest, TheMergedNameIsTheOneTypedAndBadNamesKeepThePromptOpen) {
    Load(Paths({Image("p1.png", 40, 30), Image("p2.png", 30, 40)}));
    // The second image first: the merge follows the list.
    list->GetGrid()->SelectRow(1);
    list->MoveSelection(-1);
    list->GetGrid()->ClearSelection();
    // An older file of the first row's name is not the merge's to replace.
    {
        wxFile older(output + "/p2.pdf", wxFile::write);
        older.Write("older");
    }
    wxUIActionSimulator sim;
    DhCheckBox* merge = frame->GetOutputPanel()->GetMergeBox();
    MovePointer(sim, merge->ClientToScreen(wxPoint(8, merge->GetSize().y / 2)));
    sim.MouseClick();
    ASSERT_TRUE(WaitFor([] { return DomainSettings::GetKeyedInt(DomainSettings::kMerge) == 1; }));

    MessageRecorder messages;
    wxTextEntryDialog* prompt = nullptr;
    auto typing = [&prompt] {
        for (wxWindow* top : wxTopLevelWindows) {
            if (auto* dialog = dynamic_cast<wxTextEntryDialog*>(top); dialog && dialog->IsShown()) {
                prompt = dialog;
                wxWindow* focus = wxWindow::FindFocus();
                return focus != nullptr && dynamic_cast<wxTextCtrl*>(focus) != nullptr &&
                       wxGetTopLevelParent(focus) == dialog;
            }
        }
        return false;
    };
    // Replaces the prompt's text with what a person types, then presses Return.
    auto type = [&sim](const char* text) {
        sim.Char('A', wxMOD_CONTROL);
        sim.Char(WXK_DELETE);
        sim.Text(text);
        sim.Char(WXK_RETURN);
    };
    Script script(
        {Script::Wait(typing), Script::Act([&] {
             EXPECT_EQ(prompt->GetValue(), "p2");
             type("   ");
         }),
         Script::Wait([&] { return messages.messages.size() == 1; }), Script::Wait(typing),
         Script::Act([&] {
             // Pasted text passes no character filter: OK must catch it.
             if (wxTheClipboard->Open()) {
                 wxTheClipboard->SetData(new wxTextDataObject("Holiday/2024"));
                 wxTheClipboard->Close();
             }
             sim.Char('A', wxMOD_CONTROL);
             sim.Char('V', wxMOD_CONTROL);
         }),
         Script::Wait([&] {
             return static_cast<wxTextCtrl*>(wxWindow::FindFocus())->GetValue() == "Holiday/2024";
         }),
         Script::Act([&] {
             // OK pressed with the pointer.
             wxWindow* ok = prompt->FindWindow(wxID_OK);
             MovePointer(sim,
                         ok->ClientToScreen(wxPoint(ok->GetSize().x / 2, ok->GetSize().y / 2)));
             sim.MouseClick();
         }),
         Script::Wait([&] { return messages.messages.size() == 2; }), Script::Wait(typing),
         Script::Act([&] { type("MyMerged Order"); })});
    sim.Char(WXK_RETURN, wxMOD_CONTROL);
    ASSERT_TRUE(WaitFor([&] { return script.Done(); }));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(messages.messages,
              (std::vector<wxString>{"Invalid file name!", "Invalid file name!"}));
    ASSERT_TRUE(wxFileExists(output + "/MyMerged Order.pdf"));
    EXPECT_EQ(wxFileName::GetSize(output + "/p2.pdf"), 5u);
    // The page of the tall image p2 comes first: it is the portrait one.
    const std::vector<wxSize> pages = PageSizes(output + "/MyMerged Order.pdf");
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_LT(pages[0].x, pages[0].y);
    EXPECT_GT(pages[1].x, pages[1].y);
}

TEST_F(WindowTest, OpenAndStartNeedAnExistingWritableFolder) {
    OutputWindow* panel = frame->GetOutputPanel();
    Load(Paths({Image("o.png")}));
    struct Case {
        const char* label;
        std::function<wxString()> folder;
        const char* start;
    };
    const wxString file = m_home.Documents() + "/not a folder";
    TestHome::WriteFile(file, "x");
    const wxString locked = m_home.Documents() + "/locked";
    wxMkdir(locked, 0500);
    const Case cases[] = {
        {"missing", [&] { return m_home.Documents() + "/gone"; }, "Select an output folder."},
        {"a file", [&] { return file; }, "The folder is unwritable, please choose another one!"},
        {"empty", [] { return wxString(); }, "Select an output folder."},
    };
    for (const Case& c : cases) {
        panel->GetFolderField()->SetValue(c.folder());
        DomainSettings::SetKeyed(DomainSettings::kOutputDir, c.folder());
        MessageRecorder messages;
        wxCommandEvent open(wxEVT_BUTTON, OutputWindow::kOpen);
        panel->GetEventHandler()->ProcessEvent(open);
        panel->RequestStart();
        ASSERT_EQ(messages.messages.size(), 2u) << c.label;
        EXPECT_EQ(list->GetState(), SelectWindow::State::kIdle) << c.label;
        EXPECT_EQ(messages.messages[1], c.start) << c.label;
    }
    if (geteuid() != 0) { // root writes anywhere
        DomainSettings::SetKeyed(DomainSettings::kOutputDir, locked);
        MessageRecorder messages;
        panel->RequestStart();
        EXPECT_EQ(messages.messages,
                  std::vector<wxString>{"The folder is unwritable, please choose another one!"});
    }
}

TEST_F(WindowTest, OpenWhileSavingBesideTheSourcesNeedsASelectedRow) {
    Load(Paths({Image("s.png")}));
    OutputWindow* panel = frame->GetOutputPanel();
    wxCommandEvent beside(DH_EVT_RADIO_BUTTON, OutputWindow::kBesideSource);
    panel->GetEventHandler()->ProcessEvent(beside);
    EXPECT_EQ(DomainSettings::GetKeyed(DomainSettings::kSaveBesideSource), "1");
    list->GetGrid()->ClearSelection();
    MessageRecorder messages;
    wxCommandEvent open(wxEVT_BUTTON, OutputWindow::kOpen);
    panel->GetEventHandler()->ProcessEvent(open);
    EXPECT_EQ(messages.messages, std::vector<wxString>{"No item selected!"});
}

TEST_F(WindowTest, TheMenuFollowsThePointerFromOneTitleToTheNext) {
    ZLMenuBar* bar = frame->GetThemedMenuBar()->GetTitleBar();
    ZlMenuButton* file = bar->GetTitles()[0];
    ZlMenuButton* edit = bar->GetTitles()[1];
    wxUIActionSimulator sim;
    std::vector<int> opened;
    Script script({Script::Wait([&] { return bar->GetOpenMenu() == DhMenuBarBase::kFileTitle; }),
                   Script::Act([&] {
                       opened.push_back(bar->GetOpenMenu());
                       sim.MouseMove(edit->GetScreenPosition() + wxPoint(5, 5));
                   }),
                   Script::Wait([&] { return bar->GetOpenMenu() == DhMenuBarBase::kEditTitle; }),
                   Script::Act([&] {
                       opened.push_back(bar->GetOpenMenu());
                       sim.Char(WXK_ESCAPE);
                   })});
    // The title lights up under the pointer once no menu holds the pointer any more.
    MovePointer(sim, file->GetScreenPosition() + wxPoint(5, 5));
    ASSERT_TRUE(WaitFor([&] { return file->GetState() == 1; }, 5));
    sim.MouseClick();
    ASSERT_TRUE(WaitFor([&] { return script.Done() && bar->GetOpenMenu() < 0; }, 20));
    EXPECT_EQ(opened, (std::vector<int>{DhMenuBarBase::kFileTitle, DhMenuBarBase::kEditTitle}));

    // After Esc, one click on a title opens its menu.
    Script again({Script::Wait([&] { return bar->GetOpenMenu() == DhMenuBarBase::kFileTitle; }),
                  Script::Act([&] { sim.Char(WXK_ESCAPE); })});
    MovePointer(sim, file->GetScreenPosition() + wxPoint(5, 5) + wxPoint(1, 0));
    ASSERT_TRUE(WaitFor([&] { return file->GetState() == 1; }, 5));
    sim.MouseClick();
    EXPECT_TRUE(WaitFor([&] { return again.Done() && bar->GetOpenMenu() < 0; }, 20));
}

TEST_F(WindowTest, TheLanguageChangesWithoutARestart) {
    Load(Paths({Image("l.png")}));
    XyGrid* grid = list->GetGrid();
    EXPECT_EQ(grid->GetColLabelValue(0), "File Name");
    EXPECT_EQ(frame->GetThemedToolBar()->GetButton(ZqToolBar::kAddFile)->GetLabel(), "Add File");
    const wxString englishStart = frame->GetOutputPanel()->GetStartButton()->GetLabel();

    wxCommandEvent german(EVT_LANGUAGE_CHANGED, frame->GetId());
    german.SetInt(LanguageFile::kGerman);
    frame->OnLanguageChanged(german);
    EXPECT_EQ(grid->GetColLabelValue(0), "Dateiname");
    EXPECT_EQ(frame->GetThemedToolBar()->GetButton(ZqToolBar::kAddFile)->GetLabel(),
              wxString::FromUTF8("Datei hinzufügen"));
    EXPECT_NE(frame->GetOutputPanel()->GetStartButton()->GetLabel(), englishStart);
    EXPECT_EQ(frame->GetThemedMenuBar()->GetTitleBar()->GetTitles()[0]->GetLabel(), "Datei");
    EXPECT_TRUE(frame->GetThemedMenuBar()->GetLanguageMenu()->IsChecked(LanguageFile::kGerman));
    EXPECT_EQ(LanguageFile::ReadLanguage(), LanguageFile::kGerman);

    wxCommandEvent english(EVT_LANGUAGE_CHANGED, frame->GetId());
    english.SetInt(LanguageFile::kEnglish);
    frame->OnLanguageChanged(english);
    EXPECT_EQ(grid->GetColLabelValue(0), "File Name");
}

TEST_F(WindowTest, ClosingDuringAConversionAsksAndEndsWhenTheFileInHandIsDone) {
    wxArrayString paths;
    for (int i = 0; i < 4; ++i) {
        paths.Add(Image(wxString::Format("z%d.png", i), 800, 600));
    }
    Load(paths);
    list->SetConverter(&gated);
    frame->GetOutputPanel()->RequestStart();
    {
        // "No": the job goes on.
        MessageRecorder messages({wxID_NO});
        EXPECT_FALSE(frame->Close(false));
        EXPECT_EQ(messages.messages.size(), 1u);
        EXPECT_EQ(frame->endRequests, 0);
    }
    MessageRecorder messages({wxID_YES});
    frame->Close(false);
    EXPECT_EQ(frame->endRequests, 0) << "the file in hand finishes first";
    EXPECT_FALSE(frame->IsEnabled());
    EXPECT_EQ(ConvertState, DomainConvert::kAbandonRequested);
    gated.Open();
    ASSERT_TRUE(WaitFor([&] { return frame->endRequests == 1; }));
    int written = 0;
    for (int i = 0; i < 4; ++i) {
        written += wxFileExists(output + wxString::Format("/z%d.pdf", i)) ? 1 : 0;
    }
    EXPECT_EQ(written, 1) << "the file in hand, and no other";
}

TEST_F(WindowTest, QuittingAfterTheJobEndedUnderTheQuestionEndsTheProgram) {
    Load(Paths({Image("q0.png"), Image("q1.png")}));
    list->SetConverter(&gated);
    frame->GetOutputPanel()->RequestStart();
    // The question stays open while the job runs to its end; then the user answers Yes.
    DialogAnswer<wxMessageDialog> answer([&](wxMessageDialog*) {
        gated.Open();
        EXPECT_TRUE(WaitIdle());
        return wxID_YES;
    });
    frame->Close(false);
    EXPECT_EQ(answer.shown, 1);
    ASSERT_TRUE(WaitFor([&] { return frame->endRequests == 1; }, 5));
    EXPECT_TRUE(wxFileExists(output + "/q1.pdf"));
}

TEST_F(WindowTest, EveryControlOfTheWindowLiesInsideItsPanel) {
    // A face value that puts a control outside its panel (a button past the title bar's
    // right edge, a field below the output panel) fails here.
    std::function<void(wxWindow*)> check = [&check](wxWindow* parent) {
        const wxRect inside(parent->GetClientSize());
        for (wxWindow* child : parent->GetChildren()) {
            if (!child->IsShown() || child->IsTopLevel()) {
                continue;
            }
            EXPECT_TRUE(inside.Contains(child->GetRect()))
                << child->GetClassInfo()->GetClassName() << " \"" << child->GetLabel() << "\" at "
                << child->GetRect().x << "," << child->GetRect().y << " size "
                << child->GetRect().width << "x" << child->GetRect().height << " in "
                << parent->GetClassInfo()->GetClassName() << " " << inside.width << "x"
                << inside.height;
            if (dynamic_cast<wxGrid*>(child) == nullptr) {
                check(child);
            }
        }
    };
    check(frame);
}

TEST_F(WindowTest, TheWindowResizesByItsCornerAndMaximisesWithTheListGrowing) {
    Load(Paths({Image("r.png")}));
    wxUIActionSimulator sim;
    const wxRect before = frame->GetScreenRect();
    const wxRect listBefore = list->GetRect();
    OutputWindow* panel = frame->GetOutputPanel();
    const int startMargin =
        panel->GetClientSize().x - panel->GetStartButton()->GetRect().GetRight();
    // The pointer takes the bottom edge near the right corner (the rounded corner itself is
    // cut from the window) and drags it out, the window staying on the screen (a window
    // manager may move a window that a resize takes past the screen's edge).
    const wxPoint corner = before.GetBottomRight() - wxPoint(12, 2);
    MovePointer(sim, corner);
    sim.MouseDown();
    for (int step = 1; step <= 5; ++step) {
        MovePointer(sim, corner + wxPoint(30 * step, 30 * step));
    }
    sim.MouseUp();
    ASSERT_TRUE(WaitFor([&] { return frame->GetSize() == before.GetSize() + wxSize(150, 150); }, 5))
        << frame->GetSize().x << "x" << frame->GetSize().y << " at " << frame->GetPosition().x
        << "," << frame->GetPosition().y << " pointer " << wxGetMousePosition().x << ","
        << wxGetMousePosition().y;
    EXPECT_EQ(frame->GetPosition(), before.GetPosition());
    ASSERT_TRUE(
        WaitFor([&] { return list->GetSize() == listBefore.GetSize() + wxSize(150, 150); }, 5));
    EXPECT_EQ(list->GetGrid()->GetSize().y, list->GetClientSize().y - 2)
        << "the list shows more rows";
    EXPECT_EQ(panel->GetClientSize().x - panel->GetStartButton()->GetRect().GetRight(),
              startMargin);
    TitleWindow* title = frame->GetTitleBar();
    EXPECT_GT(title->GetCloseButton()->GetRect().GetRight(), title->GetClientSize().x - 16);

    // Dragging the top left corner far in stops at the smallest size.
    const wxPoint topLeft = frame->GetScreenRect().GetTopLeft() + wxPoint(12, 1);
    MovePointer(sim, topLeft);
    sim.MouseDown();
    MovePointer(sim, topLeft + wxPoint(600, 500));
    sim.MouseUp();
    ASSERT_TRUE(WaitFor([&] { return frame->GetSize() == frame->GetMinSize(); }, 5))
        << frame->GetSize().x << "x" << frame->GetSize().y << " min " << frame->GetMinSize().x
        << "x" << frame->GetMinSize().y;
    EXPECT_EQ(frame->GetScreenRect().GetBottomRight(), before.GetBottomRight() + wxPoint(150, 150))
        << "the other corner stays";

    // The maximise button fills the screen; pressing it again gives the size back.
    const wxSize small = frame->GetSize();
    wxWindow* maximize = title->GetMaximizeButton();
    const wxPoint button =
        maximize->ClientToScreen(wxPoint(maximize->GetSize().x / 2, maximize->GetSize().y / 2));
    MovePointer(sim, button);
    sim.MouseClick();
    ASSERT_TRUE(WaitFor([&] { return frame->IsMaximized(); }, 5));
    ASSERT_TRUE(WaitFor([&] { return frame->GetSize().x > small.x + 200; }, 5));
    EXPECT_TRUE(wxRect(frame->GetSize()).Contains(wxRect(list->GetRect())));
    // Not so soon that the two clicks make a double click.
    const auto later = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    WaitFor([&] { return std::chrono::steady_clock::now() > later; }, 2);
    MovePointer(sim, maximize->ClientToScreen(
                         wxPoint(maximize->GetSize().x / 2, maximize->GetSize().y / 2)));
    sim.MouseClick();
    ASSERT_TRUE(WaitFor([&] { return !frame->IsMaximized() && frame->GetSize() == small; }, 5));
}

TEST_F(WindowTest, TabReachesTheThemedControlsInOrder) {
    Load(Paths({Image("t.png")}));
    ZqToolBar* tools = frame->GetThemedToolBar();
    OutputWindow* panel = frame->GetOutputPanel();
    tools->GetButton(ZqToolBar::kAddFile)->SetFocus();
    ASSERT_TRUE(WaitFor([&] { return tools->GetButton(ZqToolBar::kAddFile)->HasFocus(); }, 5));
    const std::vector<wxWindow*> order = {
        tools->GetButton(ZqToolBar::kAddFolder),
        tools->GetButton(ZqToolBar::kDelete),
        tools->GetButton(ZqToolBar::kClearAll),
        list->GetGrid(),
        panel->GetBesideSourceButton(),
        panel->GetCustomizeButton(),
        panel->GetFolderField(),
        panel->FindWindow(OutputWindow::kBrowse),
        panel->FindWindow(OutputWindow::kOpen),
        panel->GetMergeBox(),
        panel->GetStartButton(),
    };
    wxUIActionSimulator sim;
    for (wxWindow* expected : order) {
        sim.Char(WXK_TAB);
        EXPECT_TRUE(WaitFor(
            [&] {
                wxWindow* focus = wxWindow::FindFocus();
                return focus == expected || (focus != nullptr && focus->GetParent() == expected);
            },
            5))
            << expected->GetClassInfo()->GetClassName() << " " << expected->GetLabel()
            << "; the focus is on "
            << (wxWindow::FindFocus() ? wxWindow::FindFocus()->GetClassInfo()->GetClassName()
                                      : L"nothing");
    }
    // Space on the focused Start button starts the conversion.
    sim.Char(WXK_SPACE);
    ASSERT_TRUE(WaitFor([&] { return wxFileExists(output + "/t.pdf"); }));
}

TEST_F(WindowTest, AStatusCellShowsTheLatestStatusOfItsRow) {
    Load(Paths({Image("a.png"), Image("b.png")}));
    XyGrid* grid = list->GetGrid();
    const int col = list->GetTable()->FindKind(FileGridTable::kStatus);
    // Draws the cell as the grid paints it, through the attribute the grid looks up (and
    // keeps for the next lookup of the same cell), and tells whether the bar reaches 90 %.
    auto barAt90 = [&](int row) {
        const wxRect rect(0, 0, 100, 30);
        wxBitmap bitmap(rect.GetSize());
        wxMemoryDC dc(bitmap);
        wxGridCellAttrPtr shown(grid->GetTable()->GetAttr(row, col, wxGridCellAttr::Any));
        wxGridCellRendererPtr renderer(grid->GetCellRenderer(row, col));
        renderer->Draw(*grid, *shown, dc, rect, row, col, false);
        dc.SelectObject(wxNullBitmap);
        const wxImage image = bitmap.ConvertToImage();
        return image.GetRed(90, 15) == 252 && image.GetGreen(90, 15) == 156;
    };
    auto render = [&](int row, int percent) {
        DhGridCellRenderCommandEvent event(EVT_CELL_RENDER, list->GetId(), row, col,
                                           DhGridCellRenderCommandEvent::kProgress);
        event.SetInt(percent);
        list->OnCellRender(event);
    };
    render(0, 30);
    render(1, 30);
    EXPECT_FALSE(barAt90(0));
    render(0, 100);
    EXPECT_TRUE(barAt90(0)) << "the row's own status, not the one drawn before";
    EXPECT_FALSE(barAt90(1));
}

TEST_F(WindowTest, TheFileDialogOffersEveryImageWhateverTheCaseOfItsName) {
    wxString wildcard;
    DialogAnswer<wxFileDialog> answer([&](wxFileDialog* dialog) {
        wildcard = dialog->GetWildcard();
        return wxID_CANCEL;
    });
    list->AddFiles();
    ASSERT_EQ(answer.shown, 1);
    // The desktop's dialog compares names case-sensitively: each pattern takes both cases.
    for (const char* pattern :
         {"*.[jJ][pP][gG]", "*.[jJ][pP][eE][gG]", "*.[pP][nN][gG]", "*.[tT][iI][fF]",
          "*.[tT][iI][fF][fF]", "*.[bB][mM][pP]", "*.[gG][iI][fF]", "*.[wW][eE][bB][pP]",
          "*.[jJ][pP]2", "*.[jJ]2[kK]", "*.[jJ][pP][xX]", "*.[hH][eE][iI][cC]",
          "*.[hH][eE][iI][fF]", "*.[aA][vV][iI][fF]", "*.[jJ][xX][lL]"}) {
        EXPECT_TRUE(wildcard.Contains(pattern)) << pattern << " in " << wildcard;
    }
    // The newer formats have filters of their own, each after its label.
    for (const char* filter :
         {"|WebP images|*.[wW][eE][bB][pP]|",
          "|JPEG 2000 images|*.[jJ][pP]2;*.[jJ]2[kK];*.[jJ][pP][xX]|",
          "|HEIF and AVIF images|*.[hH][eE][iI][cC];*.[hH][eE][iI][fF];*.[aA][vV][iI][fF]|",
          "|JPEG XL images|*.[jJ][xX][lL]|"}) {
        EXPECT_TRUE(wildcard.Contains(filter)) << filter << " in " << wildcard;
    }
    EXPECT_TRUE(wildcard.EndsWith("|*")) << "an \"All files\" filter: " << wildcard;
}

TEST_F(WindowTest, AnEditedOutputNameIsCheckedLikeTheMergedName) {
    Load(Paths({Image("edit me.png")}));
    XyGrid* grid = list->GetGrid();
    auto commit = [&](const char* text) {
        wxGridEvent changing(grid->GetId(), wxEVT_GRID_CELL_CHANGING, grid, 0,
                             FileRowInfo::kOutputName);
        changing.SetString(wxString::FromUTF8(text));
        grid->ProcessWindowEvent(changing);
    };
    MessageRecorder messages;
    commit("../elsewhere");
    ASSERT_TRUE(WaitFor([&] { return messages.messages.size() == 1; }, 5));
    EXPECT_EQ(messages.messages[0], "Invalid file name!");
    EXPECT_EQ(list->GetCellText(0, FileRowInfo::kOutputName), "edit me");
    commit("  Urlaub 2024  ");
    EXPECT_EQ(list->GetCellText(0, FileRowInfo::kOutputName), "Urlaub 2024");
    frame->GetOutputPanel()->RequestStart();
    ASSERT_TRUE(WaitIdle());
    EXPECT_TRUE(wxFileExists(output + "/Urlaub 2024.pdf"));
}

TEST_F(WindowTest, BrowseKeepsTheFolderWhenTheChosenOneCannotBeWritten) {
    OutputWindow* panel = frame->GetOutputPanel();
    const wxString before = panel->GetFolderField()->GetValue();
    const wxString file = m_home.Documents() + "/a file";
    TestHome::WriteFile(file, "x");
    const wxString locked = m_home.Documents() + "/locked";
    wxMkdir(locked, 0500);
    std::vector<wxString> refused = {file, m_home.Documents() + "/gone"};
    if (geteuid() != 0) { // root writes anywhere
        refused.push_back(locked);
    }
    for (const wxString& folder : refused) {
        MessageRecorder messages;
        EXPECT_FALSE(panel->ChooseFolder(folder)) << folder;
        EXPECT_EQ(messages.messages,
                  std::vector<wxString>{"The folder is unwritable, please choose another one!"});
        EXPECT_EQ(panel->GetFolderField()->GetValue(), before);
        EXPECT_EQ(DomainSettings::GetKeyed(DomainSettings::kOutputDir), before);
    }
    const wxString fresh = m_home.Documents() + "/fresh";
    wxMkdir(fresh);
    EXPECT_TRUE(panel->ChooseFolder(fresh));
    EXPECT_EQ(panel->GetFolderField()->GetValue(), fresh);
    EXPECT_EQ(DomainSettings::GetKeyed(DomainSettings::kOutputDir), fresh);
}

TEST_F(WindowTest, F10OpensTheMenusAndTheArrowKeysMoveBetweenThem) {
    ZLMenuBar* bar = frame->GetThemedMenuBar()->GetTitleBar();
    wxUIActionSimulator sim;
    frame->GetThemedToolBar()->GetButton(ZqToolBar::kAddFile)->SetFocus();
    std::vector<int> opened;
    Script script({Script::Wait([&] { return bar->GetOpenMenu() == DhMenuBarBase::kFileTitle; }),
                   Script::Act([&] {
                       opened.push_back(bar->GetOpenMenu());
                       sim.Char(WXK_RIGHT);
                   }),
                   Script::Wait([&] { return bar->GetOpenMenu() == DhMenuBarBase::kEditTitle; }),
                   Script::Act([&] {
                       opened.push_back(bar->GetOpenMenu());
                       sim.Char(WXK_LEFT);
                   }),
                   Script::Wait([&] { return bar->GetOpenMenu() == DhMenuBarBase::kFileTitle; }),
                   Script::Act([&] { sim.Char(WXK_ESCAPE); })});
    sim.Char(WXK_F10);
    ASSERT_TRUE(WaitFor([&] { return script.Done() && bar->GetOpenMenu() < 0; }, 20));
    EXPECT_EQ(opened, (std::vector<int>{DhMenuBarBase::kFileTitle, DhMenuBarBase::kEditTitle}));
}

// With OCR chosen, a language that is not installed is said at Start before any file is
// touched; recognition shows as part of the row's progress, and Stop ends it: the file in
// hand is then not converted.
TEST_F(WindowTest, OcrIsCheckedAtStartShowsItsProgressAndStops) {
    if (PdfOcrCheckLanguages("eng", nullptr) != nullptr) {
        GTEST_SKIP() << "the OCR engine or its English data is not installed";
    }
    // A page of text, long enough to recognise that Stop comes in the middle.
    const wxString page = m_home.Documents() + "/page.png";
    std::string command = "convert -size 2400x3200 xc:white -font DejaVu-Sans -pointsize 40";
    for (int line = 0; line < 36; ++line) {
        command += " -annotate +100+" + std::to_string(120 + line * 84) +
                   " 'Harbour lantern kitchen marble number " + std::to_string(line) + "'";
    }
    ASSERT_EQ(std::system((command + " '" + std::string(page.utf8_str()) + "'").c_str()), 0);
    Load(Paths({page, Image("second.png")}));
    OutputWindow* panel = frame->GetOutputPanel();

    DomainSettings::SetNamed("page:ocr", "eng+xyz");
    {
        MessageRecorder messages;
        panel->RequestStart();
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_TRUE(messages.messages[0].StartsWith(
            "Text recognition (OCR) cannot run: the OCR language \"xyz\" is not installed"))
            << messages.messages[0];
        EXPECT_EQ(list->GetState(), SelectWindow::State::kIdle);
    }

    DomainSettings::SetNamed("page:ocr", "eng");
    panel->RequestStart();
    // Past reading (30 %) and not done: the engine is at work on the row.
    ASSERT_TRUE(WaitFor([&] {
        const FileGridTable::Status& status = list->GetTable()->GetStatus(0);
        return status.state == DhGridCellRenderCommandEvent::kProgress && status.percent > 30 &&
               status.percent < 100;
    }));
    panel->RequestStop();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(StatusOf(list, 0), DhGridCellRenderCommandEvent::kStopped);
    EXPECT_EQ(StatusOf(list, 1), DhGridCellRenderCommandEvent::kStopped);
    EXPECT_FALSE(wxFileExists(output + "/page.pdf"));
    EXPECT_FALSE(wxFileExists(output + "/second.pdf"));
    DomainSettings::SetNamed("page:ocr", "");
}
