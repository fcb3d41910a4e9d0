#include "clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QString>
#include <QUrl>

namespace kestrel::platform {

QByteArray FileUriOf(const std::string& path) {
    const QByteArray bytes(path.data(), static_cast<qsizetype>(path.size()));
    const QByteArray encoded = QByteArrayLiteral("file://") + bytes.toPercentEncoding("/");
    // QUrl keeps a percent-encoded byte that is not UTF-8 as it is, so toEncoded gives back the bytes.
    return QUrl::fromEncoded(encoded, QUrl::StrictMode).toEncoded();
}

std::unique_ptr<QMimeData> FileListMimeData(const std::vector<std::string>& paths) {
    QByteArray uriList;
    QByteArray gnome = QByteArrayLiteral("copy");
    QString text;
    for (const std::string& path : paths) {
        const QByteArray uri = FileUriOf(path);
        uriList += uri + "\r\n";
        gnome += '\n' + uri;
        if (!text.isEmpty())
            text += u'\n';
        // Plain text is for people: a name that is not UTF-8 shows its odd bytes as U+FFFD there.
        text += QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size()));
    }
    auto data = std::make_unique<QMimeData>();
    data->setData(QStringLiteral("text/uri-list"), uriList);
    data->setData(QStringLiteral("x-special/gnome-copied-files"), gnome);
    data->setText(text);
    return data;
}

bool CopyFilesToClipboard(const std::vector<std::string>& paths) {
    if (paths.empty() || !qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return false;
    QGuiApplication::clipboard()->setMimeData(FileListMimeData(paths).release(), QClipboard::Clipboard);
    return true;
}

} // namespace kestrel::platform
