#include "gui_test_support.h"

#include "shared_state.h"
#include "wait_for.h"

#include <QProcess>
#include <QWidget>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace kestrel::test {

namespace {

GuiTestFolders g_folders;

void RemoveBase() {
    std::error_code ec;
    if (!g_folders.base.empty())
        std::filesystem::remove_all(g_folders.base, ec);
}

} // namespace

void MakeFile(const std::string& path, size_t size) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << std::string(size, 'x');
}

const GuiTestFolders& PrepareGuiTestEnvironment() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && tmp[0] ? tmp : "/tmp") + "/kestrel-gui-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        std::abort();
    g_folders.base = pattern;
    std::atexit(RemoveBase);
    g_folders.tree = g_folders.base + "/tree";
    g_folders.applications = g_folders.tree + "/data/applications";
    g_folders.runtime = g_folders.base + "/runtime";
    for (const char* folder : {"/config", "/cache", "/runtime"})
        std::filesystem::create_directories(g_folders.base + folder);
    ::chmod(g_folders.runtime.c_str(), 0700);

    const std::string& t = g_folders.tree;
    MakeFile(t + "/docs/alpha-report.txt", 1536);
    MakeFile(t + "/docs/alpha-notes.odt");
    MakeFile(t + "/docs/beta-plan.txt");
    MakeFile(t + "/music/alpha-song.mp3", 10);
    MakeFile(t + "/music/alpha-live.wav", 20);
    MakeFile(t + "/music/alpha-tune.flac");
    MakeFile(t + "/music/beta-song.mp3");
    MakeFile(t + "/pics/alpha.png");
    const std::string launcher = "[Desktop Entry]\nType=Application\nName=x\nExec=true\n";
    for (const char* name : {"alpha-editor.desktop", "beta-viewer.desktop"}) {
        MakeFile(g_folders.applications + "/" + name);
        std::ofstream(g_folders.applications + "/" + name) << launcher;
    }
    MakeFile(g_folders.applications + "/alpha-readme.txt");

    ::setenv("KESTRELFIND_ROOTS", t.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (g_folders.base + "/config").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (g_folders.base + "/cache").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (t + "/data").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", g_folders.runtime.c_str(), 1);
    ::unsetenv("SYSTEMDRIVE");
    return g_folders;
}

const GuiTestFolders& Folders() {
    return g_folders;
}

bool Xdotool(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral("xdotool"), arguments);
    return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

bool ClickAt(QWidget* widget, const QRect& rect, bool doubleClick) {
    const QPoint at = widget->mapToGlobal(rect.center());
    QStringList arguments{QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
                          QStringLiteral("click")};
    if (doubleClick)
        arguments << QStringLiteral("--repeat") << QStringLiteral("2") << QStringLiteral("--delay")
                  << QStringLiteral("60");
    arguments << QStringLiteral("1");
    return Xdotool(arguments);
}

bool WaitForIndex(int timeoutMs) {
    return WaitFor([] { return core::IndexReady.load(); }, timeoutMs);
}

} // namespace kestrel::test
