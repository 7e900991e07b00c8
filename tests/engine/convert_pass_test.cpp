// The one-file and merge passes: with the real PDF service end to end, and with a fake one
// behind the same interface for the failure paths.
#include "domain/domain_convert_zuzur2aze.h"

#include "common/file_util.h"
#include "common/temp_folder.h"
#include "domain/domain_page.h"
#include "domain/domain_settings.h"
#include "domain/job_settings.h"
#include "engine_test_support.h"
#include "pdf/pdf_test_support.h"
#include "support/test_home.h"
#include "thread/convert_worker.h"
#include "thread/task_thread.h"

#include <gtest/gtest.h>
#include <wx/dir.h>
#include <wx/filefn.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

using State = DhGridCellRenderCommandEvent;

namespace {
constexpr int kStatusColumn = 4;

// A home with page settings loaded and the keys a job reads.
class Engine : public TestHome {
public:
    Engine() {
        DomainPage().Load();
        DomainSettings::SetKeyed(DomainSettings::kStatusColumn, "4");
        DomainSettings::SetKeyed(DomainSettings::kOutputType, "0");
        DomainSettings::SetKeyed(DomainSettings::kSaveBesideSource, "0");
        DomainSettings::SetKeyed(DomainSettings::kMerge, "0");
        DomainSettings::SetKeyed(DomainSettings::kMergeOffered, "1");
        output = Documents() + "/PDFs";
        wxDir::Make(output);
        DomainSettings::SetKeyed(DomainSettings::kOutputDir, output);
        ConvertState = DomainConvert::kRunning;
    }

    // Makes an image with ImageMagick in the documents folder.
    wxString Image(const wxString& name, const std::string& spec) {
        const wxString path = Documents() + "/pictures/" + name;
        wxFileName::Mkdir(wxFileName(path).GetPath(), wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
        EXPECT_EQ(
            pdftest::RunCommand("convert " + spec + " '" + std::string(path.utf8_str()) + "'"), 0);
        return path;
    }

    // A job of the rows built for the paths.
    ConvertJob Job(DomainConvert& convert, const std::vector<wxString>& paths) {
        wxArrayString list;
        for (const wxString& path : paths) {
            list.Add(path);
        }
        std::unique_ptr<FileRowArray> rows(convert.BuildRowsFromPaths(list));
        ConvertJob job;
        for (size_t i = 0; i < rows->size(); ++i) {
            job[static_cast<int>(i)] = (*rows)[i].cells;
        }
        return job;
    }

    std::vector<std::string> LogLines() {
        std::vector<std::string> lines;
        std::string log = ReadFile(FileUtil::GetLogPath());
        size_t start = 0;
        for (size_t end; (end = log.find('\n', start)) != std::string::npos; start = end + 1) {
            lines.push_back(log.substr(start + 11, end - start - 11)); // after "# HH:MM:SS "
        }
        return lines;
    }

    wxString output;
};

// A fake PDF service that answers as each test needs.
struct FakeService : Pdf3Service {
    std::function<const PdfResult*(FakeService&)> create;
    int calls = 0;
    PdfResult result{};
    std::string path;
};

class FakeConvert : public DomainConvertZUZUR2AZE {
public:
    std::function<const PdfResult*(FakeService&)> answer;
    int created = 0;
    int freed = 0;

protected:
    Pdf3Service* CreateService(const std::string&) override {
        auto* service = new FakeService;
        service->create = answer;
        service->LoadSource = [](Pdf3Service*, const char*, int) { return 0; };
        service->AppendSource = [](Pdf3Service*, const char*) { return 0; };
        service->CreatePdf = [](Pdf3Service* self, const PdfPageOptions*, const char*, const char*,
                                PdfProgressProc, int) -> PdfResult* {
            auto* fake = static_cast<FakeService*>(self);
            ++fake->calls;
            return const_cast<PdfResult*>(fake->create(*fake));
        };
        ++created;
        return service;
    }
    void FreeService(Pdf3Service* service) override {
        delete static_cast<FakeService*>(service);
        ++freed;
    }
};

// A result naming a small file written into the temporary folder.
const PdfResult* WrittenResult(FakeService& fake, const std::string& folder) {
    fake.path = folder + "/fake-" + std::to_string(reinterpret_cast<uintptr_t>(&fake)) + ".pdf";
    TestHome::WriteFile(wxString::FromUTF8(fake.path), "%PDF-1.5 fake");
    fake.result.path = fake.path.c_str();
    fake.result.reason = "";
    fake.result.errorCode = 0;
    return &fake.result;
}

bool NoJobFoldersLeft() {
    wxDir dir(TempFolder::GetBaseDir());
    wxString name;
    return !dir.IsOpened() || !dir.GetFirst(&name);
}
} // namespace

TEST(ConvertPassTest, EachImageBecomesItsOwnPdf) {
    Engine home;
    const wxString png = home.Image("Screen Shot.png", "-size 120x80 gradient:blue-white");
    const wxString jpg = home.Image("photo.JPG", "-size 80x120 plasma:fractal");
    const wxString gif = home.Image("动画.gif", "-size 60x60 xc:red");
    const std::string existing = std::string((home.output + "/photo.pdf").utf8_str());
    TestHome::WriteFile(home.output + "/photo.pdf", "an older PDF");

    EventCollector collector;
    DomainConvertZUZUR2AZE convert;
    convert.SetTarget(&collector);
    ConvertJob job = home.Job(convert, {png, jpg, gif});
    EXPECT_EQ(convert.Run(job), 3);

    for (const char* name : {"Screen Shot.pdf", "photo.pdf", "动画.pdf"}) {
        const std::string pdf =
            std::string((home.output + "/" + wxString::FromUTF8(name)).utf8_str());
        EXPECT_TRUE(pdftest::QpdfCheckPasses(pdf)) << name;
    }
    EXPECT_NE(pdftest::ReadFile(existing), "an older PDF") << "an existing PDF is replaced";

    const auto cells = collector.Cells();
    ASSERT_EQ(cells.size(), 6u);
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(cells[2 * row].row, row);
        EXPECT_EQ(cells[2 * row].percent, 30);
        EXPECT_EQ(cells[2 * row + 1].percent, 100);
        EXPECT_EQ(cells[2 * row + 1].state, State::kProgress);
        EXPECT_EQ(cells[2 * row + 1].column, kStatusColumn);
    }
    const auto lines = home.LogLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], std::string(jpg.utf8_str()) + " [" +
                            std::string((home.output + "/photo.pdf").utf8_str()) + "] [1]");
    EXPECT_TRUE(NoJobFoldersLeft());
    EXPECT_FALSE(wxDir::Exists(home.InstallRoot() + "/Bin"))
        << "nothing is written into the installation";
}

