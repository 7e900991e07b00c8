// The update dialog's states against update servers on the loopback address.
#include "dialog/cjx_progress_dialog.h"

#include "domain/domain_settings.h"
#include "gui/dialog_test_support.h"
#include "support/loopback_server.h"

#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/gauge.h>
#include <wx/stattext.h>

#include <cstdlib>
#include <map>

namespace {
std::string Description(const std::string& version) {
    return "<?xml version=\"1.0\"?><updates><product name=\"Ombrix Image to PDF Converter\" "
           "version=\"" +
           version + "\"/></updates>";
}

class UpdateDialogTest : public testing::Test {
protected:
    void SetUp() override {
        LoopbackServer::ClearProxyEnvironment();
        m_pages["/newer"] = LoopbackServer::Response(200, Description("2.2.0"));
        m_pages["/latest"] = LoopbackServer::Response(200, Description(OMBRIX_PROJECT_VERSION));
        m_pages["/error"] = LoopbackServer::Response(500, Description("9.0"));
        std::string endless = "9";
        for (int i = 0; i < 50000; ++i) {
            endless += ".1";
        }
        m_pages["/endless"] = LoopbackServer::Response(200, Description(endless));
        m_server = std::make_unique<LoopbackServer>(
            [this](LoopbackServer::Connection& connection, const std::string& head) {
                const std::string path = LoopbackServer::PathOf(head);
                if (path == "/silent") {
                    connection.WaitForClose();
                    return;
                }
                const auto page = m_pages.find(path);
                connection.Send(page != m_pages.end() ? page->second
                                                      : LoopbackServer::Response(404, ""));
            });
        DomainSettings::SetNamed("url:product", "");
        m_dialog = new CjxProgressDialog(nullptr, "Check for Update");
        UpdateLimits limits;
        limits.connectTimeoutMs = 2000;
        limits.totalTimeoutMs = 3000;
        limits.lowSpeedSeconds = 1;
        m_dialog->SetLimits(limits);
    }
    void TearDown() override {
        m_dialog->Destroy();
        wxTheApp->ProcessIdle();
        m_server.reset();
    }

    void UseAddress(const std::string& path) {
        DomainSettings::SetNamed("url:update", m_server->Url(path));
    }
    bool WaitForResult() {
        return WaitUntil([this] { return m_dialog->GetState() != CjxProgressDialog::kChecking; });
    }
    // A text as the user reads it, its wrapping undone.
    wxString Text(const char* name) {
        wxString text = static_cast<wxStaticText*>(m_dialog->FindWindow(name))->GetLabel();
        text.Replace("\n", " ");
        return text;
    }
    bool Visible(wxWindow* window) { return window->IsShown(); }
    wxWindow* Ok() { return m_dialog->FindWindow(CjxProgressDialog::kOkButton); }
    void Press(int id) { Click(m_dialog->FindWindow(id), wxEVT_BUTTON); }
    size_t Requests() { return m_server->Requests().size(); }

    std::map<std::string, std::string> m_pages;
    std::unique_ptr<LoopbackServer> m_server;
    CjxProgressDialog* m_dialog = nullptr;
};
} // namespace

TEST_F(UpdateDialogTest, ANewerVersionOffersTheDownloadPage) {
    UseAddress("/newer");
    m_dialog->Show();
    EXPECT_EQ(m_dialog->GetState(), CjxProgressDialog::kChecking);
    EXPECT_EQ(Text("first"), "Checking for updates...");
    EXPECT_FALSE(Visible(Ok()));
    ASSERT_TRUE(WaitForResult());
    EXPECT_EQ(m_dialog->GetState(), CjxProgressDialog::kNewer);
    EXPECT_EQ(Text("first"),
              "A new version of Ombrix Image to PDF Converter (2.2.0) is available.");
    EXPECT_EQ(Text("second"), "Click Ok to open download page.");
    EXPECT_TRUE(Visible(Ok()));

    // Ok hides the dialog (no product page is configured here, so no browser opens); showing
    // it again shows the result without a new check.
    Press(CjxProgressDialog::kOkButton);
    EXPECT_FALSE(m_dialog->IsShown());
    m_dialog->Show();
    EXPECT_EQ(m_dialog->GetState(), CjxProgressDialog::kNewer);
    EXPECT_EQ(Requests(), 1u);
}

