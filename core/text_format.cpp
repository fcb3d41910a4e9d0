#include "text_format.h"

#include <QDateTime>

namespace kestrel::core {

namespace {

// 100 ns ticks from 1601-01-01 to 1970-01-01.
constexpr int64_t kUnixEpochTicks = 116444736000000000LL;

// A long time format without its time-zone field ("t"), which a file list has no room for: Qt's
// en_US long format is "h:mm:ss AP t". Quoted text is kept as it is.
QString withoutTimeZone(const QString& format) {
    QString out;
    bool quoted = false;
    for (QChar c : format) {
        if (c == u'\'')
            quoted = !quoted;
        if (!quoted && c == u't')
            continue;
        out += c;
    }
    return out.simplified();
}

} // namespace

QString SizeText(int64_t n, const QLocale& locale) {
    if (n <= 0)
        return QStringLiteral("0 Byte");
    if (n < 1024)
        return QStringLiteral("%1 Byte").arg(n);
    QLocale grouped = locale;
    grouped.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    const double size = static_cast<double>(n);
    if (n < 1048576)
        return grouped.toString(size / 1024, 'f', 2) + QStringLiteral(" KB");
    if (n < 1073741824)
        return grouped.toString(size / 1024 / 1024, 'f', 2) + QStringLiteral(" MB");
    return grouped.toString(size / 1024 / 1024 / 1024, 'f', 2) + QStringLiteral(" GB");
}

QString DateText(const FILETIME& t, const QLocale& locale, const QTimeZone& zone) {
    const uint64_t ticks = (uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    if (ticks > uint64_t(INT64_MAX))
        return {};
    // Floor division, so that a time before 1970 does not round up to the next millisecond.
    const int64_t since1970 = static_cast<int64_t>(ticks) - kUnixEpochTicks;
    const int64_t msecs = since1970 / 10000 - (since1970 % 10000 < 0 ? 1 : 0);
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(msecs, QTimeZone::utc()).toTimeZone(zone);
    if (!local.isValid() || local.date().year() < 1 || local.date().year() > 9999)
        return {};
    QString text = locale.toString(local.date(), QLocale::ShortFormat);
    if (local.time() != QTime(0, 0))
        text += u' ' + locale.toString(local.time(), withoutTimeZone(locale.timeFormat(QLocale::LongFormat)));
    return text;
}

QString DateText(const FILETIME& t) {
    return DateText(t, QLocale(), QTimeZone::systemTimeZone());
}

} // namespace kestrel::core
