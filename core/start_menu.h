// The fixed engine pattern of the Shortcuts category (UnitFunction): every item inside the four
// folders that hold the user's and the system's launchers and the user's desktop. Qt-free.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace kestrel::core {

// The four folders, in this order: the user's applications folder ($XDG_DATA_HOME/applications), the
// system's (/usr/share/applications), the user's desktop folder (XDG_DESKTOP_DIR of user-dirs.dirs,
// default ~/Desktop), the locally installed applications (/usr/local/share/applications).
using StartMenuFolderList = std::array<std::string, 4>;

// The four folders from the values of the environment: the home folder, $XDG_DATA_HOME (null when
// unset) and the text of $XDG_CONFIG_HOME/user-dirs.dirs (empty when there is none).
StartMenuFolderList StartMenuFolders(std::string_view home, const char* xdgDataHome,
                                     std::string_view userDirsText);

// The four folders of this process's user: reads the environment and the user-dirs.dirs file.
StartMenuFolderList StartMenuFoldersFromEnvironment();

// The pattern of four folders: each folder (without a trailing "/") followed by "/*|", then every
// blank replaced by "<". Always four alternatives and a trailing "|", even when folders repeat.
std::string StartMenuPatternOf(const StartMenuFolderList& folders);

// The pattern for this process's user (the value of StartMenuPattern, UTF-8 bytes).
std::string BuildStartMenuPattern();

} // namespace kestrel::core
