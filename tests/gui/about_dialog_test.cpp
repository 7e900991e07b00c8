// The about dialog's content and its opening.
#include "dialog/about_dialog.h"

#include "app/app_util.h"
#include "common/face_reader.h"
#include "common/image_util.h"
#include "domain/domain_settings.h"
#include "gui/dialog_test_support.h"
#include "support/test_home.h"
#include "window/base/dh_hyperlink_ctrl.h"
#include "window/base/dh_static_bitmap.h"
#include "window/base/dh_static_text.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {
class AboutDialogTest : public testing::Test {
protected:
    void SetUp() override {
        LoadFace(m_home.InstallRoot() + "/Themes/face.xml");
        m_background.reset(ImageUtil::LoadThemeBitmapPtr("image/base/background.png"));
        ASSERT_TRUE(m_background->IsOk());
    }

    std::unique_ptr<AboutDialog> Make() {
        auto dialog = std::make_unique<AboutDialog>();
        EXPECT_TRUE(dialog->Create(m_background.get(), nullptr, wxID_ANY, "About",
                                   wxDefaultPosition, m_background->GetSize(),
                                   wxBORDER_NONE | wxFRAME_SHAPED));
        return dialog;
    }

    template <typename T> static std::vector<T*> Children(wxWindow* dialog) {
        std::vector<T*> found;
        for (wxWindow* child : dialog->GetChildren()) {
            if (auto* control = dynamic_cast<T*>(child)) {
                found.push_back(control);
            }
        }
        return found;
    }

    TestHome m_home;
    std::unique_ptr<wxBitmap> m_background;
};
} // namespace

TEST_F(AboutDialogTest, EverythingIsCentred) {
    DomainSettings::SetNamed("url:product", "https://www.ombrix.com/image-to-pdf/");
    auto dialog = Make();
    const int width = dialog->GetSize().x;

    const auto images = Children<DhStaticBitmap>(dialog.get());
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0]->GetPosition(), wxPoint((width - 80) / 2, 36));
    EXPECT_EQ(images[0]->GetBitmap().GetSize(), wxSize(80, 80));

    const auto texts = Children<DhStaticText>(dialog.get());
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0]->GetLabel(), "Ombrix Image to PDF Converter " OMBRIX_PROJECT_VERSION);
    EXPECT_TRUE(texts[1]->GetLabel().Contains(AppUtil::GetBuildYear()));
    EXPECT_TRUE(texts[1]->GetLabel().Contains("Ombrix"));
    const int rows[] = {120, 150};
    for (size_t i = 0; i < texts.size(); ++i) {
        const int textWidth = texts[i]->GetTextExtent(texts[i]->GetLabel()).x;
        EXPECT_EQ(texts[i]->GetPosition(), wxPoint((width - textWidth) / 2, rows[i]))
            << texts[i]->GetLabel();
        EXPECT_EQ(texts[i]->GetForegroundColour(), *wxBLACK);
    }

    const auto links = Children<DhHyperLinkCtrl>(dialog.get());
    ASSERT_EQ(links.size(), 1u);
    EXPECT_EQ(links[0]->GetLabel(), "https://www.ombrix.com/image-to-pdf/");
    EXPECT_EQ(links[0]->GetURL(), "https://www.ombrix.com/image-to-pdf/");
    EXPECT_TRUE(links[0]->GetFont().GetUnderlined());
    EXPECT_EQ(links[0]->GetPosition(), wxPoint((width - links[0]->GetSize().x) / 2, 190));
}

TEST_F(AboutDialogTest, NoProductLinkShowsNoLink) {
    DomainSettings::SetNamed("url:product", "");
    auto dialog = Make();
    EXPECT_TRUE(Children<DhHyperLinkCtrl>(dialog.get()).empty());
    EXPECT_EQ(Children<DhStaticText>(dialog.get()).size(), 2u);
}

TEST_F(AboutDialogTest, OpenShowsItModallyUntilOk) {
    bool shown = false;
    wxTheApp->CallAfter([&shown] {
        for (wxWindow* window : wxTopLevelWindows) {
            auto* dialog = dynamic_cast<AboutDialog*>(window);
            if (dialog != nullptr && dialog->IsModal()) {
                shown = dialog->GetTitle() == "About";
                Click(dialog->FindWindow(wxID_OK), wxEVT_BUTTON);
                return;
            }
        }
    });
    AboutDialog::Open();
    EXPECT_TRUE(shown);
}
