// The preference dialog as a person uses it, over the main window under a window manager:
// where it opens and how it is laid out, typed lengths, Save, Reset and Escape, and what the
// page and proxy settings keep.
#include "dialog/preference_dialog.h"

#include "app/app_util.h"
#include "dialog/setting_page.h"
#include "dialog/setting_proxy.h"
#include "domain/domain_config.h"
#include "domain/domain_convert_pdf_creator.h"
#include "domain/domain_page.h"
#include "domain/domain_settings.h"
#include "domain/job_settings.h"
#include "gui/dialog_test_support.h"
#include "gui/gui_support.h"
#include "gui/window_test_support.h"
#include "support/test_home.h"

#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/combobox.h>
#include <wx/notebook.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <unistd.h>

namespace {
const char* const kPageKeys[] = {"page:size:select",
                                 "page:type",
                                 "page:width",
                                 "page:height",
                                 "page:top",
                                 "page:bottom",
                                 "page:left",
                                 "page:right",
                                 "page:author",
                                 "page:permission:ownerpassword",
                                 "page:permission:userpassword",
                                 "page:permission:copy",
                                 "page:permission:print"};

// What the process writes to its standard error while this lives (the toolkit's warnings
// among it) goes to a file instead, to be read.
class StderrCapture {
public:
    StderrCapture() {
        std::fflush(stderr);
        m_saved = dup(STDERR_FILENO);
        m_stream = std::tmpfile();
        m_file = fileno(m_stream);
        dup2(m_file, STDERR_FILENO);
    }
    ~StderrCapture() {
        std::fflush(stderr);
        dup2(m_saved, STDERR_FILENO);
        close(m_saved);
        std::fclose(m_stream);
    }
    std::string Text() const {
        std::fflush(stderr);
        std::string text;
        char buffer[4096];
        for (off_t at = 0;;) {
            const ssize_t n = pread(m_file, buffer, sizeof buffer, at);
            if (n <= 0) {
                return text;
            }
            text.append(buffer, static_cast<size_t>(n));
            at += n;
        }
    }

private:
    int m_saved = -1;
    std::FILE* m_stream = nullptr;
    int m_file = -1;
};

// Every shown control of the window lies inside it and clear of its siblings (the pages of a
// notebook take turns), all the way down.
void ExpectClearOfEachOther(wxWindow* parent) {
    const wxRect inside(parent->GetClientSize());
    std::vector<wxWindow*> shown;
    for (wxWindow* child : parent->GetChildren()) {
        if (child->IsShown() && !child->IsTopLevel()) {
            shown.push_back(child);
        }
    }
    auto name = [](wxWindow* window) {
        auto* control = dynamic_cast<wxControl*>(window);
        const wxRect rect = window->GetRect();
        return wxString::Format("%s \"%s\" at %d,%d size %dx%d",
                                window->GetClassInfo()->GetClassName(),
                                control != nullptr ? control->GetLabelText() : wxString(), rect.x,
                                rect.y, rect.width, rect.height);
    };
    for (size_t i = 0; i < shown.size(); ++i) {
        EXPECT_TRUE(inside.Contains(shown[i]->GetRect()))
            << name(shown[i]) << " leaves " << name(parent);
        if (dynamic_cast<wxNotebook*>(parent) == nullptr) {
            for (size_t j = i + 1; j < shown.size(); ++j) {
                EXPECT_FALSE(shown[i]->GetRect().Intersects(shown[j]->GetRect()))
                    << name(shown[i]) << " overlaps " << name(shown[j]);
            }
        }
        ExpectClearOfEachOther(shown[i]);
    }
}

// The button of the dialog with the id (a radio button of a page may carry the same id).
wxButton* FindButton(wxWindow* parent, int id) {
    for (wxWindow* child : parent->GetChildren()) {
        auto* button = dynamic_cast<wxButton*>(child);
        if (button != nullptr && button->GetId() == id) {
            return button;
        }
        if (wxButton* found = FindButton(child, id)) {
            return found;
        }
    }
    return nullptr;
}

PreferenceDialog* FindModalPreferenceDialog() {
    for (wxWindow* window : wxTopLevelWindows) {
        auto* dialog = dynamic_cast<PreferenceDialog*>(window);
        if (dialog != nullptr && dialog->IsModal()) {
            return dialog;
        }
    }
    return nullptr;
}

// The dialog over the real main window, as the "Preference" command opens it, shown without
// a modal loop of its own so that the test can wait between its steps. Keys and clicks go
// through the X server to whatever has the keyboard and the pointer, as a person's do.
class PreferenceDialogTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        ASSERT_TRUE(WaitFor([this] { return frame->IsActive(); }));
    }
    void TearDown() override {
        Close();
        WindowTest::TearDown();
    }

    void Open() {
        Close();
        m_dialog = PreferenceDialog::Build(nullptr);
        m_dialog->Show();
        m_page = m_dialog->GetSettingPage();
        m_proxy = m_dialog->GetProxyPage();
        // The window manager frames, places and focuses it.
        ASSERT_TRUE(WaitFor([this] { return m_dialog->IsActive(); }));
    }
    void Close() {
        if (m_dialog != nullptr) {
            m_dialog->Destroy();
            m_dialog = nullptr;
            WaitFor([this] { return frame->IsActive(); });
        }
    }

    template <typename T> T* Page(const char* name) {
        auto* control = dynamic_cast<T*>(m_page->FindWindow(name));
        EXPECT_NE(control, nullptr) << name;
        return control;
    }
    template <typename T> T* Proxy(const char* name) {
        auto* control = dynamic_cast<T*>(m_proxy->FindWindow(name));
        EXPECT_NE(control, nullptr) << name;
        return control;
    }
    wxRadioButton* Radio(int id) { return dynamic_cast<wxRadioButton*>(m_page->FindWindow(id)); }

    // A click in the middle of a control.
    void ClickOn(wxWindow* control) {
        wxUIActionSimulator sim;
        MoveTo(sim, Centre(control));
        sim.MouseClick();
    }
    // Clicks the tab of the page settings.
    void ShowPageSettings() {
        wxNotebook* notebook = m_dialog->GetNotebook();
        const wxSize size = notebook->GetSize();
        for (int y = 2; y < std::min(size.y, 60); y += 3) {
            for (int x = 2; x < size.x; x += 3) {
                if (notebook->HitTest(wxPoint(x, y)) == 1) {
                    wxUIActionSimulator sim;
                    MoveTo(sim, At(notebook, x, y));
                    sim.MouseClick();
                    ASSERT_TRUE(WaitFor([&] {
                        return notebook->GetSelection() == 1 && m_page->IsShownOnScreen();
                    }));
                    return;
                }
            }
        }
        FAIL() << "no tab for the page settings";
    }
    // Clicks a radio button of the size selection.
    void Choose(int radio) {
        ClickOn(Radio(radio));
        ASSERT_TRUE(WaitFor([&] { return Radio(radio)->GetValue(); }));
    }
    // Opens the page type list with a click and picks the type with the arrow keys.
    void ChooseType(const wxString& type) {
        auto* types = Page<wxComboBox>("pagetype");
        const int wanted = types->FindString(type);
        ASSERT_NE(wanted, wxNOT_FOUND) << type;
        auto dropped = std::make_shared<bool>(false);
        types->Bind(wxEVT_COMBOBOX_DROPDOWN, [dropped](wxCommandEvent& event) {
            *dropped = true;
            event.Skip();
        });
        // The arrow at the right end opens the list.
        wxUIActionSimulator sim;
        MoveTo(sim, At(types, types->GetSize().x - 8, types->GetSize().y / 2));
        sim.MouseClick();
        ASSERT_TRUE(WaitFor([&] { return *dropped; }));
        const int from = types->GetSelection();
        for (int step = from; step != wanted; step += wanted > from ? 1 : -1) {
            sim.Char(wanted > from ? WXK_DOWN : WXK_UP);
        }
        sim.Char(WXK_RETURN);
        ASSERT_TRUE(WaitFor([&] { return types->GetSelection() == wanted; }));
    }
    // Clicks into a field, selects what it holds and types over it.
    void TypeInto(wxTextCtrl* field, const wxString& text) {
        ClickOn(field);
        ASSERT_TRUE(WaitFor([&] { return field->HasFocus(); }));
        wxUIActionSimulator sim;
        sim.Char('a', wxMOD_CONTROL);
        if (text.empty()) {
            sim.Char(WXK_DELETE);
        } else {
            sim.Text(text.utf8_str());
        }
        ASSERT_TRUE(WaitFor([&] { return field->GetValue() == text; }))
            << "typed \"" << text << "\", the field holds \"" << field->GetValue() << "\"";
    }
    void TypeInto(const char* name, const wxString& text) {
        TypeInto(Page<wxTextCtrl>(name), text);
    }
    // Types width, height, top, bottom, left and right.
    void TypeLengths(const char* const (&lengths)[6]) {
        const char* names[] = {"width", "height", "top", "bottom", "left", "right"};
        for (size_t i = 0; i < 6; ++i) {
            if (Page<wxTextCtrl>(names[i])->IsEnabled()) {
                TypeInto(names[i], lengths[i]);
            }
        }
    }
    // Clicks a check box until it shows the state wanted.
    void SetChecked(const char* name, bool checked) {
        auto* box = Page<wxCheckBox>(name);
        if (box->GetValue() != checked) {
            ClickOn(box);
            ASSERT_TRUE(WaitFor([&] { return box->GetValue() == checked; }));
        }
    }
    // Clicks a button of the dialog and waits until the dialog has handled the click.
    void Press(int button) {
        wxButton* control = FindButton(m_dialog, button);
        ASSERT_NE(control, nullptr);
        auto handled = std::make_shared<bool>(false);
        // The button sees the click first; the dialog's handler runs, within the same
        // dispatch, as the event goes up.
        control->Bind(wxEVT_BUTTON, [handled](wxCommandEvent& event) {
            *handled = true;
            event.Skip();
        });
        ClickOn(control);
        ASSERT_TRUE(WaitFor([&] { return *handled; }));
    }
    // Save with no message box expected; true when the dialog closed.
    bool SaveQuietly() {
        NoDialogExpected noDialog;
        Press(PreferenceDialog::kSaveButton);
        return !m_dialog->IsShown();
    }

    static std::map<std::string, wxString> PageSettings() {
        std::map<std::string, wxString> values;
        for (const char* key : kPageKeys) {
            values[key] = DomainSettings::GetNamed(key);
        }
        return values;
    }

    PreferenceDialog* m_dialog = nullptr;
    SettingPage* m_page = nullptr;
    SettingProxy* m_proxy = nullptr;
};
} // namespace

