#include "start_menu.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

namespace kestrel::core {
namespace {

TEST(StartMenuFolders, FourFoldersInOrderWithTheirDefaults) {
    struct Case {
        const char* xdgDataHome;
        std::string userDirs;
        std::string userApps;
        std::string desktop;
    };
    const Case cases[] = {
        {nullptr, "", "/home/u/.local/share/applications", "/home/u/Desktop"},
        {"", "", "/home/u/.local/share/applications", "/home/u/Desktop"},
        {"relative/data", "", "/home/u/.local/share/applications", "/home/u/Desktop"},
        {"/data", "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n", "/data/applications", "/home/u/Schreibtisch"},
        {nullptr, "# comment\nXDG_DOWNLOAD_DIR=\"$HOME/dl\"\n  XDG_DESKTOP_DIR = \"/srv/desk\"  \n", "",
         "/srv/desk"},
        {nullptr, "#XDG_DESKTOP_DIR=\"/commented\"\n", "", "/home/u/Desktop"},
        {nullptr, "XDG_DESKTOP_DIR=\"$HOMEX/d\"\n", "", "/home/u/Desktop"}, // not $HOME
        {nullptr, "XDG_DESKTOP_DIR=\"relative\"\n", "", "/home/u/Desktop"}, // neither form
        {nullptr, "XDG_DESKTOP_DIR=\"$HOME/open\n", "", "/home/u/Desktop"}, // no closing quote
        {nullptr, "XDG_DESKTOP_DIRS=\"/other\"\n", "", "/home/u/Desktop"},  // another key
        {nullptr, "XDG_DESKTOP_DIR=\"$HOME/a \\\"q\\\" \\$x\"", "", "/home/u/a \"q\" $x"},
        {nullptr, "XDG_DESKTOP_DIR=\"/first\"\nXDG_DESKTOP_DIR=\"/second\"\n", "", "/second"},
        {nullptr, "XDG_DESKTOP_DIR=\"$HOME\"\n", "", "/home/u"},
    };
    for (const Case& c : cases) {
        StartMenuFolderList folders = StartMenuFolders("/home/u", c.xdgDataHome, c.userDirs);
        if (!c.userApps.empty()) {
            EXPECT_EQ(folders[0], c.userApps) << c.userDirs;
        }
        EXPECT_EQ(folders[1], "/usr/share/applications");
        EXPECT_EQ(folders[2], c.desktop) << c.userDirs;
        EXPECT_EQ(folders[3], "/usr/local/share/applications");
    }
}

TEST(StartMenuPatternOf, EachFolderEndsInStarBarAndBlanksBecomeAngles) {
    struct Case {
        StartMenuFolderList folders;
        std::string pattern;
    };
    const Case cases[] = {
        {{"/home/u/.local/share/applications", "/usr/share/applications", "/home/u/Desktop",
          "/usr/local/share/applications"},
         "/home/u/.local/share/applications/*|/usr/share/applications/*|/home/u/Desktop/*|"
         "/usr/local/share/applications/*|"},
        {{"/home/Ann Lee/apps", "/a", "/home/Ann Lee/My  Desk/", "/b"},
         "/home/Ann<Lee/apps/*|/a/*|/home/Ann<Lee/My<<Desk/*|/b/*|"},
        {{"/same", "/same", "/same//", "/"}, "/same/*|/same/*|/same/*|/*|"},
        {{"", "/x", "/x", "/x"}, "/*|/x/*|/x/*|/x/*|"},
    };
    for (const Case& c : cases) {
        std::string pattern = StartMenuPatternOf(c.folders);
        EXPECT_EQ(pattern, c.pattern);
        EXPECT_EQ(std::count(pattern.begin(), pattern.end(), '|'), 4);
        EXPECT_EQ(pattern.find(' '), std::string::npos);
    }
}

class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : m_name(name) {
        if (const char* old = std::getenv(name))
            m_old = old;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (m_old)
            setenv(m_name, m_old->c_str(), 1);
        else
            unsetenv(m_name);
    }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

TEST(BuildStartMenuPattern, ReadsTheEnvironmentAndTheUserDirsFile) {
    auto dir = std::filesystem::temp_directory_path() / ("kestrel-startmenu-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir / "config");
    { std::ofstream(dir / "config" / "user-dirs.dirs") << "XDG_DESKTOP_DIR=\"$HOME/Bureau de travail\"\n"; }
    {
        ScopedEnv home("HOME", (dir / "home").string());
        ScopedEnv config("XDG_CONFIG_HOME", (dir / "config").string());
        ScopedEnv data("XDG_DATA_HOME", (dir / "my data").string());
        const std::string d = dir.string();
        EXPECT_EQ(BuildStartMenuPattern(),
                  StartMenuPatternOf({d + "/my data/applications", "/usr/share/applications",
                                      d + "/home/Bureau de travail", "/usr/local/share/applications"}));
        EXPECT_NE(BuildStartMenuPattern().find("/my<data/applications/*|"), std::string::npos);

        // No user-dirs.dirs: the desktop is ~/Desktop.
        std::filesystem::remove(dir / "config" / "user-dirs.dirs");
        EXPECT_EQ(StartMenuFoldersFromEnvironment()[2], d + "/home/Desktop");
    }
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace kestrel::core
