#include "text_format.h"

#include <gtest/gtest.h>

#include <QDateTime>

namespace kestrel::core {
namespace {

FILETIME fileTimeOf(const QDateTime& when) {
    const uint64_t ticks = static_cast<uint64_t>(when.toMSecsSinceEpoch() + 11644473600000LL) * 10000;
    return {static_cast<uint32_t>(ticks), static_cast<uint32_t>(ticks >> 32)};
}

QDateTime at(int y, int mo, int d, int h, int mi, int s, int offsetSeconds = 0, int ms = 0) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms), QTimeZone(offsetSeconds));
}

TEST(SizeText, BytesThenTwoDecimalKilobytesMegabytesGigabytes) {
    struct Case {
        int64_t bytes;
        const char* us;
        const char* de;
    };
    const Case cases[] = {
        {-5, "0 Byte", "0 Byte"},
        {0, "0 Byte", "0 Byte"},
        {1, "1 Byte", "1 Byte"},
        {1023, "1023 Byte", "1023 Byte"},
        {1024, "1.00 KB", "1,00 KB"},
        {1536, "1.50 KB", "1,50 KB"},
        {1048575, "1,024.00 KB", "1.024,00 KB"}, // still KB: the text rounds up to 1024
        {1048576, "1.00 MB", "1,00 MB"},
        {1073741823, "1,024.00 MB", "1.024,00 MB"},
        {1073741824, "1.00 GB", "1,00 GB"},
        {5000000000, "4.66 GB", "4,66 GB"},
        {4398046511104, "4,096.00 GB", "4.096,00 GB"},
        {INT64_MAX, "8,589,934,592.00 GB", "8.589.934.592,00 GB"},
    };
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const QLocale de(QLocale::German, QLocale::Germany);
    for (const Case& c : cases) {
        EXPECT_EQ(SizeText(c.bytes, us).toStdString(), c.us) << c.bytes;
        EXPECT_EQ(SizeText(c.bytes, de).toStdString(), c.de) << c.bytes;
    }
    // The C locale leaves out thousands separators by default; the size text keeps them.
    EXPECT_EQ(SizeText(1048575, QLocale::c()).toStdString(), "1,024.00 KB");
}

TEST(DateText, ShortDateAndLongTimeInTheGivenZone) {
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const QLocale de(QLocale::German, QLocale::Germany);
    struct Case {
        QDateTime when;
        int zoneOffset;
        QLocale locale;
        QString text;
    };
    const Case cases[] = {
        {at(2024, 3, 5, 14, 7, 9), 0, de, "05.03.24 14:07:09"},
        {at(2024, 3, 5, 14, 7, 9), 3600, de, "05.03.24 15:07:09"},
        {at(2024, 3, 5, 23, 30, 0), 3600, de, "06.03.24 00:30:00"},  // the zone moves the day
        {at(2024, 3, 5, 0, 0, 0, 7200), 7200, de, "05.03.24"},       // local midnight: the date alone
        {at(2024, 3, 5, 0, 0, 0, 7200), 0, de, "04.03.24 22:00:00"}, // not midnight in UTC
        {at(2024, 3, 5, 0, 0, 0, 0, 1), 0, de, "05.03.24 00:00:00"}, // one millisecond past midnight
        {at(1969, 12, 31, 23, 59, 59, 0, 999), 0, de, "31.12.69 23:59:59"},
        {at(2024, 3, 5, 14, 7, 9), 0, us, "3/5/24 2:07:09 PM"},
    };
    for (const Case& c : cases) {
        QString text = DateText(fileTimeOf(c.when), c.locale, QTimeZone(c.zoneOffset));
        EXPECT_EQ(text.toStdString(), c.text.toStdString())
            << c.when.toString(Qt::ISODateWithMs).toStdString();
        EXPECT_FALSE(text.contains(u"UTC")) << "no zone name in the text";
    }
}

TEST(DateText, TimesOutsideTheCalendarGiveTheEmptyText) {
    const QLocale de(QLocale::German, QLocale::Germany);
    EXPECT_EQ(DateText(FILETIME{0, 0x80000000u}, de, QTimeZone(0)), QString());
    EXPECT_EQ(DateText(FILETIME{0xFFFFFFFFu, 0xFFFFFFFFu}, de, QTimeZone(0)), QString());
    EXPECT_EQ(DateText(fileTimeOf(at(10000, 1, 1, 0, 0, 0)), de, QTimeZone(0)), QString());
    EXPECT_EQ(DateText(fileTimeOf(at(9999, 12, 31, 23, 0, 0)), de, QTimeZone(0)), "31.12.99 23:00:00");
    // The first tick of the FILETIME calendar is a valid date.
    EXPECT_EQ(DateText(FILETIME{0, 0}, de, QTimeZone(0)), "01.01.01");
}

} // namespace
} // namespace kestrel::core
