#include "file_manager.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QStringList>
#include <QUrl>

namespace kestrel::platform {

namespace {

constexpr char kService[] = "org.freedesktop.FileManager1";
constexpr char kPath[] = "/org/freedesktop/FileManager1";
constexpr char kInterface[] = "org.freedesktop.FileManager1";

bool isValidUtf8(const QByteArray& bytes) {
    // QString replaces what is not UTF-8 with U+FFFD; round-tripping tells whether anything was lost.
    return QString::fromUtf8(bytes).toUtf8() == bytes;
}

// The errors that mean "there is no file manager to take this call".
bool isMissingService(const QDBusError& error) {
    switch (error.type()) {
    case QDBusError::ServiceUnknown:
    case QDBusError::UnknownObject:
    case QDBusError::UnknownInterface:
    case QDBusError::UnknownMethod:
        return true;
    default:
        return error.name() == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner");
    }
}

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos || slash == 0)
        return "/";
    return path.substr(0, slash);
}

} // namespace

QByteArray FileManagerUri(const std::string& path) {
    const QByteArray bytes(path.data(), static_cast<qsizetype>(path.size()));
    if (isValidUtf8(bytes))
        return QUrl::fromLocalFile(QString::fromUtf8(bytes)).toEncoded();
    // The same characters stay plain as QUrl leaves them in a path; everything else, every byte of a
    // non-UTF-8 sequence included, is percent-encoded.
    return QByteArrayLiteral("file://") + bytes.toPercentEncoding("/!$&'()*+,;=:@");
}

FileManager::FileManager(QObject* parent) : QObject(parent) {}

void FileManager::showItem(const std::string& path) {
    call("ShowItems", path, true);
}

void FileManager::showItemProperties(const std::string& path) {
    call("ShowItemProperties", path, false);
}

void FileManager::call(const char* method, const std::string& path, bool openFolderWithout) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QByteArray uri = FileManagerUri(path);
    auto fallBack = [this, openFolderWithout, folder = folderOf(path)] {
        if (!openFolderWithout) {
            emit done(Outcome::Failed);
            return;
        }
        QDesktopServices::openUrl(QUrl::fromEncoded(FileManagerUri(folder)));
        emit done(Outcome::FolderOpened);
    };
    if (!bus.isConnected()) {
        // No session bus at all: no file manager can be reached either.
        QMetaObject::invokeMethod(this, fallBack, Qt::QueuedConnection);
        return;
    }
    QDBusMessage message = QDBusMessage::createMethodCall(QLatin1String(kService), QLatin1String(kPath),
                                                          QLatin1String(kInterface), QLatin1String(method));
    // "as s": the URIs, and a start-up notification id, which we do not have.
    message << QStringList{QString::fromLatin1(uri)} << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(message), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, fallBack](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusPendingReply<> reply = *w;
        if (!reply.isError()) {
            emit done(Outcome::Shown);
            return;
        }
        if (isMissingService(reply.error())) {
            fallBack();
            return;
        }
        emit done(Outcome::Failed);
    });
}

} // namespace kestrel::platform
