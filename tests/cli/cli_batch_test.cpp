// The converter under a batch scheduler: exit statuses, failure classes, the report's fields,
// shards of an input list and skipping work already done.
#include "pdf/crafted_images.h"
#include "pdf/pdf_test_support.h"
#include "support/test_home.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <wx/filename.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {
struct Outcome {
    int status;
    std::string output;
};

// The converter under a time limit; `tail` redirects its streams.
Outcome RunCli(const TestHome& home, const std::string& arguments,
               const std::string& tail = "2>/dev/null") {
    Outcome outcome;
    outcome.status = pdftest::RunCommand(home.Environment() + " timeout -k 5 60 '" +
                                             OMBRIX_CLI_PATH "' " + arguments + " " + tail,
                                         &outcome.output);
    return outcome;
}

std::string Native(const wxString& path) {
    return std::string(path.utf8_str());
}

std::string Quoted(const wxString& path) {
    return "'" + Native(path) + "'";
}

wxString Write(const TestHome& home, const wxString& relative, const std::string& data) {
    const wxString path = home.Documents() + "/" + relative;
    wxFileName::Mkdir(wxFileName(path).GetPath(), wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
    TestHome::WriteFile(path, data);
    return path;
}

// The report's lines by the file name of their input.
std::map<std::string, nlohmann::json> Report(const std::string& text) {
    std::map<std::string, nlohmann::json> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        const nlohmann::json line =
            nlohmann::json::parse(text.substr(start, end - start), nullptr, false);
        EXPECT_TRUE(line.is_object()) << text.substr(start, end - start);
        if (line.is_object()) {
            lines[fs::path(line.value("input", "")).filename().string()] = line;
        }
    }
    return lines;
}

std::string Sha256Of(const std::string& path) {
    std::string output;
    pdftest::RunCommand("sha256sum '" + path + "'", &output);
    return output.substr(0, output.find(' '));
}
} // namespace

TEST(CliBatchTest, FailedFilesCarryTheClassASchedulerActsOn) {
    TestHome home;
    const std::string good = pdftest::GreyPng(16, 12);
    Write(home, "in/good.png", good);
    Write(home, "in/cut short.png", good.substr(0, good.size() - 20));
    Write(home, "in/text.png", "no image at all");
    // Arithmetic coding of this size is refused before anything is decoded.
    Write(home, "in/huge.jpg", pdftest::GreyJpeg(32768, 32768, 0xC9, "\x12\x34"));
    Write(home, "in/twin.jpg", pdftest::GreyJpeg(16, 16, 0xC0, std::string(8, '\0')));
    Write(home, "twin.png", good);
    const wxString out = home.Documents() + "/out";

    const Outcome outcome =
        RunCli(home, "--report json -o " + Quoted(out) + " " + Quoted(home.Documents() + "/in") +
                         " " + Quoted(home.Documents() + "/twin.png") + " " +
                         Quoted(home.Documents() + "/missing.png"));
    EXPECT_EQ(outcome.status, 1) << outcome.output;
    const auto lines = Report(outcome.output);
    struct Case {
        const char* name;
        const char* status;
        const char* failureClass; // null: the line's class is null
    };
    const Case cases[] = {
        {"good.png", "converted", nullptr},
        {"cut short.png", "failed", "damaged"},
        {"text.png", "failed", "unsupported"},
        {"huge.jpg", "failed", "limit"},
        {"twin.jpg", "converted", nullptr},
        // Its PDF's name is taken by another file of the run.
        {"twin.png", "failed", "io"},
        {"missing.png", "failed", "unreadable"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(lines.count(c.name)) << c.name << "\n" << outcome.output;
        const nlohmann::json& line = lines.at(c.name);
        EXPECT_EQ(line.value("status", ""), c.status) << line;
        ASSERT_TRUE(line.contains("class")) << line;
        if (c.failureClass == nullptr) {
            EXPECT_TRUE(line["class"].is_null()) << line;
        } else {
            EXPECT_EQ(line["class"], c.failureClass) << line;
        }
    }
}

TEST(CliBatchTest, ReportLinesCarryInputSizeDurationDigestAndVersion) {
    TestHome home;
    const wxString a = Write(home, "in/a.png", pdftest::GreyPng(40, 30));
    Write(home, "in/b.png", pdftest::GreyPng(30, 40, 7));
    const wxString out = home.Documents() + "/out";
    std::string version;
    pdftest::RunCommand("'" OMBRIX_CLI_PATH "' --version", &version);
    version = version.substr(version.rfind(' ') + 1);
    version.erase(version.find_last_not_of('\n') + 1);
    ASSERT_FALSE(version.empty());

    for (const char* merge : {"", "-m All "}) {
        const Outcome outcome =
            RunCli(home, std::string("--report json ") + merge + "-o " + Quoted(out) + " " +
                             Quoted(home.Documents() + "/in"));
        ASSERT_EQ(outcome.status, 0) << outcome.output;
        for (const auto& [name, line] : Report(outcome.output)) {
            const std::string pdf = line.value("output", "");
            EXPECT_EQ(line.value("input_bytes", int64_t{-1}),
                      static_cast<int64_t>(fs::file_size(
                          Native(home.Documents() + "/in/" + wxString::FromUTF8(name)))))
                << line;
            ASSERT_TRUE(line["seconds"].is_number()) << line;
            EXPECT_GE(line["seconds"].get<double>(), 0) << line;
            EXPECT_EQ(line.value("sha256", ""), Sha256Of(pdf)) << merge << line;
            EXPECT_EQ(line.value("version", ""), version) << line;
        }
    }
    // A skipped file names the digest of the PDF it kept.
    const Outcome skipped =
        RunCli(home, "--report json --skip-existing -o " + Quoted(out) + " " + Quoted(a));
    const auto lines = Report(skipped.output);
    ASSERT_TRUE(lines.count("a.png")) << skipped.output;
    EXPECT_EQ(lines.at("a.png").value("status", ""), "skipped");
    EXPECT_EQ(lines.at("a.png").value("sha256", ""), Sha256Of(Native(out + "/a.pdf")));
}
