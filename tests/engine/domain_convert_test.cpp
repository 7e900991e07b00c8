// Rows, folders, product answers and page options of the conversion objects.
#include "domain/domain_convert_zuzur2aze.h"

#include "domain/domain_page.h"
#include "domain/domain_settings.h"
#include "domain/output_name.h"
#include "engine_test_support.h"
#include "support/test_home.h"

#include <gtest/gtest.h>
#include <wx/dir.h>

#include <sys/stat.h>

TEST(DomainConvertTest, RowsCarryTheCellsOfTheList) {
    TestHome home;
    const wxString folder = home.Documents() + "/Fotos Ü";
    TestHome::WriteFile(folder + "/photo.JPG", std::string(2048, 'x'));
    TestHome::WriteFile(folder + "/empty.png", "");
    DomainSettings::SetKeyed(DomainSettings::kOutputType, "0");

    DomainConvertZUZUR2AZE convert;
    wxArrayString paths;
    for (const wxString& path :
         {folder + "/photo.JPG", wxString(), folder + "/empty.png", folder + "/gone.gif"}) {
        paths.Add(path);
    }
    std::unique_ptr<FileRowArray> rows(convert.BuildRowsFromPaths(paths));
    ASSERT_EQ(rows->size(), 3u);

    const FileRowInfo& photo = (*rows)[0];
    const wxString expected[] = {"photo.JPG",           "2.0KB", "0", "photo", "Not Converted",
                                 folder + "/photo.JPG", folder,  "0"};
    ASSERT_EQ(photo.cells.size(), 8u);
    for (size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(photo.cells[i], expected[i]) << i;
    }
    EXPECT_FALSE(photo.flagged);
    EXPECT_EQ(photo.size, 2048u);

    EXPECT_TRUE((*rows)[1].flagged) << "an empty file is flagged";
    EXPECT_TRUE((*rows)[2].flagged) << "a missing file reads as empty";
    EXPECT_EQ((*rows)[2].cells[FileRowInfo::kSize], "0.0B");

    std::unique_ptr<FileRowArray> none(convert.BuildRowsFromPaths(wxArrayString()));
    EXPECT_TRUE(none->empty());
}

TEST(DomainConvertTest, AddFilesAndAddFolderSendTheirRows) {
    TestHome home;
    const wxString folder = home.Documents() + "/scans";
    for (const char* name : {"scan10.jpg", "scan2.jpg", "scan1.JPG", "cover.png", "notes.txt",
                             "sub/inner.jpg", "b.jpeg", "a.tiff"}) {
        TestHome::WriteFile(folder + "/" + name, "data");
    }
    ASSERT_TRUE(wxDir::Make(home.Documents() + "/empty"));
    // A pipe named like an image is no file to convert: listing it would block the job.
    ASSERT_EQ(mkfifo((folder + "/pipe.jpg").utf8_str(), 0600), 0);

    EventCollector collector;
    DomainConvertZUZUR2AZE convert;
    convert.SetTarget(&collector);
    convert.AddFolder(folder);
    convert.AddFolder(home.Documents() + "/empty");
    convert.AddFiles(wxArrayString());

    auto loaded = collector.TakeLoaded();
    ASSERT_EQ(loaded.size(), 3u);
    ASSERT_EQ(loaded[0].first, 1);
    std::vector<wxString> names;
    for (const FileRowInfo& row : *loaded[0].second) {
        names.push_back(row.cells[FileRowInfo::kFileName]);
    }
    // One file-manager order over every type.
    const std::vector<wxString> expected = {"a.tiff",    "b.jpeg",    "cover.png",
                                            "scan1.JPG", "scan2.jpg", "scan10.jpg"};
    EXPECT_EQ(names, expected);
    EXPECT_EQ(loaded[1].first, 0) << "a folder without images";
    EXPECT_EQ(loaded[1].second, nullptr);
    EXPECT_EQ(loaded[2].first, 0) << "an empty list loads nothing";
}

TEST(DomainConvertTest, ProductAnswers) {
    DomainConvert base;
    DomainConvertZUZUR2AZE product;
    EXPECT_TRUE(base.IsSupportedExt("epub"));
    EXPECT_FALSE(base.IsSupportedExt("EPUB"));
    EXPECT_FALSE(base.IsSupportedExt("pub"));
    EXPECT_TRUE(product.IsSupportedExt("tiff"));
    EXPECT_TRUE(product.IsSupportedExt("jpeg"));
    for (const char* extension : {"webp", "jp2", "j2k", "jpx", "heic", "heif", "avif", "jxl"}) {
        EXPECT_TRUE(product.IsSupportedExt(extension)) << extension;
        EXPECT_TRUE(product.GetWildcards().Index(wxString("*.") + extension) != wxNOT_FOUND)
            << extension;
        EXPECT_TRUE(
            product.GetFileFilter().Contains(wxString("*.") + wxString(extension).Upper() + ";"))
            << extension;
        EXPECT_EQ(product.GetSourceType(wxString("photo.") + extension), 0) << extension;
    }
    EXPECT_FALSE(product.IsSupportedExt("JPG"));
    EXPECT_FALSE(product.IsSupportedExt("pdf"));
    EXPECT_EQ(product.GetOutputExt(), ".pdf");
    EXPECT_TRUE(product.GetFileFilter().StartsWith(
        "Image files|*.JPG;*.JPEG;*.PNG;*.TIF;*.TIFF;*.BMP;*.GIF;"));
    EXPECT_EQ(product.GetWildcards().size(), 15u);

    struct Case {
        const char* path;
        int type;
    };
    const Case cases[] = {
        {"/a/b.JPG", 0},  {"/a/b.tiff", 0}, {"c.gif", 0},    {"notes.txt", 1},
        {"page.HTML", 2}, {"help.chm", 4},  {"book.prc", 5}, {"b.epub", 6},
        {"d.docx", 7},    {"x.pdf", -1},    {"noext", -1},   {"http://example.com/page.html", 3},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(product.GetSourceType(c.path), c.type) << c.path;
    }
}

