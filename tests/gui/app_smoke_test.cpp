// Starts the real application under the test display with a private home, waits for its
// window (and the message boxes it owes), asks it to close and checks that it wrote its
// settings and ended with 0.
#include "gui/top_level_windows.h"
#include "support/test_home.h"

#include <gtest/gtest.h>
#include <wx/datetime.h>
#include <wx/filefn.h>
#include <wx/filename.h>

#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;
namespace fs = std::filesystem;

namespace {
using namespace std::chrono_literals;

class RunningApp {
public:
    explicit RunningApp(const TestHome& home, std::vector<std::string> arguments = {}) {
        const fs::path stage = OMBRIX_STAGE_DIR;
        const fs::path root = std::string(home.InstallRoot().utf8_str());
        fs::copy(OMBRIX_APP_PATH, root / "bin", fs::copy_options::overwrite_existing);
        if (fs::exists(stage / "lib")) {
            fs::copy(stage / "lib", root / "lib", fs::copy_options::recursive);
        }
        m_program = (root / "bin" / fs::path(OMBRIX_APP_PATH).filename()).string();

        std::vector<std::string> env;
        for (char** e = environ; *e != nullptr; ++e) {
            const std::string entry = *e;
            if (entry.rfind("HOME=", 0) != 0 && entry.rfind("XDG_CONFIG_HOME=", 0) != 0) {
                env.push_back(entry);
            }
        }
        env.push_back(home.HomeEnv());
        env.push_back(home.ConfigHomeEnv());
        std::vector<char*> envp;
        for (std::string& entry : env) {
            envp.push_back(entry.data());
        }
        envp.push_back(nullptr);
        std::vector<char*> argv = {m_program.data()};
        for (std::string& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, m_program.c_str(), nullptr, nullptr, argv.data(), envp.data()) !=
            0) {
            m_pid = -1;
        }
    }

    ~RunningApp() {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }

    bool Started() const { return m_pid > 0; }
    pid_t Pid() const { return m_pid; }

    // Sends a termination request and returns the exit status, or -1 when the program did
    // not exit normally within the time allowed.
    int Close() {
        kill(m_pid, SIGTERM);
        return Wait();
    }

    // Waits for the program to end by itself; its exit status, or -1.
    int Wait() {
        for (auto waited = 0ms; waited < 20s; waited += 50ms) {
            int status = 0;
            if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(50ms);
        }
        return -1;
    }

private:
    std::string m_program;
    pid_t m_pid = -1;
};

// Checks the condition until it holds, for the given time at the most.
template <typename Condition>
bool WaitUntilFor(std::chrono::milliseconds limit, Condition condition) {
    for (auto waited = 0ms; waited < limit; waited += 50ms) {
        if (condition()) {
            return true;
        }
        std::this_thread::sleep_for(50ms);
    }
    return condition();
}

template <typename Condition> bool WaitUntil(Condition condition) {
    return WaitUntilFor(30s, condition);
}

// Today's log of the program in the home.
wxString FileUtilLogPath(const TestHome& home) {
    return home.UserData() + "/Log/" + wxDateTime::Now().Format("%Y%m%d") + ".log";
}

bool WaitForFiles(const std::vector<wxString>& paths) {
    return WaitUntil([&paths] {
        return std::all_of(paths.begin(), paths.end(),
                           [](const wxString& path) { return wxFileExists(path); });
    });
}

const char kTitle[] = "Ombrix Image to PDF Converter";

// The window of the program with the title and kind asked for, if it is up.
unsigned long FindWindow(TopLevelWindows& screen, pid_t pid, bool dialog) {
    for (const TopLevelWindows::Window& window : screen.ShownBy(pid)) {
        if (window.dialog == dialog && window.title == kTitle) {
            return window.id;
        }
    }
    return 0;
}

// A window of the program by its title, if it is up.
unsigned long FindTitled(TopLevelWindows& screen, pid_t pid, const std::string& title) {
    for (const TopLevelWindows::Window& window : screen.ShownBy(pid)) {
        if (window.title == title) {
            return window.id;
        }
    }
    return 0;
}

bool IsShown(TopLevelWindows& screen, pid_t pid, unsigned long id) {
    const std::vector<TopLevelWindows::Window> shown = screen.ShownBy(pid);
    return std::any_of(shown.begin(), shown.end(),
                       [id](const TopLevelWindows::Window& window) { return window.id == id; });
}
} // namespace

