#include "app/language_file.h"

#include "app/app_util.h"
#include "support/test_home.h"

#include <gtest/gtest.h>
#include <wx/intl.h>
#include <wx/log.h>
#include <wx/translation.h>

#include <cstdlib>

namespace {
// Sets the locale environment for the toolkit's system language detection.
class SystemLanguage {
public:
    explicit SystemLanguage(const char* locale) {
        unsetenv("LANGUAGE");
        unsetenv("LC_MESSAGES");
        setenv("LC_ALL", locale, 1);
    }
    ~SystemLanguage() { unsetenv("LC_ALL"); }
};

// Counts the warnings and errors logged while it exists.
class LogCounter : public wxLog {
public:
    LogCounter() : m_previous(wxLog::SetActiveTarget(this)) {}
    ~LogCounter() override { wxLog::SetActiveTarget(m_previous); }
    int count = 0;

protected:
    void DoLogRecord(wxLogLevel level, const wxString&, const wxLogRecordInfo&) override {
        if (level <= wxLOG_Warning) {
            ++count;
        }
    }

private:
    wxLog* m_previous;
};
} // namespace

TEST(LanguageFileTest, ReadsTheLeadingDigitsOfTheFile) {
    TestHome home;
    struct Case {
        const char* content;
        int language;
    };
    const Case cases[] = {
        {"80\n", 80}, {"112", 112}, {"46\r\n", 46}, {"french", 0}, {"", 0}, {"123456789", 12345678},
    };
    for (const Case& c : cases) {
        TestHome::WriteFile(AppUtil::GetLanguagePath(), c.content);
        EXPECT_EQ(LanguageFile::ReadLanguage(), c.language) << c.content;
    }
}

TEST(LanguageFileTest, WithoutAFileTheSystemLanguageIsUsedAndRemembered) {
    struct Case {
        const char* locale;
        int language;
        const char* stored;
    };
    const Case cases[] = {
        {"es_ES.UTF-8", 58, "58"},   {"zh_CN.UTF-8", 46, "46"}, {"zh_TW.UTF-8", 47, "47"},
        {"fr_FR.UTF-8", 80, "80"},   {"fr_CA.UTF-8", 80, "80"}, {"de_AT.UTF-8", 89, "89"},
        {"ja_JP.UTF-8", 112, "112"},
    };
    for (const Case& c : cases) {
        TestHome home;
        SystemLanguage system(c.locale);
        EXPECT_EQ(LanguageFile::ReadLanguage(), c.language) << c.locale;
        EXPECT_EQ(TestHome::ReadFile(AppUtil::GetLanguagePath()), c.stored) << c.locale;
    }
}

TEST(LanguageFileTest, WriteLanguageStoresThePlainNumber) {
    TestHome home;
    LanguageFile::WriteLanguage(110);
    EXPECT_EQ(TestHome::ReadFile(AppUtil::GetLanguagePath()), "110");
}

TEST(LanguageFileTest, TranslationsApplyWithoutTheSystemLocaleAndWithoutWarnings) {
    // The test machine has no French, German or Japanese system locale installed; the
    // catalogues of the installation must apply all the same.
    TestHome home;
    const char* key = "The page settings file \"%s\" is missing or damaged. Built-in page "
                      "settings are used.";
    struct Case {
        int language;
        const char* start;
    };
    const Case cases[] = {
        {LanguageFile::kFrench, "Le fichier"},   {LanguageFile::kGerman, "Die Datei"},
        {LanguageFile::kJapanese, "ページ設定"}, {LanguageFile::kChineseTraditional, "頁面設定"},
        {LanguageFile::kEnglish, "The page"},
    };
    for (const Case& c : cases) {
        LogCounter log;
        std::unique_ptr<wxLocale> locale = LanguageFile::CreateLocale(c.language);
        EXPECT_TRUE(wxGetTranslation(key).StartsWith(wxString::FromUTF8(c.start)))
            << c.language << ": " << wxGetTranslation(key);
        EXPECT_EQ(log.count, 0) << c.language;
    }
}
