// The group editor's and the Options dialog's rules as tables: the name filter, the entry box's
// patterns, the check before a group is stored, the proposals from the shared MIME database, and which
// group a row stands for.
#include "group_rules.h"

#include <gtest/gtest.h>

#include <map>

namespace kestrel::dialogs {
namespace {

QString Text(const QString& id) {
    static const std::map<QString, QString> texts = {{QStringLiteral("3702009"), QStringLiteral("Dokumente")},
                                                     {QStringLiteral("3702012"), QStringLiteral("Musik")}};
    const auto found = texts.find(id);
    return found == texts.end() ? QString() : found->second;
}

TEST(NameFilter, RemovesForbiddenCharactersAndCutsAtACharacter) {
    struct Case {
        const char* input;
        const char* expected;
    };
    const Case cases[] = {
        {"Projects", "Projects"},
        {"my.group", "mygroup"},
        {"（word）", "word"},
        {"a~b%c", "abc"},
        {"\"\\/*?<>|~`!@#$%^&()-=+{}[];:',.", ""},
        {"（）！￥…—“”：；、《》，。？", ""},
        {"a b_c 7 Ω", "a b_c 7 Ω"},
        {"abcdefghijklmnopqrstuvwxyzABCD", "abcdefghijklmnopqrstuvwxy"},
        {"abcdefghijklmnopqrstuvwxy", "abcdefghijklmnopqrstuvwxy"},
        // Three bytes each: eight fit in 25 bytes, the ninth would be split and is dropped whole.
        {"文档文档文档文档文档文档", "文档文档文档文档"},
        {"abcdefghijklmnopqrstuvw文", "abcdefghijklmnopqrstuvw"},
        {"abcdefghijklmnopqrstuv文", "abcdefghijklmnopqrstuv文"},
        // Four bytes, a surrogate pair in UTF-16: never cut in half.
        {"abcdefghijklmnopqrstuv😀", "abcdefghijklmnopqrstuv"},
        {"abcdefghijklmnopqrstu😀", "abcdefghijklmnopqrstu😀"},
        {"", ""},
    };
    for (const Case& c : cases) {
        const QString filtered = NameFilter(QString::fromUtf8(c.input));
        EXPECT_EQ(filtered, QString::fromUtf8(c.expected)) << c.input;
        EXPECT_LE(filtered.toUtf8().size(), kGroupNameMaxBytes) << c.input;
        EXPECT_EQ(NameFilter(filtered), filtered) << c.input;
    }
}

TEST(NameFilter, ForbidsExactlyFortySevenCharacters) {
    int forbidden = 0;
    for (char32_t c = 0; c < 0x10000; ++c)
        forbidden += IsForbiddenNameChar(c) ? 1 : 0;
    EXPECT_EQ(forbidden, 47);
    for (char32_t allowed : {U' ', U'_', U'a', U'Z', U'0', U'文', U'é'})
        EXPECT_FALSE(IsForbiddenNameChar(allowed));
}

TEST(Patterns, BareAndExtensionPatterns) {
    struct Case {
        const char* text;
        bool bare;
        bool extension;
    };
    const Case cases[] = {
        {"", true, false},      {"*", true, false},       {".", true, false},
        {"*.", true, true},     {"*.doc", false, true},   {"doc", false, false},
        {".doc", false, false}, {"*.a;*.b", false, true}, {"**.doc", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsBarePattern(QString::fromUtf8(c.text)), c.bare) << c.text;
        EXPECT_EQ(IsExtensionPattern(QString::fromUtf8(c.text)), c.extension) << c.text;
    }
    EXPECT_TRUE(HasPattern({QStringLiteral("*.doc")}, QStringLiteral("*.DOC")));
    EXPECT_FALSE(HasPattern({QStringLiteral("*.doc")}, QStringLiteral("*.docx")));
    // Only ASCII letters fold: "É" and "é" stay different.
    EXPECT_FALSE(SameIgnoringAsciiCase(QStringLiteral("*.É"), QStringLiteral("*.é")));
}

TEST(CheckGroup, NamesPatternsAndDuplicates) {
    core::TGroupList list;
    core::AddDefaultGroups(list);
    list.push_back(
        std::make_unique<core::TGroupData>(core::TGroupData{QStringLiteral("Projects"), {"*.cpp"}}));
    core::TGroupData* projects = list.back().get();
    core::TGroupData* music = list[3].get();
    struct Case {
        const char* name;
        int patterns;
        core::TGroupData* edited;
        GroupCheck expected;
    };
    const Case cases[] = {
        {"", 1, nullptr, GroupCheck::EmptyName},
        {"   ", 1, nullptr, GroupCheck::EmptyName},
        {"New", 0, nullptr, GroupCheck::NoPatterns},
        {"", 0, nullptr, GroupCheck::EmptyName},
        {"New", 1, nullptr, GroupCheck::Ok},
        {"documents", 1, nullptr, GroupCheck::NameTaken},
        {" Projects ", 2, nullptr, GroupCheck::NameTaken},
        {"PROJECTS", 2, projects, GroupCheck::Ok},
        {"Music", 2, projects, GroupCheck::NameTaken},
        {"Music", 2, music, GroupCheck::Ok},
        {"Renamed", 2, projects, GroupCheck::Ok},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CheckGroup(QString::fromUtf8(c.name), c.patterns, list, c.edited), c.expected) << c.name;
}

TEST(KnownExtensions, ComeFromTheMimeDatabaseWithTheirComments) {
    const std::vector<core::TExtensionData> known = LoadKnownExtensions();
    ASSERT_FALSE(known.empty());
    for (const core::TExtensionData& record : known) {
        ASSERT_TRUE(record.Extension.startsWith(u'.')) << record.Extension.toStdString();
        EXPECT_FALSE(record.Extension.contains(u'*'));
    }
    // shared-mime-info registers "*.txt" as plain text.
    EXPECT_FALSE(FileTypeOf(known, QStringLiteral("*.TXT")).isEmpty());
    EXPECT_TRUE(FileTypeOf(known, QStringLiteral("*.no-such-extension")).isEmpty());
}

TEST(ProposeExtensions, ListsTheExtensionsThatBeginWithTheTypedText) {
    const std::vector<core::TExtensionData> known = {
        {".doc", "Word document"}, {".docx", "Word 2007 document"}, {".odt", "Text"}, {".DOT", "Template"}};
    struct Case {
        const char* typed;
        std::vector<QString> expected;
    };
    const Case cases[] = {
        {"*.do", {"*.doc", "*.docx", "*.DOT"}},
        {"*.DOC", {"*.doc", "*.docx"}},
        {"*.o", {"*.odt"}},
        {"*.x", {}},
        {"doc", {}},
        {".doc", {}},
        {"*.", {}},
        {"*", {}},
    };
    for (const Case& c : cases) {
        std::vector<QString> patterns;
        for (const core::TExtensionData& proposal : ProposeExtensions(known, QString::fromUtf8(c.typed)))
            patterns.push_back(proposal.Extension);
        EXPECT_EQ(patterns, c.expected) << c.typed;
    }
    EXPECT_EQ(ProposeExtensions(known, QStringLiteral("*.odt")).at(0).FileType, QStringLiteral("Text"));
}

TEST(GroupOfCaption, FirstGroupByNameOrDisplayName) {
    core::TGroupList list;
    core::AddDefaultGroups(list);
    list.push_back(
        std::make_unique<core::TGroupData>(core::TGroupData{QStringLiteral("Dokumente"), {"*.x"}}));
    list.push_back(std::make_unique<core::TGroupData>(core::TGroupData{QStringLiteral("Code"), {"*.c"}}));
    EXPECT_EQ(GroupOfCaption(list, QStringLiteral("dokumente"), Text), list[0].get());
    EXPECT_EQ(GroupOfCaption(list, QStringLiteral("Musik"), Text), list[3].get());
    EXPECT_EQ(GroupOfCaption(list, QStringLiteral("music"), Text), list[3].get());
    EXPECT_EQ(GroupOfCaption(list, QStringLiteral("CODE"), Text), list[5].get());
    EXPECT_EQ(GroupOfCaption(list, QStringLiteral("Nothing"), Text), nullptr);
}

TEST(RemovedGroupPositions, GroupsWithoutARowHighestFirst) {
    core::TGroupList list;
    core::AddDefaultGroups(list);
    for (const char* name : {"A", "B", "C"})
        list.push_back(
            std::make_unique<core::TGroupData>(core::TGroupData{QString::fromLatin1(name), {"*.a"}}));
    const QStringList rows = {"Dokumente", "Pictures", "Videos", "Musik", "b"};
    EXPECT_EQ(RemovedGroupPositions(list, rows, Text), (std::vector<size_t>{6, 4}));
    EXPECT_TRUE(RemovedGroupPositions(list, rows + QStringList{"A", "C"}, Text).empty());
}

TEST(TrimmedDisplayName, DropsBlanksAndControlCharacters) {
    EXPECT_EQ(TrimmedDisplayName(QStringLiteral(" \t English\r\n")), QStringLiteral("English"));
    EXPECT_EQ(TrimmedDisplayName(QString::fromUtf8("\x01简体 中文\x7f")), QString::fromUtf8("简体 中文"));
    EXPECT_EQ(TrimmedDisplayName(QStringLiteral("  ")), QString());
}

} // namespace
} // namespace kestrel::dialogs