// The margins that the page settings check accepts convert landscape and portrait images
// alike; those it refuses would fail for one of them: the check measures the page the
// converter makes, turned for a landscape image.
TEST(ConvertPassTest, MarginsTheCheckAcceptsConvertImagesOfBothOrientations) {
    Engine home;
    const wxString landscape = home.Image("landscape.png", "-size 120x80 xc:blue");
    const wxString portrait = home.Image("portrait.png", "-size 80x120 xc:red");
    struct Case {
        const char* label;
        const char* select;
        const char* type;
        const char* size[2];    // width, height
        const char* margins[4]; // top, bottom, left, right
        bool fits;
    };
    const Case cases[] = {
        {"the default A4, usual margins",
         "2",
         "A4",
         {"210", "297"},
         {"10", "10", "10", "10"},
         true},
        {"the default A4, top and bottom that fit it upright only",
         "2",
         "A4",
         {"210", "297"},
         {"150", "100", "10", "10"},
         false},
        {"Letter, left and right just within",
         "0",
         "Letter",
         {"", ""},
         {"0", "0", "108", "107.85"},
         true},
        {"Letter, left and right 0.05 mm beyond",
         "0",
         "Letter",
         {"", ""},
         {"0", "0", "108", "107.95"},
         false},
        {"a custom size with decimals",
         "1",
         "A4",
         {"100.5", "150.25"},
         {"12.7", "12.7", "0.5", "49.5"},
         true},
        {"a custom size, margins as long as its shorter side",
         "1",
         "A4",
         {"100", "150"},
         {"50", "50", "0", "0"},
         false},
    };
    for (const Case& c : cases) {
        DomainSettings::SetNamed("page:size:select", c.select);
        DomainSettings::SetNamed("page:type", c.type);
        DomainSettings::SetNamed("page:width", c.size[0]);
        DomainSettings::SetNamed("page:height", c.size[1]);
        const char* keys[] = {"page:top", "page:bottom", "page:left", "page:right"};
        for (size_t i = 0; i < 4; ++i) {
            DomainSettings::SetNamed(keys[i], c.margins[i]);
        }
        double limit = 0;
        const PageGeometry::Room room =
            DomainConvertPdfCreator::CheckRoom(JobSettings::Capture(), limit);
        EXPECT_EQ(room == PageGeometry::Room::kFits, c.fits) << c.label;
        DomainConvertZUZUR2AZE convert;
        ConvertJob job = home.Job(convert, {landscape, portrait});
        const int converted = convert.Run(job);
        if (c.fits) {
            EXPECT_EQ(converted, 2) << c.label;
        } else {
            EXPECT_LT(converted, 2) << c.label;
        }
    }
}

