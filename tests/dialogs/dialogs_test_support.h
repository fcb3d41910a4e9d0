// What the dialog tests share: a private folder per process with the XDG folders and the temporary
// folder the update check writes to, the English text catalogue over the build tree's text library,
// a recorder of the addresses the desktop is asked to open, and waiting on conditions.
#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

#include <string>
#include <vector>

namespace kestrel::config {
class TLanguage;
}

namespace kestrel::test {

// The per-process folder (removed at exit); set up by the test program's main before the QApplication.
const std::string& TestBase();
void PrepareDialogTestEnvironment();

// The catalogue of the build tree's text library, in English unless a test switches it.
config::TLanguage& Language();

// Receives QDesktopServices::openUrl for http and https instead of a browser.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    UrlRecorder();
    ~UrlRecorder() override;
    std::vector<QUrl> opened;

public slots:
    void open(const QUrl& url);
};

} // namespace kestrel::test
