// The interface in each of its seven languages: started in it, switched live to the next one,
// and every label of the main window and of the dialogs fitting its control.
#include "app/language_file.h"
#include "common/text_wrap.h"
#include "dialog/about_dialog.h"
#include "dialog/cjx_progress_dialog.h"
#include "dialog/preference_dialog.h"
#include "dialog/setting_page.h"
#include "domain/domain_page.h"
#include "gui/dialog_test_support.h"
#include "gui/window_test_support.h"
#include "support/loopback_server.h"
#include "window/base/dh_word_button.h"
#include "window/base/zl_menu_button.h"
#include "window/file_grid_table.h"
#include "window/language_event.h"
#include "window/notify_code.h"
#include "window/output_window.h"
#include "window/xy_grid.h"
#include "window/zl_menu_bar.h"
#include "window/zq_menu_bar.h"
#include "window/zq_tool_bar.h"

#include <wx/bookctrl.h>
#include <wx/combobox.h>
#include <wx/ctrlsub.h>
#include <wx/dcclient.h>
#include <wx/notebook.h>
#include <wx/spinctrl.h>
#include <wx/stattext.h>
#include <wx/textentry.h>

#include <gtk/gtk.h>

#include <map>
#include <memory>
#include <string>

namespace {
// Each language with a few of its labels as the user reads them.
struct Language {
    int number;
    const char* name;
    const char* fileNameColumn;
    const char* start;
    const char* fileMenu;
    const char* addFile;
};
const Language kLanguages[] = {
    {LanguageFile::kEnglish, "English", "File Name", "Start ", "File", "Add File"},
    {LanguageFile::kChineseSimplified, "ChineseSimplified", "文件名", "开始 ", "文件", "添加文件"},
    {LanguageFile::kChineseTraditional, "ChineseTraditional", "檔案名稱", "開始 ", "檔案",
     "新增檔案"},
    {LanguageFile::kGerman, "German", "Dateiname", "Starten ", "Datei", "Datei hinzufügen"},
    {LanguageFile::kFrench, "French", "Nom du fichier", "Démarrer ", "Fichier",
     "Ajouter un fichier"},
    {LanguageFile::kItalian, "Italian", "Nome file", "Avvia ", "File", "Aggiungi file"},
    {LanguageFile::kJapanese, "Japanese", "ファイル名", "開始 ", "ファイル", "ファイルを追加"},
};

std::string LanguageName(const testing::TestParamInfo<size_t>& info) {
    return kLanguages[info.param].name;
}

// The size a text needs in the window's font, line by line.
wxSize TextSize(wxWindow* window, const wxString& text) {
    wxSize size;
    for (const wxString& line : wxSplit(text, '\n', '\0')) {
        const wxSize extent = window->GetTextExtent(line.empty() ? wxString(" ") : line);
        size.x = std::max(size.x, extent.x);
        size.y += extent.y;
    }
    return size;
}

// A control that shows its label as its text: not a field, a list, a notebook or a label
// that is shortened with an ellipsis on purpose.
bool ShowsLabel(wxWindow* window) {
    auto* control = dynamic_cast<wxControl*>(window);
    if (control == nullptr || control->GetLabelText().empty() ||
        dynamic_cast<wxTextEntry*>(window) != nullptr ||
        dynamic_cast<wxItemContainer*>(window) != nullptr ||
        dynamic_cast<wxBookCtrlBase*>(window) != nullptr ||
        dynamic_cast<wxSpinCtrl*>(window) != nullptr) {
        return false;
    }
    return dynamic_cast<wxStaticTextBase*>(window) == nullptr ||
           !window->HasFlag(wxST_ELLIPSIZE_START | wxST_ELLIPSIZE_MIDDLE | wxST_ELLIPSIZE_END);
}

wxString Describe(wxWindow* window) {
    const wxRect rect = window->GetRect();
    auto* control = dynamic_cast<wxControl*>(window);
    return wxString::Format("%s \"%s\" at %d,%d size %dx%d", window->GetClassInfo()->GetClassName(),
                            control != nullptr ? control->GetLabelText() : wxString(), rect.x,
                            rect.y, rect.width, rect.height);
}

// Every shown control lies inside its parent, overlaps none of its siblings (the pages of a
// notebook excepted, which take turns) and is as large as the text of its label.
void ExpectLaidOut(wxWindow* parent) {
    const wxRect inside(parent->GetClientSize());
    std::vector<wxWindow*> shown;
    for (wxWindow* child : parent->GetChildren()) {
        if (child->IsShown() && !child->IsTopLevel()) {
            shown.push_back(child);
        }
    }
    for (size_t i = 0; i < shown.size(); ++i) {
        wxWindow* child = shown[i];
        EXPECT_TRUE(inside.Contains(child->GetRect()))
            << Describe(child) << " leaves " << Describe(parent);
        if (dynamic_cast<wxBookCtrlBase*>(parent) == nullptr) {
            for (size_t j = i + 1; j < shown.size(); ++j) {
                EXPECT_FALSE(child->GetRect().Intersects(shown[j]->GetRect()))
                    << Describe(child) << " overlaps " << Describe(shown[j]);
            }
        }
        if (ShowsLabel(child)) {
            const wxSize text = TextSize(child, static_cast<wxControl*>(child)->GetLabelText());
            EXPECT_GE(child->GetSize().x, text.x) << Describe(child) << " needs " << text.x;
            EXPECT_GE(child->GetSize().y, text.y) << Describe(child) << " needs " << text.y;
        }
        if (dynamic_cast<wxGrid*>(child) == nullptr) {
            ExpectLaidOut(child);
        }
    }
}

// Looks at each modal dialog of its lifetime instead of showing it.
class InspectModal : public wxModalDialogHook {
public:
    explicit InspectModal(std::function<void(wxDialog*)> inspect) : m_inspect(std::move(inspect)) {
        Register();
    }
    ~InspectModal() override { Unregister(); }
    int seen = 0;

protected:
    int Enter(wxDialog* dialog) override {
        ++seen;
        m_inspect(dialog);
        return wxID_OK;
    }
    void Exit(wxDialog*) override {}

private:
    std::function<void(wxDialog*)> m_inspect;
};

// The main window, started in the language of the parameter.
class LanguageWindowTest : public WindowTest, public testing::WithParamInterface<size_t> {
protected:
    void SetUp() override {
        LanguageFile::WriteLanguage(kLanguages[GetParam()].number);
        WindowTest::SetUp();
    }

