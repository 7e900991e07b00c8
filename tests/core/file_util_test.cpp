#include "common/file_util.h"

#include "app/app_util.h"
#include "support/file_size_limit.h"
#include "support/test_home.h"

#include <gtest/gtest.h>
#include <wx/datetime.h>
#include <wx/filename.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

TEST(FileUtilTest, FormatSizeSwitchesUnitAtEachPowerOf1024) {
    struct Case {
        uint64_t bytes;
        const char* text;
    };
    const Case cases[] = {
        {0, "0.0B"},           {1023, "1023.0B"},
        {1024, "1.0KB"},       {1536, "1.5KB"},
        {1048575, "1024.0KB"}, {1048576, "1.0MB"},
        {1073741824, "1.0GB"}, {5497558138880ULL, "5120.0GB"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FileUtil::FormatSize(c.bytes), c.text) << c.bytes;
    }
}

TEST(FileUtilTest, GetFileName) {
    EXPECT_EQ(FileUtil::GetFileName("C:/a/b/c.png"), "c.png");
    EXPECT_EQ(FileUtil::GetFileName("/tmp/照片 1.jpg"), wxString::FromUTF8("照片 1.jpg"));
}

TEST(FileUtilTest, ListFilesMatchesTheLowerCaseExtensionOfPlainFiles) {
    TestHome home;
    const wxString folder = home.Documents() + "/pics";
    for (const char* name : {"photo.JPG", "x.jpg", "x.jpeg", "x.jpg.txt", "jpg", ".hidden.jpg",
                             "sub.jpg/inner.jpg", "照片.jpg"}) {
        TestHome::WriteFile(folder + "/" + wxString::FromUTF8(name), "data");
    }

    wxArrayString found;
    FileUtil::ListFiles(folder, found, "*.jpg");
    wxArrayString expected;
    for (const char* name : {"photo.JPG", "x.jpg", "照片.jpg"}) {
        expected.Add(folder + "/" + wxString::FromUTF8(name));
    }
    EXPECT_EQ(found, expected);

    wxArrayString none;
    FileUtil::ListFiles(folder, none, "*.JPG");
    EXPECT_TRUE(none.empty());
    FileUtil::ListFiles(folder + "/missing", none, "*.jpg");
    EXPECT_TRUE(none.empty());
}

TEST(FileUtilTest, ListFilesOrdersNamesAsAFileManagerDoes) {
    TestHome home;
    const wxString folder = home.Documents() + "/scans";
    const char* names[] = {"scan10.png", "Scan2.png",   "scan1.png",
                           "scan9.png",  "scan02b.png", "a.png"};
    for (const char* name : names) {
        TestHome::WriteFile(folder + "/" + name, "data");
    }
    wxArrayString found;
    FileUtil::ListFiles(folder, found, "*.png");
    wxArrayString expected;
    for (const char* name :
         {"a.png", "scan1.png", "Scan2.png", "scan02b.png", "scan9.png", "scan10.png"}) {
        expected.Add(folder + "/" + name);
    }
    EXPECT_EQ(found, expected);
}

TEST(FileUtilTest, ListFilesKeepsNamesThatAreNotUtf8Apart) {
    TestHome home;
    const wxString folder = home.Documents() + "/pics";
    TestHome::WriteFile(folder + "/" + wxString::FromUTF8("café.png"), "data");
    // The same name in Latin-1: it cannot be reached through text, and it is not the other.
    std::ofstream(std::string(folder.utf8_str()) + "/caf\xe9.png") << "data";
    wxArrayString found;
    wxArrayString undecodable;
    FileUtil::ListFiles(folder, found, wxArrayString(1, "*.png"), &undecodable);
    EXPECT_EQ(found, wxArrayString(1, folder + "/" + wxString::FromUTF8("café.png")));
    EXPECT_EQ(undecodable, wxArrayString(1, folder + "/caf\\xE9.png"));
}

TEST(FileUtilTest, Utf8CheckShownBytesAndEscapedControls) {
    struct Case {
        std::string bytes;
        bool utf8;
        const char* shown;
    };
    const Case cases[] = {
        {"plain.png", true, "plain.png"},
        {"\xe7\x85\xa7\xe7\x89\x87", true, "照片"},
        {"caf\xe9", false, "caf\\xE9"},
        {"\xc0\xaf", false, "\\xC0\\xAF"},                   // overlong "/"
        {"\xed\xa0\x80", false, "\\xED\\xA0\\x80"},          // a surrogate
        {"\xf4\x90\x80\x80", false, "\\xF4\\x90\\x80\\x80"}, // beyond U+10FFFF
        {"\xe7\x85", false, "\\xE7\\x85"},                   // cut short
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FileUtil::IsUtf8(c.bytes), c.utf8) << c.shown;
        EXPECT_EQ(FileUtil::ShowBytes(c.bytes), wxString::FromUTF8(c.shown));
    }
    EXPECT_EQ(FileUtil::EscapeControls(wxString::FromUTF8("a\nb\rc\td\x1b[0m\u0085e\u2028f ü\\")),
              wxString::FromUTF8("a\\nb\\rc\\td\\x1B[0m\\x85e\\u2028f ü\\"));
}

