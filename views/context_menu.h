// PopupMenuShell: the file-manager menu of one result, built by the program: Open, Open With (the
// applications registered for the file's type), Show in Folder, Copy, Copy Path, Move to Trash and
// Properties.
#pragma once

#include <QPoint>

#include <string>

class QMenu;
class QWidget;

namespace kestrel::config {
class TLanguage;
}

namespace kestrel::platform {
class FileManager;
}

namespace kestrel::views {

// Shows the menu for the full path (bytes, as the file system has them) at the screen position
// globalPos, modally, and carries out the chosen command. Returns true when a command was chosen and
// carried out. Nothing is shown, and false returned, when the path is empty or no longer exists.
// fileManager shows the item in its folder and its properties; it must outlive the call.
bool ShowShellContextMenu(QWidget* owner, const std::string& path, const QPoint& globalPos,
                          platform::FileManager& fileManager, const config::TLanguage& language);

// The same menu without showing it, for callers that track it themselves (and tests). The actions
// carry out their commands when triggered. Null when the path is empty or no longer exists.
QMenu* BuildShellContextMenu(QWidget* owner, const std::string& path, platform::FileManager& fileManager,
                             const config::TLanguage& language);

} // namespace kestrel::views
