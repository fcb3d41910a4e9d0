#include "store.h"

#include <cstdlib>
#include <fstream>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace kestrel::languages {
namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
        s.remove_suffix(1);
    }
    return s;
}

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') {
        return home;
    }
    struct passwd entry;
    struct passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->pw_dir != nullptr) {
        return found->pw_dir;
    }
    return "/";
}

} // namespace

std::string ConfigHome() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') {
        return xdg;
    }
    return HomeFolder() + "/.config";
}

std::optional<std::string> StoreFileFor(uint32_t root, std::string_view keyPath) {
    if (root != kHkeyCurrentUser) {
        return std::nullopt;
    }
    std::vector<std::string_view> parts;
    while (!keyPath.empty()) {
        const size_t end = keyPath.find_first_of("\\/");
        const std::string_view part = keyPath.substr(0, end);
        if (!part.empty()) {
            if (part == "." || part == "..") {
                return std::nullopt;
            }
            parts.push_back(part);
        }
        keyPath.remove_prefix(end == std::string_view::npos ? keyPath.size() : end + 1);
    }
    if (!parts.empty() && parts.front() == "Software") {
        parts.erase(parts.begin());
    }
    if (parts.size() < 2) {
        return std::nullopt;
    }
    std::string file = ConfigHome();
    for (size_t i = 0; i < parts.size(); ++i) {
        file += '/';
        file += parts[i];
    }
    return file + ".conf";
}

std::string ReadStoredLanguage(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::string line;
    bool inGeneral = false;
    while (std::getline(in, line)) {
        const std::string_view trimmed = Trim(line);
        if (trimmed.starts_with('[')) {
            inGeneral = trimmed == "[General]";
            continue;
        }
        if (!inGeneral) {
            continue;
        }
        const size_t equals = trimmed.find('=');
        if (equals == std::string_view::npos || Trim(trimmed.substr(0, equals)) != "Language") {
            continue;
        }
        std::string_view value = Trim(trimmed.substr(equals + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
            value = value.substr(1, value.size() - 2);
        }
        return std::string(value);
    }
    return {};
}

std::string MessagesLocale() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && value[0] != '\0') {
            return value;
        }
    }
    return {};
}

bool IsChineseLocale(std::string_view locale) {
    return locale.size() >= 2 && (locale[0] == 'z' || locale[0] == 'Z') &&
           (locale[1] == 'h' || locale[1] == 'H');
}

} // namespace kestrel::languages
