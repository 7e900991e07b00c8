#include "domain/domain_page.h"

#include "app/app_util.h"
#include "domain/domain_settings.h"
#include "domain/libxml_ptr.h"
#include "support/file_size_limit.h"
#include "support/test_home.h"

#include <gtest/gtest.h>
#include <wx/dir.h>
#include <wx/filefn.h>
#include <wx/filename.h>

namespace {
std::string PageFile(const char* version,
                     const char* types = "<type name=\"A4\" size=\"210 x 297 mm\"/>",
                     const char* author = "") {
    return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<setting version=\"") +
           version +
           "\">\n<page>\n<page-type value=\"A4\"><default value=\"A4\"/>"
           "<type-size>" +
           types +
           "</type-size></page-type>\n"
           "<page-size width=\"100\" height=\"200\"><default width=\"210\" height=\"297\"/>"
           "</page-size>\n"
           "<page-margin top=\"1\" bottom=\"2\" left=\"3\" right=\"4\">"
           "<default top=\"10\" bottom=\"10\" left=\"10\" right=\"10\"/></page-margin>\n"
           "<author>" +
           author + "</author>\n<subject>S</subject>\n</page>\n</setting>\n";
}
} // namespace

TEST(DomainPageTest, FirstRunCopiesTheDefaultByteForByte) {
    TestHome home;
    const std::string shipped = TestHome::ReadFile(AppUtil::GetPagePath(false));
    EXPECT_TRUE(DomainPage().Load());
    EXPECT_EQ(TestHome::ReadFile(AppUtil::GetPagePath(true)), shipped);
    EXPECT_EQ(DomainSettings::GetNamed("page:type:default"), "A4");
    EXPECT_EQ(DomainSettings::GetNamed("page:width"), "210");
    EXPECT_EQ(DomainSettings::GetNamed("A4"), "210 x 297 mm");
    EXPECT_TRUE(
        DomainSettings::GetNamed("page:type:items").StartsWith("A0,A1,A2,A3,A4,A5,A6,B4,B5,"));
    for (const char* type : {"Letter", "Legal", "Tabloid", "Executive", "Image Size"}) {
        EXPECT_TRUE(DomainSettings::GetNamed("page:type:items").Contains(wxString(type) + ","))
            << type;
    }
}

TEST(DomainPageTest, VersionDecidesWhetherTheUserFileIsReplaced) {
    struct Case {
        const char* defaultVersion;
        const char* userFile; // null: no user file
        bool replaced;
    };
    const std::string user10 = PageFile("1.0", "<type name=\"Mine\" size=\"x\"/>");
    const std::string user110 = PageFile("1.10", "<type name=\"Mine\" size=\"x\"/>");
    const std::string user20 = PageFile("2.0", "<type name=\"Mine\" size=\"x\"/>");
    const std::string noVersion = "<setting><page/></setting>";
    const Case cases[] = {
        {"1.1", user10.c_str(), true},    {"1.0", user10.c_str(), false},
        {"1.9", user110.c_str(), true},   {"1.0", user20.c_str(), false},
        {"1.0", noVersion.c_str(), true}, {"1.0", "<setting version=", true},
        {"1.0", nullptr, true},
    };
    for (const Case& c : cases) {
        TestHome home;
        const std::string defaultFile = PageFile(c.defaultVersion);
        TestHome::WriteFile(AppUtil::GetPagePath(false), defaultFile);
        if (c.userFile != nullptr) {
            TestHome::WriteFile(AppUtil::GetPagePath(true), c.userFile);
        }
        EXPECT_TRUE(DomainPage().Load());
        const std::string user = TestHome::ReadFile(AppUtil::GetPagePath(true));
        const std::string label =
            std::string(c.defaultVersion) + " over " + (c.userFile ? c.userFile : "nothing");
        EXPECT_EQ(user == defaultFile, c.replaced) << label;
        EXPECT_EQ(DomainSettings::GetNamed("page:type:items"), c.replaced ? "A4," : "Mine,")
            << label;
    }
}