TEST(ConvertPassTest, BesideTheSourceWhenAsked) {
    Engine home;
    const wxString png = home.Image("a.png", "-size 20x20 xc:blue");
    DomainSettings::SetKeyed(DomainSettings::kSaveBesideSource, "1");
    DomainConvertZUZUR2AZE convert;
    ConvertJob job = home.Job(convert, {png});
    EXPECT_EQ(convert.Run(job), 1);
    EXPECT_TRUE(wxFileExists(home.Documents() + "/pictures/a.pdf"));
    EXPECT_FALSE(wxFileExists(home.output + "/a.pdf"));
}

TEST(ConvertPassTest, TwoImagesOfAJobThatMakeTheSamePdfDoNotReplaceEachOther) {
    Engine home;
    const wxString png = home.Image("holiday.png", "-size 30x20 xc:red");
    const wxString jpg = home.Image("holiday.jpg", "-size 20x30 xc:blue");
    TestHome::WriteFile(home.output + "/holiday.pdf", "a PDF from before the job");
    EventCollector collector;
    DomainConvertZUZUR2AZE convert;
    convert.SetTarget(&collector);
    ConvertJob job = home.Job(convert, {png, jpg});
    EXPECT_EQ(convert.Run(job), 1);
    // The first image makes the PDF, replacing the old one; the second fails and says why.
    const auto images = pdftest::ReadImages(std::string((home.output + "/holiday.pdf").utf8_str()));
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].width, 30) << "the PNG's page";
    bool told = false;
    for (const auto& cell : collector.Cells()) {
        if (cell.row == 1 && cell.state == State::kFailed) {
            told = cell.reason.find("holiday.png") != std::string::npos;
        }
        EXPECT_FALSE(cell.row == 1 && cell.percent == 100);
    }
    EXPECT_TRUE(told);
}

TEST(ConvertPassTest, MergingPutsEveryImageIntoOnePdfInRowOrder) {
    Engine home;
    const wxString wide = home.Image("wide.png", "-size 300x100 xc:green");
    const wxString tall = home.Image("tall.jpg", "-size 100x300 plasma:fractal");
    const wxString square = home.Image("square.bmp", "-size 150x150 xc:yellow");
    DomainSettings::SetKeyed(DomainSettings::kMerge, "1");
    DomainSettings::SetKeyed(DomainSettings::kMergeName, "Album 2024");

    EventCollector collector;
    DomainConvertZUZUR2AZE convert;
    convert.SetTarget(&collector);
    ConvertJob job = home.Job(convert, {tall, wide, square});
    EXPECT_EQ(convert.Run(job), 1);

    const std::string pdf = std::string((home.output + "/Album 2024.pdf").utf8_str());
    ASSERT_TRUE(pdftest::QpdfCheckPasses(pdf));
    const auto images = pdftest::ReadImages(pdf);
    ASSERT_EQ(images.size(), 3u);
    EXPECT_EQ(images[0].width, 100);
    EXPECT_EQ(images[1].width, 300);
    EXPECT_EQ(images[2].width, 150);

    const auto cells = collector.Cells();
    ASSERT_EQ(cells.size(), 6u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(cells[i].percent, 30) << "appended";
        EXPECT_EQ(cells[3 + i].percent, 100) << "written together";
    }
    EXPECT_TRUE(NoJobFoldersLeft());
}

