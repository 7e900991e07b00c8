#pragma once

#include "app/app_util.h"
#include "common/face_reader.h"
#include "domain/domain_config.h"
#include "domain/domain_convert_zuzur2aze.h"
#include "domain/domain_settings.h"
#include "support/test_home.h"
#include "window/base/cjx_observer.h"
#include "window/base/cjx_subject.h"
#include "window/main_frame_zuzur2aze.h"
#include "window/select_window.h"

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/dialog.h>
#include <wx/filename.h>
#include <wx/image.h>
#include <wx/modalhook.h>
#include <wx/msgdlg.h>
#include <wx/timer.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// Runs the event loop until the condition holds or the time is up; returns the condition.
inline bool WaitFor(const std::function<bool()>& condition, int seconds = 20) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        wxTheApp->ProcessPendingEvents();
        wxTheApp->Yield(true);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// Answers every message box of its lifetime with the next of the given answers (OK when
// they run out) and keeps their texts; other dialogs run as they would for a user.
class MessageRecorder : public wxModalDialogHook {
public:
    explicit MessageRecorder(std::vector<int> answers = {}) : m_answers(std::move(answers)) {
        Register();
    }
    ~MessageRecorder() override { Unregister(); }

    std::vector<wxString> messages;

protected:
    int Enter(wxDialog* dialog) override {
        auto* box = dynamic_cast<wxMessageDialog*>(dialog);
        if (box == nullptr) {
            return wxID_NONE;
        }
        messages.push_back(box->GetMessage());
        if (m_next < m_answers.size()) {
            return m_answers[m_next++];
        }
        return wxID_OK;
    }
    void Exit(wxDialog*) override {}

private:
    std::vector<int> m_answers;
    size_t m_next = 0;
};

// Answers the dialogs of one kind with what `answer` returns (after it looked at them or
// filled them in), for its lifetime; other dialogs run as they would for a user.
template <typename Dialog> class DialogAnswer : public wxModalDialogHook {
public:
    explicit DialogAnswer(std::function<int(Dialog*)> answer) : m_answer(std::move(answer)) {
        Register();
    }
    ~DialogAnswer() override { Unregister(); }
    int shown = 0;

protected:
    int Enter(wxDialog* dialog) override {
        if (auto* wanted = dynamic_cast<Dialog*>(dialog)) {
            ++shown;
            return m_answer(wanted);
        }
        return wxID_NONE;
    }
    void Exit(wxDialog*) override {}

private:
    std::function<int(Dialog*)> m_answer;
};

// Steps run one after another from a timer, so that they also run inside the loops of
// modal dialogs and popup menus. A wait step is tried at every tick until it holds; an action
// step runs once, from the event loop rather than from the timer, so that an action that
// opens a loop of its own (a menu, a dialog) does not hold up the steps after it.
class Script : public wxTimer {
public:
    struct Step {
        std::function<bool()> wait;
        std::function<void()> act;
    };
    static Step Wait(std::function<bool()> condition) { return {std::move(condition), {}}; }
    static Step Act(std::function<void()> action) { return {{}, std::move(action)}; }

    explicit Script(std::vector<Step> steps) : m_steps(std::move(steps)) { Start(20); }
    bool Done() const { return m_index >= m_steps.size(); }

    void Notify() override {
        while (!Done()) {
            Step& step = m_steps[m_index];
            if (step.wait) {
                if (!step.wait()) {
                    if (std::chrono::steady_clock::now() > m_waitingSince + kStepTimeout) {
                        // A step that never comes must not leave the test in a dialog's loop.
                        ADD_FAILURE() << "script step " << m_index << " never held";
                        Stop();
                        EndModalDialogs();
                    }
                    return;
                }
                ++m_index;
                m_waitingSince = std::chrono::steady_clock::now();
            } else {
                ++m_index;
                m_waitingSince = std::chrono::steady_clock::now();
                wxTheApp->CallAfter(step.act);
                return;
            }
        }
        Stop();
    }

private:
    static constexpr std::chrono::seconds kStepTimeout{20};