TEST(DomainPageTest, LoadFillsTheNamedSettings) {
    TestHome home;
    TestHome::WriteFile(AppUtil::GetPagePath(false),
                        PageFile("1.0",
                                 "<type name=\"A4\" size=\"210 x 297 mm\"/>"
                                 "<type name=\"A3\" size=\"297 x 420 mm\"/><!-- c -->"
                                 "<type name=\"Letter\" size=\"8.5 x 11 in\"/>",
                                 "Zoë 张"));
    DomainSettings::SetNamed("page:size:select", "0");
    DomainSettings::SetNamed("page:permission:copy", "0");
    ASSERT_TRUE(DomainPage().Load());
    struct Case {
        const char* key;
        const char* value;
    };
    const Case cases[] = {
        {"page:type", "A4"},
        {"page:type:default", "A4"},
        {"page:type:items", "A4,A3,Letter,"},
        {"A3", "297 x 420 mm"},
        {"Letter", "8.5 x 11 in"},
        {"page:width", "100"},
        {"page:height", "200"},
        {"page:width:default", "210"},
        {"page:height:default", "297"},
        {"page:size:select", "2"},
        {"page:size:select:default", "2"},
        {"page:top", "1"},
        {"page:bottom", "2"},
        {"page:left", "3"},
        {"page:right", "4"},
        {"page:top:default", "10"},
        {"page:author", "Zoë 张"},
        {"page:subject", "S"},
        {"page:permission:userpassword", ""},
        {"page:permission:ownerpassword", ""},
        {"page:permission:copy", "1"},
        {"page:permission:print", "1"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DomainSettings::GetNamed(c.key), wxString::FromUTF8(c.value)) << c.key;
    }
}

TEST(DomainPageTest, SaveWritesTheEditableKeysBackAndOnlyThose) {
    TestHome home;
    ASSERT_TRUE(DomainPage().Load());
    DomainSettings::SetNamed("page:type", "Letter");
    DomainSettings::SetNamed("page:width", "300");
    DomainSettings::SetNamed("page:height", "400");
    DomainSettings::SetNamed("page:top", "5");
    DomainSettings::SetNamed("page:bottom", "6");
    DomainSettings::SetNamed("page:left", "7");
    DomainSettings::SetNamed("page:right", "8");
    DomainSettings::SetNamed("page:author", wxString::FromUTF8("Smith & <Söhne> 李"));
    DomainSettings::SetNamed("page:subject", "changed");
    DomainSettings::SetNamed("page:size:select", "1");
    DomainSettings::SetNamed("page:permission:userpassword", "pw");
    ASSERT_TRUE(DomainPage().Save());

    ASSERT_TRUE(DomainPage().Load());
    EXPECT_EQ(DomainSettings::GetNamed("page:type"), "Letter");
    EXPECT_EQ(DomainSettings::GetNamed("page:width"), "300");
    EXPECT_EQ(DomainSettings::GetNamed("page:height"), "400");
    EXPECT_EQ(DomainSettings::GetNamed("page:top"), "5");
    EXPECT_EQ(DomainSettings::GetNamed("page:right"), "8");
    EXPECT_EQ(DomainSettings::GetNamed("page:author"), wxString::FromUTF8("Smith & <Söhne> 李"));
    EXPECT_EQ(DomainSettings::GetNamed("page:subject"), "");
    EXPECT_EQ(DomainSettings::GetNamed("page:size:select"), "1") << "the size selection is kept";
    EXPECT_EQ(DomainSettings::GetNamed("page:size:select:default"), "2");
    EXPECT_EQ(DomainSettings::GetNamed("page:permission:userpassword"), "");
}

