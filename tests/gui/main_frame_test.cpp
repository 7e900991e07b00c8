#include "window/main_frame_zuzur2aze.h"

#include "app/app_util.h"
#include "app/language_file.h"
#include "app/main_app.h"
#include "common/face_reader.h"
#include "domain/domain_settings.h"
#include "support/test_home.h"

#include <gtest/gtest.h>
#include <wx/msgdlg.h>
#include <wx/testing.h>

TEST(MainFrameTest, CreationLoadsThePageSettingsAndTheLanguage) {
    TestHome home;
    LoadFace(home.InstallRoot() + "/Themes/face.xml");
    LanguageFile::WriteLanguage(LanguageFile::kGerman);
    auto* frame = new MainFrameZUZUR2AZE;
    ASSERT_TRUE(frame->Create(2000, AppUtil::GetDisplayName()));
    EXPECT_EQ(frame->GetTitle(), "Ombrix Image to PDF Converter");
    EXPECT_EQ(frame->GetId(), 2000);
    EXPECT_TRUE(wxFileExists(AppUtil::GetPagePath(true)));
    EXPECT_EQ(DomainSettings::GetNamed("page:type:default"), "A4");
    EXPECT_TRUE(wxGetTranslation("The page settings file \"%s\" is missing or damaged. Built-in "
                                 "page settings are used.")
                    .StartsWith("Die Datei"));
    frame->Destroy();
    wxTheApp->ProcessIdle();
}

namespace {
// Answers a message box with OK after checking the start of its text.
class ExpectMessage : public wxExpectModal<wxMessageDialog> {
public:
    explicit ExpectMessage(const char* start)
        : wxExpectModal<wxMessageDialog>(wxID_OK), m_start(wxString::FromUTF8(start)) {}

protected:
    int OnInvoked(wxMessageDialog* dialog) const override {
        EXPECT_TRUE(dialog->GetMessage().StartsWith(m_start)) << dialog->GetMessage();
        EXPECT_EQ(dialog->GetTitle(), AppUtil::GetDisplayName());
        return wxExpectModal<wxMessageDialog>::OnInvoked(dialog);
    }

private:
    wxString m_start;
};
} // namespace

TEST(MainFrameTest, ADamagedPageFileIsReportedInTheUsersLanguage) {
    TestHome home;
    LoadFace(home.InstallRoot() + "/Themes/face.xml");
    LanguageFile::WriteLanguage(LanguageFile::kFrench);
    TestHome::WriteFile(AppUtil::GetPagePath(false), "<setting>broken");
    auto* frame = new MainFrameZUZUR2AZE;
    ASSERT_TRUE(frame->Create(2000, AppUtil::GetDisplayName()));
    wxTheApp->SetTopWindow(frame);
    wxTEST_DIALOG(wxGetApp().ShowStartupProblems(),
                  ExpectMessage("Le fichier des paramètres de page"));
    EXPECT_EQ(DomainSettings::GetNamed("page:top"), "10");
    frame->Destroy();
    wxTheApp->ProcessIdle();
}
