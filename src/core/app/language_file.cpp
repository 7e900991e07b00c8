#include "app/language_file.h"

#include "app/app_util.h"
#include "common/file_util.h"
#include "common/platform.h"
#include "pdf/file_ptr.h"

#include <wx/intl.h>
#include <wx/log.h>
#include <wx/translation.h>
#include <wx/uilocale.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <memory>
#include <string>

namespace {
struct LanguageEntry {
    int number;
    wxLanguage toolkit;
};

constexpr LanguageEntry kLanguages[] = {
    {LanguageFile::kChineseSimplified, wxLANGUAGE_CHINESE_SIMPLIFIED},
    {LanguageFile::kChineseTraditional, wxLANGUAGE_CHINESE_TRADITIONAL},
    {LanguageFile::kEnglish, wxLANGUAGE_ENGLISH},
    {LanguageFile::kFrench, wxLANGUAGE_FRENCH},
    {LanguageFile::kGerman, wxLANGUAGE_GERMAN},
    {LanguageFile::kItalian, wxLANGUAGE_ITALIAN},
    {LanguageFile::kJapanese, wxLANGUAGE_JAPANESE},
};
} // namespace

int LanguageFile::ParseNumber(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        value = std::min<long long>(value * 10 + (text[i] - '0'), INT_MAX);
    }
    return static_cast<int>(negative ? -value : value);
}

int LanguageFile::ReadLanguage() {
    const wxString path = AppUtil::GetLanguagePath();
    if (FileUtil::FileExists(path)) {
        if (FilePtr file{Platform::OpenFile(path, "rb")}) {
            char buffer[8];
            const size_t n = std::fread(buffer, 1, sizeof buffer, file.get());
            return ParseNumber(std::string(buffer, n));
        }
    }
    const int language = FromLocaleName(GetSystemLanguageName());
    WriteLanguage(language);
    return language;
}

void LanguageFile::WriteLanguage(int language) {
    FileUtil::WriteFileAtomically(AppUtil::GetLanguagePath(), std::to_string(language));
}

int LanguageFile::FromLocaleName(const wxString& name) {
    wxString normal = name;
    normal.Replace("-", "_");
    const wxString family = normal.BeforeFirst('_').Lower();
    if (family == "zh") {
        const bool traditional = normal.Contains("Hant") || normal.Contains("TW") ||
                                 normal.Contains("HK") || normal.Contains("MO");
        return traditional ? kChineseTraditional : kChineseSimplified;
    }
    for (const LanguageEntry& entry : kLanguages) {
        const wxLanguageInfo* offered = wxLocale::GetLanguageInfo(entry.toolkit);
        if (offered != nullptr && offered->CanonicalName.BeforeFirst('_') == family) {
            return entry.number;
        }
    }
    return kEnglish;
}

wxString LanguageFile::GetSystemLanguageName() {
    // The user's preferred interface languages first: the toolkit's system language is
    // unknown when the system lacks the locale.
    const wxVector<wxString> preferred = wxUILocale::GetPreferredUILanguages();
    if (!preferred.empty()) {
        return preferred[0];
    }
    const wxLanguageInfo* info = wxLocale::GetLanguageInfo(wxLocale::GetSystemLanguage());
    return info == nullptr ? wxString() : info->CanonicalName;
}

int LanguageFile::ToToolkitLanguage(int language) {
    for (const LanguageEntry& entry : kLanguages) {
        if (entry.number == language) {
            return entry.toolkit;
        }
    }
    return wxLANGUAGE_DEFAULT;
}

std::unique_ptr<wxLocale> LanguageFile::CreateLocale(int language) {
    // The toolkit warns when the system lacks the locale; the translations still apply,
    // so the user is not bothered with it.
    wxLogNull quiet;

    static wxString addedPrefix;
    const wxString catalogDir = AppUtil::GetCatalogDir();
    if (catalogDir != addedPrefix) {
        wxFileTranslationsLoader::AddCatalogLookupPathPrefix(catalogDir);
        addedPrefix = catalogDir;
    }

    const int toolkitLanguage = ToToolkitLanguage(language);
    auto locale = std::make_unique<wxLocale>();
    locale->Init(toolkitLanguage, wxLOCALE_LOAD_DEFAULT);

    // Whatever the system locale did, look texts up in this language's catalogues.
    wxTranslations* translations = wxTranslations::Get();
    if (translations == nullptr) {
        translations = new wxTranslations;
        wxTranslations::Set(translations);
    }
    if (toolkitLanguage != wxLANGUAGE_DEFAULT) {
        translations->SetLanguage(static_cast<wxLanguage>(toolkitLanguage));
    }
    translations->AddStdCatalog();
    translations->AddCatalog("language");
    return locale;
}