// The first opening of the process, as after a start: over the main window wherever that is,
// large enough for every control of its pages, and without warnings of the toolkit.
TEST_F(PreferenceDialogTest, OpensOverTheMainWindowSizedToFitWithoutWarnings) {
    frame->Move(30, 40);
    ASSERT_TRUE(WaitFor([this] { return frame->GetPosition() == wxPoint(30, 40); }));
    StderrCapture errors;
    Open();
    // Settled: the window manager's frame is around it.
    ASSERT_TRUE(WaitFor([&] { return m_dialog->GetSize().y > m_dialog->GetClientSize().y; }));
    const wxRect dialogRect = m_dialog->GetRect();
    const wxRect frameRect = frame->GetRect();
    const wxPoint centre = dialogRect.GetPosition() + dialogRect.GetSize() / 2;
    const wxPoint over = frameRect.GetPosition() + frameRect.GetSize() / 2;
    // Within the height of a title bar, which the manager adds after the placing.
    EXPECT_LE(std::abs(centre.x - over.x), 30) << "centre " << centre.x << "," << centre.y;
    EXPECT_LE(std::abs(centre.y - over.y), 30) << "centre " << centre.x << "," << centre.y;

    const wxSize needed = m_dialog->GetSizer()->GetMinSize();
    EXPECT_GE(m_dialog->GetClientSize().x, needed.x);
    EXPECT_GE(m_dialog->GetClientSize().y, needed.y);
    {
        SCOPED_TRACE("proxy page");
        ExpectClearOfEachOther(m_dialog);
    }
    ShowPageSettings();
    {
        SCOPED_TRACE("page settings");
        EXPECT_GE(m_page->GetClientSize().y, m_page->GetSizer()->GetMinSize().y);
        ExpectClearOfEachOther(m_dialog);
    }
    const std::string stderrText = errors.Text();
    EXPECT_EQ(stderrText.find("Gtk-WARNING"), std::string::npos) << stderrText;
    EXPECT_EQ(stderrText.find("Gtk-CRITICAL"), std::string::npos) << stderrText;
}

