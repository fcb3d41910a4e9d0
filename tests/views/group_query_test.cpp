// The group query and the group buttons' names, captions and icons, with the documented examples
// checked as the search thread receives them (after the search start collapsed the stars).
#include <gtest/gtest.h>

#include "group_query.h"
#include "query.h"

#include <memory>

namespace kestrel::views {
namespace {

core::TGroupList groups(std::initializer_list<std::pair<QString, QStringList>> items) {
    core::TGroupList list;
    for (const auto& [name, content] : items)
        list.push_back(std::make_unique<core::TGroupData>(core::TGroupData{name, content}));
    return list;
}

QString searched(const QString& pattern) {
    const std::u16string collapsed = core::CollapseStars(pattern.toStdU16String());
    return QString::fromStdU16String(collapsed);
}

const QStringList kMusic{"*.mp3", "*.wav", "*.wma"};

struct QueryCase {
    const char* name;
    QString text;
    QString expected; // as the search thread receives it
};

class MusicQuery : public ::testing::TestWithParam<QueryCase> {};

TEST_P(MusicQuery, IsBuilt) {
    const auto list = groups({{"Documents", {"*.doc"}}, {"Music", kMusic}});
    const QString pattern = BuildGroupQuery(list, "Music", "Music", GetParam().text);
    EXPECT_EQ(searched(pattern), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, MusicQuery,
    ::testing::Values(QueryCase{"Word", "love", "*love*.mp3|*love*.wav|*love*.wma|"},
                      QueryCase{"WordWithExtension", "love.w", "*love*.wav"},
                      QueryCase{"TwoWords", "love song",
                                "*love* *song*.mp3|*love* *song*.wav|*love* *song*.wma|"},
                      QueryCase{"Empty", "", "*.mp3|*.wav|*.wma|"},
                      // The extension is looked for in the first word when the whole text has none.
                      QueryCase{"ExtensionInFirstWord", "love.wa x/y", "*love*.wav* *x/y*"},
                      // The extension runs from the last "." to the end, blanks included.
                      QueryCase{"ExtensionRunsToTheEnd", "love.wa song",
                                "*love.wa* *song*.mp3|*love.wa* *song*.wav|*love.wa* *song*.wma|"},
                      QueryCase{"ExtensionIgnoresCase", "love.MP", "*love*.mp3"},
                      // No entry's extension holds ".ogg": every entry, the text kept whole.
                      QueryCase{"ExtensionOfNoEntry", "x.ogg", "*x.ogg*.mp3|*x.ogg*.wav|*x.ogg*.wma|"},
                      // A "." before a path separator is no extension.
                      QueryCase{"DotBeforeSlash", "a.w/b", "*a.w/b*.mp3|*a.w/b*.wav|*a.w/b*.wma|"}),
    [](const ::testing::TestParamInfo<QueryCase>& param) { return std::string(param.param.name); });

TEST(GroupQuery, RawPatternKeepsTheStarsForTheSearchStart) {
    const auto list = groups({{"Music", kMusic}});
    EXPECT_EQ(BuildGroupQuery(list, "Music", "Music", "love"), "*love**.mp3|*love**.wav|*love**.wma|");
    EXPECT_EQ(BuildGroupQuery(list, "Music", "Music", "love song"),
              "*love* *song**.mp3|*love* *song**.wav|*love* *song**.wma|");
}

TEST(GroupQuery, FirstMatchingEntryWins) {
    const auto list = groups({{"Documents", {"*.txt", "*.doc", "*.docx"}}});
    EXPECT_EQ(searched(BuildGroupQuery(list, "Documents", "Documents", "report.do")), "*report*.doc");
}

TEST(GroupQuery, EveryOccurrenceOfTheExtensionIsReplacedCaseSensitively) {
    const auto list = groups({{"Music", kMusic}});
    EXPECT_EQ(searched(BuildGroupQuery(list, "Music", "Music", "a.mp.mp")), "*a*.mp3*.mp3");
    // ".MP" is found in ".mp3" ignoring case, but replaced only where it is written ".MP".
    EXPECT_EQ(searched(BuildGroupQuery(list, "Music", "Music", "a.mp.MP")), "*a.mp*.mp3");
}

TEST(GroupQuery, BlankEntriesAreSkipped) {
    const auto list = groups({{"Mixed", {"", "  ", "\t\r\n", "*.ogg"}}, {"Blank", {"", " ", "\x01"}}});
    EXPECT_EQ(searched(BuildGroupQuery(list, "Mixed", "Mixed", "x")), "*x*.ogg|");
    // A group of blank entries searches every item.
    EXPECT_EQ(searched(BuildGroupQuery(list, "Blank", "Blank", "x")), "*");
    EXPECT_EQ(searched(BuildGroupQuery(list, "Blank", "Blank", "")), "*");
}

TEST(GroupQuery, FindsTheGroupByCaptionOrComponentName) {
    const auto list = groups({{"My Files", {"*.abc"}}, {"Music", kMusic}});
    // A user group by its caption, ignoring case and a count in parentheses.
    EXPECT_EQ(FindButtonGroup(list, "my files (3)", "MyFiles"), list[0].get());
    // A built-in group whose caption is translated: by the component name.
    EXPECT_EQ(FindButtonGroup(list, QString::fromUtf8("音乐"), "music"), list[1].get());
    EXPECT_EQ(FindButtonGroup(list, "Gone", "Customize5"), nullptr);
}

TEST(GroupQuery, WithoutAGroupTheCaptionIsSearched) {
    const core::TGroupList none;
    EXPECT_EQ(BuildGroupQuery(none, "Holiday", "Holiday", "ignored"), "*Holiday*");
    EXPECT_EQ(BuildGroupQuery(none, "Old (2)", "Customize0", "x"), "*Old*");
    // Stars in the caption: words get stars only where they have none.
    EXPECT_EQ(BuildGroupQuery(none, "a* b", "Customize0", "x"), "a** *b*");
    EXPECT_EQ(BuildGroupQuery(none, "a b*", "Customize0", "x"), "*a* *b*");
    EXPECT_EQ(BuildGroupQuery(none, " *b", "Customize0", "x"), "* **b");
    EXPECT_EQ(searched(BuildGroupQuery(none, "a* b", "Customize0", "x")), "a* *b*");
}

TEST(GroupQuery, NameWithParenthesisIsNeverFoundByItsButton) {
    const auto list = groups({{"Tunes (old)", {"*.mid"}}});
    const QStringList names = GroupButtonNames({"Tunes (old)"}, {});
    ASSERT_EQ(names, QStringList{"Customize0"});
    EXPECT_EQ(FindButtonGroup(list, "Tunes (old)", names[0]), nullptr);
    EXPECT_EQ(BuildGroupQuery(list, "Tunes (old)", names[0], "x"), "*Tunes*");
}

TEST(GroupCaptionKey, CutsBeforeTheCharacterBeforeTheParenthesis) {
    EXPECT_EQ(GroupCaptionKey("Music (12)"), "Music");
    EXPECT_EQ(GroupCaptionKey("Music(12)"), "Musi");
    EXPECT_EQ(GroupCaptionKey("(12)"), "");
    EXPECT_EQ(GroupCaptionKey("x(1)"), "");
    EXPECT_EQ(GroupCaptionKey("Music"), "Music");
}

TEST(TextExtension, FollowsTheLastDot) {
    EXPECT_EQ(TextExtension("love.w"), ".w");
    EXPECT_EQ(TextExtension("a.b.c"), ".c");
    EXPECT_EQ(TextExtension("a."), ".");
    EXPECT_EQ(TextExtension("love"), "");
    EXPECT_EQ(TextExtension("a.b/c"), "");
    EXPECT_EQ(TextExtension("a.b\\c"), "");
    EXPECT_EQ(TextExtension("a.b:c"), "");
    EXPECT_EQ(TextExtension("*.mp3"), ".mp3");
}

TEST(GroupButtonNames, RemoveBlanksAndFallBack) {
    const QStringList taken{"imgAll", "imgStartMenu", "imgFolder", "lvFiles"};
    EXPECT_EQ(GroupButtonNames({"Documents", "My Files", "A B", "AB", "LVFILES", "2go", "Ünï", "_x1"}, taken),
              (QStringList{"Documents", "MyFiles", "AB", "Customize3", "Customize4", "Customize5",
                           "Customize6", "_x1"}));
}

TEST(GroupButtonNames, NeverGiveANameTwice) {
    const QStringList names = GroupButtonNames({"Customize1", "x y(", "customize1_2"}, {});
    EXPECT_EQ(names, (QStringList{"Customize1", "Customize1_2", "Customize2"}));
}

TEST(GroupButtonNames, TenGroupsGetTenTops) {
    QStringList groupNames;
    for (int i = 0; i < 10; ++i)
        groupNames << QStringLiteral("G%1").arg(i);
    EXPECT_EQ(GroupButtonNames(groupNames, {}).size(), 10);
    EXPECT_EQ(GroupButtonTop(0), 69);
    EXPECT_EQ(GroupButtonTop(1), 92);
    EXPECT_EQ(GroupButtonTop(9), 276);
}

TEST(GroupButtonLook, BuiltInGroupsByComponentName) {
    const core::TextLookup text = [](const QString& id) { return QStringLiteral("text ") + id; };
    const GroupButtonLook music = GroupButtonLookOf("music", "music", text);
    EXPECT_EQ(music.caption, "text 3702012");
    EXPECT_EQ(music.iconFile, "Music.png");
    EXPECT_EQ(GroupButtonLookOf("Documents", "Documents", text).iconFile, "Documents.png");
    EXPECT_EQ(GroupButtonLookOf("PICTURES", "PICTURES", text).caption, "text 3702010");
    EXPECT_EQ(GroupButtonLookOf("Videos", "Videos", text).iconFile, "Videos.png");
    const GroupButtonLook mine = GroupButtonLookOf("MyFiles", "My Files", text);
    EXPECT_EQ(mine.caption, "My Files");
    EXPECT_EQ(mine.iconFile, "Other.png");
    // "My Music" is not the built-in group: its component name is "MyMusic".
    EXPECT_EQ(GroupButtonLookOf("MyMusic", "My Music", text).iconFile, "Other.png");
}

} // namespace
} // namespace kestrel::views
