// The installed languages and the one in use. Not thread-safe: the exports guard it with a mutex.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace kestrel::languages {

inline constexpr std::string_view kBaseLanguage = "en";
inline constexpr std::string_view kChineseLanguage = "zh-CN";

struct Language {
    std::string code; // the file name without ".lang"
    std::string name; // the display name; the code when the file names none
    std::map<std::string, std::string> texts;
};

class Catalogue {
public:
    // Reads every "<code>.lang" file of folder, ordered by code. A file that cannot be read, is larger
    // than 1 MiB or has a code other than letters, digits, "-" and "_" is left out; each such file and
    // each skipped line adds one message to problems, as does a language that lacks texts of the base
    // language (those are answered in the base language).
    static Catalogue Load(const std::string& folder, std::vector<std::string>& problems);

    // True when folder holds at least one "*.lang" file.
    static bool HasLanguageFiles(const std::string& folder);

    const std::vector<Language>& Languages() const { return m_languages; }
    bool Empty() const { return m_languages.empty(); }

    // Makes storedCode the current language when it is installed; otherwise Simplified Chinese for a
    // Chinese locale, else the base language, else the first installed one.
    void Choose(std::string_view storedCode, std::string_view locale);

    const std::string& CurrentCode() const { return m_current; }

    // The text of id in the current language, else in the base language; nullptr when neither has it.
    const std::string* Find(std::string_view id) const;

    // "code=name" lines joined by "\n", in order.
    std::string ListText() const;

private:
    const Language* ByCode(std::string_view code) const;

    std::vector<Language> m_languages;
    std::string m_current;
};

} // namespace kestrel::languages
