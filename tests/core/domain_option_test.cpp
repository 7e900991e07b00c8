#include "domain/domain_option.h"

#include "app/app_util.h"
#include "domain/domain_settings.h"
#include "support/test_home.h"

#include <gtest/gtest.h>
#include <wx/filefn.h>

TEST(DomainOptionTest, LoadsEveryLinkAndSuffixesTheUpdateAddress) {
    TestHome home;
    TestHome::WriteFile(AppUtil::GetOptionPath(),
                        "<?xml version=\"1.0\"?><setting><url>\n"
                        "<help>https://h.example/help</help><!-- note -->\n"
                        "<support> https://s.example/ </support>\n"
                        "<product>https://p.example/</product>\n"
                        "<update>https://u.example/base</update>\n"
                        "<help>https://h.example/second</help>\n"
                        "</url><url><extra>no</extra></url></setting>");
    ASSERT_TRUE(DomainOption().Load());
    EXPECT_EQ(DomainOption::GetLink("help"), "https://h.example/second");
    EXPECT_EQ(DomainOption::GetLink("support"), " https://s.example/ ");
    EXPECT_EQ(DomainOption::GetLink("product"), "https://p.example/");
    EXPECT_EQ(DomainOption::GetLink("update"), "https://u.example/base-update.xml");
    EXPECT_EQ(DomainOption::GetLink("extra"), "");
    EXPECT_FALSE(DomainSettings::HasNamed("url:comment"));
}

TEST(DomainOptionTest, WithoutAnUpdateLinkTheAddressIsTheSuffixAlone) {
    TestHome home;
    DomainSettings::SetNamed("url:update", "");
    TestHome::WriteFile(AppUtil::GetOptionPath(), "<setting><url><help>h</help></url></setting>");
    ASSERT_TRUE(DomainOption().Load());
    EXPECT_EQ(DomainOption::GetLink("update"), "-update.xml");
}

TEST(DomainOptionTest, DamagedFilesAreReported) {
    for (const char* content : {static_cast<const char*>(nullptr), "", "<setting>", "<setting/>"}) {
        TestHome home;
        wxRemoveFile(AppUtil::GetOptionPath());
        if (content != nullptr) {
            TestHome::WriteFile(AppUtil::GetOptionPath(), content);
        }
        EXPECT_FALSE(DomainOption().Load()) << (content ? content : "missing");
    }
}

TEST(DomainOptionTest, ShippedFileHasEveryLinkTheApplicationUses) {
    TestHome home;
    ASSERT_TRUE(DomainOption().Load());
    for (const char* name : {"help", "support", "product"}) {
        EXPECT_TRUE(DomainOption::GetLink(name).StartsWith("https://")) << name;
    }
    EXPECT_TRUE(DomainOption::GetLink("update").EndsWith("-update.xml"));
}
