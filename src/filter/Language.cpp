#include "Language.h"

#include "platform/Platform.h"

namespace filter {
namespace {

constexpr std::uint32_t kJapaneseCode = 0x4A50;  // "JP"
constexpr unsigned kJapaneseCodePage = 932;

const TextRow kTexts[] = {
    {0, "Stipplex", ""},
    {1, "Copyright (C) 2026 Tavro. All rights reserved.", ""},
};

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

}  // namespace

Language LanguageFrom(const char *commandLine, unsigned codePage)
{
    std::uint32_t code = 0;
    bool found = false;
    const char *p = commandLine ? commandLine : "";
    // The first character never starts an option.
    for (std::size_t i = 0; p[i] != '\0'; ++i) {
        if (p[i] == '"') {
            while (p[i + 1] != '\0' && p[i + 1] != '"') {
                ++i;
            }
            if (p[i + 1] == '"') {
                ++i;
            }
            continue;
        }
        if (p[i] != '-' || i == 0 || !IsBlank(p[i - 1])) {
            continue;
        }
        const char letter = p[i + 1];
        if (letter != 'L' && letter != 'l') {
            continue;
        }
        std::size_t j = i + 2;
        while (IsBlank(p[j])) {
            ++j;
        }
        code = 0;
        found = true;
        for (; p[j] != '\0' && !IsBlank(p[j]); ++j) {
            char c = p[j];
            if (c >= 'a' && c <= 'z') {
                c = static_cast<char>(c - 'a' + 'A');
            }
            // Of a longer code the last four characters remain.
            code = code * 256u + static_cast<unsigned char>(c);
        }
        i = j == 0 ? 0 : j - 1;
    }
    if (found && code != 0) {
        return code == kJapaneseCode ? Language::Japanese : Language::English;
    }
    return codePage == kJapaneseCodePage ? Language::Japanese : Language::English;
}

Language UiLanguage()
{
    static const Language language =
        LanguageFrom(platform::CommandLine().c_str(), platform::AnsiCodePage());
    return language;
}

const char *LookUpText(const TextRow *rows, int count, int id, Language language)
{
    for (int i = 0; i < count; ++i) {
        const TextRow &row = rows[i];
        if (row.id != id) {
            continue;
        }
        const bool hasJapanese = row.japanese && row.japanese[0] != '\0';
        if (language == Language::Japanese) {
            return hasJapanese ? row.japanese : (row.english ? row.english : "");
        }
        return hasJapanese && row.english ? row.english : "";
    }
    return "";
}

const char *LocalizedText(int id, Language language)
{
    return LookUpText(kTexts, static_cast<int>(sizeof kTexts / sizeof kTexts[0]), id, language);
}

}  // namespace filter