    // Every label of the main window fits its control, empty and with a summary, at the size
    // the window starts with and at its smallest.
    void ExpectMainWindowFits();

    void ExpectLabels(const Language& language) {
        SCOPED_TRACE(language.name);
        EXPECT_EQ(list->GetGrid()->GetColLabelValue(0),
                  wxString::FromUTF8(language.fileNameColumn));
        EXPECT_EQ(frame->GetOutputPanel()->GetStartButton()->GetLabel(),
                  wxString::FromUTF8(language.start));
        EXPECT_EQ(frame->GetThemedMenuBar()->GetTitleBar()->GetTitles()[0]->GetLabel(),
                  wxString::FromUTF8(language.fileMenu));
        EXPECT_EQ(frame->GetThemedToolBar()->GetButton(ZqToolBar::kAddFile)->GetLabel(),
                  wxString::FromUTF8(language.addFile));
    }
};

// The dialogs, in the language of the parameter.
class LanguageDialogTest : public testing::TestWithParam<size_t> {
protected:
    void SetUp() override {
        LoopbackServer::ClearProxyEnvironment();
        LoadFace(m_home.InstallRoot() + "/Themes/face.xml");
        DomainConfig::SetInstance(new DomainConfig(AppUtil::GetConfigPath()));
        DomainPage().Load();
        m_locale = LanguageFile::CreateLocale(kLanguages[GetParam()].number);
    }
    void TearDown() override {
        WaitFor([] { return wxTopLevelWindows.empty(); }, 5);
        m_locale.reset();
        delete DomainConfig::GetInstance();
        DomainConfig::SetInstance(nullptr);
    }

    // Every label of the Preference, About and update dialogs fits its control.
    void ExpectDialogsFit();

    TestHome m_home;
    std::unique_ptr<wxLocale> m_locale;
};

// The desktop's large-text setting: text one and a half times its usual size, as GNOME's
// text scaling (and a screen of 144 dpi) sets it for the toolkit.
class LargeText {
public:
    LargeText() {
        g_object_get(gtk_settings_get_default(), "gtk-xft-dpi", &m_saved, nullptr);
        g_object_set(gtk_settings_get_default(), "gtk-xft-dpi", 96 * 1024 * 3 / 2, nullptr);
    }
    ~LargeText() { g_object_set(gtk_settings_get_default(), "gtk-xft-dpi", m_saved, nullptr); }
    LargeText(const LargeText&) = delete;
    LargeText& operator=(const LargeText&) = delete;

private:
    gint m_saved = -1;
};

// The main window and the dialogs with large text.
class LargeTextWindowTest : public LanguageWindowTest {
protected:
    void SetUp() override {
        m_large = std::make_unique<LargeText>();
        LanguageWindowTest::SetUp();
    }
    void TearDown() override {
        LanguageWindowTest::TearDown();
        m_large.reset();
    }
    std::unique_ptr<LargeText> m_large;
};

class LargeTextDialogTest : public LanguageDialogTest {
protected:
    void SetUp() override {
        m_large = std::make_unique<LargeText>();
        LanguageDialogTest::SetUp();
    }
    void TearDown() override {
        LanguageDialogTest::TearDown();
        m_large.reset();
    }
    std::unique_ptr<LargeText> m_large;
};

std::string Description(const std::string& product, const std::string& version) {
    return "<?xml version=\"1.0\"?><updates><product name=\"" + product + "\" version=\"" +
           version + "\"/></updates>";
}
} // namespace

