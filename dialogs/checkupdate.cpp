#include "checkupdate.h"

#include "UnitLanguageRegConfig.h"
#include "file_version.h"

#include <QApplication>
#include <QDesktopServices>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace kestrel::dialogs {

namespace {

// How often a running download looks whether the program is shutting down.
constexpr int kInterruptPollMs = 100;

// Writes all of data to fd, across short writes and interruptions.
bool WriteAll(int fd, const QByteArray& data) {
    const char* p = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

} // namespace

void ShowUpdateOffer(const config::TLanguage& language, const TUpdateAnswer& answer) {
    QMessageBox box(
        QMessageBox::Information, language.GetText(QStringLiteral("3706003")),
        language.GetText(QStringLiteral("3706002"), QStringLiteral("Kestrel Find"), answer.Version),
        QMessageBox::Ok | QMessageBox::Cancel, QApplication::activeWindow());
    box.setObjectName(QStringLiteral("UpdateOfferBox"));
    if (box.exec() == QMessageBox::Ok)
        QDesktopServices::openUrl(QUrl(answer.UpdateUrl));
}

TCheckUpdate* TCheckUpdate::Start(const config::TLanguage& language) {
    TOptions options;
    options.Offer = [&language](const TUpdateAnswer& answer) { ShowUpdateOffer(language, answer); };
    return Start(std::move(options));
}

TCheckUpdate* TCheckUpdate::Start(TOptions options) {
    auto* check = new TCheckUpdate(std::move(options));
    connect(check, &QThread::finished, check, &QObject::deleteLater);
    // A check still downloading when the program quits is stopped (within kInterruptPollMs) and waited
    // for, so that no thread outlives the application object.
    if (QCoreApplication* application = QCoreApplication::instance()) {
        connect(application, &QCoreApplication::aboutToQuit, check, [check] {
            check->requestInterruption();
            check->wait();
        });
    }
    check->start();
    return check;
}

QString TCheckUpdate::AnswerFile(const QString& tempFolder) {
    return tempFolder + QString::fromLatin1(kAnswerFileName);
}

TCheckUpdate::TCheckUpdate(TOptions options) : m_options(std::move(options)) {
    qRegisterMetaType<TUpdateOutcome>();
    qRegisterMetaType<TUpdateAnswer>();
}

void TCheckUpdate::run() {
    TUpdateOutcome outcome = TUpdateOutcome::DownloadFailed;
    TUpdateAnswer answer;
    try {
        const QString program = m_options.ProgramFile.isEmpty()
                                    ? QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))
                                    : m_options.ProgramFile;
        const QString current = QString::fromStdString(
            core::FileVersionText(QFile::encodeName(program).toStdString(), "FileVersion"));
        QByteArray body;
        if (!Download(UpdateRequestUrl(m_options.SiteAddress, current), QFileInfo(program).fileName(),
                      body)) {
            outcome = TUpdateOutcome::DownloadFailed;
        } else if (!WriteAnswerFile(body)) {
            outcome = TUpdateOutcome::WriteFailed;
        } else {
            // The bytes just written, not the file read back: another check may replace the file now.
            answer = ReadUpdateAnswer(body);
            outcome =
                ShouldOfferUpdate(current, answer) ? TUpdateOutcome::Offered : TUpdateOutcome::NoNewerVersion;
        }
    } catch (...) {
        // Out of memory or the like: the check ends quietly like any other failure.
        outcome = TUpdateOutcome::DownloadFailed;
        answer = {};
    }
    // The offer runs on the UI thread, which owns every window; this object lives there too.
    TUpdateOfferFn offer = m_options.Offer;
    QMetaObject::invokeMethod(
        this,
        [this, outcome, answer, offer] {
            emit Checked(outcome, answer);
            // Nothing of this object is used from here on: a modal offer may outlive it.
            if (outcome == TUpdateOutcome::Offered && offer)
                offer(answer);
        },
        Qt::QueuedConnection);
}

bool TCheckUpdate::Download(const QString& address, const QString& agent, QByteArray& body) {
    QNetworkAccessManager manager;
    QNetworkRequest request{QUrl(address)};
    request.setHeader(QNetworkRequest::UserAgentHeader, agent);
    request.setTransferTimeout(m_options.TimeoutMs);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    std::unique_ptr<QNetworkReply> reply(manager.get(request));

    QEventLoop loop;
    bool cut = false;
    bool interrupted = false;
    auto take = [&] {
        if (cut || !reply->isOpen())
            return;
        body += reply->read(kAnswerLimit - body.size());
        if (body.size() >= kAnswerLimit) {
            // The rest of a long answer is not wanted; this also ends the loop through finished.
            cut = true;
            reply->abort();
        }
    };
    QObject::connect(reply.get(), &QNetworkReply::readyRead, &loop, take);
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer watch;
    watch.setInterval(kInterruptPollMs);
    QObject::connect(&watch, &QTimer::timeout, &loop, [&] {
        if (isInterruptionRequested()) {
            interrupted = true;
            reply->abort();
        }
    });
    watch.start();
    if (!reply->isFinished() && !isInterruptionRequested())
        loop.exec();
    watch.stop();
    if (interrupted || isInterruptionRequested())
        return false;
    take();

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid() && (status.toInt() < 200 || status.toInt() > 299))
        return false;
    return cut || reply->error() == QNetworkReply::NoError;
}

bool TCheckUpdate::WriteAnswerFile(const QByteArray& body) const {
    const QString target = AnswerFile(m_options.TempFolder);
    QByteArray temporary = QFile::encodeName(target + QStringLiteral(".XXXXXX"));
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        return false;
    bool ok = WriteAll(fd, body);
    ok = ::close(fd) == 0 && ok;
    // rename() replaces whatever has the answer's name, a link included, and never writes through it.
    if (ok)
        ok = std::rename(temporary.constData(), QFile::encodeName(target).constData()) == 0;
    if (!ok)
        ::unlink(temporary.constData());
    return ok;
}

} // namespace kestrel::dialogs
