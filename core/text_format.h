// The size and date texts of a result row (UnitFunction), in the conventions of a locale.
#pragma once

#include <QLocale>
#include <QString>
#include <QTimeZone>

#include <cstdint>

#include "kestrelfind.h"

namespace kestrel::core {

// "0 Byte" for n <= 0, "%d Byte" below 1024, then KB, MB and GB (1024-based, from 4 GB on still GB)
// with exactly two decimals and the locale's decimal and thousands separators ("1,024.00 KB" in
// en_US). The separators are written even where the locale's default number options omit them.
QString SizeText(int64_t n, const QLocale& locale = QLocale());

// The modification time t (UTC) in zone: the locale's short date, a blank and its long time without
// a time-zone name; the date alone when the time is exactly 00:00:00.000. Empty when t has its top
// bit set or lies after the year 9999.
QString DateText(const FILETIME& t, const QLocale& locale, const QTimeZone& zone);

// The same in the system's locale and local time zone.
QString DateText(const FILETIME& t);

} // namespace kestrel::core
