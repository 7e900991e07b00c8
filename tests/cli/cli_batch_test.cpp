// The converter under a batch scheduler: exit statuses, failure classes, the report's fields,
// shards of an input list and skipping work already done.
#include "cli/cli_run.h"
#include "pdf/crafted_images.h"
#include "pdf/pdf_test_support.h"
#include "pdf/pdfa_checker.h"
#include "support/test_home.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <wx/filename.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {
// The converter under a time limit; `tail` redirects its streams.
Outcome RunCli(const TestHome& home, const std::string& arguments,
               const std::string& tail = "2>/dev/null") {
    return RunConverter(home, arguments, "", tail);
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
        // Its PDF's name is taken by another file of the run: a retry cannot help.
        {"twin.png", "failed", "unsupported"},
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

TEST(CliBatchTest, ShardsShareTheExpandedListEachFileOnce) {
    TestHome home;
    // A folder in natural name order, then a list: the whole list is p1 .. p7, q1, q2.
    for (const char* name : {"p10.png", "p2.png", "p1.png", "p3.png", "p4.png", "p5.png"}) {
        Write(home, wxString("in/") + name, pdftest::GreyPng(8, 8));
    }
    const wxString q1 = Write(home, "q1.png", pdftest::GreyPng(8, 8));
    const wxString q2 = Write(home, "q2.png", pdftest::GreyPng(8, 8));
    const wxString list = Write(home, "list", Native(q1) + "\n" + Native(q2) + "\n");
    const std::string inputs = Quoted(home.Documents() + "/in") + " --files-from " + Quoted(list);
    const wxString out = home.Documents() + "/out";
    const std::vector<std::string> whole = {"p1.png", "p2.png",  "p3.png", "p4.png",
                                            "p5.png", "p10.png", "q1.png", "q2.png"};

    std::map<std::string, int> taken;
    for (int k = 0; k < 3; ++k) {
        const Outcome outcome = RunCli(home, "--report json --shard " + std::to_string(k) +
                                                 "/3 -o " + Quoted(out) + " " + inputs);
        EXPECT_EQ(outcome.status, 0) << outcome.output;
        std::vector<std::string> expected;
        for (size_t i = static_cast<size_t>(k); i < whole.size(); i += 3) {
            expected.push_back(whole[i]);
        }
        std::vector<std::string> got;
        for (const auto& [name, line] : Report(outcome.output)) {
            got.push_back(name);
            ++taken[name];
        }
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(got, expected) << "shard " << k;
    }
    EXPECT_EQ(taken.size(), whole.size());
    for (const auto& [name, count] : taken) {
        EXPECT_EQ(count, 1) << name;
    }

    // A shard beyond a short list has nothing to do, which is no failure.
    const Outcome empty = RunCli(home, "--shard 9/10 -o " + Quoted(out) + " " + Quoted(q1), "2>&1");
    EXPECT_EQ(empty.status, 0) << empty.output;
    EXPECT_TRUE(Contains(empty.output, "shard 9/10 holds no image")) << empty.output;

    const std::string image = Quoted(q1);
    for (const char* shard :
         {"3/3", "0/0", "-1/4", "1", "1/", "/4", "a/4", "+1/4", "1/4x", "1/10000000000"}) {
        const Outcome outcome = RunCli(home, std::string("--shard ") + shard + " " + image, "2>&1");
        EXPECT_EQ(outcome.status, 2) << shard;
        EXPECT_TRUE(Contains(outcome.output, "--shard takes K/N")) << shard << outcome.output;
    }
    const Outcome merged = RunCli(home, "--shard 0/2 -m All " + image, "2>&1");
    EXPECT_EQ(merged.status, 2);
    EXPECT_TRUE(Contains(merged.output, "--merge and --shard cannot go together")) << merged.output;
}

TEST(CliBatchTest, SkipExistingComparesContentAndSettingsNotDates) {
    TestHome home;
    const wxString image = Write(home, "in/a.png", pdftest::GreyPng(20, 10, 50));
    const wxString out = home.Documents() + "/out";
    const wxString pdf = out + "/a.pdf";
    auto run = [&](const std::string& arguments) {
        const Outcome outcome = RunCli(home, "--skip-existing --report json -o " + Quoted(out) +
                                                 " " + arguments + " " + Quoted(image));
        const auto lines = Report(outcome.output);
        return lines.count("a.png") != 0 ? lines.at("a.png").value("status", "") : outcome.output;
    };
    // Each run against the PDF the run before left.
    struct Step {
        const char* arguments;
        const char* status;
    };
    const Step steps[] = {
        {"", "converted"},
        {"", "skipped"},
        {"--page-type Letter", "converted"},
        {"--page-type Letter", "skipped"},
        {"--page-type Letter --margins 1,2,3,4", "converted"},
        {"--author 'Zoë'", "converted"},
        {"--author 'Zoë'", "skipped"},
        {"--author 'Zoé'", "converted"},
        {"--no-print", "converted"},
        {"--no-print", "skipped"},
        {"--no-print --no-copy", "converted"},
        // Encrypted documents are read with the run's user password, which must open them;
        // an owner password given must be theirs.
        {"--user-password pw", "converted"},
        {"--user-password pw", "skipped"},
        {"--user-password other", "converted"},
        {"--user-password other --owner-password boss", "converted"},
        {"--user-password other --owner-password boss", "skipped"},
        {"--user-password other --owner-password chief", "converted"},
        {"--owner-password chief", "converted"},
        {"--pdfa 2b", "converted"},
        {"--pdfa 2b", "skipped"},
        {"--pdfa 3b", "converted"},
        {"--pdfa 3b --attach-originals", "converted"},
        {"", "converted"},
    };
    for (const Step& step : steps) {
        EXPECT_EQ(run(step.arguments), step.status) << step.arguments;
    }
    // The record is a private key of the document information, which PDF/A allows.
    ASSERT_EQ(run("--pdfa 1b"), "converted");
    EXPECT_EQ(pdftest::PdfaProblems(Native(pdf), 1), std::vector<std::string>());
    std::string report;
    bool available = true;
    EXPECT_TRUE(pdftest::PreflightPasses(Native(pdf), &report, &available) || !available) << report;
    // The password itself is not in the document's record of its work.
    ASSERT_EQ(run("--user-password 'sesame 42'"), "converted");
    std::string information;
    pdftest::RunCommand("qpdf --password='sesame 42' --decrypt --qdf --object-streams=disable " +
                            Quoted(pdf) + " - | strings",
                        &information);
    EXPECT_TRUE(Contains(information, "/OmbrixWork")) << "the work is recorded";
    EXPECT_FALSE(Contains(information, "sesame")) << information;
    ASSERT_EQ(run(""), "converted");

    // Dates say nothing: an image newer than its PDF, as after a copy, is the same work.
    const auto later = fs::last_write_time(Native(pdf)) + std::chrono::hours(1);
    fs::last_write_time(Native(image), later);
    EXPECT_EQ(run(""), "skipped");
    // Other content, even with an older date, is other work.
    TestHome::WriteFile(image, pdftest::GreyPng(20, 10, 51));
    fs::last_write_time(Native(image), later - std::chrono::hours(3));
    EXPECT_EQ(run(""), "converted");
    EXPECT_EQ(run(""), "skipped");
    // A PDF of another program at its name is made again.
    pdftest::RunCommand("convert -size 20x10 xc:gray " + Quoted(pdf));
    EXPECT_EQ(run(""), "converted");

    // A merge is the same work with the same images in the same order.
    const wxString other = Write(home, "in/b.png", pdftest::GreyPng(10, 20, 9));
    auto merge = [&](const wxString& first, const wxString& second) {
        const Outcome outcome =
            RunCli(home, "--skip-existing --report json -m All -o " + Quoted(out) + " " +
                             Quoted(first) + " " + Quoted(second));
        const auto lines = Report(outcome.output);
        return lines.count("b.png") != 0 ? lines.at("b.png").value("status", "") : outcome.output;
    };
    EXPECT_EQ(merge(image, other), "converted");
    EXPECT_EQ(merge(image, other), "skipped");
    EXPECT_EQ(merge(other, image), "converted");
}