TEST(AppSmokeTest, StartsCreatesTheUserFilesAndWritesTheSettingsOnClose) {
    TestHome home;
    RunningApp app(home);
    ASSERT_TRUE(app.Started());
    const wxString config = home.UserData() + "/ZUZUR2AZE_OMBX.cfg";
    ASSERT_TRUE(
        WaitForFiles({config, home.UserData() + "/language.txt", home.UserData() + "/page.xml"}));
    TopLevelWindows screen;
    ASSERT_TRUE(screen.Connected());
    ASSERT_TRUE(WaitUntil([&] { return FindWindow(screen, app.Pid(), false) != 0; }))
        << "the main window";
    EXPECT_EQ(FindWindow(screen, app.Pid(), true), 0u) << "a message box on a sound installation";
    EXPECT_EQ(TestHome::ReadFile(config).find("Ombrix/Ombrix Image to PDF Converter"),
              std::string::npos);

    EXPECT_EQ(app.Close(), 0);
    const std::string written = TestHome::ReadFile(config);
    const std::string output =
        std::string((home.Documents() + "/Ombrix/Ombrix Image to PDF Converter").utf8_str());
    EXPECT_NE(written.find("<last-output-dir>" + output + "</last-output-dir>"), std::string::npos)
        << written;
    EXPECT_EQ(TestHome::ReadFile(home.UserData() + "/page.xml"),
              TestHome::ReadFile(home.InstallRoot() + "/page.xml"));
}

TEST(AppSmokeTest, DamagedInstallationFilesDoNotStopTheProgram) {
    TestHome home;
    TestHome::WriteFile(home.InstallRoot() + "/page.xml", "<setting version=\"1.0\"><page");
    wxRemoveFile(home.InstallRoot() + "/option.cfg");
    RunningApp app(home);
    ASSERT_TRUE(app.Started());
    ASSERT_TRUE(WaitForFiles({home.UserData() + "/page.xml"}));
    TopLevelWindows screen;
    ASSERT_TRUE(screen.Connected());
    // A message box for each damaged file, one after the other, over the main window.
    for (const char* file : {"option.cfg", "page.xml"}) {
        unsigned long box = 0;
        ASSERT_TRUE(WaitUntil([&] { return (box = FindWindow(screen, app.Pid(), true)) != 0; }))
            << "the message box about " << file;
        EXPECT_NE(FindWindow(screen, app.Pid(), false), 0u) << "the main window";
        screen.PressEscape(box);
        ASSERT_TRUE(WaitUntil([&] { return !IsShown(screen, app.Pid(), box); }))
            << "the message box about " << file << " stays up";
    }
    EXPECT_EQ(app.Close(), 0);
    EXPECT_NE(TestHome::ReadFile(home.UserData() + "/page.xml").find("<type name=\"A4\""),
              std::string::npos);
}

