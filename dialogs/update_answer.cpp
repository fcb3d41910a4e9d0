#include "update_answer.h"

#include <QStringDecoder>
#include <QStringList>
#include <QUrl>

#include <array>
#include <optional>

namespace kestrel::dialogs {

namespace {

// A decimal integer: an optional sign, then one or more digits, within 64 bits.
std::optional<qint64> DecimalOf(const QString& text) {
    bool ok = false;
    if (text.isEmpty())
        return std::nullopt;
    qsizetype start = (text[0] == QLatin1Char('+') || text[0] == QLatin1Char('-')) ? 1 : 0;
    if (start == text.size())
        return std::nullopt;
    for (qsizetype i = start; i < text.size(); ++i) {
        if (text[i] < QLatin1Char('0') || text[i] > QLatin1Char('9'))
            return std::nullopt;
    }
    const qint64 value = text.toLongLong(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

// The four parts of a version text, split as IsNewerVersion describes.
std::array<QString, 4> VersionParts(QString rest) {
    std::array<QString, 4> parts;
    for (int i = 0; i < 3; ++i) {
        const qsizetype dot = rest.indexOf(QLatin1Char('.'));
        if (dot < 0) {
            parts[i] = rest;
        } else {
            parts[i] = rest.left(dot);
            rest = rest.mid(dot + 1);
        }
    }
    parts[3] = rest;
    return parts;
}

QString Unquoted(const QString& value) {
    if (value.size() >= 2) {
        const QChar first = value.front();
        if ((first == QLatin1Char('"') || first == QLatin1Char('\'')) && value.back() == first)
            return value.mid(1, value.size() - 2);
    }
    return value;
}

} // namespace

QString SiteAddress() {
    QString site = qEnvironmentVariable(kSiteAddressVariable).trimmed();
    if (site.isEmpty())
        site = QString::fromLatin1(kSiteAddress);
    if (!site.endsWith(QLatin1Char('/')))
        site += QLatin1Char('/');
    return site;
}

QString UpdateRequestUrl(const QString& site, const QString& currentVersion) {
    return site + QString::fromLatin1(kUpdateQuery) +
           QString::fromLatin1(QUrl::toPercentEncoding(currentVersion, "."));
}

QString TempFolder() {
    QString folder;
    for (const char* name : {"TEMP", "TMPDIR"}) {
        folder = qEnvironmentVariable(name);
        if (!folder.isEmpty())
            break;
    }
    if (folder.isEmpty())
        folder = QStringLiteral("/tmp");
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

TUpdateAnswer ReadUpdateAnswer(const QByteArray& answer) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder(answer);
    // A byte-order mark, whether or not the decoder already dropped it.
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));

    TUpdateAnswer result;
    bool haveVersion = false;
    bool haveUrl = false;
    bool inSection = false;
    bool sectionSeen = false;
    for (const QString& rawLine : text.split(QLatin1Char('\n'))) {
        const QString line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            const qsizetype close = line.indexOf(QLatin1Char(']'));
            if (close < 0)
                continue;
            const bool isVersion =
                line.mid(1, close - 1).trimmed().compare(QLatin1String("Version"), Qt::CaseInsensitive) == 0;
            // Only the first [Version] section counts, as with the other keys' first occurrence.
            inSection = isVersion && !sectionSeen;
            sectionSeen = sectionSeen || isVersion;
            continue;
        }
        if (!inSection)
            continue;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals <= 0)
            continue;
        const QString key = line.left(equals).trimmed();
        const QString value = Unquoted(line.mid(equals + 1).trimmed()).trimmed();
        if (!haveVersion && key.compare(QLatin1String("Version"), Qt::CaseInsensitive) == 0) {
            result.Version = value;
            haveVersion = true;
        } else if (!haveUrl && key.compare(QLatin1String("UpdateUrl"), Qt::CaseInsensitive) == 0) {
            result.UpdateUrl = value;
            haveUrl = true;
        }
    }
    return result;
}

bool IsNewerVersion(const QString& currentVersion, const QString& newVersion) {
    const std::array<QString, 4> current = VersionParts(currentVersion);
    const std::array<QString, 4> next = VersionParts(newVersion);
    std::array<qint64, 4> a{};
    std::array<qint64, 4> b{};
    for (int i = 0; i < 4; ++i) {
        const std::optional<qint64> x = DecimalOf(current[i]);
        const std::optional<qint64> y = DecimalOf(next[i]);
        if (!x || !y)
            return true;
        a[i] = *x;
        b[i] = *y;
    }
    for (int i = 0; i < 4; ++i) {
        if (a[i] != b[i])
            return a[i] < b[i];
    }
    return false;
}

bool ShouldOfferUpdate(const QString& currentVersion, const TUpdateAnswer& answer) {
    return !answer.Version.isEmpty() && answer.Version.compare(currentVersion, Qt::CaseInsensitive) != 0 &&
           IsNewerVersion(currentVersion, answer.Version) && IsUsableDownloadUrl(answer.UpdateUrl);
}

bool IsUsableDownloadUrl(const QString& url) {
    const QUrl parsed(url, QUrl::StrictMode);
    const QString scheme = parsed.scheme().toLower();
    return parsed.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https")) &&
           !parsed.host().isEmpty();
}

} // namespace kestrel::dialogs
