// Showing files in the desktop's file manager through org.freedesktop.FileManager1 on the session bus
// (the folder opened with the file selected, or the file's properties). Calls never block: a file
// manager that is still starting would otherwise freeze the window.
#pragma once

#include <QByteArray>
#include <QObject>

#include <string>

namespace kestrel::platform {

// "file://" and the path, percent-encoded, for the file manager. A path that is valid UTF-8 gives what
// QUrl::fromLocalFile(path).toEncoded() gives; any other byte is percent-encoded as it is, so names
// that are not UTF-8 still reach the right file. path must be absolute.
QByteArray FileManagerUri(const std::string& path);

class FileManager : public QObject {
    Q_OBJECT
public:
    enum class Outcome {
        Shown,        // the file manager took the call
        FolderOpened, // no file manager service: the item's folder was opened instead
        Failed,       // the call failed otherwise, or there is no session bus; nothing was shown
    };
    Q_ENUM(Outcome)

    explicit FileManager(QObject* parent = nullptr);

    // Shows path (bytes, as the file system has them) selected in its folder: ShowItems with its URI.
    // Without the service the folder that holds path is opened with the desktop's default
    // application instead. Returns at once; done() reports the outcome. UI thread, with a
    // QGuiApplication.
    void showItem(const std::string& path);

    // Shows the file manager's properties of path: ShowItemProperties. Without a file manager there
    // is nothing to show and done() reports Failed.
    void showItemProperties(const std::string& path);

signals:
    void done(kestrel::platform::FileManager::Outcome outcome);

private:
    void call(const char* method, const std::string& path, bool openFolderWithout);
};

} // namespace kestrel::platform
