// The per-user folders of the XDG base directory and user directory conventions. The pure functions
// take the environment's values as arguments; the *FromEnvironment ones read the process environment
// and files. Qt-free.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kestrel::core {

// A base directory from its variable's value: the value when it is an absolute path, otherwise (unset,
// empty or relative, which the convention says to ignore) home + "/" + fallback.
std::string XdgBaseDir(const char* value, std::string_view home, std::string_view fallback);

// The folder named by `key` (for example "XDG_DESKTOP_DIR") in the text of a user-dirs.dirs file, or
// nothing when the key is absent or its value is neither "$HOME..." nor an absolute path. Lines read
// KEY="$HOME/Desktop"; a backslash quotes the next character; "#" starts a comment line.
std::optional<std::string> UserDirFromText(std::string_view userDirsText, std::string_view key,
                                           std::string_view home);

// The user's home folder: $HOME when absolute, otherwise the password database's entry.
std::string HomeFromEnvironment();

// $XDG_CONFIG_HOME, default ~/.config, and $XDG_DATA_HOME, default ~/.local/share.
std::string XdgConfigHomeFromEnvironment();
std::string XdgDataHomeFromEnvironment();

} // namespace kestrel::core
