// The main window's menu opens the dialogs it names.
#include "app/app_util.h"
#include "common/face_reader.h"
#include "dialog/about_dialog.h"
#include "dialog/cjx_progress_dialog.h"
#include "dialog/preference_dialog.h"
#include "domain/domain_config.h"
#include "domain/domain_settings.h"
#include "gui/dialog_test_support.h"
#include "support/test_home.h"
#include "window/main_frame_zuzur2aze.h"
#include "window/zq_menu_bar.h"

#include <gtest/gtest.h>

#include <string>

namespace {
void Command(wxWindow* bar, int id) {
    wxCommandEvent event(wxEVT_MENU, id);
    bar->GetEventHandler()->ProcessEvent(event);
}
} // namespace

TEST(MenuDialogsTest, EachMenuItemOpensItsDialog) {
    TestHome home;
    DomainConfig::SetInstance(new DomainConfig(AppUtil::GetConfigPath()));
    LoadFace(AppUtil::GetFacePath());
    DomainSettings::SetNamed("url:update", "-update.xml"); // no address: fails at once
    auto* frame = new MainFrameZUZUR2AZE;
    ASSERT_TRUE(frame->Create(2000, AppUtil::GetDisplayName()));
    wxTheApp->SetTopWindow(frame);
    frame->Show();
    ZqMenuBar* bar = frame->GetThemedMenuBar();

    auto expectModal = [bar](int id, const char* className) {
        std::string shown;
        wxTheApp->CallAfter([&shown] {
            for (wxWindow* window : wxTopLevelWindows) {
                auto* dialog = dynamic_cast<wxDialog*>(window);
                if (dialog != nullptr && dialog->IsModal()) {
                    shown =
                        std::string(wxString(dialog->GetClassInfo()->GetClassName()).utf8_str());
                    dialog->EndModal(wxID_CANCEL);
                    return;
                }
            }
        });
        Command(bar, id);
        EXPECT_EQ(shown, className) << id;
    };
    // "Preference" goes through the main window (notification 23).
    expectModal(wxID_PREFERENCES, "PreferenceDialog");
    expectModal(wxID_ABOUT, "AboutDialog");

    // "Check for Update" shows the menu bar's own dialog, modeless, and checks.
    CjxProgressDialog* update = bar->GetUpdateDialog();
    ASSERT_NE(update, nullptr);
    EXPECT_FALSE(update->IsShown());
    Command(bar, DhMenuBarBase::kCheckForUpdate);
    EXPECT_TRUE(update->IsShown());
    EXPECT_FALSE(update->IsModal());
    EXPECT_EQ(update->GetTitle(), "Check for Update");
    ASSERT_TRUE(WaitUntil([update] { return update->GetState() == CjxProgressDialog::kFailed; }));

    frame->Destroy();
    wxTheApp->ProcessIdle();
    delete DomainConfig::GetInstance();
    DomainConfig::SetInstance(nullptr);
}