TEST_F(PreferenceDialogTest, OpensOnTheProxyPageWithTheStoredSelection) {
    Open();
    EXPECT_EQ(m_dialog->GetTitle(), "Preference");
    EXPECT_EQ(m_dialog->GetParent(), frame);
    wxNotebook* notebook = m_dialog->GetNotebook();
    ASSERT_EQ(notebook->GetPageCount(), 2u);
    EXPECT_EQ(notebook->GetPageText(0), "Proxy Setting");
    EXPECT_EQ(notebook->GetPageText(1), "Page Setting");
    EXPECT_EQ(notebook->GetSelection(), 0);
    ShowPageSettings();

    // A new user: the default page type, list and custom size disabled.
    EXPECT_TRUE(Radio(SettingPage::kDefaultRadio)->GetValue());
    EXPECT_FALSE(Page<wxComboBox>("pagetype")->IsEnabled());
    EXPECT_FALSE(Page<wxTextCtrl>("width")->IsEnabled());
    // The page types of the page file, "Image Size" among them and no empty item.
    wxComboBox* types = Page<wxComboBox>("pagetype");
    EXPECT_EQ(types->GetString(0), "A0");
    EXPECT_NE(types->FindString("Image Size"), wxNOT_FOUND);
    EXPECT_EQ(types->FindString(""), wxNOT_FOUND);
    EXPECT_EQ(types->GetStringSelection(), "A4");
    EXPECT_EQ(Page<wxStaticText>("sizetext")->GetLabel(), "210 x 297 mm");

    // The selection rule follows the radio buttons.
    Choose(SettingPage::kPageTypeRadio);
    EXPECT_TRUE(types->IsEnabled());
    EXPECT_FALSE(Page<wxTextCtrl>("height")->IsEnabled());
    // The size text of each type shows whole, within the page.
    auto* sizeText = Page<wxStaticText>("sizetext");
    for (const char* type : {"Letter", "Image Size"}) {
        ChooseType(type);
        EXPECT_EQ(sizeText->GetLabel(), DomainSettings::GetNamed(type));
        EXPECT_GE(sizeText->GetSize().x, sizeText->GetTextExtent(sizeText->GetLabel()).x) << type;
        EXPECT_TRUE(wxRect(m_page->GetClientSize()).Contains(sizeText->GetRect())) << type;
    }
    Choose(SettingPage::kCustomizeRadio);
    EXPECT_FALSE(types->IsEnabled());
    EXPECT_TRUE(Page<wxTextCtrl>("height")->IsEnabled());

    // Copying and printing are allowed and may be forbidden without an owner password: the
    // PDF then keeps the restrictions with a random one.
    for (const char* name : {"copy", "print"}) {
        EXPECT_TRUE(Page<wxCheckBox>(name)->GetValue()) << name;
        EXPECT_TRUE(Page<wxCheckBox>(name)->IsEnabled()) << name;
    }
    SetChecked("copy", false);
}