TEST_P(LanguageWindowTest, StartsInItsLanguageAndSwitchesToTheNextWithoutARestart) {
    Load(Paths({Image("a.png")}));
    ExpectLabels(kLanguages[GetParam()]);

    const Language& next = kLanguages[(GetParam() + 1) % std::size(kLanguages)];
    wxCommandEvent change(EVT_LANGUAGE_CHANGED, frame->GetId());
    change.SetInt(next.number);
    frame->OnLanguageChanged(change);
    ExpectLabels(next);
    EXPECT_EQ(LanguageFile::ReadLanguage(), next.number);
}

TEST_P(LanguageWindowTest, EveryLabelOfTheMainWindowFits) {
    ExpectMainWindowFits();
}

void LanguageWindowTest::ExpectMainWindowFits() {
    {
        SCOPED_TRACE("empty list");
        ExpectLaidOut(frame);
    }
    Load(Paths({Image("a.png")}));
    // The summary of a stopped job with failures: the longest text of the output panel.
    CjxSubject job;
    job.Attach(frame->GetOutputPanel());
    job.SetCode(kNotifyJobSummary);
    JobSummary summary{12, 3, 4, true, output};
    job.Notify(&summary);
    {
        SCOPED_TRACE("list and summary");
        ExpectLaidOut(frame);
    }
    auto expectHeadingsFit = [this] {
        XyGrid* grid = list->GetGrid();
        wxClientDC dc(grid);
        dc.SetFont(grid->GetLabelFont());
        // The native header keeps a margin of several pixels on each side of its text.
        for (int col = 0; col < grid->GetNumberCols(); ++col) {
            if (grid->GetColSize(col) > 0) {
                EXPECT_LE(dc.GetTextExtent(grid->GetColLabelValue(col)).x + 12,
                          grid->GetColSize(col))
                    << grid->GetColLabelValue(col);
            }
        }
        // The status column holds its longest status.
        const int status = list->GetTable()->FindKind(FileGridTable::kStatus);
        dc.SetFont(grid->GetDefaultCellFont());
        for (const wxString& text : FileGridTable::GetStatusTexts()) {
            EXPECT_LE(dc.GetTextExtent(text).x + 12, grid->GetColSize(status)) << text;
        }
        // Every column lies inside the list: none is cut off at its right.
        int right = grid->GetRowLabelSize();
        for (int col = 0; col < grid->GetNumberCols(); ++col) {
            right += grid->GetColSize(col);
        }
        EXPECT_LE(right, grid->GetClientSize().x);
    };
    expectHeadingsFit();
    // The same at the smallest size the window allows.
    const wxSize smallest = frame->GetMinSize();
    frame->SetSize(smallest);
    ASSERT_TRUE(WaitFor([&] { return frame->GetSize() == smallest; }, 5));
    SCOPED_TRACE("smallest window");
    ExpectLaidOut(frame);
    expectHeadingsFit();
}

namespace {
// The middle, from top to bottom, of a button's label as drawn on its face: of the rows with
// pixels of the label's colour right of the face's left cap. -1 when there are none.
double LabelMiddle(const DhWordButton* button) {
    const wxImage face = button->GetLabelledBitmap().ConvertToImage();
    const wxColour ink = button->GetForegroundColour();
    int top = -1;
    int bottom = -1;
    for (int y = 0; y < face.GetHeight(); ++y) {
        for (int x = button->GetTextX(); x < face.GetWidth(); ++x) {
            const int distance = std::abs(face.GetRed(x, y) - ink.Red()) +
                                 std::abs(face.GetGreen(x, y) - ink.Green()) +
                                 std::abs(face.GetBlue(x, y) - ink.Blue());
            if (distance < 60) {
                top = top < 0 ? y : top;
                bottom = y;
                break;
            }
        }
    }
    return top < 0 ? -1 : (top + bottom) / 2.0;
}
} // namespace