TEST_F(UpdateDialogTest, TheRunningVersionIsTheLatest) {
    UseAddress("/latest");
    m_dialog->Show();
    ASSERT_TRUE(WaitForResult());
    EXPECT_EQ(m_dialog->GetState(), CjxProgressDialog::kLatest);
    EXPECT_EQ(Text("first"),
              "This version of Ombrix Image to PDF Converter (" OMBRIX_PROJECT_VERSION ")");
    EXPECT_EQ(Text("second"), "is the latest version.");
    EXPECT_FALSE(Visible(Ok()));
}

TEST_F(UpdateDialogTest, FailuresSayWhatHappenedAndTheNextShowTriesAgain) {
    struct Case {
        std::string url;
        const char* text;
    };
    const Case cases[] = {
        {m_server->Url("/error"), "Update failed! The update server reported an error."},
        // A version of 100,000 characters is no version: the dialog never lays it out.
        {m_server->Url("/endless"),
         "Update failed! The update server sent no valid update description."},
        {m_server->Url("/silent"), "Update failed! The update server did not answer in time."},
        {"http://127.0.0.1:" + std::to_string(LoopbackServer::ClosedPort()) + "/x",
         "Update failed! Please check if the network is available."},
        {"-update.xml", "Update failed! No update address is configured."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        DomainSettings::SetNamed("url:update", c.url);
        m_dialog->Show();
        ASSERT_TRUE(WaitForResult());
        EXPECT_EQ(m_dialog->GetState(), CjxProgressDialog::kFailed);
        EXPECT_EQ(Text("first"), c.text);
        EXPECT_FALSE(Visible(m_dialog->FindWindow("gauge")));
        EXPECT_FALSE(Visible(Ok()));
        Press(CjxProgressDialog::kCancelButton);
        EXPECT_FALSE(m_dialog->IsShown());
    }
    // After a failure the next Show checks again.
    UseAddress("/latest");
    m_dialog->Show();
    ASSERT_TRUE(WaitForResult());
    EXPECT_EQ(m_dialog->GetState(), CjxProgressDialog::kLatest);
}

TEST_F(UpdateDialogTest, HidingNeverStartsACheckAndCancelGivesUpTheRunningOne) {
    UseAddress("/newer");
    m_dialog->Hide();
    m_dialog->Show(false);
    EXPECT_EQ(m_dialog->GetState(), CjxProgressDialog::kIdle);

    // A check against a silent server; the address it uses was copied when it started.
    UseAddress("/silent");
    m_dialog->Show();
    ASSERT_TRUE(WaitUntil([this] { return Requests() == 1; }));
    UseAddress("/latest");
    Press(CjxProgressDialog::kCancelButton);
    EXPECT_FALSE(m_dialog->IsShown());
    EXPECT_EQ(m_dialog->GetState(), CjxProgressDialog::kIdle);
    ASSERT_EQ(m_server->Requests().size(), 1u);
    EXPECT_EQ(LoopbackServer::PathOf(m_server->Requests()[0]), "/silent");

    // Shown again, a new check starts, with the address of now.
    m_dialog->Show();
    ASSERT_TRUE(WaitForResult());
    EXPECT_EQ(m_dialog->GetState(), CjxProgressDialog::kLatest);
    ASSERT_EQ(m_server->Requests().size(), 2u);
    EXPECT_EQ(LoopbackServer::PathOf(m_server->Requests()[1]), "/latest");

    // The close box gives up a running check too, and the dialog may go while one runs.
    UseAddress("/silent");
    auto* other = new CjxProgressDialog(nullptr, "Check for Update");
    other->Show();
    ASSERT_TRUE(WaitUntil([this] { return Requests() == 3; }));
    other->Close();
    EXPECT_FALSE(other->IsShown());
    EXPECT_EQ(other->GetState(), CjxProgressDialog::kIdle);
    other->Show();
    ASSERT_TRUE(WaitUntil([this] { return Requests() == 4; }));
    other->Destroy();
    wxTheApp->ProcessIdle();
}