TEST_F(PreferenceDialogTest, LengthsThatAreNoNumberOrOutOfRangeAreRefusedNamingTheField) {
    const wxString product = AppUtil::GetDisplayName();
    struct Case {
        const char* field;
        const char* typed;
        const char* message; // null: accepted
        const char* stored;  // what an accepted value is stored as
    };
    const Case cases[] = {
        {"top", "abc",
         "Top margin: \"abc\" is not a number. Enter a length from 0 to 297 mm, "
         "such as 12.7.",
         nullptr},
        {"top", "", "Top margin is empty. Enter a length from 0 to 297 mm.", nullptr},
        {"bottom", "-5", "Bottom margin: -5 mm is out of range. Enter a length from 0 to 297 mm.",
         nullptr},
        {"left", "211", "Left margin: 211 mm is out of range. Enter a length from 0 to 210 mm.",
         nullptr},
        {"right", "1.2.3",
         "Right margin: \"1.2.3\" is not a number. Enter a length from 0 to "
         "210 mm, such as 12.7.",
         nullptr},
        {"width", "1", "Page width: 1 mm is out of range. Enter a length from 2 to 840 mm.",
         nullptr},
        {"height", "12mm",
         "Page height: \"12mm\" is not a number. Enter a length from 2 to 1188 "
         "mm, such as 12.7.",
         nullptr},
        {"top", "12.7", nullptr, "12.7"},
        {"bottom", "12,7", nullptr, "12.7"},
        {"left", " 0.25 ", nullptr, "0.25"},
        {"width", "215.9", nullptr, "215.9"},
        {"height", "1188", nullptr, "1188"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.field) + " \"" + c.typed + "\"");
        Open();
        ShowPageSettings();
        Choose(SettingPage::kCustomizeRadio);
        const std::string key = std::string("page:") + c.field;
        const wxString before = DomainSettings::GetNamed(key);
        TypeInto(c.field, c.typed);
        if (c.message != nullptr) {
            const auto settings = PageSettings();
            wxTEST_DIALOG(Press(PreferenceDialog::kSaveButton),
                          ExpectMessageBox(c.message, product));
            EXPECT_TRUE(m_dialog->IsShown()) << "a refused save keeps the dialog open";
            EXPECT_EQ(PageSettings(), settings) << "a refused save stores nothing";
            // The keyboard is back in the field, to correct it.
            EXPECT_TRUE(WaitFor([&] { return Page<wxTextCtrl>(c.field)->HasFocus(); }));
        } else {
            EXPECT_TRUE(SaveQuietly());
            EXPECT_EQ(DomainSettings::GetNamed(key), c.stored) << "was " << before;
            const std::string file = TestHome::ReadFile(AppUtil::GetPagePath(true));
            EXPECT_NE(file.find(std::string(c.field) + "=\"" + c.stored + "\""), std::string::npos)
                << file;
        }
    }
}

