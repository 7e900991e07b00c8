// The themed controls driven by synthesised input under Xvfb.
#include "common/face_reader.h"
#include "common/image_util.h"
#include "dialog/about_dialog_base.h"
#include "dialog/xy_message_dialog.h"
#include "gui/gui_support.h"
#include "support/test_home.h"
#include "theme_gallery.h"
#include "window/base/cjx_observer.h"
#include "window/base/cjx_subject.h"
#include "window/base/dh_bitmap_button.h"
#include "window/base/dh_check_box.h"
#include "window/base/dh_push_button.h"
#include "window/base/dh_radio_button.h"
#include "window/base/dh_radio_group.h"
#include "window/base/dh_static_text.h"
#include "window/base/dh_window_move.h"
#include "window/base/dh_word_button.h"

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/eventfilter.h>
#include <wx/frame.h>
#include <wx/msgdlg.h>
#include <wx/panel.h>
#include <wx/testing.h>

#include <functional>
#include <memory>
#include <set>

namespace {
// A frame at a known place with a panel to put controls on; destroyed with the fixture.
class SkinTest : public testing::Test {
protected:
    void SetUp() override {
        LoadFace(m_home.InstallRoot() + "/Themes/face.xml");
        m_frame = new wxFrame(nullptr, wxID_ANY, "skin test", wxPoint(50, 50), wxSize(500, 300));
        m_panel = new wxPanel(m_frame);
        m_frame->Show();
        // A window manager places and focuses the frame after it is shown.
        WaitFor([this] { return m_frame->IsActive(); });
        Settle();
    }
    void TearDown() override {
        m_frame->Destroy();
        Settle();
    }

    DhWordButton* MakeWordButton() {
        auto* button = new DhWordButton;
        button->Create(m_panel, wxID_ANY, wxPoint(40, 40));
        button->SetStateBitmaps(ImageUtil::LoadThemeBitmap("image/base/big-normal.png"), 20, 20,
                                ImageUtil::LoadThemeBitmap("image/base/big-current.png"),
                                ImageUtil::LoadThemeBitmap("image/base/big-pressed.png"));
        button->SetTextY(12);
        button->SetForegroundColour(*wxWHITE);
        button->SetLabelAndFont("Start", m_frame->GetFont());
        return button;
    }

    DhBitmapButton* MakeBitmapButton() {
        m_images[0].reset(ImageUtil::LoadThemeBitmapPtr("image/base/close-normal.png"));
        m_images[1].reset(ImageUtil::LoadThemeBitmapPtr("image/base/close-current.png"));
        m_images[2].reset(ImageUtil::LoadThemeBitmapPtr("image/base/close-pressed.png"));
        auto* button = new DhBitmapButton(m_panel, wxID_ANY, wxPoint(40, 40), wxSize(28, 28));
        button->SetNormalBitmap(m_images[0].get())->SetPressedBitmap(m_images[2].get());
        button->SetCurrentBitmap(m_images[1].get());
        return button;
    }

    TestHome m_home;
    wxFrame* m_frame = nullptr;
    wxPanel* m_panel = nullptr;
    std::unique_ptr<wxBitmap> m_images[3];
};

// Runs the gesture and counts the clicks the button sends until it reaches its final state.
int CountClicks(DhPushButton* button, int finalState,
                const std::function<void(wxUIActionSimulator&)>& gesture) {
    int clicks = 0;
    const auto count = [&clicks](wxCommandEvent&) { ++clicks; };
    button->Bind(wxEVT_BUTTON, count);
    wxUIActionSimulator sim;
    gesture(sim);
    EXPECT_TRUE(WaitFor([&] { return button->GetState() == finalState; }))
        << "state " << button->GetState();
    // The toolkit finds a bound functor by its address, so only the same object unbinds it;
    // one left bound would count into a variable that is gone.
    EXPECT_TRUE(button->Unbind(wxEVT_BUTTON, count));
    return clicks;
}

// Notes the windows that are sent a paint event, whoever handles it.
class PaintWatch : public wxEventFilter {
public:
    PaintWatch() { wxEvtHandler::AddFilter(this); }
    ~PaintWatch() override { wxEvtHandler::RemoveFilter(this); }
    PaintWatch(const PaintWatch&) = delete;
    PaintWatch& operator=(const PaintWatch&) = delete;

