#include "catalogue.h"

#include "language_file.h"
#include "store.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace kestrel::languages {
namespace {

constexpr std::uintmax_t kMaxFileSize = 1 << 20;
constexpr std::string_view kExtension = ".lang";

bool IsLanguageCode(std::string_view code) {
    if (code.empty() || code.size() > 32) {
        return false;
    }
    return std::all_of(code.begin(), code.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
               c == '_';
    });
}

std::vector<std::filesystem::path> LanguageFiles(const std::string& folder) {
    std::vector<std::filesystem::path> files;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.size() > kExtension.size() && name.ends_with(kExtension)) {
            files.push_back(it->path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace

bool Catalogue::HasLanguageFiles(const std::string& folder) {
    return !LanguageFiles(folder).empty();
}

Catalogue Catalogue::Load(const std::string& folder, std::vector<std::string>& problems) {
    Catalogue catalogue;
    for (const auto& path : LanguageFiles(folder)) {
        const std::string shown = path.string();
        const std::string fileName = path.filename().string();
        const std::string code = fileName.substr(0, fileName.size() - kExtension.size());
        if (!IsLanguageCode(code)) {
            problems.push_back(shown + ": \"" + code + "\" is not a language code; file left out");
            continue;
        }
        std::error_code error;
        const auto size = std::filesystem::file_size(path, error);
        if (error || size > kMaxFileSize) {
            problems.push_back(
                shown + (error ? ": cannot be read (" + error.message() + ")" : ": larger than 1 MiB") +
                "; file left out");
            continue;
        }
        std::ifstream in(path, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (in.bad() || !in.is_open()) {
            problems.push_back(shown + ": cannot be read; file left out");
            continue;
        }
        LanguageFile parsed = ParseLanguageFile(bytes, shown);
        problems.insert(problems.end(), parsed.problems.begin(), parsed.problems.end());
        catalogue.m_languages.push_back(
            Language{code, parsed.name.empty() ? code : parsed.name, std::move(parsed.texts)});
    }
    if (const Language* base = catalogue.ByCode(kBaseLanguage)) {
        for (const auto& language : catalogue.m_languages) {
            const auto missing =
                std::count_if(base->texts.begin(), base->texts.end(),
                              [&](const auto& entry) { return !language.texts.contains(entry.first); });
            if (missing > 0) {
                problems.push_back(folder + "/" + language.code + std::string(kExtension) + ": missing " +
                                   std::to_string(missing) +
                                   " of the English texts; those are shown in English");
            }
        }
    }
    return catalogue;
}

const Language* Catalogue::ByCode(std::string_view code) const {
    for (const auto& language : m_languages) {
        if (language.code == code) {
            return &language;
        }
    }
    return nullptr;
}

void Catalogue::Choose(std::string_view storedCode, std::string_view locale) {
    if (!storedCode.empty() && ByCode(storedCode) != nullptr) {
        m_current = storedCode;
    } else if (IsChineseLocale(locale) && ByCode(kChineseLanguage) != nullptr) {
        m_current = kChineseLanguage;
    } else if (ByCode(kBaseLanguage) != nullptr) {
        m_current = kBaseLanguage;
    } else {
        m_current = m_languages.empty() ? std::string() : m_languages.front().code;
    }
}

const std::string* Catalogue::Find(std::string_view id) const {
    for (const Language* language : {ByCode(m_current), ByCode(kBaseLanguage)}) {
        if (language != nullptr) {
            const auto it = language->texts.find(std::string(id));
            if (it != language->texts.end()) {
                return &it->second;
            }
        }
    }
    return nullptr;
}

std::string Catalogue::ListText() const {
    std::string list;
    for (const auto& language : m_languages) {
        if (!list.empty()) {
            list += '\n';
        }
        list += language.code + "=" + language.name;
    }
    return list;
}

} // namespace kestrel::languages
