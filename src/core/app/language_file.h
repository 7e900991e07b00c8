#pragma once

#include <wx/string.h>

#include <memory>

class wxLocale;

// The interface language, remembered in the user's "language.txt" as the language number
// of the seven offered languages (46, 47, 58, 80, 89, 110, 112), and the locale built from it.
class LanguageFile {
public:
    enum Language {
        kChineseSimplified = 46,
        kChineseTraditional = 47,
        kEnglish = 58,
        kFrench = 80,
        kGerman = 89,
        kItalian = 110,
        kJapanese = 112,
    };

    // The remembered language; without a language file, the system's language when it is
    // one of the offered ones, else English, which is then written to the file.
    static int ReadLanguage();
    static void WriteLanguage(int language);

    // The decimal number at the start of `text` (leading blanks and a sign allowed), 0 when
    // there is none.
    static int ParseNumber(const std::string& text);

    // The offered language that a locale name falls into ("fr_CA" is French, "zh-Hant" is
    // Traditional Chinese), else English.
    static int FromLocaleName(const wxString& name);
    // The name of the system's interface language ("fr_CA"); empty when unknown.
    static wxString GetSystemLanguageName();
    // The toolkit's language code of a stored number; the toolkit's default language for a
    // number that is not offered.
    static int ToToolkitLanguage(int language);

    // A locale for the language with the "language" catalogue of the install root loaded.
    // Translations apply even when the system lacks the locale; no warning is shown then.
    static std::unique_ptr<wxLocale> CreateLocale(int language);
};
