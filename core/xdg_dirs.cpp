#include "xdg_dirs.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace kestrel::core {

std::string XdgBaseDir(const char* value, std::string_view home, std::string_view fallback) {
    if (value && value[0] == '/')
        return value;
    std::string dir(home);
    if (dir.empty() || dir.back() != '/')
        dir += '/';
    dir += fallback;
    return dir;
}

std::optional<std::string> UserDirFromText(std::string_view text, std::string_view key,
                                           std::string_view home) {
    std::optional<std::string> found;
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);

        size_t start = line.find_first_not_of(" \t");
        if (start == std::string_view::npos || line[start] == '#')
            continue;
        line.remove_prefix(start);
        if (line.substr(0, key.size()) != key)
            continue;
        line.remove_prefix(key.size());
        size_t eq = line.find_first_not_of(" \t");
        if (eq == std::string_view::npos || line[eq] != '=')
            continue;
        line.remove_prefix(eq + 1);
        size_t q = line.find_first_not_of(" \t");
        if (q == std::string_view::npos || line[q] != '"')
            continue;
        line.remove_prefix(q + 1);

        std::string value;
        bool closed = false;
        for (size_t i = 0; i < line.size(); ++i) {
            if (line[i] == '\\' && i + 1 < line.size()) {
                value += line[++i];
            } else if (line[i] == '"') {
                closed = true;
                break;
            } else {
                value += line[i];
            }
        }
        if (!closed)
            continue;
        if (value.rfind("$HOME", 0) == 0 && (value.size() == 5 || value[5] == '/'))
            found = std::string(home) + value.substr(5);
        else if (!value.empty() && value[0] == '/')
            found = value;
        // A later line for the same key wins, as when the file is sourced by a shell.
    }
    return found;
}

std::string HomeFromEnvironment() {
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/')
        return home;
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
    passwd entry{};
    passwd* result = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &result) == 0 && result && result->pw_dir)
        return result->pw_dir;
    return "/";
}

std::string XdgConfigHomeFromEnvironment() {
    return XdgBaseDir(std::getenv("XDG_CONFIG_HOME"), HomeFromEnvironment(), ".config");
}

std::string XdgDataHomeFromEnvironment() {
    return XdgBaseDir(std::getenv("XDG_DATA_HOME"), HomeFromEnvironment(), ".local/share");
}

} // namespace kestrel::core