    int FilterEvent(wxEvent& event) override {
        if (event.GetEventType() == wxEVT_PAINT) {
            m_painted.insert(event.GetEventObject());
        }
        return Event_Skip;
    }
    bool Painted(std::initializer_list<wxWindow*> windows) const {
        for (wxWindow* window : windows) {
            if (m_painted.count(window) == 0) {
                return false;
            }
        }
        return true;
    }

private:
    std::set<wxObject*> m_painted;
};
// Presses the button under the pointer and waits until it shows the press.
void PressOn(wxUIActionSimulator& sim, DhPushButton* button) {
    sim.MouseDown();
    EXPECT_TRUE(WaitFor([button] { return button->GetState() == DhPushButton::kPressed; }));
}
} // namespace

TEST_F(SkinTest, ButtonsClickOnlyOnAPressAndReleaseOverThem) {
    struct Gesture {
        const char* label;
        int clicks;
        int finalState;
        std::function<void(wxUIActionSimulator&, DhPushButton*)> run;
    };
    const wxPoint outside = At(m_panel, 400, 250);
    const Gesture gestures[] = {
        {"press and release over it", 1, DhPushButton::kReleased,
         [](wxUIActionSimulator& sim, DhPushButton* b) {
             MoveTo(sim, Centre(b));
             PressOn(sim, b);
             sim.MouseUp();
         }},
        {"press, leave, release outside", 0, DhPushButton::kLeft,
         [&](wxUIActionSimulator& sim, DhPushButton* b) {
             MoveTo(sim, Centre(b));
             PressOn(sim, b);
             MoveTo(sim, outside);
             sim.MouseUp();
         }},
        {"press, leave, come back, release", 0, DhPushButton::kCurrent,
         [&](wxUIActionSimulator& sim, DhPushButton* b) {
             MoveTo(sim, Centre(b));
             PressOn(sim, b);
             MoveTo(sim, outside);
             MoveTo(sim, Centre(b));
             sim.MouseUp();
         }},
        {"double click", 2, DhPushButton::kReleased,
         [](wxUIActionSimulator& sim, DhPushButton* b) {
             MoveTo(sim, Centre(b));
             sim.MouseDblClick();
         }},
    };
    for (int kind = 0; kind < 2; ++kind) {
        for (const Gesture& gesture : gestures) {
            DhPushButton* button =
                kind == 0 ? static_cast<DhPushButton*>(MakeWordButton()) : MakeBitmapButton();
            Settle();
            const int clicks =
                CountClicks(button, gesture.finalState,
                            [&](wxUIActionSimulator& sim) { gesture.run(sim, button); });
            EXPECT_EQ(clicks, gesture.clicks)
                << gesture.label << (kind == 0 ? " (text)" : " (image)");
            EXPECT_EQ(button->GetState(), gesture.finalState)
                << gesture.label << (kind == 0 ? " (text)" : " (image)");
            wxUIActionSimulator sim;
            MoveTo(sim, At(m_panel, 450, 280));
            button->Destroy();
        }
    }
}

TEST_F(SkinTest, DisabledButtonsStayGreyAndLabelsResizeThem) {
    DhWordButton* button = MakeWordButton();
    const wxPoint position = button->GetPosition();
    const int narrow = button->GetSize().x;
    button->Enable(false);
    EXPECT_EQ(button->GetState(), DhWordButton::kDisabled);
    wxUIActionSimulator sim;
    MoveTo(sim, Centre(button));
    MoveTo(sim, At(m_panel, 450, 280));
    EXPECT_EQ(button->GetState(), DhWordButton::kDisabled);
    button->Enable(true);
    EXPECT_EQ(button->GetState(), DhWordButton::kNormal);

    button->SetLabelAndFont("Start the conversion", m_frame->GetFont());
    EXPECT_GT(button->GetSize().x, narrow);
    EXPECT_EQ(button->GetSize().x, 20 + button->GetTextExtent("Start the conversion").x + 20);
    EXPECT_EQ(button->GetPosition(), position);
}