// Margins that fit the upright page but not the page turned for a landscape image are
// refused, with the length of the page's shorter side; whatever Save accepts, the converter
// places images of both orientations with.
TEST_F(PreferenceDialogTest, MarginsMustLeaveRoomOnTheTurnedPageAndPasswordsAreChecked) {
    const wxString product = AppUtil::GetDisplayName();
    const wxString tips = wxMessageBoxCaptionStr;
    const wxString topBottom = "The top and bottom margins together must be less than %s mm, the "
                               "shorter side of the page: a landscape image turns the page.";
    const wxString leftRight = "The left and right margins together must be less than %s mm, "
                               "the shorter side of the page: a landscape image turns the page.";
    struct Case {
        const char* name;
        int select;
        const char* type;
        const char* lengths[6]; // width, height, top, bottom, left, right
        const char* owner;
        const char* user;
        wxString message; // empty: accepted
        const wxString* caption;
    };
    const Case cases[] = {
        {"default A4, top and bottom fit only upright",
         SettingPage::kDefaultRadio,
         "A4",
         {"", "", "150", "100", "10", "10"},
         "",
         "",
         wxString::Format(topBottom, "210"),
         &product},
        {"default A4, top and bottom within its width",
         SettingPage::kDefaultRadio,
         "A4",
         {"", "", "105", "104.9", "10", "10"},
         "",
         "",
         "",
         nullptr},
        {"custom, left and right equal to the width",
         SettingPage::kCustomizeRadio,
         "A4",
         {"210", "297", "10", "10", "105", "105"},
         "",
         "",
         wxString::Format(leftRight, "210"),
         &product},
        {"custom landscape size, top and bottom over its height",
         SettingPage::kCustomizeRadio,
         "A4",
         {"300", "100", "60", "40", "10", "10"},
         "",
         "",
         wxString::Format(topBottom, "100"),
         &product},
        {"page type A3, left and right beyond its width",
         SettingPage::kPageTypeRadio,
         "A3",
         {"", "", "10", "10", "150", "150"},
         "",
         "",
         wxString::Format(leftRight, "297"),
         &product},
        {"page type Letter, 0.05 mm beyond its 215.9 mm",
         SettingPage::kPageTypeRadio,
         "Letter",
         {"", "", "108", "107.95", "10", "10"},
         "",
         "",
         wxString::Format(topBottom, "215.9"),
         &product},
        {"page type Letter, just within",
         SettingPage::kPageTypeRadio,
         "Letter",
         {"", "", "108", "107.85", "10", "10"},
         "",
         "",
         "",
         nullptr},
        {"image size takes any margins",
         SettingPage::kPageTypeRadio,
         "Image Size",
         {"", "", "297", "297", "210", "210"},
         "",
         "",
         "",
         nullptr},
        {"user password without owner password",
         SettingPage::kDefaultRadio,
         "A4",
         {"", "", "10", "10", "10", "10"},
         "",
         "u",
         "Tip: if you set user password, you must also set owner password.",
         &tips},
        {"the same password twice",
         SettingPage::kDefaultRadio,
         "A4",
         {"", "", "10", "10", "10", "10"},
         "pw",
         "pw",
         "Tip: User password must not be the same as owner password.",
         &tips},
        {"both passwords",
         SettingPage::kDefaultRadio,
         "A4",
         {"", "", "10", "10", "10", "10"},
         "own",
         "use",
         "",
         nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Open();
        ShowPageSettings();
        Choose(c.select);
        if (c.select == SettingPage::kPageTypeRadio) {
            ChooseType(c.type);
        }
        TypeLengths(c.lengths);
        TypeInto("ownerpassword", c.owner);
        TypeInto("userpassword", c.user);
        const auto before = PageSettings();
        if (!c.message.empty()) {
            wxTEST_DIALOG(Press(PreferenceDialog::kSaveButton),
                          ExpectMessageBox(c.message, *c.caption));
            EXPECT_TRUE(m_dialog->IsShown()) << "a refused save keeps the dialog open";
            EXPECT_EQ(PageSettings(), before) << "a refused save stores nothing";
            continue;
        }
        EXPECT_TRUE(SaveQuietly());
        EXPECT_EQ(DomainSettings::GetNamed("page:size:select"), wxString::Format("%d", c.select));
        EXPECT_EQ(DomainSettings::GetNamed("page:top"), c.lengths[2]);
        // The converter places a landscape and a portrait image with what was stored.
        DomainConvertPdfCreator::PageOptions options;
        DomainConvertPdfCreator::FillPageOptions(options, JobSettings::Capture(), "", "");
        const PdfPageOptions& record = options.record;
        const PageSetup page{record.pageType, record.width, record.height, record.left,
                             record.right,    record.top,   record.bottom};
        for (const ImageExtent& image :
             {ImageExtent{400, 300, 96, 96}, ImageExtent{300, 400, 96, 96}}) {
            EXPECT_NO_THROW(PageGeometry::Place(page, image)) << image.pixelWidth;
        }
    }
}

// The choice of the page size, the type and the lengths come back after a restart; passwords
// and permissions last for the run only.
TEST_F(PreferenceDialogTest, SaveKeepsTheChoiceAcrossARestartAndPasswordsForTheRun) {
    Open();
    ShowPageSettings();
    Choose(SettingPage::kPageTypeRadio);
    ChooseType("Letter");
    TypeLengths({"", "", "5", "6.5", "7", "8"});
    TypeInto("author", "Smith & Sons");
    TypeInto("ownerpassword", "owner-secret");
    TypeInto("userpassword", "user-secret");
    SetChecked("copy", false);
    ASSERT_TRUE(SaveQuietly());

    const std::map<std::string, wxString> expected = {
        {"page:size:select", "0"},
        {"page:type", "Letter"},
        {"page:width", "210"},
        {"page:height", "297"},
        {"page:top", "5"},
        {"page:bottom", "6.5"},
        {"page:left", "7"},
        {"page:right", "8"},
        {"page:author", "Smith & Sons"},
        {"page:permission:ownerpassword", "owner-secret"},
        {"page:permission:userpassword", "user-secret"},
        {"page:permission:copy", "0"},
        {"page:permission:print", "1"},
    };
    EXPECT_EQ(PageSettings(), expected);
    // The page file gets the choice, type, size, margins and author; passwords and
    // permissions never reach the disk.
    const std::string file = TestHome::ReadFile(AppUtil::GetPagePath(true));
    EXPECT_NE(file.find("value=\"Letter\""), std::string::npos);
    EXPECT_NE(file.find("bottom=\"6.5\""), std::string::npos);
    EXPECT_NE(file.find("Smith &amp; Sons"), std::string::npos);
    EXPECT_EQ(file.find("secret"), std::string::npos);
    EXPECT_EQ(file.find("permission"), std::string::npos);

    // Reopened in the same run, the dialog shows what was stored.
    Open();
    ShowPageSettings();
    EXPECT_TRUE(Radio(SettingPage::kPageTypeRadio)->GetValue());
    EXPECT_EQ(Page<wxComboBox>("pagetype")->GetStringSelection(), "Letter");
    EXPECT_EQ(Page<wxTextCtrl>("bottom")->GetValue(), "6.5");
    EXPECT_EQ(Page<wxTextCtrl>("userpassword")->GetValue(), "user-secret");
    EXPECT_FALSE(Page<wxCheckBox>("copy")->GetValue());
    Close();

    // A restart reads the page file again: the choice is kept, the passwords are gone.
    DomainSettings::SetNamed("page:size:select", "2");
    ASSERT_TRUE(DomainPage().Load());
    DomainConvertPdfCreator::PageOptions options;
    DomainConvertPdfCreator::FillPageOptions(options, JobSettings::Capture(), "", "");
    EXPECT_STREQ(options.record.pageType, "Letter");
    EXPECT_FLOAT_EQ(options.record.bottom, 6.5f);
    Open();
    ShowPageSettings();
    EXPECT_TRUE(Radio(SettingPage::kPageTypeRadio)->GetValue());
    EXPECT_EQ(Page<wxComboBox>("pagetype")->GetStringSelection(), "Letter");
    EXPECT_EQ(Page<wxTextCtrl>("userpassword")->GetValue(), "");
    EXPECT_TRUE(Page<wxCheckBox>("copy")->GetValue());
}

// Reset puts back what a new user has, copying and printing allowed among it: Save after it
// makes unrestricted PDFs again.
TEST_F(PreferenceDialogTest, ResetThenSaveGivesTheSettingsOfANewUser) {
    Open();
    ShowPageSettings();
    Choose(SettingPage::kCustomizeRadio);
    TypeLengths({"300", "400", "5", "6", "7", "8"});
    TypeInto("author", "Someone");
    TypeInto("ownerpassword", "owner");
    SetChecked("copy", false);
    SetChecked("print", false);
    ASSERT_TRUE(SaveQuietly());

    Open();
    ShowPageSettings();
    Press(PreferenceDialog::kResetButton);
    EXPECT_TRUE(m_dialog->IsShown());
    EXPECT_EQ(DomainSettings::GetNamed("page:width"), "300") << "Reset alone stores nothing";
    for (const char* name : {"copy", "print"}) {
        EXPECT_TRUE(Page<wxCheckBox>(name)->GetValue()) << name;
        EXPECT_TRUE(Page<wxCheckBox>(name)->IsEnabled()) << name;
    }
    EXPECT_TRUE(Radio(SettingPage::kDefaultRadio)->GetValue());
    EXPECT_EQ(Page<wxComboBox>("pagetype")->GetStringSelection(), "A4");
    ASSERT_TRUE(SaveQuietly());

    const std::map<std::string, wxString> expected = {
        {"page:size:select", "2"},
        {"page:type", "A4"},
        {"page:width", "210"},
        {"page:height", "297"},
        {"page:top", "10"},
        {"page:bottom", "10"},
        {"page:left", "10"},
        {"page:right", "10"},
        {"page:author", ""},
        {"page:permission:ownerpassword", ""},
        {"page:permission:userpassword", ""},
        {"page:permission:copy", "1"},
        {"page:permission:print", "1"},
    };
    EXPECT_EQ(PageSettings(), expected);
    DomainConvertPdfCreator::PageOptions options;
    DomainConvertPdfCreator::FillPageOptions(options, JobSettings::Capture(), "", "");
    EXPECT_EQ(options.security.allowCopy, 1);
    EXPECT_EQ(options.security.allowPrint, 1);
    EXPECT_STREQ(options.security.ownerPassword, "");
}

// The archive format is chosen with the keyboard, refused together with encryption, kept in
// the page file and put back to Off by Reset.
TEST_F(PreferenceDialogTest, AnArchiveFormatIsKeptAndRefusedWithEncryption) {
    const wxString refusal = "PDF/A forbids encryption: an archival PDF cannot have passwords or "
                             "restrictions. Clear both passwords and allow Copy and Print, or set "
                             "the archive format to Off.";
    Open();
    ShowPageSettings();
    auto* archive = Page<wxChoice>("archive");
    EXPECT_EQ(archive->GetSelection(), 0) << "a plain PDF by default";
    // Tab from the author field reaches the choice (the toolkit gives the focus to a part of
    // it that has no window of its own, so it shows in the choice's answer to the keys); Down
    // moves through its formats.
    TypeInto("author", "");
    wxUIActionSimulator sim;
    sim.Char(WXK_TAB);
    sim.Char(WXK_DOWN);
    ASSERT_TRUE(WaitFor([&] { return archive->GetStringSelection() == "PDF/A-1b"; }));
    sim.Char(WXK_DOWN);
    ASSERT_TRUE(WaitFor([&] { return archive->GetStringSelection() == "PDF/A-2b"; }));

    // A password or a restriction cannot go with it: nothing is stored.
    struct Case {
        const char* name;
        const char* owner;
        const char* user;
        bool copy;
        bool print;
    };
    const Case refused[] = {
        {"an owner password", "own", "", true, true},
        {"both passwords", "own", "use", true, true},
        {"copying not allowed", "", "", false, true},
        {"printing not allowed", "", "", true, false},
    };
    for (const Case& c : refused) {
        SCOPED_TRACE(c.name);
        TypeInto("ownerpassword", c.owner);
        TypeInto("userpassword", c.user);
        SetChecked("copy", c.copy);
        SetChecked("print", c.print);
        wxTEST_DIALOG(Press(PreferenceDialog::kSaveButton),
                      ExpectMessageBox(refusal, AppUtil::GetDisplayName()));
        EXPECT_TRUE(m_dialog->IsShown());
        EXPECT_EQ(DomainSettings::GetNamed("page:pdfa"), "");
        EXPECT_EQ(DomainSettings::GetNamed("page:permission:ownerpassword"), "");
    }
    TypeInto("ownerpassword", "");
    TypeInto("userpassword", "");
    SetChecked("copy", true);
    SetChecked("print", true);
    ASSERT_TRUE(SaveQuietly());
    EXPECT_EQ(DomainSettings::GetNamed("page:pdfa"), "2b");
    DomainConvertPdfCreator::PageOptions options;
    DomainConvertPdfCreator::FillPageOptions(options, JobSettings::Capture(), "", "");
    ASSERT_NE(options.record.archive, nullptr);
    EXPECT_EQ(options.record.archive->part, 2);
    EXPECT_NE(TestHome::ReadFile(AppUtil::GetPagePath(true)).find("<archive value=\"2b\"/>"),
              std::string::npos);

    // A restart reads it back; a damaged value reads as a plain PDF.
    DomainSettings::SetNamed("page:pdfa", "");
    ASSERT_TRUE(DomainPage().Load());
    EXPECT_EQ(DomainSettings::GetNamed("page:pdfa"), "2b");
    Open();
    ShowPageSettings();
    EXPECT_EQ(Page<wxChoice>("archive")->GetStringSelection(), "PDF/A-2b");
    Press(PreferenceDialog::kResetButton);
    EXPECT_EQ(Page<wxChoice>("archive")->GetSelection(), 0);
    ASSERT_TRUE(SaveQuietly());
    EXPECT_EQ(DomainSettings::GetNamed("page:pdfa"), "");

    const wxString path = AppUtil::GetPagePath(true);
    std::string file = TestHome::ReadFile(path);
    const size_t at = file.find("<archive value=\"\"/>");
    ASSERT_NE(at, std::string::npos) << file;
    file.replace(at, std::strlen("<archive value=\"\"/>"), "<archive value=\"9z\"/>");
    TestHome::WriteFile(path, file);
    DomainSettings::SetNamed("page:pdfa", "3b");
    ASSERT_TRUE(DomainPage().Load());
    EXPECT_EQ(DomainSettings::GetNamed("page:pdfa"), "");
}

// The OCR choice offers Off and the languages installed, is kept in the page file, reaches
// the service's options, and is put back to Off by Reset; a damaged value reads as Off.
TEST_F(PreferenceDialogTest, AnOcrLanguageIsOfferedKeptAndReset) {
    char installed[4096] = "";
    PdfOcrListLanguages(nullptr, installed, sizeof installed);
    const wxArrayString languages = wxSplit(wxString::FromUTF8(installed), '+', '\0');
    if (languages.empty() || languages[0].empty()) {
        GTEST_SKIP() << "no OCR language is installed";
    }
    Open();
    ShowPageSettings();
    auto* ocr = Page<wxChoice>("ocr");
    EXPECT_EQ(ocr->GetSelection(), 0) << "no OCR by default";
    ASSERT_EQ(ocr->GetCount(), languages.size() + 1);
    for (size_t i = 0; i < languages.size(); ++i) {
        EXPECT_EQ(ocr->GetString(static_cast<unsigned>(i + 1)), languages[i]);
    }
    ocr->SetSelection(ocr->FindString("eng") != wxNOT_FOUND ? ocr->FindString("eng") : 1);
    const wxString chosen = ocr->GetStringSelection();
    ASSERT_TRUE(SaveQuietly());
    EXPECT_EQ(DomainSettings::GetNamed("page:ocr"), chosen);
    DomainConvertPdfCreator::PageOptions options;
    DomainConvertPdfCreator::FillPageOptions(options, JobSettings::Capture(), "", "");
    ASSERT_NE(options.record.ocr, nullptr);
    EXPECT_EQ(wxString::FromUTF8(options.record.ocr->languages), chosen);
    const wxString path = AppUtil::GetPagePath(true);
    EXPECT_NE(
        TestHome::ReadFile(path).find("<ocr value=\"" + std::string(chosen.utf8_str()) + "\"/>"),
        std::string::npos);

    // A restart reads it back; a language removed since stays offered.
    DomainSettings::SetNamed("page:ocr", "");
    ASSERT_TRUE(DomainPage().Load());
    EXPECT_EQ(DomainSettings::GetNamed("page:ocr"), chosen);
    DomainSettings::SetNamed("page:ocr", "xyz");
    Open();
    ShowPageSettings();
    EXPECT_EQ(Page<wxChoice>("ocr")->GetStringSelection(), "xyz");
    Press(PreferenceDialog::kResetButton);
    EXPECT_EQ(Page<wxChoice>("ocr")->GetSelection(), 0);
    ASSERT_TRUE(SaveQuietly());
    EXPECT_EQ(DomainSettings::GetNamed("page:ocr"), "");
    DomainConvertPdfCreator::FillPageOptions(options, JobSettings::Capture(), "", "");
    EXPECT_EQ(options.record.ocr, nullptr);

    std::string file = TestHome::ReadFile(path);
    const size_t at = file.find("<ocr value=\"\"/>");
    ASSERT_NE(at, std::string::npos) << file;
    for (const char* damaged : {"eng;rm", "+eng", "eng++deu"}) {
        std::string copy = file;
        copy.replace(at, std::strlen("<ocr value=\"\"/>"),
                     std::string("<ocr value=\"") + damaged + "\"/>");
        TestHome::WriteFile(path, copy);
        DomainSettings::SetNamed("page:ocr", "eng");
        ASSERT_TRUE(DomainPage().Load());
        EXPECT_EQ(DomainSettings::GetNamed("page:ocr"), "") << damaged;
    }
}

// Escape closes the dialog as its close box does: what was typed is not saved.
TEST_F(PreferenceDialogTest, EscapeClosesWithoutSaving) {
    wxUIActionSimulator sim;
    PreferenceDialog* dialog = nullptr;
    wxTextCtrl* address = nullptr;
    std::chrono::steady_clock::time_point escaped;
    Script script({Script::Wait([&] {
                       dialog = FindModalPreferenceDialog();
                       return dialog != nullptr && dialog->IsActive();
                   }),
                   Script::Act([&] {
                       address = dynamic_cast<wxTextCtrl*>(dialog->FindWindow("address"));
                       sim.MouseMove(Centre(address));
                       sim.MouseClick();
                   }),
                   Script::Wait([&] { return address->HasFocus(); }),
                   Script::Act([&] { sim.Text("proxy.example.org"); }),
                   Script::Wait([&] { return address->GetValue() == "proxy.example.org"; }),
                   Script::Act([&] {
                       sim.Char(WXK_ESCAPE);
                       escaped = std::chrono::steady_clock::now();
                   }),
                   // Closed by now; if not, the test ends the dialog itself and fails.
                   Script::Wait([&] {
                       return FindModalPreferenceDialog() == nullptr ||
                              std::chrono::steady_clock::now() - escaped > std::chrono::seconds(5);
                   }),
                   Script::Act([&] {
                       if (PreferenceDialog* open = FindModalPreferenceDialog()) {
                           ADD_FAILURE() << "Escape left the dialog open";
                           open->EndModal(-1);
                       }
                   })});
    const auto before = PageSettings();
    const std::string pageFile = TestHome::ReadFile(AppUtil::GetPagePath(true));
    EXPECT_EQ(PreferenceDialog::Open(), wxID_CANCEL);
    EXPECT_TRUE(WaitFor([&] { return script.Done(); }));
    EXPECT_EQ(DomainConfig::GetInstance()->GetProxy().address, "");
    EXPECT_EQ(PageSettings(), before);
    EXPECT_EQ(TestHome::ReadFile(AppUtil::GetPagePath(true)), pageFile);
}

TEST_F(PreferenceDialogTest, ARefusedPageSaveStillStoresTheProxy) {
    Open();
    TypeInto(Proxy<wxTextCtrl>("address"), "proxy.example.org");
    TypeInto(Proxy<wxTextCtrl>("port"), "3128");
    TypeInto(Proxy<wxTextCtrl>("user"), "ann");
    TypeInto(Proxy<wxTextCtrl>("password"), "s3cret");
    ShowPageSettings();
    TypeInto("userpassword", "alone");
    wxTEST_DIALOG(
        Press(PreferenceDialog::kSaveButton),
        ExpectMessageBox("Tip: if you set user password, you must also set owner password.",
                         wxMessageBoxCaptionStr));
    EXPECT_TRUE(m_dialog->IsShown());
    const ProxyRecord stored = DomainConfig::GetInstance()->GetProxy();
    EXPECT_EQ(stored.type, "HTTP");
    EXPECT_EQ(stored.address, "proxy.example.org");
    EXPECT_EQ(stored.port, "3128");
    EXPECT_EQ(stored.user, "ann");
    EXPECT_EQ(stored.password, "s3cret");

    // A page file that cannot be written is reported and keeps the dialog open.
    TypeInto("userpassword", "");
    const wxString pageFile = AppUtil::GetPagePath(true);
    std::filesystem::remove(std::string(pageFile.utf8_str()));
    std::filesystem::create_directory(std::string(pageFile.utf8_str()));
    wxTEST_DIALOG(Press(PreferenceDialog::kSaveButton),
                  ExpectMessageBox(wxString::Format("The page settings could not be written to "
                                                    "\"%s\". They apply until the program ends.",
                                                    pageFile),
                                   AppUtil::GetDisplayName()));
    EXPECT_TRUE(m_dialog->IsShown());

    // Reopened, the proxy page shows the whole record, and saving again keeps it.
    std::filesystem::remove(std::string(pageFile.utf8_str()));
    ASSERT_TRUE(DomainPage().Load());
    Open();
    EXPECT_EQ(Proxy<wxTextCtrl>("address")->GetValue(), "proxy.example.org");
    EXPECT_EQ(Proxy<wxTextCtrl>("user")->GetValue(), "ann");
    EXPECT_EQ(Proxy<wxTextCtrl>("password")->GetValue(), "s3cret");
    ASSERT_TRUE(SaveQuietly());
    EXPECT_EQ(DomainConfig::GetInstance()->GetProxy().password, "s3cret");
}

TEST_F(PreferenceDialogTest, ProxyFieldsAreValidated) {
    const wxString product = AppUtil::GetDisplayName();
    struct Case {
        const char* address;
        const char* port;
        const char* message; // null: stored
    };
    const Case cases[] = {
        {"", "", nullptr},
        {"10.0.0.1", "8080", nullptr},
        {"proxy.example.org", "65535", nullptr},
        {"proxy.example.org", "1", nullptr},
        {"proxy.example.org", "0", "The proxy port must be a number from 1 to 65535."},
        {"proxy.example.org", "65536", "The proxy port must be a number from 1 to 65535."},
        {"proxy.example.org", "http", "The proxy port must be a number from 1 to 65535."},
        {"proxy.example.org", "", "The proxy port must be a number from 1 to 65535."},
        {"", "8080", "Please enter the proxy address."},
        {"my proxy", "8080", "The proxy address must not contain spaces."},
        {"proxy.example.org/x", "8080", "The proxy address is not valid."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.address) + ":" + c.port);
        DomainConfig::GetInstance()->SetProxy(ProxyRecord{});
        Open();
        Proxy<wxTextCtrl>("address")->SetValue(c.address);
        Proxy<wxTextCtrl>("port")->SetValue(c.port);
        if (c.message != nullptr) {
            wxTEST_DIALOG(Press(PreferenceDialog::kSaveButton),
                          ExpectMessageBox(c.message, product));
            EXPECT_TRUE(m_dialog->IsShown());
            EXPECT_EQ(DomainConfig::GetInstance()->GetProxy().address, "");
        } else {
            EXPECT_TRUE(SaveQuietly());
            EXPECT_EQ(DomainConfig::GetInstance()->GetProxy().address, c.address);
            EXPECT_EQ(DomainConfig::GetInstance()->GetProxy().port, c.port);
            EXPECT_EQ(DomainConfig::GetInstance()->GetProxy().type, "HTTP");
        }
    }

    // Reset empties the fields and leaves the stored record until the next Save.
    DomainConfig::GetInstance()->SetProxy({"HTTP", "10.0.0.1", "8080", "u", "p"});
    Open();
    Press(PreferenceDialog::kResetButton);
    for (const char* field : {"address", "port", "user", "password"}) {
        EXPECT_EQ(Proxy<wxTextCtrl>(field)->GetValue(), "") << field;
    }
    EXPECT_EQ(Proxy<wxChoice>("type")->GetStringSelection(), "HTTP");
    EXPECT_EQ(DomainConfig::GetInstance()->GetProxy().address, "10.0.0.1");
}

TEST_F(PreferenceDialogTest, OpenRunsModallyAndEndsWithSave) {
    wxTheApp->CallAfter([] {
        PreferenceDialog* dialog = FindModalPreferenceDialog();
        if (dialog == nullptr) {
            ADD_FAILURE() << "no modal preference dialog";
            return;
        }
        Click(FindButton(dialog, PreferenceDialog::kSaveButton), wxEVT_BUTTON);
    });
    EXPECT_EQ(PreferenceDialog::Open(), 0);
}
