#include "common/face_reader.h"

#include "app/app_util.h"
#include "support/test_home.h"

#include <gtest/gtest.h>
#include <wx/filename.h>
#include <wx/filesys.h>
#include <wx/fs_arc.h>

#include <memory>

namespace {
void ExpectEntry(const char* path, int x, int y, int width, int height) {
    const FaceEntry& entry = GetFaceEntry(path);
    EXPECT_EQ(entry.x, x) << path;
    EXPECT_EQ(entry.y, y) << path;
    EXPECT_EQ(entry.width, width) << path;
    EXPECT_EQ(entry.height, height) << path;
}
} // namespace

TEST(FaceReaderTest, AttributesMapToTheFourValues) {
    TestHome home;
    const wxString face = home.Root() + "/face.xml";
    // Two attributes of other names both set the height: the last wins.
    TestHome::WriteFile(face, "<face>\n"
                              "  <a x=\"3\" width=\"7\"/>\n"
                              "  <b size=\"12\" colour=\"99\"/>\n"
                              "  <c y=\"-4\" height=\"abc\" x=\"12px\"/>\n"
                              "  <bare>\n"
                              "    <child x=\"1\" y=\"2\" width=\"3\" height=\"4\"/>\n"
                              "  </bare>\n"
                              "  <twice x=\"5\" y=\"6\"/>\n"
                              "  <twice width=\"8\"/>\n"
                              "</face>\n");
    ASSERT_EQ(LoadFace(face), 0);
    ExpectEntry("/face/a", 3, 0, 7, 0);
    ExpectEntry("/face/b", 0, 0, 0, 99);
    ExpectEntry("/face/c", 12, -4, 0, 0);
    ExpectEntry("/face/bare", 0, 0, 0, 0); // no attributes: not stored
    ExpectEntry("/face/bare/child", 1, 2, 3, 4);
    ExpectEntry("/face/twice", 0, 0, 8, 0); // replaced entirely, nothing inherited
    ExpectEntry("/face/undefined", 0, 0, 0, 0);
}

TEST(FaceReaderTest, LargeAndMalformedFiles) {
    TestHome home;
    // Larger than one 1024-byte chunk: elements cross chunk boundaries.
    std::string large = "<face>\n";
    for (int i = 0; i < 200; ++i) {
        large += "  <item" + std::to_string(i) + " x=\"" + std::to_string(i) + "\" height=\"" +
                 std::to_string(2 * i) + "\"/>\n";
    }
    large += "</face>\n";
    ASSERT_GT(large.size(), 4096u);
    TestHome::WriteFile(home.Root() + "/large.xml", large);
    ASSERT_EQ(LoadFace(home.Root() + "/large.xml"), 0);
    ExpectEntry("/face/item0", 0, 0, 0, 0);
    ExpectEntry("/face/item57", 57, 0, 0, 114);
    ExpectEntry("/face/item199", 199, 0, 0, 398);

    // An error keeps what came before it.
    TestHome::WriteFile(
        home.Root() + "/broken.xml",
        "<face>\n  <before x=\"1\"/>\n  <oops x=\"2\">\n  </wrong>\n  <after x=\"3\"/>\n</face>\n");
    EXPECT_EQ(LoadFace(home.Root() + "/broken.xml"), 0);
    ExpectEntry("/face/before", 1, 0, 0, 0);
    ExpectEntry("/face/after", 0, 0, 0, 0);

    EXPECT_EQ(LoadFace(home.Root() + "/missing.xml"), -1);
}

TEST(FaceReaderTest, TheShippedThemeDefinesEveryPathAndImage) {
    TestHome home;
    ASSERT_EQ(LoadFace(AppUtil::GetFacePath()), 0);
    // A path that the windows read must carry values (all-zero would mean "undefined").
    const char* paths[] = {
        "/face/titlebar",
        "/face/menubar",
        "/face/toolbar",
        "/face/outputwindow",
        "/face/selectwidow",
        "/face/titlebar/logo",
        "/face/titlebar/textcolour",
        "/face/titlebar/closebutton",
        "/face/menu/text-normal-colour",
        "/face/menu/text-current-colour",
        "/face/toolbar/layout",
        "/face/toolbar/font",
        "/face/toolbar/add-file-image",
        "/face/toolbar/add-file-image/textcolour",
        "/face/toolbar/add-file-image/offsety",
        "/face/toolbar/add-folder-image",
        "/face/toolbar/add-folder-image/textcolour",
        "/face/toolbar/add-folder-image/offsety",
        "/face/toolbar/delete-image",
        "/face/toolbar/delete-image/textcolour",
        "/face/toolbar/delete-image/offsety",
        "/face/toolbar/clear-all-image",
        "/face/toolbar/clear-all-image/textcolour",
        "/face/toolbar/clear-all-image/offsety",
        "/face/radiobar/textfont",
        "/face/radiobar/textcolor",
        "/face/outputwindow/output-description-font",
        "/face/outputwindow/start-font",
        "/face/outputwindow/start-button",
        "/face/outputwindow/textctrl",
        "/face/outputwindow/statictext",
        "/face/base-button/big-button-crop",
        "/face/base-button/big-button-crop/textcolour",
        "/face/base-button/small-button-crop",
        "/face/base-button/small-button-crop/textcolour",
        "/face/selectwidow/guide",
        "/face/selectwidow/guide/title-font",
        "/face/selectwidow/guide/content-font",
        "/face/selectwidow/guide/text-colour",
        "/face/selectwidow/guide/add-file-image",
        "/face/setting/page/title-font",
    };
    for (const char* path : paths) {
        const FaceEntry& e = GetFaceEntry(path);
        EXPECT_TRUE(e.x != 0 || e.y != 0 || e.width != 0 || e.height != 0) << path;
    }
    // The main window's bands follow each other down the background.
    EXPECT_EQ(GetFaceEntry("/face/menubar").y, GetFaceEntry("/face/titlebar").height);
    EXPECT_GE(GetFaceEntry("/face/toolbar").y,
              GetFaceEntry("/face/menubar").y + GetFaceEntry("/face/menubar").height);
    EXPECT_GE(GetFaceEntry("/face/selectwidow").y,
              GetFaceEntry("/face/toolbar").y + GetFaceEntry("/face/toolbar").height);

    wxFileSystem::AddHandler(new wxArchiveFSHandler);
    const char* images[] = {
        "image/screen1.png",           "image/base/background.png", "image/base/information.png",
        "application/application.png", "image/radiobar/add.png",
    };
    std::vector<std::string> names(std::begin(images), std::end(images));
    for (const char* stem :
         {"image/base/big", "image/base/small", "image/base/close", "image/titlebar/minimize",
          "image/toolbar/add-file", "image/toolbar/add-folder", "image/toolbar/delete",
          "image/toolbar/clear-all"}) {
        for (const char* state : {"-normal.png", "-current.png", "-pressed.png"}) {
            names.push_back(std::string(stem) + state);
        }
    }
    wxFileSystem files;
    const wxString archive =
        wxFileSystem::FileNameToURL(wxFileName(home.InstallRoot() + "/Themes/default.zip"));
    for (const std::string& name : names) {
        std::unique_ptr<wxFSFile> file(files.OpenFile(archive + "#zip:" + name));
        ASSERT_TRUE(file) << name;
        char signature[8] = {};
        file->GetStream()->Read(signature, 8);
        EXPECT_EQ(std::string(signature, 8), std::string("\x89PNG\r\n\x1A\n", 8)) << name;
    }
}
