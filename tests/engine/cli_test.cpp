// The command-line converter, run as a user runs it.
#include "cli/cli_run.h"
#include "common/temp_folder.h"
#include "pdf/pdf_test_support.h"
#include "pdf/pdfa_checker.h"
#include "support/test_home.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <wx/dir.h>
#include <wx/filefn.h>
#include <wx/filename.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <regex>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace fs = std::filesystem;

namespace {
// The converter under a time limit; `tail` redirects its streams.
Outcome RunCli(const TestHome& home, const std::string& arguments,
               const std::string& environment = "", const std::string& tail = "2>&1") {
    return RunConverter(home, arguments, environment, tail);
}

wxString Image(const TestHome& home, const wxString& relative, const std::string& spec) {
    const wxString path = home.Documents() + "/" + relative;
    wxFileName::Mkdir(wxFileName(path).GetPath(), wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
    EXPECT_EQ(pdftest::RunCommand("convert " + spec + " " + Quoted(path)), 0);
    return path;
}

// The lines of a JSON report; every line must be one JSON object.
std::vector<nlohmann::json> ReportLines(const std::string& text) {
    std::vector<nlohmann::json> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(nlohmann::json::parse(text.substr(start, end - start), nullptr, false));
        EXPECT_TRUE(lines.back().is_object()) << text.substr(start, end - start);
    }
    EXPECT_EQ(start, text.size()) << "the report ends with a whole line";
    return lines;
}

// The report line of the input whose path ends with `name`.
nlohmann::json LineOf(const std::vector<nlohmann::json>& lines, const std::string& name) {
    for (const nlohmann::json& line : lines) {
        const std::string input = line.value("input", "");
        if (input.size() >= name.size() &&
            input.compare(input.size() - name.size(), name.size(), name) == 0) {
            return line;
        }
    }
    ADD_FAILURE() << "no report line for " << name;
    return nlohmann::json::object();
}

std::vector<std::string> Names(const wxString& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(Native(folder), error)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The id of a process that has ended.
pid_t EndedProcess() {
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(0);
    }
    ::waitpid(child, nullptr, 0);
    return child;
}

// The converter started in the background, its streams into a file.
pid_t StartCli(const std::vector<std::string>& arguments, const std::string& log) {
    std::vector<std::string> argv = {OMBRIX_CLI_PATH};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> pointers;
    for (std::string& argument : argv) {
        pointers.push_back(argument.data());
    }
    pointers.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    EXPECT_EQ(posix_spawn(&pid, OMBRIX_CLI_PATH, &actions, nullptr, pointers.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Waits until the folder holds a PDF (or a minute has passed).
bool WaitForPdf(const wxString& folder) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (std::chrono::steady_clock::now() < deadline) {
        for (const std::string& name : Names(folder)) {
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".pdf") == 0) {
                return true;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

int WaitForExit(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::vector<std::string> JobFolders() {
    std::vector<std::string> found;
    for (const std::string& name : Names(TempFolder::GetBaseDir())) {
        if (name.rfind("ombrix-job-", 0) == 0) {
            found.push_back(name);
        }
    }
    return found;
}
} // namespace

TEST(CliTest, ConvertsAFolderIntoOnePdfPerImage) {
    TestHome home;
    Image(home, "scans/page2.png", "-size 100x140 xc:white");
    Image(home, "scans/page10.jpg", "-size 100x140 plasma:fractal");
    Image(home, "scans/page1.tif", "-size 100x140 xc:gray");
    TestHome::WriteFile(home.Documents() + "/scans/readme.txt", "not an image");
    const wxString out = home.Documents() + "/out dir";

    const Outcome outcome =
        RunCli(home, "-o " + Quoted(out) + " " + Quoted(home.Documents() + "/scans"));
    EXPECT_EQ(outcome.status, 0) << outcome.output;
    for (const char* name : {"page1.pdf", "page2.pdf", "page10.pdf"}) {
        EXPECT_TRUE(pdftest::QpdfCheckPasses(Native(out + "/" + name))) << name;
    }
    EXPECT_FALSE(wxFileExists(out + "/readme.pdf"));
    EXPECT_TRUE(Contains(outcome.output, "3 converted, 0 failed")) << outcome.output;
    // A folder's images in natural name order, whatever their type.
    for (const char* row : {"[1/3] page1.tif", "[2/3] page2.png", "[3/3] page10.jpg"}) {
        EXPECT_TRUE(Contains(outcome.output, row)) << row << "\n" << outcome.output;
    }
    // The same daily log as the application.
    wxArrayString logs;
    wxDir::GetAllFiles(home.UserData() + "/Log", &logs);
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_TRUE(Contains(TestHome::ReadFile(logs[0]), "page10.jpg ["));
    EXPECT_TRUE(JobFolders().empty());
}

TEST(CliTest, MergesWithPageSettingsAndSecurity) {
    TestHome home;
    const wxString a = Image(home, "a.png", "-size 200x100 xc:blue");
    const wxString b = Image(home, "b.jpg", "-size 100x200 plasma:fractal");
    const wxString out = home.Documents() + "/out";
    const Outcome outcome = RunCli(home, "-o " + Quoted(out) +
                                             " -m Album.pdf --page-type Letter --margins 5,5,5,5 "
                                             "--author 'Zoë' --user-password secret --no-print " +
                                             Quoted(b) + " " + Quoted(a));
    ASSERT_EQ(outcome.status, 0) << outcome.output;
    const std::string pdf = Native(out + "/Album.pdf");
    std::string info;
    pdftest::RunCommand("pdfinfo -upw secret '" + pdf + "'", &info);
    EXPECT_TRUE(Contains(info, "Pages:           2")) << info;
    EXPECT_TRUE(Contains(info, "Author:          Zoë")) << info;
    EXPECT_TRUE(Contains(info, "Title:           Album")) << info;
    EXPECT_TRUE(Contains(info, "Encrypted:       yes (print:no")) << info;
    EXPECT_TRUE(Contains(info, "612 x 792 pts (letter)")) << info;
    const auto images = pdftest::ReadImages(pdf, "secret");
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(images[0].width, 100) << "pages follow the order given";
}

TEST(CliTest, FailuresAndUsageErrorsHaveTheirExitStatus) {
    TestHome home;
    const wxString good = Image(home, "good.png", "-size 20x20 xc:red");
    const wxString bad = home.Documents() + "/bad.jpg";
    TestHome::WriteFile(bad, "not a JPEG at all");
    TestHome::WriteFile(home.Documents() + "/a file", "");
    const wxString out = home.Documents() + "/out";

    Outcome outcome = RunCli(home, "-o " + Quoted(out) + " " + Quoted(good) + " " + Quoted(bad));
    EXPECT_EQ(outcome.status, 1) << outcome.output;
    EXPECT_TRUE(Contains(outcome.output, "1 converted, 1 failed")) << outcome.output;
    EXPECT_TRUE(Contains(outcome.output, "bad.jpg: ")) << outcome.output;
    EXPECT_TRUE(wxFileExists(out + "/good.pdf"));
    EXPECT_FALSE(wxFileExists(out + "/bad.pdf"));

    const std::string image = Quoted(good);
    const std::string notUtf8 = "\"$(printf 'caf\\351')\"";
    // Password files that read as text would give no password, or another one.
    auto passwordFile = [&home](const char* name, const std::string& data) {
        TestHome::WriteFile(home.Documents() + "/" + name, data);
        return Quoted(home.Documents() + "/" + name);
    };
    const std::string nulFirst = passwordFile("nul first", std::string("\0secret\n", 8));
    const std::string utf16le = passwordFile("utf16le", std::string("\xFF\xFEs\0e\0c\0\n\0", 10));
    const std::string utf16be = passwordFile("utf16be", std::string("\xFE\xFF\0s\0e\0c\0\n", 10));
    const std::string utf16bare = passwordFile("utf16bare", std::string("s\0e\0c\0\n\0", 8));
    struct Case {
        std::string arguments;
        std::string environment;
        int status;
        const char* says;
    };
    const Case cases[] = {
        {"", "", 2, "no input given"},
        {"--size 210 " + image, "", 2, "--size takes"},
        {"--margins 1,2,3 " + image, "", 2, "--margins takes"},
        {"--bogus " + image, "", 2, "unknown option --bogus"},
        {"--no-copy=1 " + image, "", 2, "unknown option"},
        {"-m a --beside-source " + image, "", 2, "cannot go together"},
        {"-m ../up " + image, "", 2, "not a plain file name"},
        // The names the window refuses are refused here too.
        {"-m 'a:b*?' " + image, "", 2, "which file names may not hold"},
        {"-o", "", 2, "--output needs a value"},
        {"-j 0 " + image, "", 2, "--jobs takes"},
        {"--jobs=many " + image, "", 2, "--jobs takes"},
        {"--report xml " + image, "", 2, "--report takes"},
        {"''", "", 2, "an input is empty"},
        {"--user-password '' " + image, "", 2, "password is empty"},
        {"--files-from - --files-from - " + image, "", 2, "standard input"},
        // Arguments that are not UTF-8 would read as empty: no password, the current folder
        // as input, the remembered output folder.
        {notUtf8, "", 2, "argument 1 is not valid UTF-8: caf\\xE9"},
        {"--user-password " + notUtf8 + " " + image, "", 2, "argument 2 is not valid UTF-8"},
        {"-o " + notUtf8 + " " + image, "", 2, "argument 2 is not valid UTF-8"},
        {image, "OMBRIX_USER_PASSWORD=" + notUtf8, 2, "OMBRIX_USER_PASSWORD is not valid UTF-8"},
        {image, "OMBRIX_OWNER_PASSWORD=", 2, "OMBRIX_OWNER_PASSWORD gives an empty password"},
        {"--no-copy --user-password same --owner-password same " + image, "", 2,
         "passwords are the same"},
        {"--user-password-file " + nulFirst + " " + image, "", 2, "holds a NUL byte"},
        {"--user-password-file " + utf16le + " " + image, "", 2, "is UTF-16 text"},
        {"--owner-password-file " + utf16be + " " + image, "", 2, "is UTF-16 text"},
        {"--user-password-file " + utf16bare + " " + image, "", 2, "holds a NUL byte"},
        // Read no further than a password may be long: this one never ends.
        {"--user-password-file /dev/zero " + image, "", 2,
         "the first line of the user password file /dev/zero is longer than 4096 bytes"},
        {"--user-password " + std::string(4097, 'x') + " " + image, "", 2,
         "--user-password: the password is longer than 4096 bytes"},
        // Passwords that SASLprep refuses, or turns into nothing.
        {image, "OMBRIX_USER_PASSWORD=\"$(printf 'a\\tb')\"", 2,
         "OMBRIX_USER_PASSWORD: the password holds a character that passwords may not hold"},
        {"--owner-password \"$(printf '\\302\\255')\" " + image, "", 2,
         "--owner-password: the password holds only characters that passwords ignore"},
        // A date that a PDF cannot hold, or no date at all.
        {image, "SOURCE_DATE_EPOCH=253402300800", 2, "SOURCE_DATE_EPOCH is 253402300800, not"},
        {image, "SOURCE_DATE_EPOCH=99999999999999999", 2, "the end of 9999"},
        {image, "SOURCE_DATE_EPOCH=-1", 2, "SOURCE_DATE_EPOCH is -1"},
        {image, "SOURCE_DATE_EPOCH=yesterday", 2, "SOURCE_DATE_EPOCH is yesterday"},
        // The run cannot start: status 3, which a scheduler may retry.
        {"-o " + Quoted(home.Documents() + "/a file/sub") + " " + image, "", 3,
         "cannot create the output folder"},
        {"--files-from " + Quoted(home.Documents() + "/no list") + " " + image, "", 3,
         "cannot read the list"},
        {"--user-password-file " + Quoted(home.Documents() + "/no file") + " " + image, "", 3,
         "cannot read the user password file"},
        {"--owner-password-file " + Quoted(home.Documents() + "/a file") + " " + image, "", 2,
         "gives an empty password"},
        {"-o " + Quoted(out) + " " + Quoted(home.Documents() + "/nowhere"), "", 1, "nowhere"},
    };
    for (const Case& c : cases) {
        outcome = RunCli(home, c.arguments, c.environment);
        EXPECT_EQ(outcome.status, c.status) << c.arguments << "\n" << outcome.output;
        EXPECT_TRUE(Contains(outcome.output, c.says)) << c.arguments << "\n" << outcome.output;
        if (c.status == 2) {
            EXPECT_TRUE(Contains(outcome.output, "--help")) << c.arguments;
        }
    }
    // Nothing was converted by a refused command, not even into the remembered folder.
    EXPECT_TRUE(Names(home.Documents() + "/Ombrix/Ombrix Image to PDF Converter").empty());
    EXPECT_EQ(Names(out), std::vector<std::string>{"good.pdf"});

    outcome = RunCli(home, "--help");
    EXPECT_EQ(outcome.status, 0);
    for (const char* text : {"Exit status", "OMBRIX_USER_PASSWORD", "can read them"}) {
        EXPECT_TRUE(Contains(outcome.output, text)) << text;
    }
}

TEST(CliTest, LeavesTheApplicationsOutputFolderAlone) {
    TestHome home;
    const wxString image = Image(home, "x.png", "-size 20x20 xc:red");
    // Without -o, the output folder the application remembers is used.
    Outcome outcome = RunCli(home, Quoted(image));
    ASSERT_EQ(outcome.status, 0) << outcome.output;
    EXPECT_TRUE(wxFileExists(home.Documents() + "/Ombrix/Ombrix Image to PDF Converter/x.pdf"));
    outcome = RunCli(home, "-o " + Quoted(home.Documents() + "/elsewhere") + " " + Quoted(image));
    ASSERT_EQ(outcome.status, 0) << outcome.output;
    EXPECT_EQ(TestHome::ReadFile(home.UserData() + "/ZUZUR2AZE_OMBX.cfg").find("elsewhere"),
              std::string::npos);
}

TEST(CliTest, FilesFromNamesInputsInAFileOrOnTheStandardInput) {
    TestHome home;
    const wxString one = Image(home, "in/one photo.png", "-size 20x20 xc:red");
    const wxString two = Image(home, "in/two.gif", "-size 20x20 xc:blue");
    Image(home, "folder/three.bmp", "-size 20x20 xc:green");
    const std::string lines[] = {Native(one), Native(two), Native(home.Documents() + "/folder")};
    TestHome::WriteFile(home.Documents() + "/list", lines[0] + "\n\n" + lines[1] + "\n" + lines[2]);
    TestHome::WriteFile(home.Documents() + "/list0",
                        lines[0] + '\0' + lines[1] + '\0' + lines[2] + '\0');
    const std::string list = Quoted(home.Documents() + "/list");
    const std::string list0 = Quoted(home.Documents() + "/list0");

    for (const std::string& arguments :
         {"--files-from " + list, "--files-from - < " + list, "--null --files-from=" + list0}) {
        const wxString out = home.Documents() + "/out";
        wxFileName::Rmdir(out, wxPATH_RMDIR_RECURSIVE);
        const Outcome outcome = RunCli(home, "-o " + Quoted(out) + " " + arguments);
        EXPECT_EQ(outcome.status, 0) << arguments << "\n" << outcome.output;
        EXPECT_EQ(Names(out), (std::vector<std::string>{"one photo.pdf", "three.pdf", "two.pdf"}))
            << arguments;
        EXPECT_TRUE(Contains(outcome.output, "[3/3] three.bmp")) << outcome.output;
    }
}

TEST(CliTest, JsonReportHasOneLinePerFileOnTheStandardOutput) {
    TestHome home;
    const wxString folder = home.Documents() + "/in";
    Image(home, "in/plain.png", "-size 30x20 xc:red");
    Image(home, "in/three pages.tif", "-size 20x20 xc:red xc:green xc:blue");
    // A name with a quote, a line feed and a tab, which the JSON escapes.
    fs::copy_file(Native(folder + "/plain.png"), Native(folder) + "/say \"hi\"\n\tagain.png");
    TestHome::WriteFile(folder + "/broken.jpg", "not a JPEG");
    const wxString out = home.Documents() + "/out";
    const wxString errors = home.Documents() + "/errors";

    const Outcome outcome =
        RunCli(home, "--report json -j 2 -o " + Quoted(out) + " " + Quoted(folder), "",
               "2>" + Quoted(errors));
    EXPECT_EQ(outcome.status, 1);
    const auto lines = ReportLines(outcome.output);
    ASSERT_EQ(lines.size(), 4u) << outcome.output;
    for (const nlohmann::json& line : lines) {
        for (const char* key : {"input", "output", "status", "pages", "bytes", "reason"}) {
            EXPECT_TRUE(line.contains(key)) << key << " in " << line;
        }
    }
    struct Expected {
        std::string name;
        std::string status;
        int pages;
    };
    const Expected expected[] = {
        {"in/plain.png", "converted", 1},
        {"in/three pages.tif", "converted", 3},
        {"in/say \"hi\"\n\tagain.png", "converted", 1},
        {"in/broken.jpg", "failed", -1},
    };
    for (const Expected& e : expected) {
        const nlohmann::json line = LineOf(lines, e.name);
        EXPECT_EQ(line.value("status", ""), e.status) << e.name;
        if (e.pages < 0) {
            EXPECT_TRUE(line["pages"].is_null()) << line;
            EXPECT_FALSE(line.value("reason", "").empty()) << line;
            continue;
        }
        EXPECT_EQ(line.value("pages", 0), e.pages) << line;
        const std::string pdf = line.value("output", "");
        EXPECT_EQ(line.value("bytes", int64_t{0}), static_cast<int64_t>(fs::file_size(pdf)))
            << line;
        EXPECT_EQ(line.value("reason", "x"), "") << line;
    }
    // The human report goes to the standard error.
    EXPECT_TRUE(Contains(TestHome::ReadFile(errors), "3 converted, 1 failed"));
}

TEST(CliTest, WhatAConversionChangedIsReportedWithTheConvertedFile) {
    // A density no real image has (10 million pixels per metre) is left out, and said so on
    // the file's report line, in its JSON line and in the log; a merge says it for its file.
    TestHome home;
    Image(home, "in/speck.png", "-size 30x20 xc:red -units PixelsPerCentimeter -density 100000");
    Image(home, "in/plain.png", "-size 30x20 xc:blue");
    const wxString out = home.Documents() + "/out";
    const wxString errors = home.Documents() + "/errors";
    for (const std::string merge : {"", "-m all "}) {
        const Outcome outcome = RunCli(home,
                                       "--report json " + merge + "-o " + Quoted(out) + " " +
                                           Quoted(home.Documents() + "/in"),
                                       "", "2>" + Quoted(errors));
        EXPECT_EQ(outcome.status, 0) << merge << outcome.output;
        const auto lines = ReportLines(outcome.output);
        ASSERT_EQ(lines.size(), 2u) << outcome.output;
        const nlohmann::json speck = LineOf(lines, "in/speck.png");
        EXPECT_EQ(speck.value("status", ""), "converted") << speck;
        EXPECT_TRUE(Contains(speck.value("reason", ""),
                             "speck.png: resolution of 2.54e+05 x 2.54e+05 dpi out of range"))
            << speck;
        const std::string human = TestHome::ReadFile(errors);
        EXPECT_TRUE(Contains(human, "dpi out of range, placed at 96 dpi)\n")) << human;
        if (merge.empty()) {
            EXPECT_EQ(LineOf(lines, "in/plain.png").value("reason", "x"), "") << merge;
        }
    }
    wxArrayString logs;
    wxDir::GetAllFiles(home.UserData() + "/Log", &logs);
    ASSERT_EQ(logs.size(), 1u);
    const std::string log = TestHome::ReadFile(logs[0]);
    EXPECT_TRUE(Contains(log, "speck.pdf: speck.png: resolution of")) << log;
    EXPECT_TRUE(Contains(log, "all.pdf: speck.png: resolution of")) << log;
}

TEST(CliTest, ArchivalPdfsTheirRefusalsAndLossyStepsHaveTheirExitStatus) {
    TestHome home;
    const wxString rgba = Image(home, "in/rgba.png", "-size 8x8 xc:'rgba(255,0,0,0.5)'");
    const wxString deep = Image(home, "in/deep.png", "-size 8x8 gradient:black-white -depth 16");
    const wxString out = home.Documents() + "/out";
    struct Case {
        std::string arguments;
        std::string environment;
        int status;
        std::vector<std::string> output;
        int part; // of the PDFs that are valid archives; 0 for none
    };
    const std::string inputs = " " + Quoted(rgba) + " " + Quoted(deep);
    const Case cases[] = {
        {"--pdfa 2b" + inputs, "", 0, {"2 converted"}, 2},
        {"--pdfa 1b" + inputs,
         "",
         1,
         {"rgba.png: it has transparency, which PDF/A-1b cannot hold",
          "deep.png: it has 16-bit samples, which PDF/A-1b cannot hold"},
         0},
        {"--pdfa 1b --flatten-alpha '#00ff00' --reduce-depth" + inputs,
         "",
         0,
         {"(rgba.png: transparency flattened onto #00FF00 for PDF/A-1b)",
          "(deep.png: 16-bit samples reduced to 8 bits for PDF/A-1b)"},
         1},
        {"--pdfa 2b --user-password secret" + inputs, "", 2, {"PDF/A forbids encryption"}, 0},
        {"--pdfa 3b --no-print" + inputs, "", 2, {"PDF/A forbids encryption"}, 0},
        {"--pdfa 2b" + inputs,
         "OMBRIX_OWNER_PASSWORD=secret ",
         2,
         {"PDF/A forbids encryption", "OMBRIX_OWNER_PASSWORD in the environment"},
         0},
        {"--pdfa 4b" + inputs, "", 2, {"--pdfa takes 1b, 2b or 3b"}, 0},
        {"--pdfa 1b --flatten-alpha pink" + inputs, "", 2, {"--flatten-alpha takes a colour"}, 0},
        {"--pdfa 2b --reduce-depth" + inputs, "", 2, {"go with --pdfa 1b only"}, 0},
        {"--flatten-alpha white" + inputs, "", 2, {"go with --pdfa 1b only"}, 0},
        {"--pdfa 2b --attach-originals" + inputs, "", 2, {"goes with --pdfa 3b only"}, 0},
    };
    for (const Case& c : cases) {
        wxFileName::Rmdir(out, wxPATH_RMDIR_RECURSIVE);
        const Outcome outcome =
            RunCli(home, "-o " + Quoted(out) + " " + c.arguments, c.environment);
        EXPECT_EQ(outcome.status, c.status) << c.arguments << "\n" << outcome.output;
        for (const std::string& part : c.output) {
            EXPECT_TRUE(Contains(outcome.output, part)) << c.arguments << "\n" << outcome.output;
        }
        const std::vector<std::string> written = Names(out);
        EXPECT_EQ(written.size(), c.part != 0 ? 2u : 0u) << c.arguments;
        for (const std::string& name : c.part != 0 ? written : std::vector<std::string>()) {
            const auto problems = pdftest::PdfaProblems(Native(out + "/" + name), c.part);
            EXPECT_TRUE(problems.empty()) << c.arguments << " " << name << ": " << problems.front();
        }
    }
}

// The archive format saved in the application's page settings does not apply to a run: it
// makes PDF/A only when its options ask, and a password is no conflict without them.
TEST(CliTest, TheWindowsSavedArchiveFormatDoesNotApplyToARun) {
    TestHome home;
    const wxString image = Image(home, "in/a.png", "-size 8x8 xc:blue");
    const wxString out = home.Documents() + "/out";
    ASSERT_EQ(RunCli(home, "-o " + Quoted(out) + " " + Quoted(image)).status, 0);
    const wxString pageFile = home.UserData() + "/page.xml";
    std::string page = TestHome::ReadFile(pageFile);
    const size_t end = page.find("</page>");
    ASSERT_NE(end, std::string::npos) << page;
    page.insert(end, "<archive value=\"2b\"/>");
    TestHome::WriteFile(pageFile, page);

    wxFileName::Rmdir(out, wxPATH_RMDIR_RECURSIVE);
    const Outcome plain =
        RunCli(home, "--owner-password secret -o " + Quoted(out) + " " + Quoted(image));
    EXPECT_EQ(plain.status, 0) << plain.output;
    EXPECT_FALSE(pdftest::PdfaProblems(Native(out + "/a.pdf"), 2).empty())
        << "a plain, encrypted PDF";
    wxFileName::Rmdir(out, wxPATH_RMDIR_RECURSIVE);
    EXPECT_EQ(RunCli(home, "--pdfa 2b -o " + Quoted(out) + " " + Quoted(image)).status, 0);
    const auto problems = pdftest::PdfaProblems(Native(out + "/a.pdf"), 2);
    EXPECT_TRUE(problems.empty()) << problems.front();
}

TEST(CliTest, OriginalsAttachedToPdfA3bAreExtractedByteForByte) {
    TestHome home;
    const wxString a = Image(home, "in/a.png", "-size 20x10 xc:blue");
    const wxString b = Image(home, "in/b.jpg", "-size 10x20 plasma:fractal");
    const wxString out = home.Documents() + "/out";
    const wxString back = home.Documents() + "/back";
    ASSERT_EQ(RunCli(home, "--pdfa 3b --attach-originals -m all -o " + Quoted(out) + " " +
                               Quoted(a) + " " + Quoted(b))
                  .status,
              0);
    const std::string pdf = Native(out + "/all.pdf");
    EXPECT_TRUE(pdftest::PdfaProblems(pdf, 3).empty());
    wxFileName::Mkdir(back);
    Outcome outcome = RunCli(home, "--extract-originals '" + pdf + "' " + Quoted(back));
    EXPECT_EQ(outcome.status, 0) << outcome.output;
    EXPECT_TRUE(Contains(outcome.output, "2 originals extracted")) << outcome.output;
    EXPECT_EQ(TestHome::ReadFile(back + "/a.png"), TestHome::ReadFile(a));
    EXPECT_EQ(TestHome::ReadFile(back + "/b.jpg"), TestHome::ReadFile(b));
    // Never over a file that exists; no other argument with it.
    outcome = RunCli(home, "--extract-originals '" + pdf + "' " + Quoted(back));
    EXPECT_EQ(outcome.status, 1) << outcome.output;
    EXPECT_TRUE(Contains(outcome.output, "exists already")) << outcome.output;
    outcome = RunCli(home, "--extract-originals '" + pdf + "' " + Quoted(back) + " -o x");
    EXPECT_EQ(outcome.status, 2) << outcome.output;
}

TEST(CliTest, SkipExistingLeavesPdfsOfTheSameImagesAndSettings) {
    TestHome home;
    const wxString a = Image(home, "in/a.png", "-size 20x20 xc:red");
    const wxString b = Image(home, "in/b.png", "-size 20x20 xc:blue");
    const auto hourAgo = fs::file_time_type::clock::now() - std::chrono::hours(1);
    fs::last_write_time(Native(a), hourAgo);
    fs::last_write_time(Native(b), hourAgo);
    const wxString out = home.Documents() + "/out";
    const std::string inputs = Quoted(a) + " " + Quoted(b);
    ASSERT_EQ(RunCli(home, "-o " + Quoted(out) + " " + inputs).status, 0);
    ASSERT_EQ(RunCli(home, "-o " + Quoted(out) + " -m All " + inputs).status, 0);

    // b's content changed after its PDF was made; a was only touched, after its PDF.
    const auto aMade = fs::last_write_time(Native(out + "/a.pdf"));
    const auto bMade = fs::last_write_time(Native(out + "/b.pdf"));
    fs::last_write_time(Native(a), aMade + std::chrono::hours(1));
    Image(home, "in/b.png", "-size 20x20 xc:green");
    fs::last_write_time(Native(b), hourAgo);
    Outcome outcome = RunCli(home, "--skip-existing --report json -o " + Quoted(out) + " " + inputs,
                             "", "2>/dev/null");
    EXPECT_EQ(outcome.status, 0);
    auto lines = ReportLines(outcome.output);
    EXPECT_EQ(LineOf(lines, "a.png").value("status", ""), "skipped");
    EXPECT_EQ(LineOf(lines, "a.png").value("bytes", int64_t{0}),
              static_cast<int64_t>(fs::file_size(Native(out + "/a.pdf"))));
    EXPECT_EQ(LineOf(lines, "b.png").value("status", ""), "converted");
    EXPECT_EQ(fs::last_write_time(Native(out + "/a.pdf")), aMade) << "a.pdf is not rewritten";
    EXPECT_GT(fs::last_write_time(Native(out + "/b.pdf")), bMade) << "b.pdf is made again";

    // A merge is skipped only when every image is the one it was made of.
    outcome = RunCli(home, "--skip-existing -o " + Quoted(out) + " -m All " + inputs);
    EXPECT_TRUE(Contains(outcome.output, "2 converted, 0 failed")) << outcome.output;
    outcome = RunCli(home, "--skip-existing -o " + Quoted(out) + " -m All " + inputs);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_TRUE(Contains(outcome.output, "0 converted, 0 failed, 2 skipped")) << outcome.output;

    // Only a complete PDF is left alone: anything else at its name is made again.
    const std::string complete = TestHome::ReadFile(out + "/a.pdf");
    const wxString locked = home.Documents() + "/locked";
    ASSERT_EQ(RunCli(home, "--user-password pw -o " + Quoted(locked) + " " + Quoted(a)).status, 0);
    const size_t offset = complete.rfind("startxref\n") + 10;
    const std::string misplaced =
        complete.substr(0, offset) + "17" + complete.substr(complete.find('\n', offset));
    struct Case {
        const char* label;
        std::string data;
        const char* arguments;
        bool skipped;
    };
    const Case cases[] = {
        {"complete", complete, "", true},
        {"complete, encrypted", TestHome::ReadFile(locked + "/a.pdf"), "--user-password pw", true},
        {"cut short", complete.substr(0, complete.size() / 2), "", false},
        {"empty", "", "", false},
        {"no PDF", "a PDF from an earlier run", "", false},
        {"no end-of-file marker", complete.substr(0, complete.rfind("%%EOF")), "", false},
        {"cross-reference data misplaced", misplaced, "", false},
        {"header and marker only", "%PDF-1.7\n%%EOF\n", "", false},
    };
    for (const Case& c : cases) {
        TestHome::WriteFile(out + "/a.pdf", c.data);
        outcome = RunCli(home,
                         std::string("--skip-existing --report json ") + c.arguments + " -o " +
                             Quoted(out) + " " + Quoted(a),
                         "", "2>/dev/null");
        EXPECT_EQ(outcome.status, 0) << c.label;
        lines = ReportLines(outcome.output);
        EXPECT_EQ(LineOf(lines, "a.png").value("status", ""), c.skipped ? "skipped" : "converted")
            << c.label;
        EXPECT_TRUE(c.skipped || *c.arguments != '\0' ||
                    pdftest::QpdfCheckPasses(Native(out + "/a.pdf")))
            << c.label;
    }
}

TEST(CliTest, PasswordsFromFilesAndTheEnvironment) {
    TestHome home;
    const wxString image = Image(home, "x.png", "-size 20x20 xc:red");
    TestHome::WriteFile(home.Documents() + "/user", "s3cret pass\n");
    TestHome::WriteFile(home.Documents() + "/owner", "0wner\r\nsecond line\n");
    struct Case {
        std::string arguments;
        std::string environment;
    };
    const Case cases[] = {
        {"--user-password-file " + Quoted(home.Documents() + "/user") + " --owner-password-file " +
             Quoted(home.Documents() + "/owner"),
         ""},
        {"", "OMBRIX_USER_PASSWORD='s3cret pass' OMBRIX_OWNER_PASSWORD=0wner"},
        // An option beats the environment.
        {"--owner-password 0wner", "OMBRIX_USER_PASSWORD='s3cret pass' OMBRIX_OWNER_PASSWORD=x"},
    };
    for (const Case& c : cases) {
        const wxString out = home.Documents() + "/out";
        const Outcome outcome =
            RunCli(home, "--no-print -o " + Quoted(out) + " " + c.arguments + " " + Quoted(image),
                   c.environment);
        ASSERT_EQ(outcome.status, 0) << c.arguments << "\n" << outcome.output;
        const std::string pdf = Native(out + "/x.pdf");
        std::string info;
        EXPECT_NE(pdftest::RunCommand("pdfinfo '" + pdf + "' 2>&1"), 0) << "a password is needed";
        EXPECT_EQ(pdftest::RunCommand("pdfinfo -upw 's3cret pass' '" + pdf + "'", &info), 0);
        EXPECT_TRUE(Contains(info, "print:no")) << info;
        // The owner password lifts the restriction.
        EXPECT_EQ(pdftest::RunCommand("qpdf --password=0wner --decrypt '" + pdf + "' '" + pdf +
                                      ".plain'"),
                  0)
            << c.arguments;
        EXPECT_FALSE(Contains(outcome.output, "s3cret")) << "no password is shown";
    }

    // A pipe whose writer sends the line and stays open: the line is enough (a run that
    // waited for more would end by its time limit, status 124).
    const wxString pipe = home.Documents() + "/pipe";
    ASSERT_EQ(::mkfifo(Native(pipe).c_str(), 0600), 0);
    std::string output;
    const int status = pdftest::RunCommand(
        "(printf 's3cret pass\\n'; exec sleep 600) > " + Quoted(pipe) + " & writer=$!; " +
            home.Environment() + "timeout -k 5 60 '" OMBRIX_CLI_PATH "' --user-password-file " +
            Quoted(pipe) + " -o " + Quoted(home.Documents() + "/piped") + " " + Quoted(image) +
            " 2>&1; status=$?; kill $writer; exit $status",
        &output);
    EXPECT_EQ(status, 0) << output;
    EXPECT_EQ(pdftest::RunCommand("pdfinfo -upw 's3cret pass' " +
                                  Quoted(home.Documents() + "/piped/x.pdf") + " >/dev/null 2>&1"),
              0);
}

TEST(CliTest, RestrictionsWithoutAPasswordHoldInAnEncryptedFile) {
    TestHome home;
    const wxString image = Image(home, "x.png", "-size 20x20 xc:red");
    const wxString out = home.Documents() + "/out";
    const Outcome outcome =
        RunCli(home, "--no-print --no-copy -o " + Quoted(out) + " " + Quoted(image));
    ASSERT_EQ(outcome.status, 0) << outcome.output;
    std::string info;
    // Anyone opens it; nobody prints or copies from it.
    ASSERT_EQ(pdftest::RunCommand("pdfinfo '" + Native(out + "/x.pdf") + "'", &info), 0);
    EXPECT_TRUE(Contains(info, "Encrypted:       yes (print:no copy:no")) << info;
}

TEST(CliTest, PipesAndDevicesNamedLikeImagesFailWithoutBlocking) {
    TestHome home;
    const wxString folder = home.Documents() + "/in";
    const wxString good = Image(home, "in/good.png", "-size 20x20 xc:red");
    const wxString fifo = folder + "/pipe.png";
    ASSERT_EQ(::mkfifo(Native(fifo).c_str(), 0600), 0);
    const wxString device = folder + "/zero.jpg";
    fs::create_symlink("/dev/zero", Native(device));
    const wxString out = home.Documents() + "/out";

    // Given by name: each fails with its reason; nothing waits for a writer (the run has a time
    // limit: a run that blocks ends with 124).
    Outcome outcome = RunCli(home,
                             "--report json -o " + Quoted(out) + " " + Quoted(fifo) + " " +
                                 Quoted(device) + " " + Quoted(good),
                             "", "2>/dev/null");
    EXPECT_EQ(outcome.status, 1) << outcome.output;
    auto lines = ReportLines(outcome.output);
    for (const char* name : {"pipe.png", "zero.jpg"}) {
        EXPECT_EQ(LineOf(lines, name).value("status", ""), "failed") << name;
        EXPECT_EQ(LineOf(lines, name).value("reason", ""), "not a regular file") << name;
    }
    EXPECT_EQ(LineOf(lines, "good.png").value("status", ""), "converted");

    // A merge is made whole or not at all.
    outcome = RunCli(home, "-m All -o " + Quoted(out) + " " + Quoted(good) + " " + Quoted(fifo));
    EXPECT_EQ(outcome.status, 1) << outcome.output;
    EXPECT_TRUE(Contains(outcome.output, "0 converted, 2 failed")) << outcome.output;
    EXPECT_FALSE(wxFileExists(out + "/All.pdf"));

    // In a folder they are not images of the folder.
    outcome = RunCli(home, "-o " + Quoted(out) + " " + Quoted(folder));
    EXPECT_EQ(outcome.status, 0) << outcome.output;
    EXPECT_TRUE(Contains(outcome.output, "1 converted, 0 failed")) << outcome.output;
}

TEST(CliTest, NamesThatAreNotUtf8FailWithAReasonThatSaysSo) {
    TestHome home;
    const wxString folder = home.Documents() + "/in";
    Image(home, "in/café.png", "-size 20x20 xc:red");
    // Latin-1 "café.png" beside the UTF-8 one: it must neither vanish nor pass as the other.
    const std::string latin1 = Native(folder) + "/caf\xe9.png";
    fs::copy_file(Native(folder + "/café.png"), latin1);
    TestHome::WriteFile(home.Documents() + "/list", latin1 + "\n");
    const wxString out = home.Documents() + "/out";

    const Outcome outcome = RunCli(home,
                                   "--report json -o " + Quoted(out) + " " + Quoted(folder) +
                                       " --files-from " + Quoted(home.Documents() + "/list"),
                                   "", "2>/dev/null");
    EXPECT_EQ(outcome.status, 1) << outcome.output;
    const auto lines = ReportLines(outcome.output);
    ASSERT_EQ(lines.size(), 3u) << outcome.output;
    EXPECT_EQ(LineOf(lines, "café.png").value("status", ""), "converted");
    int failed = 0;
    for (const nlohmann::json& line : lines) {
        if (line.value("status", "") == "failed") {
            ++failed;
            EXPECT_TRUE(Contains(line.value("input", ""), "caf\\xE9.png")) << line;
            EXPECT_EQ(line.value("reason", ""), "the file name is not valid UTF-8") << line;
        }
    }
    EXPECT_EQ(failed, 2) << "the name in the folder and the one in the list";
    EXPECT_EQ(Names(out), std::vector<std::string>{"café.pdf"});
}

TEST(CliTest, TwoImagesThatMakeOnePdfAreReported) {
    TestHome home;
    const wxString folder = home.Documents() + "/in";
    Image(home, "in/x.png", "-size 30x30 xc:red");
    Image(home, "in/x.jpg", "-size 50x50 plasma:fractal");
    const wxString out = home.Documents() + "/out";
    TestHome::WriteFile(out + "/x.pdf", "a PDF from an earlier run");

    Outcome outcome = RunCli(home, "-o " + Quoted(out) + " " + Quoted(folder));
    EXPECT_EQ(outcome.status, 1) << outcome.output;
    EXPECT_TRUE(Contains(outcome.output,
                         "x.png: failed: another image of this run, x.jpg, makes the same PDF"))
        << outcome.output;
    // The file from before the run is replaced, by the first image only.
    const auto images = pdftest::ReadImages(Native(out + "/x.pdf"));
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].width, 50);

    // The same image twice.
    outcome = RunCli(home, "-o " + Quoted(out) + " " + Quoted(folder + "/x.png") + " " +
                               Quoted(folder + "/x.png"));
    EXPECT_EQ(outcome.status, 1) << outcome.output;
    EXPECT_TRUE(Contains(outcome.output, "1 converted, 1 failed")) << outcome.output;
}

TEST(CliTest, ANewlineInANameStaysOnItsLogLine) {
    TestHome home;
    const wxString plain = Image(home, "plain.png", "-size 20x20 xc:red");
    const wxString image = home.Documents() + "/two\nlines\x1b[31m.png";
    fs::copy_file(Native(plain), Native(image));
    const Outcome outcome =
        RunCli(home, "-o " + Quoted(home.Documents() + "/out") + " " + Quoted(image));
    ASSERT_EQ(outcome.status, 0) << outcome.output;
    EXPECT_TRUE(Contains(outcome.output, "two\\nlines\\x1B[31m.png ->")) << outcome.output;
    wxArrayString logs;
    wxDir::GetAllFiles(home.UserData() + "/Log", &logs);
    ASSERT_EQ(logs.size(), 1u);
    const std::string log = TestHome::ReadFile(logs[0]);
    EXPECT_TRUE(Contains(log, "/two\\nlines\\x1B[31m.png [")) << log;
    EXPECT_FALSE(Contains(log, "\x1b")) << log;
    size_t start = 0;
    for (size_t end; (end = log.find('\n', start)) != std::string::npos; start = end + 1) {
        EXPECT_EQ(log.compare(start, 2, "# "), 0) << log.substr(start, end - start);
    }
}

TEST(CliTest, StaleJobFoldersAndPartFilesOfEndedProcessesAreRemoved) {
    TestHome home;
    const wxString image = Image(home, "x.png", "-size 20x20 xc:red");
    const wxString out = home.Documents() + "/out";
    const wxString cache = TempFolder::GetBaseDir();
    const std::string ended = std::to_string(EndedProcess());
    const std::string running = std::to_string(::getpid());
    struct Entry {
        wxString folder;
        std::string name;
        bool directory;
        bool removed;
    };
    const Entry entries[] = {
        {cache, "ombrix-job-" + ended + "-abc123", true, true},
        {cache, "ombrix-job-" + running + "-abc123", true, false},
        {cache, "ombrix-job-" + ended + "-locked", true, false}, // held by a process elsewhere
        {cache, "ombrix-job-x" + ended + "-abc123", true, false},
        {cache, "other-" + ended + "-abc123", true, false},
        {out, ".ombrix-part-" + ended + "-abc123", false, true},
        {out, ".ombrix-part-" + running + "-abc123", false, false},
        {out, ".ombrix-part-" + ended + "-locked", false, false},
        {out, ".other-part-" + ended + "-abc123", false, false},
    };
    std::vector<int> locks;
    for (const Entry& entry : entries) {
        const std::string path = Native(entry.folder) + "/" + entry.name;
        if (entry.directory) {
            fs::create_directories(path);
            TestHome::WriteFile(wxString::FromUTF8(path + "/partial.pdf"), "%PDF-");
        } else {
            TestHome::WriteFile(wxString::FromUTF8(path), "%PDF-");
        }
        if (entry.name.find("locked") != std::string::npos) {
            locks.push_back(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
            ASSERT_EQ(::flock(locks.back(), LOCK_EX), 0);
        }
    }
    ASSERT_EQ(RunCli(home, "-o " + Quoted(out) + " " + Quoted(image)).status, 0);
    for (const Entry& entry : entries) {
        EXPECT_EQ(fs::exists(Native(entry.folder) + "/" + entry.name), !entry.removed)
            << entry.name;
    }
    for (const int lock : locks) {
        ::close(lock);
    }

    // A converter killed in the middle of a job: the next run leaves no job folder of it.
    const wxString noise = Image(home, "many/00.bmp", "-size 1000x1000 xc: +noise Random");
    for (int i = 1; i < 12; ++i) {
        fs::copy_file(Native(noise),
                      Native(home.Documents() + wxString::Format("/many/%02d.bmp", i)));
    }
    const wxString log = home.Documents() + "/log";
    const pid_t pid = StartCli(
        {"-j", "2", "-o", Native(home.Documents() + "/killed"), Native(home.Documents() + "/many")},
        Native(log));
    EXPECT_TRUE(WaitForPdf(home.Documents() + "/killed"));
    ::kill(pid, SIGKILL);
    WaitForExit(pid);
    ASSERT_EQ(RunCli(home, "-o " + Quoted(out) + " " + Quoted(image)).status, 0);
    for (const std::string& name : JobFolders()) {
        EXPECT_EQ(name.find("ombrix-job-" + std::to_string(pid) + "-"), std::string::npos) << name;
    }
}

TEST(CliTest, ATerminationRequestStopsAfterTheFilesInHand) {
    TestHome home;
    // Noise in BMP files: each is compressed afresh, which takes a while.
    const wxString first = Image(home, "many/00.bmp", "-size 1000x1000 xc: +noise Random");
    for (int i = 1; i < 40; ++i) {
        fs::copy_file(Native(first),
                      Native(home.Documents() + wxString::Format("/many/%02d.bmp", i)));
    }
    const wxString out = home.Documents() + "/out";
    const wxString log = home.Documents() + "/log";
    const pid_t pid =
        StartCli({"-j", "2", "-o", Native(out), Native(home.Documents() + "/many")}, Native(log));
    ASSERT_TRUE(WaitForPdf(out));
    ::kill(pid, SIGTERM);
    EXPECT_EQ(WaitForExit(pid), 1);
    const std::string report = TestHome::ReadFile(log);
    EXPECT_TRUE(Contains(report, "Stopped.")) << report;
    EXPECT_TRUE(Contains(report, "not converted")) << report;
    // The files in hand were finished and placed whole; nothing temporary is left.
    const std::vector<std::string> made = Names(out);
    EXPECT_LT(made.size(), 40u);
    for (const std::string& name : made) {
        EXPECT_TRUE(pdftest::QpdfCheckPasses(Native(out) + "/" + name)) << name;
    }
    EXPECT_TRUE(JobFolders().empty());
}

TEST(CliTest, ParallelRunsMakeTheSamePdfsAsASequentialOne) {
    TestHome home;
    const wxString folder = home.Documents() + "/in";
    Image(home, "in/photo.jpg", "-size 120x80 plasma:fractal");
    Image(home, "in/screen.png", "-size 200x100 gradient:blue-white");
    Image(home, "in/pages.tif", "-size 40x40 xc:red xc:green");
    Image(home, "in/fax.tif", "-size 300x300 xc:white -monochrome -compress Group4");
    Image(home, "in/icon.gif", "-size 16x16 xc:red");
    Image(home, "in/bitmap.bmp", "-size 33x17 gradient:");
    Image(home, "in/alpha.png", "-size 50x50 xc:none -fill red -draw 'circle 25,25 25,10'");
    TestHome::WriteFile(folder + "/broken.png", "not a PNG");

    // The PDFs with their dates and identifiers made equal.
    auto normalised = [](const std::string& pdf) {
        const std::string qdf = pdf + ".qdf";
        EXPECT_EQ(pdftest::RunCommand("qpdf --qdf --object-streams=disable --static-id '" + pdf +
                                      "' '" + qdf + "'"),
                  0);
        const std::string text = pdftest::ReadFile(qdf);
        fs::remove(qdf);
        // The dates, and the file identifier the writer takes from the clock, differ by run.
        const std::string dated =
            std::regex_replace(text, std::regex("\\(D:[0-9+\\-Z']+\\)"), "(date)");
        return std::regex_replace(dated, std::regex("/ID \\[<[0-9a-f]+>"), "/ID [<id>");
    };
    const wxString sequential = home.Documents() + "/one";
    const wxString parallel = home.Documents() + "/four";
    const Outcome one = RunCli(home, "-j 1 -o " + Quoted(sequential) + " " + Quoted(folder));
    const Outcome four = RunCli(home, "-j 4 -o " + Quoted(parallel) + " " + Quoted(folder));
    EXPECT_EQ(one.status, 1);
    EXPECT_EQ(four.status, 1);
    for (const Outcome* outcome : {&one, &four}) {
        EXPECT_TRUE(Contains(outcome->output, "\n7 converted, 1 failed\nFailed:\n  broken.png: "))
            << outcome->output;
    }
    const std::vector<std::string> names = Names(sequential);
    ASSERT_EQ(names.size(), 7u);
    EXPECT_EQ(Names(parallel), names);
    for (const std::string& name : names) {
        EXPECT_EQ(normalised(Native(parallel) + "/" + name),
                  normalised(Native(sequential) + "/" + name))
            << name;
    }
    EXPECT_TRUE(JobFolders().empty());
}

TEST(CliTest, MoreFilesAtOnceThanTheMachineTakesAreLowered) {
    TestHome home;
    for (const char* name : {"in/a.png", "in/b.png", "in/c.png"}) {
        Image(home, name, "-size 20x20 xc:red");
    }
    const std::string inputs = Quoted(home.Documents() + "/in");
    Outcome outcome =
        RunCli(home, "-j 1024 -o " + Quoted(home.Documents() + "/out") + " " + inputs);
    EXPECT_EQ(outcome.status, 0) << outcome.output;
    EXPECT_TRUE(Contains(outcome.output, "ombrix-convert: -j 1024 is lowered to "))
        << outcome.output;
    EXPECT_TRUE(Contains(outcome.output, "3 converted, 0 failed")) << outcome.output;
    outcome = RunCli(home, "-j 1 -o " + Quoted(home.Documents() + "/one") + " " + inputs);
    EXPECT_EQ(outcome.status, 0) << outcome.output;
    EXPECT_FALSE(Contains(outcome.output, "lowered")) << outcome.output;
}

TEST(CliTest, RunsWithTheThreadsAProcessLimitLetsItStart) {
    // A shared batch node limits each user's processes and threads (RLIMIT_NPROC). The limit
    // does not bind root, so the converter runs under a user id that nothing else uses.
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only root can run the converter as another user under a process limit";
    }
    const std::string id = std::to_string(2000000 + ::getpid() % 100000);
    auto limited = [&id](int tasks) {
        return "prlimit --nproc=" + std::to_string(tasks) + " setpriv --reuid=" + id +
               " --regid=" + id + " --clear-groups ";
    };
    if (pdftest::RunCommand(limited(1) + "sh -c 'true & wait' 2>/dev/null") == 0 ||
        pdftest::RunCommand(limited(2) + "sh -c 'true & wait' 2>/dev/null") != 0) {
        GTEST_SKIP() << "no process limit binds here";
    }
    TestHome home;
    // The converter and its library, beside the installation the home holds, for that user.
    const fs::path program = OMBRIX_CLI_PATH;
    const fs::path install = Native(home.InstallRoot());
    fs::copy_file(program, install / "bin" / program.filename());
    fs::create_directories(install / "lib");
    fs::copy_file(program.parent_path() / ".." / "lib" / "libombrix-pdf.so",
                  install / "lib" / "libombrix-pdf.so");
    for (int i = 1; i <= 6; ++i) {
        Image(home, wxString::Format("in/%d.png", i), "-size 40x30 xc:red");
    }
    ASSERT_EQ(pdftest::RunCommand("chown -R " + id + ":" + id + " " + Quoted(home.Root())), 0);

    // No thread beyond the first, then one more, then two: each run converts every file (a
    // merge too, whose pages are made on threads of their own).
    struct Case {
        int tasks;
        std::string arguments;
        const char* says;
    };
    const Case cases[] = {
        {1, "-j 4", "6 converted, 0 failed"},
        {2, "-j 4", "6 converted, 0 failed"},
        {3, "-j 4", "6 converted, 0 failed"},
        {1, "-m All", "6 converted, 0 failed"},
    };
    for (const Case& c : cases) {
        const wxString out =
            home.Documents() + wxString::Format("/out%d%s", c.tasks, c.arguments.substr(0, 2));
        std::string output;
        // The leak checker of a sanitized build needs a thread of its own at the end.
        const int status = pdftest::RunCommand(
            home.Environment() + "ASAN_OPTIONS=\"$ASAN_OPTIONS:detect_leaks=0\" timeout -k 5 60 " +
                limited(c.tasks) + "'" + (install / "bin" / program.filename()).string() + "' " +
                c.arguments + " -o " + Quoted(out) + " " + Quoted(home.Documents() + "/in") +
                " 2>&1",
            &output);
        SCOPED_TRACE(std::to_string(c.tasks) + " " + c.arguments);
        EXPECT_EQ(status, 0) << output;
        EXPECT_TRUE(Contains(output, c.says)) << output;
        for (const std::string& name : Names(out)) {
            EXPECT_TRUE(pdftest::QpdfCheckPasses(Native(out) + "/" + name)) << name;
        }
        EXPECT_EQ(Names(out).size(), c.arguments == "-m All" ? 1u : 6u);
        EXPECT_TRUE(JobFolders().empty());
    }
}

TEST(CliTest, AllImagesMakesAPageOfEachShotOfAHeifBurst) {
    if (pdftest::RunCommand("command -v heif-enc >/dev/null") != 0) {
        if (pdftest::UnderCi()) {
            GTEST_FAIL() << "heif-enc is missing: run scripts/install-deps.sh";
        }
        GTEST_SKIP() << "heif-enc is not installed";
    }
    TestHome home;
    // Three shots of different sizes in one file, the first the primary image; the folder
    // scan takes the file by its extension.
    const wxString a = Image(home, "shots/a.png", "-size 40x30 xc:red");
    const wxString b = Image(home, "shots/b.png", "-size 30x40 xc:green");
    const wxString c = Image(home, "shots/c.png", "-size 50x20 xc:blue");
    const wxString burst = home.Documents() + "/in/burst.HEIC";
    wxFileName::Mkdir(home.Documents() + "/in", wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
    ASSERT_EQ(pdftest::RunCommand("heif-enc -q 50 " + Quoted(a) + " " + Quoted(b) + " " +
                                  Quoted(c) + " -o " + Quoted(burst) + " >/dev/null 2>&1"),
              0);
    const struct {
        const char* option;
        std::vector<int> widths;
    } cases[] = {
        {"", {40}},
        {"--all-images ", {40, 30, 50}},
    };
    for (const auto& test : cases) {
        const wxString out = home.Documents() + "/out";
        wxFileName::Rmdir(out, wxPATH_RMDIR_RECURSIVE);
        const Outcome outcome = RunCli(home, std::string(test.option) + "-o " + Quoted(out) + " " +
                                                 Quoted(home.Documents() + "/in"));
        ASSERT_EQ(outcome.status, 0) << test.option << outcome.output;
        std::vector<int> widths;
        for (const auto& image : pdftest::ReadImages(Native(out + "/burst.pdf"))) {
            widths.push_back(image.width);
        }
        EXPECT_EQ(widths, test.widths) << test.option;
    }
}

// --ocr: the text comes with the PDF (and beside it with --ocr-sidecar), an image the engine
// cannot read still converts with the reason on its line, and a language that is not
// installed, or a list that is none, is a usage error before any file is converted.
TEST(CliTest, OcrMakesSearchablePdfsAndRefusesMissingLanguages) {
    if (const char* why = PdfOcrCheckLanguages("eng", nullptr)) {
        if (pdftest::UnderCi()) {
            FAIL() << why;
        }
        GTEST_SKIP() << why;
    }
    TestHome home;
    Image(home, "in/words.png",
          "-size 900x200 xc:white -font DejaVu-Sans -pointsize 48 -annotate +40+110 "
          "'Harbour lantern' -units PixelsPerInch -density 200");
    // Run-length-encoded BMP: the converter reads it, the engine's image reader does not.
    Image(home, "in/packed.bmp", "-size 60x40 xc:white -type Palette -colors 4 -compress RLE");
    const wxString out = home.Documents() + "/out";
    struct Case {
        std::string arguments;
        int status;
        std::vector<std::string> output;
        std::vector<std::string> written;
    };
    const std::string inputs = " " + Quoted(home.Documents() + "/in");
    const Case cases[] = {
        {"--ocr eng --ocr-sidecar" + inputs,
         0,
         {"2 converted", "packed.bmp: no text layer: the OCR engine cannot read the image"},
         {"packed.pdf", "packed.txt", "words.pdf", "words.txt"}},
        {"--ocr eng -m all" + inputs, 0, {"2 converted"}, {"all.pdf"}},
        {"--ocr eng+xyz" + inputs, 2, {"the OCR language \"xyz\" is not installed"}, {}},
        {"--ocr 'eng;x'" + inputs, 2, {"is no list of OCR languages"}, {}},
        {"--ocr-sidecar" + inputs, 2, {"--ocr-sidecar goes with --ocr"}, {}},
    };
    for (const Case& c : cases) {
        wxFileName::Rmdir(out, wxPATH_RMDIR_RECURSIVE);
        const Outcome outcome = RunCli(home, "-o " + Quoted(out) + " " + c.arguments);
        EXPECT_EQ(outcome.status, c.status) << c.arguments << "\n" << outcome.output;
        for (const std::string& part : c.output) {
            EXPECT_TRUE(Contains(outcome.output, part)) << c.arguments << "\n" << outcome.output;
        }
        EXPECT_EQ(Names(out), c.written) << c.arguments;
    }
    wxFileName::Rmdir(out, wxPATH_RMDIR_RECURSIVE);
    ASSERT_EQ(RunCli(home, "-o " + Quoted(out) + " --ocr eng --ocr-sidecar" + inputs).status, 0);
    EXPECT_TRUE(Contains(TestHome::ReadFile(out + "/words.txt"), "Harbour lantern\n"));
    EXPECT_EQ(TestHome::ReadFile(out + "/packed.txt"), "\f");
    std::string text;
    pdftest::RunCommand("pdftotext -q " + Quoted(out + "/words.pdf") + " -", &text);
    EXPECT_TRUE(Contains(text, "Harbour lantern")) << text;
}