TEST(DomainConvertTest, PageOptionsComeFromThePageSettings) {
    TestHome home;
    ASSERT_TRUE(DomainPage().Load());
    DomainSettings::SetNamed("page:type", "Letter");
    DomainSettings::SetNamed("page:width", "100.5");
    DomainSettings::SetNamed("page:height", "abc");
    DomainSettings::SetNamed("page:top", "5");
    DomainSettings::SetNamed("page:bottom", "6");
    DomainSettings::SetNamed("page:left", "7");
    DomainSettings::SetNamed("page:right", "8");
    DomainSettings::SetNamed("page:author", "Zoë");
    DomainSettings::SetNamed("page:permission:userpassword", "u");
    DomainSettings::SetNamed("page:permission:print", "0");

    struct Case {
        const char* select;
        const char* pageType; // null: width and height apply
        float width;
        float height;
    };
    const Case cases[] = {{"0", "Letter", 0, 0}, {"1", nullptr, 100.5f, 0}, {"2", "A4", 0, 0}};
    for (const Case& c : cases) {
        DomainSettings::SetNamed("page:size:select", c.select);
        DomainConvertPdfCreator::PageOptions options;
        EXPECT_FALSE(DomainConvertPdfCreator::FillPageOptions(options, JobSettings::Capture(),
                                                              "/templates/", "My Album"));
        if (c.pageType == nullptr) {
            EXPECT_EQ(options.record.pageType, nullptr) << c.select;
        } else {
            EXPECT_STREQ(options.record.pageType, c.pageType) << c.select;
        }
        EXPECT_FLOAT_EQ(options.record.width, c.width) << c.select;
        EXPECT_FLOAT_EQ(options.record.height, c.height) << c.select;
        EXPECT_FLOAT_EQ(options.record.top, 5);
        EXPECT_FLOAT_EQ(options.record.bottom, 6);
        EXPECT_FLOAT_EQ(options.record.left, 7);
        EXPECT_FLOAT_EQ(options.record.right, 8);
        EXPECT_STREQ(options.record.title, "My Album");
        EXPECT_STREQ(options.record.author, "Zoë");
        EXPECT_STREQ(options.record.templateDir, "/templates/");
        ASSERT_NE(options.record.security, nullptr);
        EXPECT_STREQ(options.record.security->userPassword, "u");
        EXPECT_STREQ(options.record.security->ownerPassword, "");
        EXPECT_EQ(options.record.security->allowCopy, 1);
        EXPECT_EQ(options.record.security->allowPrint, 0);
    }

    // The service's C text would end at a NUL: "" or "ab" would protect the PDF instead.
    for (const wxString& password :
         {wxString(wxUniChar(0)) + "ab", "ab" + wxString(wxUniChar(0))}) {
        DomainSettings::SetNamed("page:permission:ownerpassword", password);
        DomainConvertPdfCreator::PageOptions options;
        const ConvertFailure failure = DomainConvertPdfCreator::FillPageOptions(
            options, JobSettings::Capture(), "/templates/", "My Album");
        EXPECT_EQ(failure.kind, ConvertFailure::Kind::kPassword);
        EXPECT_EQ(failure.reason, "the owner password holds a NUL character");
    }
    DomainSettings::SetNamed("page:permission:ownerpassword", "");
}

TEST(DomainConvertTest, OutputNamesThatLeaveTheFolderAreRefused) {
    for (const char* name : {"", "  ", "a/b", "..", ".", " .. ", "..\\x", "/etc/passwd"}) {
        EXPECT_FALSE(OutputName::CheckSafe(wxString::FromUTF8(name)).empty()) << name;
    }
    for (const char* name : {"photo", "Reise 2024", "a.b", "..a", "照片", "10:30"}) {
        EXPECT_TRUE(OutputName::CheckSafe(wxString::FromUTF8(name)).empty()) << name;
    }
}

TEST(DomainConvertTest, TypedOutputNamesAreCheckedWhole) {
    // The names a user types, in the window or on the converter's command line.
    struct Case {
        const char* name;
        bool ok;
    };
    const Case cases[] = {
        {"Album", true},        {"Reise 2024 – Teil 1", true},
        {"  padded  ", true},   {"", false},
        {"   ", false},         {"a/b", false},
        {"a\\b", false},        {"x|y", false},
        {"what?", false},       {"..", false},
        {"line\nbreak", false}, {"tab\there", false},
        {"\"quoted\"", false},  {"a:b*?", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(OutputName::CheckTyped(wxString::FromUTF8(c.name)).empty(), c.ok) << c.name;
    }
    // 251 bytes and ".pdf" fill a file name; one more does not fit.
    EXPECT_TRUE(OutputName::CheckTyped(wxString(251, 'a')).empty());
    EXPECT_FALSE(OutputName::CheckTyped(wxString(252, 'a')).empty());
    EXPECT_FALSE(OutputName::CheckTyped(wxString::FromUTF8("ü") + wxString(250, 'a')).empty());
}