TEST_P(LanguageWindowTest, ButtonLabelsSitWhereTheThemePutsThem) {
    // Each label's middle is where an English label's is, within a pixel or two (a descender
    // moves it by less): a text in a fallback font (Chinese, Japanese) must not sit lower than
    // the theme's own.
    std::vector<DhWordButton*> buttons{frame->GetOutputPanel()->GetStartButton()};
    for (int id = ZqToolBar::kAddFile; id <= ZqToolBar::kClearAll; ++id) {
        buttons.push_back(frame->GetThemedToolBar()->GetButton(id));
    }
    for (DhWordButton* button : buttons) {
        const wxString label = button->GetLabel();
        const double middle = LabelMiddle(button);
        button->SetLabelAndFont("Start", button->GetFont());
        const double reference = LabelMiddle(button);
        button->SetLabelAndFont(label, button->GetFont());
        ASSERT_GE(middle, 0) << label;
        EXPECT_NEAR(middle, reference, 2.0) << label;
    }
}

TEST_P(LanguageDialogTest, EveryLabelOfTheDialogsFits) {
    ExpectDialogsFit();
}

void LanguageDialogTest::ExpectDialogsFit() {
    PreferenceDialog* preference = PreferenceDialog::Build(nullptr);
    preference->Show();
    for (size_t page = 0; page < preference->GetNotebook()->GetPageCount(); ++page) {
        SCOPED_TRACE(wxString::Format("preference page %zu", page).ToStdString());
        preference->GetNotebook()->SetSelection(page);
        WaitFor([&] { return preference->GetNotebook()->GetPage(page)->IsShownOnScreen(); }, 5);
        ExpectLaidOut(preference);
    }
    preference->Destroy();

    {
        SCOPED_TRACE("about");
        DomainSettings::SetNamed("url:product", "https://www.ombrix.com/image-to-pdf/");
        InspectModal about([](wxDialog* dialog) { ExpectLaidOut(dialog); });
        AboutDialog::Open();
        EXPECT_EQ(about.seen, 1);
    }

    // The update check in each state that a server on this machine can bring about.
    std::map<std::string, std::string> pages = {
        {"/newer",
         LoopbackServer::Response(200, Description("Ombrix Image to PDF Converter", "9.0.0"))},
        {"/latest", LoopbackServer::Response(
                        200, Description("Ombrix Image to PDF Converter", OMBRIX_PROJECT_VERSION))},
        {"/other", LoopbackServer::Response(200, Description("Another Product", "9.0.0"))},
        {"/garbage", LoopbackServer::Response(200, "no description")},
        {"/error", LoopbackServer::Response(500, "")},
    };
    LoopbackServer server(
        [&pages](LoopbackServer::Connection& connection, const std::string& head) {
            const auto page = pages.find(LoopbackServer::PathOf(head));
            if (page == pages.end()) {
                connection.WaitForClose();
                return;
            }
            connection.Send(page->second);
        });
    const std::string closed =
        "http://127.0.0.1:" + std::to_string(LoopbackServer::ClosedPort()) + "/";
    for (const std::string& address :
         {server.Url("/silent"), server.Url("/newer"), server.Url("/latest"), server.Url("/other"),
          server.Url("/garbage"), server.Url("/error"), closed, std::string()}) {
        SCOPED_TRACE("update check at \"" + address + "\"");
        DomainSettings::SetNamed("url:update", address);
        auto* update = new CjxProgressDialog(nullptr, _("Check for Update"));
        update->Show();
        if (address != server.Url("/silent")) {
            EXPECT_TRUE(
                WaitFor([&] { return update->GetState() != CjxProgressDialog::kChecking; }));
        }
        // A dialog that grew for its result is as large as it asked once the window manager
        // has applied the new size.
        WaitFor([&] { return update->GetClientSize().y >= update->GetBestSize().y; }, 2);
        ExpectLaidOut(update);
        for (const char* name : {"first", "second"}) {
            // Wrapped by its text's measure; the toolkit may round the label up a pixel.
            EXPECT_LE(update->FindWindow(name)->GetSize().x, CjxProgressDialog::kTextWidth + 2)
                << name;
        }
        update->Destroy();
        WaitFor([] { return wxTopLevelWindows.empty(); }, 5);
    }
}