TEST(FileUtilTest, CompareNatural) {
    struct Case {
        const char* a;
        const char* b;
        int sign;
    };
    const Case cases[] = {
        {"scan2", "scan10", -1}, {"scan10", "scan2", 1}, {"ABC", "abd", -1}, {"img007", "img7", -1},
        {"img7", "img007", 1},   {"a", "a1", -1},        {"x", "x", 0},
    };
    for (const Case& c : cases) {
        const int result = FileUtil::CompareNatural(c.a, c.b);
        EXPECT_EQ((result > 0) - (result < 0), c.sign) << c.a << " vs " << c.b;
    }
}

TEST(FileUtilTest, LogFileIsNamedByTheDateAndLinesCarryTheTime) {
    TestHome home;
    wxString date = wxDateTime::Now().Format("%Y%m%d");
    EXPECT_EQ(FileUtil::GetLogPath(), home.UserData() + "/Log/" + date + ".log");

    const wxDateTime when(29, wxDateTime::Nov, 2017, 9, 5, 7);
    EXPECT_EQ(FileUtil::FormatLogLine("a.jpg [b.pdf] [1]\n", when),
              "# 09:05:07 a.jpg [b.pdf] [1]\n");
    EXPECT_EQ(FileUtil::FormatLogLine("", when), "# " + wxString('.', 45) + "\n");
}

TEST(FileUtilTest, AppendLogAddsUtf8Lines) {
    TestHome home;
    FileUtil::AppendLog(wxString::FromUTF8("照片.jpg [照片.pdf] [1]\n"));
    FileUtil::AppendLog("");
    const std::string log = TestHome::ReadFile(FileUtil::GetLogPath());
    // "# HH:MM:SS " is eleven bytes.
    ASSERT_GT(log.size(), 11u);
    EXPECT_EQ(log.substr(0, 2), "# ");
    EXPECT_EQ(log.substr(11), "照片.jpg [照片.pdf] [1]\n# " + std::string(45, '.') + "\n");
}

namespace {
// The names in a folder, sorted.
std::vector<std::string> Names(const wxString& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(std::string(folder.utf8_str()))) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}
} // namespace

TEST(FileUtilTest, WriteFileAtomicallyReplacesTheWholeFileOrNothing) {
    TestHome home;
    const wxString folder = home.Documents() + "/atomic";
    ASSERT_TRUE(wxMkdir(folder));
    const wxString path = folder + "/file.txt";
    const std::string large(1 << 20, 'x');
    ASSERT_TRUE(FileUtil::WriteFileAtomically(path, "old"));
    ASSERT_TRUE(FileUtil::WriteFileAtomically(path, large));
    EXPECT_EQ(TestHome::ReadFile(path), large);
    EXPECT_EQ(Names(folder), std::vector<std::string>{"file.txt"}) << "no temporary is left";

    // A disk that fills up: the old content stays, the failure is reported, and the partial
    // temporary is removed.
    ASSERT_TRUE(FileUtil::WriteFileAtomically(path, "old"));
    {
        FileSizeLimit full(4096);
        EXPECT_FALSE(FileUtil::WriteFileAtomically(path, large));
    }
    EXPECT_EQ(TestHome::ReadFile(path), "old");
    EXPECT_EQ(Names(folder), std::vector<std::string>{"file.txt"});

    // A folder that does not exist, and a folder where the file should be.
    EXPECT_FALSE(FileUtil::WriteFileAtomically(folder + "/missing/file.txt", "x"));
    ASSERT_TRUE(wxMkdir(folder + "/taken"));
    EXPECT_FALSE(FileUtil::WriteFileAtomically(folder + "/taken", "x"));
    EXPECT_TRUE(wxDirExists(folder + "/taken"));
    EXPECT_EQ(Names(folder), (std::vector<std::string>{"file.txt", "taken"}));
}

// The temporary file gets a name nobody can have prepared: what lies at a predictable name
// beside the file neither stops the write nor is written through.
TEST(FileUtilTest, WriteFileAtomicallyWritesThroughNoPreparedTemporary) {
    struct Case {
        const char* label;
        std::function<void(const std::string& at, const std::string& other)> prepare;
    };
    const Case cases[] = {
        {"a folder",
         [](const std::string& at, const std::string&) { std::filesystem::create_directory(at); }},
        {"a link to another file",
         [](const std::string& at, const std::string& other) {
             std::filesystem::create_symlink(other, at);
         }},
    };
    for (const Case& c : cases) {
        TestHome home;
        const wxString path = home.Documents() + "/settings.cfg";
        const wxString other = home.Documents() + "/other.txt";
        TestHome::WriteFile(other, "other");
        for (const char* suffix : {".part", ".tmp", "~"}) {
            c.prepare(std::string((path + suffix).utf8_str()), std::string(other.utf8_str()));
        }
        EXPECT_TRUE(FileUtil::WriteFileAtomically(path, "new")) << c.label;
        EXPECT_EQ(TestHome::ReadFile(path), "new") << c.label;
        EXPECT_FALSE(std::filesystem::is_symlink(std::string(path.utf8_str()))) << c.label;
        EXPECT_EQ(TestHome::ReadFile(other), "other") << c.label;
    }
}
