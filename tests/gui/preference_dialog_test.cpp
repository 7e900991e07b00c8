// The preference dialog: validation, Save and Reset of the page settings and the proxy.
#include "dialog/preference_dialog.h"

#include "app/app_util.h"
#include "common/face_reader.h"
#include "dialog/setting_page.h"
#include "dialog/setting_proxy.h"
#include "domain/domain_config.h"
#include "domain/domain_page.h"
#include "domain/domain_settings.h"
#include "gui/dialog_test_support.h"
#include "support/test_home.h"

#include <gtest/gtest.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/combobox.h>
#include <wx/notebook.h>
#include <wx/radiobut.h>
#include <wx/spinctrl.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <filesystem>

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

// The dialog as the menu command builds it, shown without a modal loop of its own.
class PreferenceDialogTest : public testing::Test {
protected:
    void SetUp() override {
        LoadFace(m_home.InstallRoot() + "/Themes/face.xml");
        ASSERT_TRUE(DomainPage().Load());
        DomainConfig::SetInstance(new DomainConfig(AppUtil::GetConfigPath()));
    }
    void TearDown() override {
        Close();
        delete DomainConfig::GetInstance();
        DomainConfig::SetInstance(nullptr);
    }

    void Open() {
        Close();
        m_dialog = PreferenceDialog::Build(nullptr);
        m_dialog->Show();
        m_page = m_dialog->GetSettingPage();
        m_proxy = m_dialog->GetProxyPage();
    }
    void Close() {
        if (m_dialog != nullptr) {
            m_dialog->Destroy();
            m_dialog = nullptr;
            wxTheApp->ProcessIdle();
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

    void Select(int radio) {
        Radio(radio)->SetValue(true);
        Click(Radio(radio), wxEVT_RADIOBUTTON);
    }
    void SetSpin(const char* name, int value) { Page<wxSpinCtrl>(name)->SetValue(value); }
    void SetSpins(int width, int height, int top, int bottom, int left, int right) {
        SetSpin("width", width);
        SetSpin("height", height);
        SetSpin("top", top);
        SetSpin("bottom", bottom);
        SetSpin("left", left);
        SetSpin("right", right);
    }
    void PressSave() { Click(m_dialog->FindWindow(PreferenceDialog::kSaveButton), wxEVT_BUTTON); }
    void PressReset() { Click(m_dialog->FindWindow(PreferenceDialog::kResetButton), wxEVT_BUTTON); }
    // Save with no message box expected; true when the dialog closed.
    bool SaveQuietly() {
        NoDialogExpected noDialog;
        PressSave();
        return !m_dialog->IsShown();
    }

    static std::map<std::string, wxString> PageSettings() {
        std::map<std::string, wxString> values;
        for (const char* key : kPageKeys) {
            values[key] = DomainSettings::GetNamed(key);
        }
        return values;
    }

    TestHome m_home;
    PreferenceDialog* m_dialog = nullptr;
    SettingPage* m_page = nullptr;
    SettingProxy* m_proxy = nullptr;
};
} // namespace

TEST_F(PreferenceDialogTest, OpensOnTheProxyPageWithTheDefaultSizeSelected) {
    Open();
    EXPECT_EQ(m_dialog->GetTitle(), "Preference");
    wxNotebook* notebook = m_dialog->GetNotebook();
    ASSERT_EQ(notebook->GetPageCount(), 2u);
    EXPECT_EQ(notebook->GetPageText(0), "Proxy Setting");
    EXPECT_EQ(notebook->GetPageText(1), "Page Setting");
    EXPECT_EQ(notebook->GetSelection(), 0);

    // Right after start-up: the default page type, list and custom size disabled.
    EXPECT_TRUE(Radio(SettingPage::kDefaultRadio)->GetValue());
    EXPECT_FALSE(Page<wxComboBox>("pagetype")->IsEnabled());
    EXPECT_FALSE(Page<wxSpinCtrl>("width")->IsEnabled());
    // The page types of the page file, "Image Size" among them and no empty item.
    wxComboBox* types = Page<wxComboBox>("pagetype");
    EXPECT_EQ(types->GetString(0), "A0");
    EXPECT_NE(types->FindString("Image Size"), wxNOT_FOUND);
    EXPECT_EQ(types->FindString(""), wxNOT_FOUND);
    EXPECT_EQ(types->GetStringSelection(), "A4");
    EXPECT_EQ(Page<wxStaticText>("sizetext")->GetLabel(), "210 x 297 mm");
    types->SetStringSelection("Letter");
    Click(types, wxEVT_COMBOBOX);
    EXPECT_EQ(Page<wxStaticText>("sizetext")->GetLabel(), "8.5 x 11 in (216 x 279 mm)");

    // The selection rule follows the radio buttons.
    Select(SettingPage::kPageTypeRadio);
    EXPECT_TRUE(types->IsEnabled());
    EXPECT_FALSE(Page<wxSpinCtrl>("height")->IsEnabled());
    Select(SettingPage::kCustomizeRadio);
    EXPECT_FALSE(types->IsEnabled());
    EXPECT_TRUE(Page<wxSpinCtrl>("height")->IsEnabled());

    // Copy and Print go with the owner password, from the start.
    auto* copy = Page<wxCheckBox>("copy");
    auto* print = Page<wxCheckBox>("print");
    EXPECT_TRUE(copy->GetValue());
    EXPECT_FALSE(copy->IsEnabled());
    EXPECT_FALSE(print->IsEnabled());
    Page<wxTextCtrl>("ownerpassword")->SetValue("secret");
    EXPECT_TRUE(copy->IsEnabled());
    EXPECT_TRUE(print->IsEnabled());
    Page<wxTextCtrl>("ownerpassword")->SetValue("");
    EXPECT_FALSE(copy->IsEnabled());
}

TEST_F(PreferenceDialogTest, MarginsAndPasswordsAreChecked) {
    const wxString product = AppUtil::GetDisplayName();
    const wxString tips = wxMessageBoxCaptionStr;
    struct Case {
        const char* name;
        int select;
        const char* type;
        int spins[6]; // width, height, top, bottom, left, right
        const char* owner;
        const char* user;
        const char* message; // null: accepted
        const wxString* caption;
    };
    const Case cases[] = {
        {"custom, top and bottom over the height",
         1,
         "A4",
         {210, 297, 150, 148, 10, 10},
         "",
         "",
         "Top value add Bottom value can not bigger than 297.",
         &product},
        {"custom, top and bottom within",
         1,
         "A4",
         {210, 297, 150, 147, 10, 10},
         "",
         "",
         nullptr,
         nullptr},
        {"custom, left and right equal to the width",
         1,
         "A4",
         {210, 297, 10, 10, 105, 105},
         "",
         "",
         nullptr,
         nullptr},
        {"custom, left and right over the width",
         1,
         "A4",
         {210, 297, 10, 10, 106, 105},
         "",
         "",
         "Left value add Right value can not bigger than 210.",
         &product},
        {"page type A5 is smaller than the custom spins",
         0,
         "A5",
         {210, 297, 100, 120, 10, 10},
         "",
         "",
         "Top value add Bottom value can not bigger than 210.",
         &product},
        {"page type A3 is larger than the custom spins",
         0,
         "A3",
         {100, 100, 150, 150, 140, 150},
         "",
         "",
         nullptr,
         nullptr},
        {"page type A3, left and right over its width",
         0,
         "A3",
         {100, 100, 10, 10, 150, 150},
         "",
         "",
         "Left value add Right value can not bigger than 297.",
         &product},
        {"page type Letter",
         0,
         "Letter",
         {210, 297, 140, 140, 10, 10},
         "",
         "",
         "Top value add Bottom value can not bigger than 279.",
         &product},
        {"image size takes any margins",
         0,
         "Image Size",
         {2, 2, 297, 297, 210, 210},
         "",
         "",
         nullptr,
         nullptr},
        {"default type A4, not the custom spins",
         2,
         "A4",
         {100, 100, 100, 100, 100, 100},
         "",
         "",
         nullptr,
         nullptr},
        {"default type A4 over its height",
         2,
         "A4",
         {400, 400, 200, 100, 10, 10},
         "",
         "",
         "Top value add Bottom value can not bigger than 297.",
         &product},
        {"user password without owner password",
         2,
         "A4",
         {210, 297, 10, 10, 10, 10},
         "",
         "u",
         "Tip: if you set user password, you must also set owner password.",
         &tips},
        {"the same password twice",
         2,
         "A4",
         {210, 297, 10, 10, 10, 10},
         "pw",
         "pw",
         "Tip: User password must not be the same as owner password.",
         &tips},
        {"owner password alone", 2, "A4", {210, 297, 10, 10, 10, 10}, "pw", "", nullptr, nullptr},
        {"both passwords", 2, "A4", {210, 297, 10, 10, 10, 10}, "own", "use", nullptr, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Open();
        Page<wxComboBox>("pagetype")->SetStringSelection(c.type);
        Select(c.select);
        SetSpins(c.spins[0], c.spins[1], c.spins[2], c.spins[3], c.spins[4], c.spins[5]);
        Page<wxTextCtrl>("ownerpassword")->SetValue(c.owner);
        Page<wxTextCtrl>("userpassword")->SetValue(c.user);
        const auto before = PageSettings();
        if (c.message != nullptr) {
            wxTEST_DIALOG(PressSave(), ExpectMessageBox(c.message, *c.caption));
            EXPECT_TRUE(m_dialog->IsShown()) << "a refused save keeps the dialog open";
            EXPECT_EQ(PageSettings(), before) << "a refused save stores nothing";
        } else {
            EXPECT_TRUE(SaveQuietly());
            EXPECT_EQ(m_dialog->GetReturnCode(), 0);
            EXPECT_EQ(DomainSettings::GetNamed("page:size:select"),
                      wxString::Format("%d", c.select));
            EXPECT_EQ(DomainSettings::GetNamed("page:top"), wxString::Format("%d", c.spins[2]));
        }
    }
}

TEST_F(PreferenceDialogTest, SaveStoresTheRunAndWritesOnlyTheFileKeys) {
    Open();
    Page<wxComboBox>("pagetype")->SetStringSelection("Letter");
    Select(SettingPage::kCustomizeRadio);
    SetSpins(300, 400, 5, 6, 7, 8);
    Page<wxTextCtrl>("author")->SetValue("Smith & Sons");
    Page<wxTextCtrl>("ownerpassword")->SetValue("owner-secret");
    Page<wxTextCtrl>("userpassword")->SetValue("user-secret");
    Page<wxCheckBox>("copy")->SetValue(false);
    ASSERT_TRUE(SaveQuietly());

    const std::map<std::string, wxString> expected = {
        {"page:size:select", "1"},
        {"page:type", "Letter"},
        {"page:width", "300"},
        {"page:height", "400"},
        {"page:top", "5"},
        {"page:bottom", "6"},
        {"page:left", "7"},
        {"page:right", "8"},
        {"page:author", "Smith & Sons"},
        {"page:permission:ownerpassword", "owner-secret"},
        {"page:permission:userpassword", "user-secret"},
        {"page:permission:copy", "0"},
        {"page:permission:print", "1"},
    };
    EXPECT_EQ(PageSettings(), expected);
    // The page file gets the type, size, margins and author; passwords and permissions never
    // reach the disk.
    const std::string file = TestHome::ReadFile(AppUtil::GetPagePath(true));
    EXPECT_NE(file.find("value=\"Letter\""), std::string::npos);
    EXPECT_NE(file.find("width=\"300\" height=\"400\""), std::string::npos);
    EXPECT_NE(file.find("Smith &amp; Sons"), std::string::npos);
    EXPECT_EQ(file.find("secret"), std::string::npos);
    EXPECT_EQ(file.find("permission"), std::string::npos);

    // Reopened, the dialog shows what was stored.
    Open();
    EXPECT_TRUE(Radio(SettingPage::kCustomizeRadio)->GetValue());
    EXPECT_EQ(Page<wxSpinCtrl>("width")->GetValue(), 300);
    EXPECT_EQ(Page<wxTextCtrl>("userpassword")->GetValue(), "user-secret");
    EXPECT_TRUE(Page<wxCheckBox>("print")->IsEnabled());
    EXPECT_FALSE(Page<wxCheckBox>("copy")->GetValue());

    // Reset then Save: the default size and margins, nothing else.
    PressReset();
    EXPECT_TRUE(m_dialog->IsShown());
    EXPECT_EQ(DomainSettings::GetNamed("page:width"), "300") << "Reset alone stores nothing";
    ASSERT_TRUE(SaveQuietly());
    EXPECT_EQ(DomainSettings::GetNamed("page:width"), "210");
    EXPECT_EQ(DomainSettings::GetNamed("page:height"), "297");
    for (const char* margin : {"page:top", "page:bottom", "page:left", "page:right"}) {
        EXPECT_EQ(DomainSettings::GetNamed(margin), "10") << margin;
    }
    EXPECT_EQ(DomainSettings::GetNamed("page:author"), "");
    EXPECT_EQ(DomainSettings::GetNamed("page:permission:ownerpassword"), "");
    EXPECT_EQ(DomainSettings::GetNamed("page:permission:userpassword"), "");
    EXPECT_EQ(DomainSettings::GetNamed("page:permission:copy"), "0");
    EXPECT_EQ(DomainSettings::GetNamed("page:permission:print"), "0");
    EXPECT_EQ(DomainSettings::GetNamed("page:size:select"), "1") << "the selection stays";
}

TEST_F(PreferenceDialogTest, ARefusedPageSaveStillStoresTheProxy) {
    Open();
    Proxy<wxTextCtrl>("address")->SetValue("proxy.example.org");
    Proxy<wxTextCtrl>("port")->SetValue("3128");
    Proxy<wxTextCtrl>("user")->SetValue("ann");
    Proxy<wxTextCtrl>("password")->SetValue("s3cret");
    Page<wxTextCtrl>("userpassword")->SetValue("alone");
    wxTEST_DIALOG(
        PressSave(),
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
    Page<wxTextCtrl>("userpassword")->SetValue("");
    const wxString pageFile = AppUtil::GetPagePath(true);
    std::filesystem::remove(std::string(pageFile.utf8_str()));
    std::filesystem::create_directory(std::string(pageFile.utf8_str()));
    wxTEST_DIALOG(PressSave(),
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
            wxTEST_DIALOG(PressSave(), ExpectMessageBox(c.message, product));
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
    PressReset();
    for (const char* field : {"address", "port", "user", "password"}) {
        EXPECT_EQ(Proxy<wxTextCtrl>(field)->GetValue(), "") << field;
    }
    EXPECT_EQ(Proxy<wxChoice>("type")->GetStringSelection(), "HTTP");
    EXPECT_EQ(DomainConfig::GetInstance()->GetProxy().address, "10.0.0.1");
}

TEST_F(PreferenceDialogTest, OpenRunsModallyAndEndsWithSave) {
    wxTheApp->CallAfter([] {
        for (wxWindow* window : wxTopLevelWindows) {
            auto* dialog = dynamic_cast<PreferenceDialog*>(window);
            if (dialog != nullptr && dialog->IsModal()) {
                Click(dialog->FindWindow(PreferenceDialog::kSaveButton), wxEVT_BUTTON);
                return;
            }
        }
        ADD_FAILURE() << "no modal preference dialog";
    });
    EXPECT_EQ(PreferenceDialog::Open(), 0);
}