// A page file from before the size selection was kept (and one with decimals): it loads with
// the default selection, and the first Save adds the selection to it.
TEST(DomainPageTest, AnOlderUserFileLoadsAndKeepsTheSelectionOnceSaved) {
    TestHome home;
    TestHome::WriteFile(AppUtil::GetPagePath(false), DomainPage::GetBuiltInPageFile());
    TestHome::WriteFile(AppUtil::GetPagePath(true),
                        "<?xml version=\"1.0\"?><setting version=\"1.0\"><page>"
                        "<page-type value=\"A5\"><type-size>"
                        "<type name=\"A5\" size=\"148 x 210 mm\"/></type-size></page-type>"
                        "<page-size width=\"100.5\" height=\"200\"/>"
                        "<page-margin top=\"12.7\" bottom=\"2\" left=\"3\" right=\"4\"/>"
                        "<author>A</author></page></setting>");
    ASSERT_TRUE(DomainPage().Load());
    EXPECT_EQ(DomainSettings::GetNamed("page:size:select"), "2");
    EXPECT_EQ(DomainSettings::GetNamed("page:width"), "100.5");
    EXPECT_EQ(DomainSettings::GetNamed("page:top"), "12.7");

    DomainSettings::SetNamed("page:size:select", "0");
    DomainSettings::SetNamed("page:left", "0.25");
    ASSERT_TRUE(DomainPage().Save());
    DomainSettings::SetNamed("page:size:select", "2");
    ASSERT_TRUE(DomainPage().Load());
    EXPECT_EQ(DomainSettings::GetNamed("page:size:select"), "0");
    EXPECT_EQ(DomainSettings::GetNamed("page:type"), "A5");
    EXPECT_EQ(DomainSettings::GetNamed("page:left"), "0.25");

    // Only the three selections are taken from a file.
    std::string file = TestHome::ReadFile(AppUtil::GetPagePath(true));
    const size_t at = file.find("<size-select value=\"0\"");
    ASSERT_NE(at, std::string::npos) << file;
    file.replace(at, 23, "<size-select value=\"7\"");
    TestHome::WriteFile(AppUtil::GetPagePath(true), file);
    ASSERT_TRUE(DomainPage().Load());
    EXPECT_EQ(DomainSettings::GetNamed("page:size:select"), "2");
}

TEST(DomainPageTest, AFailedSaveLeavesThePageFileAsItWas) {
    TestHome home;
    ASSERT_TRUE(DomainPage().Load());
    const wxString path = AppUtil::GetPagePath(true);
    const std::string before = TestHome::ReadFile(path);
    DomainSettings::SetNamed("page:author", wxString('a', 20000));
    {
        FileSizeLimit full(before.size());
        EXPECT_FALSE(DomainPage().Save());
    }
    EXPECT_EQ(TestHome::ReadFile(path), before);
    wxArrayString left;
    wxDir::GetAllFiles(wxPathOnly(path), &left, "*page*", wxDIR_FILES | wxDIR_HIDDEN);
    EXPECT_EQ(left.size(), 1u) << "no temporary is left";
}

TEST(DomainPageTest, ADamagedDefaultFallsBackWithoutLosingTheUserFile) {
    const char* damaged[] = {nullptr, "", "<setting><page/></setting>", "<other version=\"1\"/>"};
    for (const char* content : damaged) {
        const std::string label = content ? content : "missing";
        {
            // No usable user file: the built-in settings are used and written for the user.
            TestHome home;
            wxRemoveFile(AppUtil::GetPagePath(false));
            if (content != nullptr) {
                TestHome::WriteFile(AppUtil::GetPagePath(false), content);
            }
            EXPECT_FALSE(DomainPage().Load()) << label;
            EXPECT_EQ(DomainSettings::GetNamed("page:type:default"), "A4") << label;
            EXPECT_EQ(DomainSettings::GetNamed("page:top"), "10") << label;
            EXPECT_EQ(TestHome::ReadFile(AppUtil::GetPagePath(true)),
                      DomainPage::GetBuiltInPageFile())
                << label;
        }
        {
            // A sound user file is kept and used.
            TestHome home;
            const std::string user = PageFile("1.0", "<type name=\"Mine\" size=\"x\"/>");
            TestHome::WriteFile(AppUtil::GetPagePath(true), user);
            wxRemoveFile(AppUtil::GetPagePath(false));
            if (content != nullptr) {
                TestHome::WriteFile(AppUtil::GetPagePath(false), content);
            }
            EXPECT_FALSE(DomainPage().Load()) << label;
            EXPECT_EQ(DomainSettings::GetNamed("page:type:items"), "Mine,") << label;
            EXPECT_EQ(TestHome::ReadFile(AppUtil::GetPagePath(true)), user) << label;
        }
    }
}

TEST(DomainPageTest, MissingSectionsKeepBuiltInValues) {
    TestHome home;
    TestHome::WriteFile(AppUtil::GetPagePath(false),
                        "<setting version=\"1.0\"><page><page-type value=\"A5\">"
                        "<type-size><type name=\"A5\" size=\"148 x 210 mm\"/></type-size>"
                        "</page-type></page></setting>");
    ASSERT_TRUE(DomainPage().Load());
    EXPECT_EQ(DomainSettings::GetNamed("page:type"), "A5");
    EXPECT_EQ(DomainSettings::GetNamed("page:width"), "210");
    EXPECT_EQ(DomainSettings::GetNamed("page:left"), "10");
}