TEST_F(SkinTest, CheckBoxTogglesOnAReleaseAfterAPress) {
    auto* box = new DhCheckBox;
    box->Create(m_panel, wxID_ANY, wxPoint(40, 40));
    box->SetLabel("Merge into one file");
    std::vector<int> events;
    box->Bind(DH_EVT_CHECK_BOX,
              [&events](wxCommandEvent& event) { events.push_back(event.GetInt()); });
    Settle();
    wxUIActionSimulator sim;

    // Press, leave and release outside: nothing yet; the press is kept.
    MoveTo(sim, Centre(box));
    sim.MouseDown();
    Settle();
    MoveTo(sim, At(m_panel, 400, 250));
    sim.MouseUp();
    Settle();
    EXPECT_TRUE(events.empty());
    EXPECT_FALSE(box->GetValue());
    // A click over the box toggles it. (The toolkit hands the release to the pressed
    // window, so a press elsewhere never ends on the box.)
    PauseBetweenClicks();
    MoveTo(sim, Centre(box));
    sim.MouseClick();
    WaitFor([&events] { return !events.empty(); });
    EXPECT_EQ(events, std::vector<int>{1});
    EXPECT_TRUE(box->GetValue());

    // A double click toggles twice.
    events.clear();
    PauseBetweenClicks();
    sim.MouseDblClick();
    WaitFor([&events] { return events.size() >= 2; });
    EXPECT_EQ(events, (std::vector<int>{0, 1}));

    box->Enable(false);
    EXPECT_EQ(box->GetDisplayState(), DhCheckBox::kDisabledChecked);
    box->Enable(true);
    EXPECT_EQ(box->GetDisplayState(), DhCheckBox::kChecked);
}

TEST_F(SkinTest, RadioGroupSelectsOnlyWhenTheEventIsTaken) {
    DhRadioGroup group;
    const wxBitmap normal = ImageUtil::CreateRadioBitmap(m_panel, false);
    const wxBitmap selected = ImageUtil::CreateRadioBitmap(m_panel, true);
    std::vector<DhRadioButton*> buttons;
    for (int i = 0; i < 3; ++i) {
        auto* radio = new DhRadioButton;
        radio->Create(m_panel, 100 + i, normal, selected, wxNullBitmap, wxPoint(40 + 120 * i, 40));
        radio->SetLabel(wxString::Format("Choice %d", i), false);
        group.Add(radio);
        buttons.push_back(radio);
    }
    buttons[0]->SetValue(true);
    group.InitSelection();
    EXPECT_EQ(group.GetSelectedIndex(), 0);
    EXPECT_EQ(buttons[2]->GetIndex(), 2);
    EXPECT_EQ(group.FindById(101), buttons[1]);
    Settle();

    wxUIActionSimulator sim;
    // Nobody handles the event: nothing changes.
    MoveTo(sim, Centre(buttons[1]));
    sim.MouseClick();
    Settle();
    EXPECT_EQ(group.GetSelectedIndex(), 0);
    EXPECT_TRUE(buttons[0]->GetValue());

    std::vector<int> indexes;
    m_panel->Bind(DH_EVT_RADIO_BUTTON,
                  [&indexes](wxCommandEvent& event) { indexes.push_back(event.GetInt()); });
    PauseBetweenClicks();
    sim.MouseClick();
    WaitFor([&indexes] { return !indexes.empty(); });
    EXPECT_EQ(indexes, std::vector<int>{1});
    EXPECT_EQ(group.GetSelectedIndex(), 1);
    EXPECT_FALSE(buttons[0]->GetValue());
    EXPECT_TRUE(buttons[1]->GetValue());
    // Pressing the selected button again sends nothing.
    PauseBetweenClicks();
    sim.MouseClick();
    Settle();
    EXPECT_EQ(indexes.size(), 1u);
}

TEST_F(SkinTest, DraggingKeepsTheGrabbedPointUnderThePointer) {
    wxPoint offset;
    m_panel->Bind(wxEVT_LEFT_DOWN,
                  [&](wxMouseEvent& e) { DhWindowMove::BeginDrag(m_frame, m_panel, e, offset); });
    m_panel->Bind(wxEVT_MOTION,
                  [&](wxMouseEvent& e) { DhWindowMove::Drag(m_frame, m_panel, e, offset); });
    m_panel->Bind(wxEVT_LEFT_UP,
                  [&](wxMouseEvent&) { DhWindowMove::EndDrag(m_frame, m_panel, offset); });
    m_panel->Bind(wxEVT_MOUSE_CAPTURE_LOST, [](wxMouseCaptureLostEvent&) {});
    const wxPoint start = m_frame->GetPosition();
    const wxPoint grab = At(m_panel, 30, 20);
    wxUIActionSimulator sim;
    MoveTo(sim, grab);
    sim.MouseDown();
    Settle();
    for (int step = 1; step <= 4; ++step) {
        MoveTo(sim, grab + wxPoint(10 * step, 6 * step));
    }
    sim.MouseUp();
    WaitFor([&] { return m_frame->GetPosition() == start + wxPoint(40, 24); });
    EXPECT_EQ(m_frame->GetPosition(), start + wxPoint(40, 24));
    EXPECT_FALSE(m_panel->HasCapture());
}

