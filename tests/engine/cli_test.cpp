// The command-line converter, run as a user runs it.
#include "pdf/pdf_test_support.h"
#include "support/test_home.h"

#include <gtest/gtest.h>
#include <wx/dir.h>
#include <wx/filefn.h>
#include <wx/filename.h>

namespace {
struct Outcome {
    int status;
    std::string output;
};

Outcome RunCli(const TestHome& home, const std::string& arguments) {
    Outcome outcome;
    outcome.status = pdftest::RunCommand(
        home.Environment() + "'" OMBRIX_CLI_PATH "' " + arguments + " 2>&1", &outcome.output);
    return outcome;
}

std::string Quoted(const wxString& path) {
    return "'" + std::string(path.utf8_str()) + "'";
}

wxString Image(const TestHome& home, const wxString& relative, const std::string& spec) {
    const wxString path = home.Documents() + "/" + relative;
    wxFileName::Mkdir(wxFileName(path).GetPath(), wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
    EXPECT_EQ(pdftest::RunCommand("convert " + spec + " " + Quoted(path)), 0);
    return path;
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
        EXPECT_TRUE(pdftest::QpdfCheckPasses(std::string((out + "/" + name).utf8_str()))) << name;
    }
    EXPECT_FALSE(wxFileExists(out + "/readme.pdf"));
    EXPECT_NE(outcome.output.find("3 converted, 0 failed"), std::string::npos) << outcome.output;
    // A folder is listed as the application lists it: by type, each type in name order.
    EXPECT_LT(outcome.output.find("page10.jpg"), outcome.output.find("page2.png"))
        << outcome.output;
    EXPECT_LT(outcome.output.find("page2.png"), outcome.output.find("page1.tif")) << outcome.output;
    // The same daily log as the application.
    wxArrayString logs;
    wxDir::GetAllFiles(home.UserData() + "/Log", &logs);
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_NE(TestHome::ReadFile(logs[0]).find("page10.jpg ["), std::string::npos);
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
    const std::string pdf = std::string((out + "/Album.pdf").utf8_str());
    std::string info;
    pdftest::RunCommand("pdfinfo -upw secret '" + pdf + "'", &info);
    EXPECT_NE(info.find("Pages:           2"), std::string::npos) << info;
    EXPECT_NE(info.find("Author:          Zoë"), std::string::npos) << info;
    EXPECT_NE(info.find("Title:           Album"), std::string::npos) << info;
    EXPECT_NE(info.find("Encrypted:       yes (print:no"), std::string::npos) << info;
    EXPECT_NE(info.find("612 x 792 pts (letter)"), std::string::npos) << info;
    const auto images = pdftest::ReadImages(pdf, "secret");
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(images[0].width, 100) << "pages follow the order given";
}

TEST(CliTest, FailuresAndUsageErrorsHaveTheirExitStatus) {
    TestHome home;
    const wxString good = Image(home, "good.png", "-size 20x20 xc:red");
    const wxString bad = home.Documents() + "/bad.jpg";
    TestHome::WriteFile(bad, "not a JPEG at all");
    const wxString out = home.Documents() + "/out";

    Outcome outcome = RunCli(home, "-o " + Quoted(out) + " " + Quoted(good) + " " + Quoted(bad));
    EXPECT_EQ(outcome.status, 1) << outcome.output;
    EXPECT_NE(outcome.output.find("1 converted, 1 failed"), std::string::npos) << outcome.output;
    EXPECT_NE(outcome.output.find("bad.jpg: "), std::string::npos) << outcome.output;
    EXPECT_TRUE(wxFileExists(out + "/good.pdf"));
    EXPECT_FALSE(wxFileExists(out + "/bad.pdf"));

    for (const char* arguments : {"", "--size 210 x.png", "--margins 1,2,3 x.png", "--bogus x.png",
                                  "-m a --beside-source x.png", "-m ../up x.png", "-o"}) {
        outcome = RunCli(home, arguments);
        EXPECT_EQ(outcome.status, 2) << arguments << "\n" << outcome.output;
        EXPECT_NE(outcome.output.find("--help"), std::string::npos) << arguments;
    }
    outcome = RunCli(home, "--help");
    EXPECT_EQ(outcome.status, 0);
    EXPECT_NE(outcome.output.find("Exit status"), std::string::npos);

    outcome = RunCli(home, Quoted(home.Documents() + "/nowhere"));
    EXPECT_EQ(outcome.status, 1) << outcome.output;
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
