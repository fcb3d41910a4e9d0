// The full window's rules: the export name and lines, the rows Copy takes, the Arrange toggle, the
// text-size steps and the Path column's width.
#include <gtest/gtest.h>

#include "engine_text.h"
#include "full_mode_rules.h"

#include <string>

namespace kestrel::views {
namespace {

TEST(ExportTargetName, AppendsTxtOnlyWhenMissing) {
    const struct {
        const char* chosen;
        const char* target;
    } cases[] = {
        {"/tmp/a", "/tmp/a.txt"},
        {"/tmp/a.txt", "/tmp/a.txt"},
        {"/tmp/a.TXT", "/tmp/a.TXT.txt"},
        {"/tmp/a.txt.bak", "/tmp/a.txt.bak.txt"},
        {"/tmp/report.csv", "/tmp/report.csv.txt"},
        {"/tmp/.txt", "/tmp/.txt"},
        {"/tmp/atxt", "/tmp/atxt.txt"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExportTargetName(QString::fromUtf8(c.chosen)), QString::fromUtf8(c.target)) << c.chosen;
}

TEST(ExportLine, FolderAndNameBytesThenLineFeed) {
    TItemFileData record{};
    record.Folder = u"/home/u/docs/";
    record.Name = u"r\u00e9sum\u00e9 1.txt";
    EXPECT_EQ(ExportLine(&record), "/home/u/docs/r\xc3\xa9sum\xc3\xa9 1.txt\n");
    // A name that is not UTF-8 on disk keeps its own byte.
    const std::u16string raw = core::BytesToEngineText("a\xe9"
                                                       "b");
    record.Name = raw.c_str();
    EXPECT_EQ(ExportLine(&record), std::string("/home/u/docs/a\xe9"
                                               "b\n"));
    EXPECT_EQ(ExportLine(nullptr), "");
    record.Folder = nullptr;
    EXPECT_EQ(ExportLine(&record), "");
}

TEST(CopyIndices, SelectionOrEveryResult) {
    const struct {
        bool selectAll;
        std::vector<int> selected;
        int count;
        std::vector<int> expected;
    } cases[] = {
        {false, {3, 1}, 5, {1, 3}},
        {false, {}, 5, {}},
        {true, {}, 4, {0, 1, 2, 3}},
        {true, {2}, 3, {0, 1, 2}},
        {false, {4, 0, 2, 1, 3}, 5, {0, 1, 2, 3, 4}},
        {false, {1, 1, 7, -1}, 5, {1}},
        {true, {}, 0, {}},
        {false, {0}, 1, {0}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CopyIndices(c.selectAll, c.selected, c.count), c.expected)
            << c.selectAll << " " << c.selected.size() << " " << c.count;
}

TEST(ArrangeToggle, SameKeyInvertsNewKeyStartsAscending) {
    const struct {
        TArrangeOrder current;
        int32_t key;
        TArrangeOrder expected;
    } cases[] = {
        {{0, false}, 0, {0, true}},   {{0, true}, 0, {0, false}}, {{0, false}, 2, {2, false}},
        {{2, false}, 2, {2, true}},   {{2, true}, 3, {3, false}}, {{3, true}, 1, {1, false}},
        {{-1, false}, 0, {0, false}}, {{1, true}, 1, {1, false}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ArrangeToggle(c.current, c.key), c.expected) << c.current.key << " " << c.key;
    // Size twice: small to large, then large to small.
    TArrangeOrder order{0, false};
    order = ArrangeToggle(order, 2);
    EXPECT_EQ(order, (TArrangeOrder{2, false}));
    order = ArrangeToggle(order, 2);
    EXPECT_EQ(order, (TArrangeOrder{2, true}));
}

TEST(TextSize, StepsAroundTheNormalSize) {
    const struct {
        int points;
        int increased;
        int decreased;
    } cases[] = {{8, 9, 8}, {9, 10, 8}, {11, 12, 10}, {7, 8, 8}, {1, 2, 8}, {40, 41, 39}};
    for (const auto& c : cases) {
        EXPECT_EQ(TextSizeIncrease(c.points), c.increased) << c.points;
        EXPECT_EQ(TextSizeDecrease(c.points), c.decreased) << c.points;
    }
    int size = kTextSizeNormal;
    for (int i = 0; i < 3; ++i)
        size = TextSizeIncrease(size);
    EXPECT_EQ(size, 11);
}

TEST(PathColumnWidth, ListWidthLessTheOtherColumnsButNeverNarrow) {
    const struct {
        int listWidth;
        int width;
    } cases[] = {{1000, 570}, {831, 401}, {481, 51}, {482, 52}, {400, 51}, {0, 51}};
    for (const auto& c : cases)
        EXPECT_EQ(PathColumnWidth(c.listWidth), c.width) << c.listWidth;
}

} // namespace
} // namespace kestrel::views