namespace {
class Counter : public CjxObserver {
public:
    void OnSubjectChanged(CjxSubject* subject, void* argument) override {
        codes.push_back(subject->GetCode());
        if (argument != nullptr) {
            *static_cast<int*>(argument) = 1;
        }
    }
    std::vector<int> codes;
};
} // namespace

TEST(ObserverTest, AttachTwiceNotifiesTwiceAndDetachRemovesBoth) {
    CjxSubject subject;
    subject.Notify(); // nobody to tell
    Counter first;
    Counter second;
    subject.Attach(&first);
    subject.Attach(&second);
    subject.Attach(&first);
    subject.SetCode(28);
    int result = 0;
    subject.Notify(&result);
    EXPECT_EQ(first.codes, (std::vector<int>{28, 28}));
    EXPECT_EQ(second.codes, std::vector<int>{28});
    EXPECT_EQ(result, 1) << "an observer can veto through the result";
    subject.Detach(&first);
    subject.SetCode(29);
    subject.Notify();
    EXPECT_EQ(first.codes.size(), 2u);
    EXPECT_EQ(second.codes, (std::vector<int>{28, 29}));
}

namespace {
// Answers a message box with OK after checking its text.
class ExpectFaceMessage : public wxExpectModal<wxMessageDialog> {
public:
    ExpectFaceMessage() : wxExpectModal<wxMessageDialog>(wxID_OK) {}

protected:
    int OnInvoked(wxMessageDialog* dialog) const override {
        EXPECT_TRUE(
            dialog->GetMessage().StartsWith(" face config is wrong. x=5,y=5,width=10,height=10;"))
            << dialog->GetMessage();
        return wxExpectModal<wxMessageDialog>::OnInvoked(dialog);
    }
};
} // namespace

TEST_F(SkinTest, CropsOutsideTheImageAreReported) {
    wxImage image(10, 10);
    image.SetRGB(wxRect(0, 0, 10, 10), 200, 30, 30);
    const wxBitmap source(image);
    // Exactly to the edge: no message.
    wxBitmap exact;
    {
        wxTestingModalHook noDialog(__FILE__, __LINE__, __WXFUNCTION__);
        exact = ImageUtil::CropBitmap(source, 4, 4, 6, 6);
        noDialog.CheckUnmetExpectations();
    }
    EXPECT_EQ(exact.GetSize(), wxSize(6, 6));
    // One pixel more: the message, then what lies inside.
    wxBitmap beyond;
    wxTEST_DIALOG(beyond = ImageUtil::CropBitmap(source, 5, 5, 10, 10), ExpectFaceMessage());
    ASSERT_EQ(beyond.GetSize(), wxSize(10, 10));
    const wxImage result = beyond.ConvertToImage();
    EXPECT_EQ(result.GetRed(0, 0), 200);
    ASSERT_TRUE(result.HasAlpha());
    EXPECT_EQ(result.GetAlpha(9, 9), 0) << "outside the source stays transparent";

    // A missing archive entry is the null bitmap, without a message.
    EXPECT_FALSE(ImageUtil::LoadThemeBitmap("image/none.png").IsOk());
    EXPECT_EQ(ImageUtil::LoadThemeBitmapCut("image/none.png", 128), nullptr);
}

