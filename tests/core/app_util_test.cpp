#include "app/app_util.h"

#include "support/test_home.h"

#include <gtest/gtest.h>
#include <wx/dir.h>

TEST(AppUtilTest, DirOfCutsAtTheLastSeparator) {
    struct Case {
        const char* path;
        const char* dir;
    };
    const Case cases[] = {
        // A backslash is a character of a name here, not a separator.
        {"/home/a\\b/bin/app", "/home/a\\b/bin"},
        {"C:/Apps/Conv/bin", "C:/Apps/Conv"},
        {"/opt/ombrix/bin/ombrix-image-to-pdf", "/opt/ombrix/bin"},
        {"app", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AppUtil::DirOf(c.path), c.dir) << c.path;
    }
}

TEST(AppUtilTest, FixedNames) {
    EXPECT_EQ(AppUtil::GetBrandName(), "Ombrix");
    EXPECT_EQ(AppUtil::GetProductId(), "ZUZUR2AZE_OMBX");
    EXPECT_EQ(AppUtil::GetVersion(), OMBRIX_PROJECT_VERSION);
    EXPECT_EQ(AppUtil::GetDisplayName(), "Ombrix Image to PDF Converter");
    const wxString year = AppUtil::GetBuildYear();
    EXPECT_EQ(year.length(), 4u);
    EXPECT_TRUE(year.IsNumber());
}

TEST(AppUtilTest, UserFilesLiveInTheDocumentsFolderWhichIsCreatedOnDemand) {
    TestHome home;
    const wxString userData = home.UserData();
    EXPECT_FALSE(wxDir::Exists(userData));

    EXPECT_EQ(AppUtil::GetConfigPath(), userData + "/ZUZUR2AZE_OMBX.cfg");
    EXPECT_TRUE(wxDir::Exists(userData));
    EXPECT_EQ(AppUtil::GetLanguagePath(), userData + "/language.txt");
    EXPECT_EQ(AppUtil::GetPagePath(true), userData + "/page.xml");
    EXPECT_EQ(AppUtil::GetLogDir(), userData + "/Log");
    EXPECT_TRUE(wxDir::Exists(userData + "/Log"));

    const wxString output = AppUtil::GetDefaultOutputDir();
    EXPECT_EQ(output, home.Documents() + "/Ombrix/Ombrix Image to PDF Converter");
    EXPECT_TRUE(wxDir::Exists(output));

    EXPECT_EQ(AppUtil::GetInstallRoot(), home.InstallRoot());
    EXPECT_EQ(AppUtil::GetPagePath(false), home.InstallRoot() + "/page.xml");
    EXPECT_EQ(AppUtil::GetOptionPath(), home.InstallRoot() + "/option.cfg");
    EXPECT_EQ(AppUtil::GetCatalogDir(), home.InstallRoot() + "/Language");
}
