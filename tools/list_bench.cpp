// Developer tool for bench/file-list.sh: opens the main window in a private home, loads a
// folder of images through the list's real load path (the worker, the files-loaded event and
// the rows added to the grid), and prints how long it took until every row was shown, how
// much memory the rows take, and how long the list takes to scroll through page by page.
//   list-bench FOLDER
#include "app/app_util.h"
#include "app/main_app.h"
#include "common/platform.h"
#include "common/face_reader.h"
#include "domain/domain_config.h"
#include "window/main_frame_zuzur2aze.h"
#include "window/select_window.h"
#include "window/xy_grid.h"

#include <wx/app.h>
#include <wx/filesys.h>
#include <wx/fs_arc.h>
#include <wx/image.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

namespace {
using Clock = std::chrono::steady_clock;

// The process's resident memory and its peak, in kilobytes.
std::pair<long, long> Memory() {
    std::ifstream status("/proc/self/status");
    std::string line;
    long rss = 0;
    long peak = 0;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            rss = std::stol(line.substr(6));
        } else if (line.rfind("VmHWM:", 0) == 0) {
            peak = std::stol(line.substr(6));
        }
    }
    return {rss, peak};
}

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// The application object of the product, started without its own start-up.
class BenchApp : public MainApp {
public:
    bool OnInit() override {
        if (argc < 2) {
            std::fprintf(stderr, "usage: list-bench FOLDER\n");
            return false;
        }
        AppUtil::SetExecutablePath(wxString(OMBRIX_STAGE_DIR) + "/bin/list-bench");
        wxFileSystem::AddHandler(new wxArchiveFSHandler);
        wxInitAllImageHandlers();
        LoadFace(AppUtil::GetFacePath());
        DomainConfig::SetInstance(new DomainConfig(AppUtil::GetConfigPath()));
        m_frame = new MainFrameZUZUR2AZE;
        m_frame->Create(2000, AppUtil::GetDisplayName());
        SetTopWindow(m_frame);
        m_frame->Show();
        m_folder = argv[1];
        CallAfter(&BenchApp::Run);
        return true;
    }

private:
    void Pump() {
        ProcessPendingEvents();
        Yield(true);
    }

    void Run() {
        SelectWindow* list = m_frame->GetFileList();
        XyGrid* grid = list->GetGrid();
        const long before = Memory().first;
        const Clock::time_point start = Clock::now();
        list->AddPaths(wxArrayString(1, &m_folder), SelectWindow::Origin::kCommandLine);
        while (list->GetState() != SelectWindow::State::kIdle) {
            Pump();
        }
        grid->Update(); // the first page painted
        const double shown = Seconds(start);
        const auto [rss, peak] = Memory();

        // Scrolling: each page made visible and painted.
        const int rows = list->GetRowCount();
        const int perPage = std::max(1, grid->GetGridWindow()->GetClientSize().y / 30);
        const Clock::time_point scrollStart = Clock::now();
        int pages = 0;
        for (int row = 0; row < rows; row += perPage * std::max(1, rows / (perPage * 200))) {
            grid->MakeCellVisible(row, 0);
            grid->Update();
            Pump();
            ++pages;
        }
        const double scrolled = Seconds(scrollStart);
        std::printf("rows %d shown %.3f s memory %.1f MB (peak %.1f MB, before load %.1f MB) "
                    "scroll %.2f ms per page (%d pages)\n",
                    rows, shown, (rss - before) / 1024.0, peak / 1024.0, before / 1024.0,
                    scrolled * 1000 / std::max(1, pages), pages);
        std::fflush(stdout);
        delete DomainConfig::GetInstance();
        DomainConfig::SetInstance(nullptr);
        std::_Exit(0);
    }

    MainFrameZUZUR2AZE* m_frame = nullptr;
    wxString m_folder;
};
} // namespace

int main(int argc, char** argv) {
    Platform::UseUtf8Locale();
    wxApp::SetInstance(new BenchApp);
    return wxEntry(argc, argv);
}
