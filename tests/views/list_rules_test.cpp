// The type-ahead find over rows and the status text's shortening.
#include <gtest/gtest.h>

#include "list_rules.h"

#include <QStringList>

#include <vector>

namespace kestrel::views {
namespace {

// Rows from a list of names; a null QString stands for a row without a record. Counts the reads.
struct Rows {
    QStringList names;
    mutable std::vector<int> reads;

    RowName accessor() const {
        return [this](int row) -> std::optional<QString> {
            reads.push_back(row);
            if (row < 0 || row >= names.size() || names[row].isNull())
                return std::nullopt;
            return names[row];
        };
    }
    int count() const { return static_cast<int>(names.size()); }
};

const QLocale kEnglish(QLocale::English, QLocale::UnitedStates);

TEST(TypeAhead, OneRowIsFound) {
    const Rows rows{{"report.txt"}, {}};
    EXPECT_EQ(FindRowByPrefix("rep", rows.count(), 0, false, rows.accessor(), kEnglish), 0);
    EXPECT_EQ(FindRowByPrefix("x", rows.count(), 0, true, rows.accessor(), kEnglish), -1);
}

TEST(TypeAhead, TheLastRowIsScanned) {
    const Rows rows{{"a", "b", "c", "zeta"}, {}};
    EXPECT_EQ(FindRowByPrefix("z", rows.count(), 0, false, rows.accessor(), kEnglish), 3);
}

TEST(TypeAhead, WrapsOnlyWhenAsked) {
    const Rows rows{{"alpha", "beta", "gamma", "delta", "epsilon"}, {}};
    EXPECT_EQ(FindRowByPrefix("be", rows.count(), 3, true, rows.accessor(), kEnglish), 1);
    EXPECT_EQ(FindRowByPrefix("be", rows.count(), 3, false, rows.accessor(), kEnglish), -1);
    // The start row itself is looked at first.
    EXPECT_EQ(FindRowByPrefix("de", rows.count(), 3, false, rows.accessor(), kEnglish), 3);
}

TEST(TypeAhead, StopsWhenBackAtTheStartAndReadsEachRowOnce) {
    const Rows rows{{"a", "b", "c", "d"}, {}};
    EXPECT_EQ(FindRowByPrefix("x", rows.count(), 2, true, rows.accessor(), kEnglish), -1);
    EXPECT_EQ(rows.reads, (std::vector<int>{2, 3, 0, 1}));
}

TEST(TypeAhead, IgnoresCaseByTheLocale) {
    const Rows rows{{"Report", QString::fromUtf8("éclair"), QString::fromUtf8("straße"), "ıx"}, {}};
    EXPECT_EQ(FindRowByPrefix("rEP", rows.count(), 0, false, rows.accessor(), kEnglish), 0);
    EXPECT_EQ(FindRowByPrefix(QString::fromUtf8("ÉCL"), rows.count(), 0, false, rows.accessor(), kEnglish),
              1);
    EXPECT_EQ(FindRowByPrefix(QString::fromUtf8("STRASS"), rows.count(), 0, false, rows.accessor(), kEnglish),
              2);
    // Turkish: dotted i upper-cases to İ, so "i" does not find "ıx" (dotless, upper I) there.
    const QLocale turkish(QLocale::Turkish, QLocale::Turkey);
    EXPECT_EQ(FindRowByPrefix("I", rows.count(), 0, false, rows.accessor(), turkish), 3);
    EXPECT_EQ(FindRowByPrefix("i", rows.count(), 0, false, rows.accessor(), turkish), -1);
    EXPECT_EQ(FindRowByPrefix("i", rows.count(), 0, false, rows.accessor(), kEnglish), 3);
}

TEST(TypeAhead, RowsWithoutARecordNeverMatch) {
    const Rows rows{{QString(), "abc", QString()}, {}};
    EXPECT_EQ(FindRowByPrefix("", rows.count(), 0, false, rows.accessor(), kEnglish), 1);
    EXPECT_EQ(FindRowByPrefix("a", rows.count(), 2, true, rows.accessor(), kEnglish), 1);
}

TEST(TypeAhead, EmptyListAndStartOutOfRange) {
    const Rows none{{}, {}};
    EXPECT_EQ(FindRowByPrefix("a", 0, 0, true, none.accessor(), kEnglish), -1);
    EXPECT_TRUE(none.reads.empty());
    const Rows rows{{"a", "b"}, {}};
    EXPECT_EQ(FindRowByPrefix("a", rows.count(), 7, false, rows.accessor(), kEnglish), 0);
    EXPECT_EQ(FindRowByPrefix("b", rows.count(), -3, false, rows.accessor(), kEnglish), 1);
}

TEST(StatusText, LimitIsAboutSixPixelsACharacter) {
    EXPECT_EQ(StatusTextLimit(564, 136), 70); // 428 * 165 / 1000 = 70.62
    EXPECT_EQ(StatusTextLimit(800, 176), 102);
    EXPECT_EQ(StatusTextLimit(136, 136), 0);
    EXPECT_EQ(StatusTextLimit(100, 176), 0);
}

TEST(StatusText, LongTextIsCut) {
    const QString folder = "/home/user/projects/2024/annual/";
    EXPECT_EQ(ShortenStatusText(folder, 10), "/home/user...");
    EXPECT_EQ(ShortenStatusText(folder, static_cast<int>(folder.size())), folder);
    EXPECT_EQ(ShortenStatusText(folder, static_cast<int>(folder.size()) - 1),
              folder.left(folder.size() - 1) + "...");
    EXPECT_EQ(ShortenStatusText(folder, 0), "...");
    EXPECT_EQ(ShortenStatusText("", 0), "");
}

TEST(StatusText, CutNeverSplitsASurrogatePair) {
    const QString text = QString::fromUtf8("ab\U0001F600cd"); // a, b, two code units, c, d
    EXPECT_EQ(ShortenStatusText(text, 3), "ab...");
    EXPECT_EQ(ShortenStatusText(text, 4), QString::fromUtf8("ab\U0001F600..."));
    EXPECT_EQ(ShortenStatusText(text, 2), "ab...");
}

} // namespace
} // namespace kestrel::views