// The page types that are words are offered translated; what is stored is the name that the
// page file and the PDF service know.
TEST_P(LanguageDialogTest, APageTypeIsShownTranslatedAndStoredByItsName) {
    PreferenceDialog* dialog = PreferenceDialog::Build(nullptr);
    auto* list = dynamic_cast<wxComboBox*>(dialog->FindWindow("pagetype"));
    ASSERT_NE(list, nullptr);
    const wxString shown = wxGetTranslation("Image Size");
    if (kLanguages[GetParam()].number != LanguageFile::kEnglish) {
        EXPECT_NE(shown, "Image Size");
        EXPECT_EQ(list->FindString("Image Size"), wxNOT_FOUND);
    }
    ASSERT_TRUE(list->SetStringSelection(shown));
    wxCommandEvent chosen(wxEVT_COMBOBOX, list->GetId());
    chosen.SetEventObject(list);
    list->GetEventHandler()->ProcessEvent(chosen);
    EXPECT_EQ(dynamic_cast<wxStaticText*>(dialog->FindWindow("sizetext"))->GetLabel(),
              wxGetTranslation("each image's own size plus the margins"));
    {
        NoDialogExpected quiet;
        EXPECT_TRUE(dialog->GetSettingPage()->Save());
    }
    EXPECT_EQ(DomainSettings::GetNamed("page:type"), "Image Size");
    dialog->Destroy();
}

// With large text the labels still fit, and the window's smallest size still fits the screen.
TEST_P(LargeTextWindowTest, EveryLabelOfTheMainWindowFits) {
    ExpectMainWindowFits();
    const wxRect screen = wxGetClientDisplayRect();
    EXPECT_LE(frame->GetMinSize().x, screen.width);
    EXPECT_LE(frame->GetMinSize().y, screen.height);
}

TEST_P(LargeTextDialogTest, EveryLabelOfTheDialogsFits) {
    ExpectDialogsFit();
}

INSTANTIATE_TEST_SUITE_P(Languages, LargeTextWindowTest,
                         testing::Range<size_t>(0, std::size(kLanguages)), LanguageName);
INSTANTIATE_TEST_SUITE_P(Languages, LargeTextDialogTest,
                         testing::Range<size_t>(0, std::size(kLanguages)), LanguageName);
INSTANTIATE_TEST_SUITE_P(Languages, LanguageWindowTest,
                         testing::Range<size_t>(0, std::size(kLanguages)), LanguageName);
INSTANTIATE_TEST_SUITE_P(Languages, LanguageDialogTest,
                         testing::Range<size_t>(0, std::size(kLanguages)), LanguageName);

// Lines break at blanks, and between the characters of Chinese and Japanese texts, but never
// before closing punctuation; the breaks a text has stay.
TEST(TextWrapTest, BreaksAtBlanksAndBetweenIdeographs) {
    auto* window = new wxFrame(nullptr, wxID_ANY, "wrap");
    struct Case {
        const char* text;
        const char* widest; // the line width: this text's
        const char* expected;
    };
    const Case cases[] = {
        {"one two three", "one two three", "one two three"},
        {"one two three", "one two", "one two\nthree"},
        {"one  two", "one", "one\ntwo"},
        {"unbreakable word", "unb", "unbreakable\nword"},
        {"first\nsecond line", "second", "first\nsecond\nline"},
    };
    for (const Case& c : cases) {
        const int width = window->GetTextExtent(c.widest).x;
        EXPECT_EQ(TextWrap::Wrap(*window, c.text, width), wxString(c.expected)) << c.text;
    }
    // A Japanese sentence without blanks breaks within the width, never before "。".
    const wxString japanese = wxString::FromUTF8("アップデートの確認に失敗しました。ネットワークに"
                                                 "接続できるか確認してください。");
    const int width = window->GetTextExtent(japanese).x / 3;
    const wxString wrapped = TextWrap::Wrap(*window, japanese, width);
    wxString joined = wrapped;
    joined.Replace("\n", "");
    EXPECT_EQ(joined, japanese) << "nothing lost or added but the breaks";
    const wxArrayString lines = wxSplit(wrapped, '\n', '\0');
    EXPECT_GE(lines.size(), 3u);
    for (const wxString& line : lines) {
        EXPECT_LE(window->GetTextExtent(line).x, width) << line;
        EXPECT_FALSE(line.StartsWith(wxString::FromUTF8("。"))) << line;
    }
    EXPECT_FALSE(TextWrap::CanBreakBetween(wxUniChar(0x3057), wxUniChar(0x3002))); // し|。
    EXPECT_TRUE(TextWrap::CanBreakBetween(wxUniChar(0x3002), wxUniChar(0x30CD)));  // 。|ネ
    EXPECT_FALSE(TextWrap::CanBreakBetween('a', 'b'));
    window->Destroy();
}