TEST_F(SkinTest, DialogsEndWithTheirButtons) {
    // The message dialog ends with the id of the pressed button.
    for (int id : {int(XyMessageDialog::kOk), int(XyMessageDialog::kCancel)}) {
        XyMessageDialog dialog(m_frame, wxID_ANY, nullptr, "A message", "Title");
        wxTheApp->CallAfter([&dialog, id] {
            wxCommandEvent click(wxEVT_BUTTON, id);
            dialog.FindWindow(id)->GetEventHandler()->ProcessEvent(click);
        });
        EXPECT_EQ(dialog.ShowModal(), id);
    }
    // The skinned dialog ends with 0 from its close, OK and wxID_CLOSE buttons.
    const wxBitmap background = ImageUtil::LoadThemeBitmap("image/base/background.png");
    ASSERT_TRUE(background.IsOk());
    for (int id : {int(AboutDialogBase::kCloseButton), int(wxID_OK), int(wxID_CLOSE)}) {
        AboutDialogBase dialog;
        ASSERT_TRUE(dialog.Create(&background, m_frame, wxID_ANY, "About", wxDefaultPosition,
                                  background.GetSize(), wxBORDER_NONE | wxFRAME_SHAPED));
        wxTheApp->CallAfter([&dialog, id] {
            wxCommandEvent click(wxEVT_BUTTON, id);
            dialog.GetEventHandler()->ProcessEvent(click);
        });
        EXPECT_EQ(dialog.ShowModal(), 0);
    }
}

TEST_F(SkinTest, TheGalleryLooksRight) {
    PaintWatch paints;
    // Nothing of the fixture's own may cover the gallery on the screen.
    m_frame->Hide();
    auto* gallery = new ThemeGallery;
    gallery->Show();
    gallery->Raise();
    // Every control looked at below has painted itself; the round trip of the wait then has
    // the server draw it before the screen is read.
    ASSERT_TRUE(WaitFor([&] {
        return paints.Painted({gallery->startNormal, gallery->startDisabled, gallery->titleText});
    }));
    Settle();
    const std::string shot = std::string((m_home.Root() + "/gallery.png").utf8_str());
    ASSERT_EQ(std::system(("import -window root '" + shot + "'").c_str()), 0);
    wxImage screen;
    ASSERT_TRUE(screen.LoadFile(wxString::FromUTF8(shot), wxBITMAP_TYPE_PNG));
    // Keep a copy for people to look at.
    screen.SaveFile(wxString(OMBRIX_BUILD_DIR) + "/gallery.png", wxBITMAP_TYPE_PNG);

    auto colourAt = [&](wxWindow* window, int x, int y) {
        const wxPoint p = window->ClientToScreen(wxPoint(x, y));
        return wxColour(screen.GetRed(p.x, p.y), screen.GetGreen(p.x, p.y),
                        screen.GetBlue(p.x, p.y));
    };
    auto distance = [](const wxColour& a, const wxColour& b) {
        return std::abs(a.Red() - b.Red()) + std::abs(a.Green() - b.Green()) +
               std::abs(a.Blue() - b.Blue());
    };
    // The disabled face is greyed: its colour differs from the normal face's.
    const wxColour normal =
        colourAt(gallery->startNormal, 6, gallery->startNormal->GetSize().y / 2);
    const wxColour disabled =
        colourAt(gallery->startDisabled, 6, gallery->startDisabled->GetSize().y / 2);
    EXPECT_GT(distance(normal, disabled), 60)
        << normal.GetAsString() << " vs " << disabled.GetAsString();
    const int spread = std::max({disabled.Red(), disabled.Green(), disabled.Blue()}) -
                       std::min({disabled.Red(), disabled.Green(), disabled.Blue()});
    EXPECT_LT(spread, std::max({normal.Red(), normal.Green(), normal.Blue()}) -
                          std::min({normal.Red(), normal.Green(), normal.Blue()}));

    // A transparent label shows the title band's gradient around its glyphs, and white glyphs.
    const wxImage background = ImageUtil::LoadThemeBitmap("image/screen1.png").ConvertToImage();
    DhStaticText* title = gallery->titleText;
    const wxPoint corner = title->GetPosition();
    const wxColour around = colourAt(title, 0, 0);
    const wxColour expected(background.GetRed(corner.x, corner.y),
                            background.GetGreen(corner.x, corner.y),
                            background.GetBlue(corner.x, corner.y));
    EXPECT_LE(distance(around, expected), 6)
        << around.GetAsString() << " vs " << expected.GetAsString();
    int white = 0;
    for (int x = 0; x < title->GetSize().x; ++x) {
        for (int y = 0; y < title->GetSize().y; ++y) {
            const wxColour c = colourAt(title, x, y);
            white += c.Red() > 230 && c.Green() > 230 && c.Blue() > 230 ? 1 : 0;
        }
    }
    EXPECT_GT(white, 40) << "the label's glyphs";
    gallery->Destroy();
}