TEST(ConvertPassTest, ServiceFailuresMarkTheRowFailed) {
    struct Case {
        const char* label;
        std::function<const PdfResult*(FakeService&)> answer;
        const char* reason;
    };
    const Case cases[] = {
        {"no result", [](FakeService&) -> const PdfResult* { return nullptr; }, "no result"},
        {"an error code",
         [](FakeService& fake) -> const PdfResult* {
             fake.result.errorCode = PDF_ERROR_CORRUPT;
             fake.result.reason = "broken JPEG: truncated";
             return &fake.result;
         },
         "broken JPEG: truncated"},
        {"a result naming a missing file",
         [](FakeService& fake) -> const PdfResult* {
             fake.result.path = "/nonexistent/result.pdf";
             return &fake.result;
         },
         "wrote no file"},
    };
    for (const Case& c : cases) {
        Engine home;
        const wxString a = home.Documents() + "/a.png";
        const wxString b = home.Documents() + "/b.png";
        EventCollector collector;
        FakeConvert convert;
        convert.answer = c.answer;
        convert.SetTarget(&collector);
        ConvertJob job = home.Job(convert, {a, b});
        EXPECT_EQ(convert.Run(job), 0) << c.label;
        EXPECT_EQ(convert.created, 2) << c.label;
        EXPECT_EQ(convert.freed, 2) << c.label;

        const auto cells = collector.Cells();
        ASSERT_EQ(cells.size(), 4u) << c.label;
        for (int row = 0; row < 2; ++row) {
            EXPECT_EQ(cells[2 * row].percent, 30) << c.label;
            EXPECT_EQ(cells[2 * row + 1].state, State::kFailed) << c.label;
            EXPECT_NE(cells[2 * row + 1].reason.find(c.reason), std::string::npos) << c.label;
        }
        const auto lines = home.LogLines();
        ASSERT_EQ(lines.size(), 2u) << c.label;
        EXPECT_EQ(lines[0].substr(lines[0].size() - 3), "[0]") << c.label << ": " << lines[0];
        EXPECT_NE(lines[0].find(c.reason), std::string::npos) << c.label;
        EXPECT_FALSE(wxFileExists(home.output + "/a.pdf")) << c.label;
    }
}

TEST(ConvertPassTest, AFileThatCannotBePutInPlaceFailsAndDoesNotCount) {
    Engine home;
    // A folder in the way of the output name: the move fails even for a privileged user.
    ASSERT_TRUE(wxDir::Make(home.output + "/a.pdf"));
    EventCollector collector;
    FakeConvert convert;
    const std::string temp = std::string(home.Documents().utf8_str());
    convert.answer = [&](FakeService& fake) { return WrittenResult(fake, temp); };
    convert.SetTarget(&collector);
    ConvertJob job = home.Job(convert, {home.Documents() + "/a.png", home.Documents() + "/b.png"});
    EXPECT_EQ(convert.Run(job), 1);
    const auto cells = collector.Cells();
    ASSERT_EQ(cells.size(), 4u);
    EXPECT_EQ(cells[1].state, State::kFailed);
    EXPECT_NE(cells[1].reason.find("cannot write"), std::string::npos) << cells[1].reason;
    EXPECT_EQ(cells[3].percent, 100);
    EXPECT_TRUE(wxFileExists(home.output + "/b.pdf"));
}

TEST(ConvertPassTest, OutputNamesOutsideTheFolderFail) {
    Engine home;
    EventCollector collector;
    FakeConvert convert;
    const std::string temp = std::string(home.Documents().utf8_str());
    convert.answer = [&](FakeService& fake) { return WrittenResult(fake, temp); };
    convert.SetTarget(&collector);
    ConvertJob job = home.Job(convert, {home.Documents() + "/a.png", home.Documents() + "/b.png",
                                        home.Documents() + "/c.png"});
    job[0][FileRowInfo::kOutputName] = "../escape";
    job[1][FileRowInfo::kOutputName] = "";
    EXPECT_EQ(convert.Run(job), 1);
    EXPECT_EQ(convert.created, 1) << "the service is not even asked";
    const auto cells = collector.Cells();
    EXPECT_EQ(cells[0].state, State::kFailed);
    EXPECT_EQ(cells[1].state, State::kFailed);
    EXPECT_FALSE(wxFileExists(home.Documents() + "/escape.pdf"));
    EXPECT_FALSE(wxFileExists(home.output + "/.pdf"));
    EXPECT_TRUE(wxFileExists(home.output + "/c.pdf"));
}

