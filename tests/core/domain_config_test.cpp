#include "domain/domain_config.h"

#include "app/app_util.h"
#include "domain/domain_settings.h"
#include "support/test_home.h"

#include <gtest/gtest.h>
#include <wx/dir.h>
#include <wx/filefn.h>

namespace {
constexpr char kFresh[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                          "<setting>\r\n"
                          "   <last-convert-dir></last-convert-dir>\r\n"
                          "   <last-output-dir></last-output-dir>\r\n"
                          "</setting>\r\n";
} // namespace

TEST(DomainConfigTest, FirstStartWritesTheFreshFileAndUsesTheDefaultOutputFolder) {
    TestHome home;
    const wxString path = AppUtil::GetConfigPath();
    {
        DomainConfig config(path);
        EXPECT_EQ(TestHome::ReadFile(path), kFresh);
        EXPECT_EQ(config.GetLastConvertDir(), "");
        EXPECT_EQ(config.GetLastOutputDir(), AppUtil::GetDefaultOutputDir());
        EXPECT_EQ(DomainSettings::GetKeyed(DomainSettings::kOutputDir),
                  AppUtil::GetDefaultOutputDir());
        EXPECT_EQ(config.GetProxy().type, "HTTP");
        EXPECT_EQ(config.GetProxy().address, "");
    }
}

TEST(DomainConfigTest, DamagedFilesAreRewrittenFresh) {
    const char* damaged[] = {
        "",
        "not xml at all",
        "<setting><last-convert-dir>/a</last-convert-dir></setting>",
        "<setting><a>/x</a>",
    };
    for (const char* content : damaged) {
        TestHome home;
        const wxString path = AppUtil::GetConfigPath();
        TestHome::WriteFile(path, content);
        DomainConfig config(path);
        EXPECT_EQ(TestHome::ReadFile(path), kFresh) << content;
        EXPECT_EQ(config.GetLastConvertDir(), "") << content;
    }
}

TEST(DomainConfigTest, FoldersAreReadByPositionAndAMissingOutputFolderFallsBack) {
    TestHome home;
    const wxString path = AppUtil::GetConfigPath();
    const wxString out = home.Documents() + "/输出 folder";
    ASSERT_TRUE(wxDir::Make(out));
    TestHome::WriteFile(path, std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                          "<setting><!-- by position --><first>/from/here</first>"
                                          "<second>") +
                                  std::string(out.utf8_str()) + "</second></setting>\n");
    {
        DomainConfig config(path);
        EXPECT_EQ(config.GetLastConvertDir(), "/from/here");
        EXPECT_EQ(config.GetLastOutputDir(), out);
        EXPECT_EQ(DomainSettings::GetKeyed(DomainSettings::kOutputDir), out);
    }

    ASSERT_TRUE(wxDir::Remove(out));
    DomainConfig config(path);
    EXPECT_EQ(config.GetLastOutputDir(), AppUtil::GetDefaultOutputDir());
}

TEST(DomainConfigTest, DestructorRemembersTheAddFolderAndTheChosenOutputFolder) {
    TestHome home;
    const wxString path = AppUtil::GetConfigPath();
    const wxString added = home.Documents() + "/Fotos Ü & <Bilder>";
    const wxString chosen = home.Documents() + "/PDFs 中文";
    ASSERT_TRUE(wxDir::Make(chosen));
    {
        DomainConfig config(path);
        config.SetLastConvertDir(added);
        DomainSettings::SetKeyed(DomainSettings::kOutputDir, chosen);
    }
    DomainConfig reread(path);
    EXPECT_EQ(reread.GetLastConvertDir(), added);
    EXPECT_EQ(reread.GetLastOutputDir(), chosen);
}

TEST(DomainConfigTest, SaveRecreatesADeletedFileAndProxyIsNeverStored) {
    TestHome home;
    const wxString path = AppUtil::GetConfigPath();
    {
        DomainConfig config(path);
        config.SetProxy({"HTTP", "proxy.example", "3128", "me", "secret"});
        config.SetLastConvertDir("/pictures");
        wxRemoveFile(path);
    }
    const std::string written = TestHome::ReadFile(path);
    EXPECT_NE(written.find("/pictures"), std::string::npos);
    EXPECT_EQ(written.find("secret"), std::string::npos);
    DomainConfig reread(path);
    EXPECT_EQ(reread.GetProxy().address, "");
}
