// What the window tests share: a real folder tree the engine indexes (KESTRELFIND_ROOTS), private
// XDG folders, waiting on conditions, and real input through xdotool on the X display that make check
// provides (xvfb-run). Each test is a process of its own (ctest), so each gets a fresh tree and engine.
#pragma once

#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>

#include <string>

class QWidget;

namespace kestrel::test {

// The folders of this process, made by PrepareGuiTestEnvironment.
struct GuiTestFolders {
    std::string base;         // removed at exit
    std::string tree;         // KESTRELFIND_ROOTS
    std::string applications; // $XDG_DATA_HOME/applications, inside the tree
    std::string runtime;      // XDG_RUNTIME_DIR
};

// Makes the tree and the XDG folders and points the environment at them. Call before anything
// reads the environment (before the QApplication). The tree holds:
//   docs/alpha-report.txt (1536 bytes), docs/alpha-notes.odt, docs/beta-plan.txt,
//   music/alpha-song.mp3, music/alpha-live.wav, music/alpha-tune.flac, music/beta-song.mp3,
//   pics/alpha.png, data/applications/alpha-editor.desktop, data/applications/beta-viewer.desktop,
//   data/applications/alpha-readme.txt
const GuiTestFolders& PrepareGuiTestEnvironment();
const GuiTestFolders& Folders();

// Writes a file of size bytes (making its folders).
void MakeFile(const std::string& path, size_t size = 0);

// Runs xdotool with the arguments and waits for it; true when it exited with 0.
bool Xdotool(const QStringList& arguments);
// Clicks (or double-clicks) at the centre of rect, in widget's coordinates, with the real pointer.
bool ClickAt(QWidget* widget, const QRect& rect, bool doubleClick = false);

// Waits until the engine's index is ready (TInitThread done), running the event loop.
bool WaitForIndex(int timeoutMs = 20000);

} // namespace kestrel::test