TEST(ConvertPassTest, AStopLetsTheFileInHandFinish) {
    Engine home;
    EventCollector collector;
    FakeConvert convert;
    const std::string temp = std::string(home.Documents().utf8_str());
    int call = 0;
    convert.answer = [&](FakeService& fake) {
        if (++call == 2) {
            convert.Stop(); // the user presses Stop while the second file converts
        }
        return WrittenResult(fake, temp);
    };
    convert.SetTarget(&collector);
    ConvertJob job = home.Job(convert, {home.Documents() + "/a.png", home.Documents() + "/b.png",
                                        home.Documents() + "/c.png"});
    EXPECT_EQ(convert.Run(job), 2);
    const auto cells = collector.Cells();
    ASSERT_EQ(cells.size(), 5u);
    EXPECT_EQ(cells[3].row, 1);
    EXPECT_EQ(cells[3].percent, 100);
    EXPECT_EQ(cells[4].row, 1);
    EXPECT_EQ(cells[4].state, State::kStopped);
    EXPECT_TRUE(wxFileExists(home.output + "/b.pdf"));
    EXPECT_FALSE(wxFileExists(home.output + "/c.pdf"));
}

TEST(ConvertPassTest, AFailedMergeFailsEveryRowAndCleansUp) {
    Engine home;
    DomainSettings::SetKeyed(DomainSettings::kMerge, "1");
    DomainSettings::SetKeyed(DomainSettings::kMergeName, "all");
    EventCollector collector;
    FakeConvert convert;
    convert.answer = [](FakeService& fake) -> const PdfResult* {
        fake.result.errorCode = PDF_ERROR_CORRUPT;
        fake.result.reason = "b.png: broken PNG";
        return &fake.result;
    };
    convert.SetTarget(&collector);
    convert.Stop(); // a merge runs to its end whatever a stop says
    ConvertJob job = home.Job(convert, {home.Documents() + "/a.png", home.Documents() + "/b.png"});
    EXPECT_EQ(convert.Run(job), 0);
    EXPECT_EQ(convert.freed, 1);
    const auto cells = collector.Cells();
    ASSERT_EQ(cells.size(), 4u);
    EXPECT_EQ(cells[2].state, State::kFailed);
    EXPECT_EQ(cells[3].state, State::kFailed);
    EXPECT_EQ(cells[3].reason, "b.png: broken PNG");
    EXPECT_FALSE(wxFileExists(home.output + "/all.pdf"));
    EXPECT_TRUE(NoJobFoldersLeft());
}

TEST(ConvertPassTest, APasswordThatCannotProtectAPdfFailsEveryRow) {
    Engine home;
    const wxString a = home.Image("a.png", "-size 20x20 xc:red");
    const wxString b = home.Image("b.png", "-size 20x20 xc:blue");
    // As the preference dialog would store it: a tab, which SASLprep prohibits.
    DomainSettings::SetNamed("page:permission:userpassword", "tab\tbed");
    for (const char* merge : {"0", "1"}) {
        SCOPED_TRACE(merge);
        DomainSettings::SetKeyed(DomainSettings::kMerge, merge);
        DomainSettings::SetKeyed(DomainSettings::kMergeName, "all");
        EventCollector collector;
        DomainConvertZUZUR2AZE convert;
        convert.SetTarget(&collector);
        ConvertJob job = home.Job(convert, {a, b});
        EXPECT_EQ(convert.Run(job), 0);
        int failed = 0;
        for (const EventCollector::Cell& cell : collector.Cells()) {
            if (cell.state == State::kFailed) {
                ++failed;
                EXPECT_EQ(cell.kind, ConvertFailure::Kind::kPassword);
                EXPECT_NE(cell.reason.find("may not hold"), std::string::npos) << cell.reason;
            }
        }
        EXPECT_EQ(failed, 2);
        EXPECT_FALSE(wxDir(home.output).HasFiles());
        EXPECT_TRUE(NoJobFoldersLeft());
    }
    DomainSettings::SetNamed("page:permission:userpassword", "");
}