    static void EndModalDialogs() {
        for (wxWindow* top : wxTopLevelWindows) {
            if (auto* dialog = dynamic_cast<wxDialog*>(top); dialog && dialog->IsModal()) {
                dialog->EndModal(wxID_CANCEL);
            }
        }
    }

    std::vector<Step> m_steps;
    size_t m_index = 0;
    std::chrono::steady_clock::time_point m_waitingSince = std::chrono::steady_clock::now();
};

// Notes the codes a subject sends.
class CodeRecorder : public CjxObserver {
public:
    void OnSubjectChanged(CjxSubject* subject, void*) override {
        codes.push_back(subject->GetCode());
    }
    int Count(int code) const {
        int count = 0;
        for (int seen : codes) {
            count += seen == code ? 1 : 0;
        }
        return count;
    }
    std::vector<int> codes;
};

// The image converter whose PDF service does not start until the test opens the gate: a
// job is then surely running while the test stops it or closes the window.
class GatedConvert : public DomainConvertZUZUR2AZE {
public:
    void Open() {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }

protected:
    Pdf3Service* CreateService(const std::string& enginePath) override {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_open; });
        return DomainConvertZUZUR2AZE::CreateService(enginePath);
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = false;
};

// The main window in a private home, with an output folder; closing it ends nothing.
class TestFrame : public MainFrameZUZUR2AZE {
public:
    int endRequests = 0;

protected:
    void EndProcess() override { ++endRequests; }
};

class WindowTest : public testing::Test {
protected:
    void SetUp() override {
        LoadFace(m_home.InstallRoot() + "/Themes/face.xml");
        DomainConfig::SetInstance(new DomainConfig(AppUtil::GetConfigPath()));
        output = m_home.Documents() + "/PDFs";
        wxMkdir(output);
        DomainSettings::SetKeyed(DomainSettings::kOutputDir, output);
        frame = new TestFrame;
        ASSERT_TRUE(frame->Create(2000, AppUtil::GetDisplayName()));
        wxTheApp->SetTopWindow(frame);
        frame->Show();
        frame->Raise();
        list = frame->GetFileList();
        WaitFor([this] { return frame->IsShownOnScreen(); });
    }

    void TearDown() override {
        if (list != nullptr) {
            WaitFor([this] { return list->GetState() == SelectWindow::State::kIdle; });
        }
        frame->Destroy();
        wxTheApp->SetTopWindow(nullptr);
        WaitFor([] { return wxTopLevelWindows.empty(); }, 5);
        delete DomainConfig::GetInstance();
        DomainConfig::SetInstance(nullptr);
    }

    // A small PNG image in the documents folder.
    wxString Image(const wxString& name, int width = 40, int height = 30) {
        const wxString path = m_home.Documents() + "/" + name;
        wxFileName::Mkdir(wxFileName(path).GetPath(), wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
        wxImage image(width, height);
        image.SetRGB(wxRect(0, 0, width, height), 200, 80, 40);
        image.SaveFile(path, wxBITMAP_TYPE_PNG);
        return path;
    }

    static wxArrayString Paths(std::initializer_list<wxString> paths) {
        wxArrayString list;
        for (const wxString& path : paths) {
            list.Add(path);
        }
        return list;
    }

    // Loads the paths as the command line does and waits for the list to settle.
    void Load(const wxArrayString& paths) {
        list->AddPaths(paths, SelectWindow::Origin::kCommandLine);
        ASSERT_TRUE(WaitFor([this] { return list->GetState() == SelectWindow::State::kIdle; }));
    }

    bool WaitIdle() {
        return WaitFor([this] { return list->GetState() == SelectWindow::State::kIdle; });
    }

    TestHome m_home;
    // A converter a test may give the list instead of the window's own; it outlives the window.
    GatedConvert gated;
    wxString output;
    TestFrame* frame = nullptr;
    SelectWindow* list = nullptr;
};