TEST(AppSmokeTest, ConvertsTheFilesOnItsCommandLineFromTheKeyboard) {
    TestHome home;
    const wxString pictures = home.Documents() + "/Ferien Ü";
    const wxString output = home.Documents() + "/PDF out";
    wxFileName::Mkdir(pictures, wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
    wxFileName::Mkdir(output, wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
    const std::string in = std::string(pictures.utf8_str());
    ASSERT_EQ(std::system(("convert -size 300x200 plasma:fractal '" + in +
                           "/beach.jpg' && "
                           "convert -size 200x300 gradient:red-blue '" +
                           in + "/sunset.png'")
                              .c_str()),
              0);
    // The settings file names the output folder, as a previous session left it.
    const wxString config = home.UserData() + "/ZUZUR2AZE_OMBX.cfg";
    TestHome::WriteFile(config, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<setting>\r\n"
                                "   <last-convert-dir></last-convert-dir>\r\n"
                                "   <last-output-dir>" +
                                    std::string(output.utf8_str()) +
                                    "</last-output-dir>\r\n</setting>\r\n");

    RunningApp app(home, {in + "/beach.jpg", in + "/sunset.png"});
    ASSERT_TRUE(app.Started());
    TopLevelWindows screen;
    ASSERT_TRUE(screen.Connected());
    unsigned long window = 0;
    ASSERT_TRUE(WaitUntil([&] { return (window = FindWindow(screen, app.Pid(), false)) != 0; }));
    const std::vector<wxString> pdfs = {output + "/beach.pdf", output + "/sunset.pdf"};
    // A click on the list's empty space brings the window to the keyboard, and Ctrl+Return
    // starts the conversion once the files are in the list: both again until the files
    // appear, as the window comes up and the list loads on their own.
    bool converted = false;
    for (int attempt = 0; attempt < 20 && !converted; ++attempt) {
        screen.ClickAt(window, 450, 400);
        screen.PressKey(window, XK_Return, true);
        converted =
            WaitUntilFor(2s, [&] { return wxFileExists(pdfs[0]) && wxFileExists(pdfs[1]); });
    }
    ASSERT_TRUE(converted);
    for (const wxString& pdf : pdfs) {
        EXPECT_EQ(
            std::system(("qpdf --check '" + std::string(pdf.utf8_str()) + "' >/dev/null").c_str()),
            0)
            << pdf;
    }
    // Ctrl+Q closes the window; the program ends by itself.
    screen.PressKey(window, XK_q, true);
    EXPECT_EQ(app.Wait(), 0);

    const std::string log = TestHome::ReadFile(FileUtilLogPath(home));
    EXPECT_NE(log.find(in + "/beach.jpg [" + std::string(pdfs[0].utf8_str()) + "] [1]"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find(in + "/sunset.png [" + std::string(pdfs[1].utf8_str()) + "] [1]"),
              std::string::npos)
        << log;
    EXPECT_NE(TestHome::ReadFile(config).find("<last-output-dir>" + std::string(output.utf8_str()) +
                                              "</last-output-dir>"),
              std::string::npos);
}

TEST(AppSmokeTest, TheWindowResizesMovesAndCentresItsDialogsWhereTheScreenHasIt) {
    // The window manager puts the program's window where it wants; the program must know
    // where that is, or its edges, its title bar and its dialogs act on the wrong place.
    TestHome home;
    RunningApp app(home);
    ASSERT_TRUE(app.Started());
    TopLevelWindows screen;
    ASSERT_TRUE(screen.Connected());
    unsigned long window = 0;
    ASSERT_TRUE(WaitUntil([&] { return (window = FindWindow(screen, app.Pid(), false)) != 0; }));
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    ASSERT_TRUE(WaitUntil([&] { return screen.Geometry(window, x, y, width, height) && x > 0; }));

    // The bottom edge near the right corner, dragged out in five steps: the edges end where
    // the button is released, also when a slow program (the sanitized build) is not given the
    // last motions before the release.
    screen.DragFrom(window, width - 14, height - 2, 100, 80);
    int nx = 0;
    int ny = 0;
    int nw = 0;
    int nh = 0;
    EXPECT_TRUE(WaitUntilFor(5s,
                             [&] {
                                 return screen.Geometry(window, nx, ny, nw, nh) &&
                                        nw == width + 100 && nh == height + 80;
                             }))
        << nw << "x" << nh;
    EXPECT_EQ(nx, x);
    EXPECT_EQ(ny, y);
    // The title bar, dragged: it too ends where the button is released.
    screen.DragFrom(window, 300, 15, -40, 40);
    EXPECT_TRUE(WaitUntilFor(5s,
                             [&] {
                                 return screen.Geometry(window, nx, ny, nw, nh) &&
                                        nx == x - 40 && ny == y + 40;
                             }))
        << nx << "," << ny;

    // Edit > Preference: the dialog opens over the middle of the window. A click that comes
    // while the window is still settling may not open the menu; a person clicks again.
    unsigned long dialog = 0;
    for (int attempt = 0; attempt < 5 && dialog == 0; ++attempt) {
        const size_t before = screen.ShownBy(app.Pid()).size();
        screen.ClickAt(window, 58, 52);
        if (!WaitUntilFor(2s, [&] { return screen.ShownBy(app.Pid()).size() > before; })) {
            continue;
        }
        screen.ClickAt(window, 112, 180);
        WaitUntilFor(2s,
                     [&] { return (dialog = FindTitled(screen, app.Pid(), "Preference")) != 0; });
    }
    ASSERT_NE(dialog, 0u);
    int dx = 0;
    int dy = 0;
    int dw = 0;
    int dh = 0;
    ASSERT_TRUE(screen.Geometry(dialog, dx, dy, dw, dh));
    ASSERT_TRUE(screen.Geometry(window, nx, ny, nw, nh));
    EXPECT_LE(std::abs((dx + dw / 2) - (nx + nw / 2)), 40) << dx << "," << dy;
    EXPECT_LE(std::abs((dy + dh / 2) - (ny + nh / 2)), 40) << dx << "," << dy;
    screen.PressEscape(dialog);
    EXPECT_TRUE(WaitUntil([&] { return !IsShown(screen, app.Pid(), dialog); }));
    EXPECT_EQ(app.Close(), 0);
}