TEST(ConvertPassTest, TwoJobsAtOnceDoNotDisturbEachOther) {
    Engine home;
    DomainSettings::SetKeyed(DomainSettings::kSaveBesideSource, "1");
    std::vector<wxString> first;
    std::vector<wxString> second;
    for (int i = 0; i < 4; ++i) {
        first.push_back(
            home.Image(wxString::Format("one/%d.png", i), "-size 300x300 plasma:fractal"));
        second.push_back(
            home.Image(wxString::Format("two/%d.jpg", i), "-size 300x300 plasma:fractal"));
    }
    DomainConvertZUZUR2AZE a;
    DomainConvertZUZUR2AZE b;
    ConvertJob jobA = home.Job(a, first);
    ConvertJob jobB = home.Job(b, second);
    int writtenA = 0;
    int writtenB = 0;
    std::thread threadA([&] { writtenA = a.Run(jobA); });
    std::thread threadB([&] { writtenB = b.Run(jobB); });
    threadA.join();
    threadB.join();
    EXPECT_EQ(writtenA, 4);
    EXPECT_EQ(writtenB, 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(wxFileExists(home.Documents() + wxString::Format("/pictures/one/%d.pdf", i)));
        EXPECT_TRUE(wxFileExists(home.Documents() + wxString::Format("/pictures/two/%d.pdf", i)));
    }
    EXPECT_TRUE(NoJobFoldersLeft());
}

TEST(ConvertWorkerTest, LogsBeginAndFinishAndReportsTheCount) {
    Engine home;
    EventCollector collector;
    FakeConvert convert;
    const std::string temp = std::string(home.Documents().utf8_str());
    convert.answer = [&](FakeService& fake) { return WrittenResult(fake, temp); };
    convert.SetTarget(&collector);
    auto job = std::make_unique<ConvertJob>(home.Job(convert, {home.Documents() + "/a.png"}));
    ASSERT_TRUE(TaskThread::StartTask(new TaskThread(new ConvertTask{&convert, std::move(job)},
                                                     ConvertWorker::ConvertWorkerProc)));
    for (int i = 0; i < 200 && collector.Finished().empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    ASSERT_EQ(collector.Finished(), std::vector<int>{1});
    const auto lines = home.LogLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "Begin [] [0]");
    EXPECT_EQ(lines[2], "Finish [] [0]");
}

TEST(ConvertWorkerTest, AJobKeepsTheSettingsItStartedWith) {
    Engine home;
    EventCollector collector;
    DomainConvertZUZUR2AZE convert;
    convert.SetTarget(&collector);
    const wxString a = home.Image("a.png", "-size 20x20 xc:red");
    const wxString b = home.Image("b.png", "-size 20x20 xc:blue");
    auto job = std::make_unique<ConvertJob>(home.Job(convert, {a, b}));
    auto* task = new ConvertTask{&convert, std::move(job)};

    // What the window changes after the start does not reach the job.
    const wxString elsewhere = home.Documents() + "/elsewhere";
    wxDir::Make(elsewhere);
    DomainSettings::SetKeyed(DomainSettings::kOutputDir, elsewhere);
    DomainSettings::SetKeyed(DomainSettings::kMerge, "1");
    DomainSettings::SetKeyed(DomainSettings::kMergeName, "merged");
    DomainSettings::SetNamed("page:size:select", "0");
    DomainSettings::SetNamed("page:type", "no such page");

    ASSERT_TRUE(TaskThread::StartTask(new TaskThread(task, ConvertWorker::ConvertWorkerProc)));
    for (int i = 0; i < 400 && collector.Finished().empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    ASSERT_EQ(collector.Finished(), std::vector<int>{2});
    EXPECT_TRUE(wxFileExists(home.output + "/a.pdf"));
    EXPECT_TRUE(wxFileExists(home.output + "/b.pdf"));
    EXPECT_FALSE(wxFileExists(elsewhere + "/merged.pdf"));
}

TEST(TaskThreadTest, RunsDetachedAndCallsItsHooks) {
    static std::atomic<int> started{0};
    static std::atomic<int> ended{0};
    started = 0;
    ended = 0;
    auto start = [](void*) { ++started; };
    auto end = [](void*) { ++ended; };
    // A thread without a body ends at once and still deletes itself (running its end hook).
    ASSERT_TRUE(TaskThread::StartTask(new TaskThread(nullptr, nullptr, start, end)));
    for (int i = 0; i < 200 && ended == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(started, 1);
    EXPECT_EQ(ended, 1);
}
