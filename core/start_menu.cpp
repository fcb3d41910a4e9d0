#include "start_menu.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <utility>

#include "xdg_dirs.h"

namespace kestrel::core {

StartMenuFolderList StartMenuFolders(std::string_view home, const char* xdgDataHome,
                                     std::string_view userDirsText) {
    std::string desktop =
        UserDirFromText(userDirsText, "XDG_DESKTOP_DIR", home).value_or(XdgBaseDir(nullptr, home, "Desktop"));
    return {XdgBaseDir(xdgDataHome, home, ".local/share") + "/applications", "/usr/share/applications",
            std::move(desktop), "/usr/local/share/applications"};
}

StartMenuFolderList StartMenuFoldersFromEnvironment() {
    std::string userDirs;
    std::ifstream file(XdgConfigHomeFromEnvironment() + "/user-dirs.dirs", std::ios::binary);
    if (file)
        userDirs.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return StartMenuFolders(HomeFromEnvironment(), std::getenv("XDG_DATA_HOME"), userDirs);
}

std::string StartMenuPatternOf(const StartMenuFolderList& folders) {
    std::string pattern;
    for (const std::string& folder : folders) {
        std::string_view path = folder;
        while (path.size() > 1 && path.back() == '/')
            path.remove_suffix(1);
        pattern += path == "/" ? std::string_view() : path;
        pattern += "/*|";
    }
    for (char& c : pattern) {
        if (c == ' ')
            c = '<';
    }
    return pattern;
}

std::string BuildStartMenuPattern() {
    return StartMenuPatternOf(StartMenuFoldersFromEnvironment());
}

} // namespace kestrel::core