TEST(DomainPageTest, ParseDecimal) {
    EXPECT_DOUBLE_EQ(DomainPage::ParseDecimal("1.10"), 1.1);
    EXPECT_DOUBLE_EQ(DomainPage::ParseDecimal(" 2.5beta"), 2.5);
    EXPECT_DOUBLE_EQ(DomainPage::ParseDecimal("x"), 0);
    EXPECT_DOUBLE_EQ(DomainPage::ParseDecimal(""), 0);
}

TEST(DomainPageTest, SetNodesWritesEveryFoundNodeAndReportsBadExpressions) {
    const std::string file = "<setting><page><author>old</author><type name=\"a\"/>"
                             "<type name=\"b\"/></page></setting>";
    XmlDocPtr doc(xmlReadMemory(file.data(), int(file.size()), nullptr, nullptr, 0));
    ASSERT_TRUE(doc);
    XmlXPathContextPtr context(xmlXPathNewContext(doc.get()));
    ASSERT_TRUE(context);
    DomainPage page;
    EXPECT_EQ(page.SetNodes(context.get(), "/setting[", "x"), -1);
    EXPECT_EQ(page.SetNodes(context.get(), "/setting/missing", "x"), 0);
    EXPECT_EQ(page.SetNodes(context.get(), "/setting/page/author", "Tom & <Jerry>"), 0);
    EXPECT_EQ(page.SetNodes(context.get(), "/setting/page/type/@name", "Z"), 0);

    xmlChar* buffer = nullptr;
    int size = 0;
    xmlDocDumpMemory(doc.get(), &buffer, &size);
    const XmlCharPtr owned(buffer);
    ASSERT_NE(buffer, nullptr);
    const std::string written(reinterpret_cast<const char*>(buffer), size_t(size));
    EXPECT_NE(written.find("<author>Tom &amp; &lt;Jerry&gt;</author>"
                           "<type name=\"Z\"/><type name=\"Z\"/>"),
              std::string::npos)
        << written;
}

TEST(DomainPageTest, MillimetresAsTypedAndAsStored) {
    struct Case {
        const char* typed;
        bool number;
        double value;
        const char* stored;
    };
    const Case cases[] = {
        {"210", true, 210, "210"},
        {"12.7", true, 12.7, "12.7"},
        {"12,7", true, 12.7, "12.7"},
        {" 0.25 ", true, 0.25, "0.25"},
        {".5", true, 0.5, "0.5"},
        {"10.", true, 10, "10"},
        {"+3", true, 3, "3"},
        {"-5", true, -5, "-5"},
        {"1188.125", true, 1188.125, "1188.125"},
        {"", false, 0, nullptr},
        {"  ", false, 0, nullptr},
        {"abc", false, 0, nullptr},
        {"12mm", false, 0, nullptr},
        {"1e3", false, 0, nullptr},
        {"1.2.3", false, 0, nullptr},
        {"1,200.5", false, 0, nullptr},
        {"- 5", false, 0, nullptr},
        {"5-", false, 0, nullptr},
        {"inf", false, 0, nullptr},
        {"0x10", false, 0, nullptr},
        {".", false, 0, nullptr},
    };
    for (const Case& c : cases) {
        double value = 0;
        EXPECT_EQ(DomainPage::ParseMillimetres(c.typed, value), c.number) << c.typed;
        if (c.number) {
            EXPECT_DOUBLE_EQ(value, c.value) << c.typed;
            EXPECT_EQ(DomainPage::FormatMillimetres(value), c.stored) << c.typed;
            // What is stored reads back as the same number, for the converter too.
            EXPECT_DOUBLE_EQ(
                DomainPage::ParseDecimal(DomainPage::FormatMillimetres(value).utf8_str()), c.value)
                << c.typed;
        }
    }
    // Limits in messages: rounded to hundredths, without trailing zeros.
    EXPECT_EQ(DomainPage::FormatMillimetres(8.5 * 25.4, 2), "215.9");
    EXPECT_EQ(DomainPage::FormatMillimetres(297, 2), "297");
    EXPECT_EQ(DomainPage::FormatMillimetres(184.15, 2), "184.15");
}
