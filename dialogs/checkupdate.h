// TCheckUpdate: one check for a newer version on the maker's web site, on a thread of its own. It
// asks the update page with the program's file version, keeps the answer as "~dsver.dat" in the
// temporary folder, reads it and, when it names a newer version, offers the download page on the UI
// thread. Every failure (no server, a refused connection, a timeout, an error status, a file that
// cannot be written, a broken answer) ends the check without a word.
#pragma once

#include "update_answer.h"

#include <QThread>

#include <functional>

namespace kestrel::config {
class TLanguage;
}

namespace kestrel::dialogs {

// What a check ended with; the offer is made only for Offered.
enum class TUpdateOutcome {
    Offered,        // a newer version and a download address: the offer was posted to the UI thread
    NoNewerVersion, // the answer holds no version, the same one, an older one or no usable address
    DownloadFailed, // no answer: no connection, an error status, a timeout, or stopped at shutdown
    WriteFailed,    // the answer file could not be written
};

// The offer of a newer version. Runs on the UI thread.
using TUpdateOfferFn = std::function<void(const TUpdateAnswer& answer)>;

// The default offer: a message box (information icon, OK and Cancel) with the caption "3706003" and
// the text "3706002" ("Kestrel Find", the new version), owned by the active window; on OK the answer's
// download address is opened in the desktop's default browser.
void ShowUpdateOffer(const config::TLanguage& language, const TUpdateAnswer& answer);

class TCheckUpdate : public QThread {
    Q_OBJECT
public:
    struct TOptions {
        QString SiteAddress = dialogs::SiteAddress(); // with a trailing "/"
        QString TempFolder = dialogs::TempFolder();   // with a trailing "/"
        QString ProgramFile;   // whose "FileVersion" is sent; empty: the running program
        int TimeoutMs = 30000; // without a byte from the server for this long, the check ends
        TUpdateOfferFn Offer;  // required; called on the UI thread
    };

    // Starts one check with the default offer (ShowUpdateOffer with language, which must outlive the
    // check's offer, as the process-wide catalogue does). The caller keeps no reference: the thread
    // deletes itself when it has ended. Call on the UI thread, after the QApplication exists.
    static TCheckUpdate* Start(const config::TLanguage& language);
    // The same with every option given. Returns the running check, for its Checked signal.
    static TCheckUpdate* Start(TOptions options);

    // The answer file of a temporary folder.
    static QString AnswerFile(const QString& tempFolder);

signals:
    // The check's end, delivered on the UI thread after the offer (if any) has been made.
    void Checked(kestrel::dialogs::TUpdateOutcome outcome, const kestrel::dialogs::TUpdateAnswer& answer);

protected:
    void run() override;

private:
    explicit TCheckUpdate(TOptions options);

    // Fetches the address into body (at most kAnswerLimit bytes); false on any failure.
    bool Download(const QString& address, const QString& agent, QByteArray& body);
    // Replaces the answer file with body in one step; false when that fails.
    bool WriteAnswerFile(const QByteArray& body) const;

    TOptions m_options;
};

} // namespace kestrel::dialogs

Q_DECLARE_METATYPE(kestrel::dialogs::TUpdateOutcome)
Q_DECLARE_METATYPE(kestrel::dialogs::TUpdateAnswer)
