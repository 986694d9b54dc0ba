// The user-interface language and the texts that exist in two languages.
#pragma once

#include <cstdint>

namespace filter {

enum class Language { Japanese = 1, English = 2 };

// The language a command line and an ANSI code page choose: option L with a
// code ("-L jp", "-ljp"; "JP" means Japanese, any other code English), else
// Japanese for code page 932 and English otherwise.
Language LanguageFrom(const char *commandLine, unsigned codePage);

// The language of this process, decided once at first use from the real
// command line and code page.
Language UiLanguage();

// Text of a table row in a language: the Japanese text (or the English one
// when the Japanese is missing) for Japanese; the English text for English,
// but only where the row also has a Japanese text. Unknown ids give "".
const char *LocalizedText(int id, Language language);
inline const char *LocalizedText(int id)
{
    return LocalizedText(id, UiLanguage());
}

// One row of a two-language text table.
struct TextRow {
    int id;
    const char *japanese;
    const char *english;
};

// The lookup rule above over any table (the options dialog has its own).
const char *LookUpText(const TextRow *rows, int count, int id, Language language);

}  // namespace filter
