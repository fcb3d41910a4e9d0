#include "group_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdlib>
#include <ostream>
#include <random>
#include <utility>
#include <vector>

// Readable failure messages for Qt's texts.
void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
void PrintTo(const QByteArray& bytes, std::ostream* os) {
    *os << '"' << bytes.toStdString() << '"';
}

namespace kestrel::core {
namespace {

using Groups = std::vector<std::pair<QString, QStringList>>;

Groups groupsOf(const TGroupList& list) {
    Groups groups;
    for (const auto& g : list)
        groups.emplace_back(g->Name, g->Content);
    return groups;
}

TGroupList listOf(const Groups& groups) {
    TGroupList list;
    for (const auto& [name, content] : groups)
        list.push_back(std::make_unique<TGroupData>(TGroupData{name, content}));
    return list;
}

// What every reader sees: the groups with their empty entries skipped. A saved file is indented, so
// reading it back yields empty entries for the white space between the elements.
Groups withoutEmptyEntries(const Groups& groups) {
    Groups out;
    for (const auto& [name, content] : groups) {
        QStringList entries;
        for (const QString& entry : content) {
            if (!entry.isEmpty())
                entries.append(entry);
        }
        out.emplace_back(name, entries);
    }
    return out;
}

Groups defaults() {
    TGroupList list;
    AddDefaultGroups(list);
    return groupsOf(list);
}

// Each test gets its own XDG_CONFIG_HOME in a temporary folder; the group file lives below it.
class GroupFile : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        const char* old = std::getenv("XDG_CONFIG_HOME");
        m_oldConfig = old ? QByteArray(old) : QByteArray();
        m_hadConfig = old != nullptr;
        setenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.path()).constData(), 1);
        m_path = GroupFilePath();
    }
    void TearDown() override {
        if (m_hadConfig)
            setenv("XDG_CONFIG_HOME", m_oldConfig.constData(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
    }

    void write(const QByteArray& bytes, const QString& path = {}) {
        QString target = path.isEmpty() ? m_path : path;
        QDir().mkpath(QFileInfo(target).absolutePath());
        QFile file(target);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }
    QByteArray read(const QString& path = {}) {
        QFile file(path.isEmpty() ? m_path : path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    GroupLoadResult load(TGroupList& list) { return LoadGroups(m_path, list); }

    QTemporaryDir m_dir;
    QByteArray m_oldConfig;
    bool m_hadConfig = false;
    QString m_path;
};

TEST_F(GroupFile, LivesInTheBrindlecoFolderOfTheConfigHome) {
    EXPECT_EQ(m_path, m_dir.path() + "/Brindleco/KestrelfindConf.xml");
    const QByteArray oldHome = qgetenv("HOME");
    setenv("HOME", QFile::encodeName(m_dir.path() + "/home").constData(), 1);
    setenv("XDG_CONFIG_HOME", "relative/config", 1); // not absolute: ignored
    EXPECT_EQ(GroupFilePath(), m_dir.path() + "/home/.config/Brindleco/KestrelfindConf.xml");
    setenv("HOME", oldHome.constData(), 1);
}

TEST_F(GroupFile, NoFileGivesTheFourBuiltInGroupsAndWritesNothing) {
    TGroupList list;
    GroupLoadResult result = load(list);
    EXPECT_EQ(result.outcome, GroupLoadOutcome::NoFile);
    EXPECT_TRUE(result.message.isEmpty());
    ASSERT_EQ(list.size(), 4u);
    const char* names[] = {"Documents", "Pictures", "Videos", "Music"};
    const qsizetype counts[] = {24, 5, 9, 3};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(list[i]->Name, names[i]);
        EXPECT_EQ(list[i]->Content.size(), counts[i]);
        EXPECT_TRUE(IsBuiltInGroup(list[i]->Name));
        for (const QString& pattern : list[i]->Content)
            EXPECT_TRUE(pattern.startsWith("*.")) << pattern.toStdString();
    }
    EXPECT_TRUE(list[2]->Content.contains("*.wav") && list[3]->Content.contains("*.wav"));
    EXPECT_TRUE(list[2]->Content.contains("*.wma") && list[3]->Content.contains("*.wma"));
    EXPECT_FALSE(QFileInfo::exists(m_path));

    // Defaults are appended, never replacing what the list holds.
    AddDefaultGroups(list);
    EXPECT_EQ(list.size(), 8u);
}

TEST_F(GroupFile, SaveAndLoadKeepOrderTextsAndDropEmptyEntries) {
    const Groups saved = {
        {"Documents", {"*.doc", "", " *.txt", "*.pdf"}},
        {"\u6587\u6863 & <notes> \"q\" 'a'", {"*.\u4E2D", "*.a&b", "*.<x>", "*.tab\there"}},
        {"Only empty", {"", ""}},
        {"Line\nbreak\rand\ttab", {"a\r\nb"}},
        {"Music", {"*.mp3"}},
    };
    TGroupList list = listOf(saved);
    GroupSaveResult result = SaveGroups(m_path, list);
    ASSERT_TRUE(result.ok) << result.message.toStdString();
    EXPECT_TRUE(result.keptCopy.isEmpty());

    TGroupList loaded;
    EXPECT_EQ(load(loaded).outcome, GroupLoadOutcome::Loaded);
    const Groups expected = {
        {"Documents", {"*.doc", " *.txt", "*.pdf"}},
        {"\u6587\u6863 & <notes> \"q\" 'a'", {"*.\u4E2D", "*.a&b", "*.<x>", "*.tab\there"}},
        {"Line\nbreak\rand\ttab", {"a\r\nb"}},
        {"Music", {"*.mp3"}},
    };
    EXPECT_EQ(withoutEmptyEntries(groupsOf(loaded)), expected);
    // Every entry read back is either a saved entry or the white space between two of them.
    for (const auto& g : loaded) {
        for (qsizetype i = 0; i < g->Content.size(); i += 2)
            EXPECT_TRUE(g->Content[i].isEmpty()) << i;
    }
}

TEST_F(GroupFile, SavedFileIsIndentedUtf8UnderTheRootElement) {
    TGroupList list = listOf({{"Pictures", {"*.bmp", "*.gif"}}, {"\u00C9t\u00E9", {"*.x"}}});
    ASSERT_TRUE(SaveGroups(m_path, list).ok);
    const QList<QByteArray> lines = read().split('\n');
    ASSERT_GE(lines.size(), 8);
    EXPECT_EQ(lines[0], R"(<?xml version="1.0" encoding="UTF-8"?>)");
    EXPECT_EQ(lines[1], R"(<FastSearchGroup xml:space="preserve">)");
    EXPECT_EQ(lines[2], R"(  <Group Name="Pictures">)");
    EXPECT_EQ(lines[3], R"(    <Content>*.bmp</Content>)");
    EXPECT_EQ(lines[4], R"(    <Content>*.gif</Content>)");
    EXPECT_EQ(lines[5], R"(  </Group>)");
    EXPECT_EQ(lines[6], "  <Group Name=\"\xC3\x89t\xC3\xA9\">");
}

TEST_F(GroupFile, AnEmptyListIsSavedAsABareRootAndReadsAsTheDefaults) {
    ASSERT_TRUE(SaveGroups(m_path, TGroupList()).ok);
    EXPECT_TRUE(read().contains("<FastSearchGroup xml:space=\"preserve\"/>"));
    TGroupList loaded;
    EXPECT_EQ(load(loaded).outcome, GroupLoadOutcome::NoGroups);
    EXPECT_EQ(groupsOf(loaded), defaults());
}

TEST_F(GroupFile, HandWrittenFilesFollowTheReadingRules) {
    struct Case {
        const char* what;
        QByteArray xml;
        Groups groups;
    };
    const Case cases[] = {
        {"white space between entries becomes empty entries",
         "<FastSearchGroup>\n <Group Name=\"G\">\n  <Content>*.a</Content>\n  <Content>*.b</Content>\n"
         "  <Content>*.c</Content>\n </Group>\n</FastSearchGroup>",
         {{"G", {"", "*.a", "", "*.b", "", "*.c", ""}}}},
        {"groups without children are skipped",
         "<FastSearchGroup><Group Name=\"Gone\"/><Group Name=\"Also\"></Group>"
         "<Group Name=\"Kept\"><Content>*.k</Content></Group></FastSearchGroup>",
         {{"Kept", {"*.k"}}}},
        {"names are trimmed up to the blank, entries are not",
         "<FastSearchGroup><Group Name=\" \t Music  \"><Content> *.txt </Content></Group></FastSearchGroup>",
         {{"Music", {" *.txt "}}}},
        {"only text-only children give entries",
         "<FastSearchGroup><Group Name=\"G\"><Content><b>x</b></Content><Content><![CDATA[*.<c>]]></Content>"
         "<!-- note --><Content>a<!--x-->b</Content><Content/><Content>&amp;&lt;</Content></Group>"
         "</FastSearchGroup>",
         {{"G", {"", "*.<c>", "", "", "", "&<"}}}},
        {"element names are not checked",
         "<Other><Foo Name=\"F\"><Bar>*.f</Bar></Foo></Other>",
         {{"F", {"*.f"}}}},
        {"a group without a name keeps its patterns",
         "<FastSearchGroup><Group><Content>*.n</Content></Group></FastSearchGroup>",
         {{"", {"*.n"}}}},
        {"a root whose children are all skipped gives no groups",
         "<FastSearchGroup>\n  <!-- nothing -->\n</FastSearchGroup>",
         {}},
        {"duplicates are kept",
         "<FastSearchGroup><Group Name=\"D\"><C>1</C></Group><Group "
         "Name=\"D\"><C>2</C></Group></FastSearchGroup>",
         {{"D", {"1"}}, {"D", {"2"}}}},
        {"another declared encoding is decoded",
         "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><R><G Name=\"\xC9t\xE9\"><C>*.\xE9</C></G></R>",
         {{"\u00C9t\u00E9", {"*.\u00E9"}}}},
    };
    for (const Case& c : cases) {
        write(c.xml);
        TGroupList list = listOf({{"stale", {"*.old"}}});
        GroupLoadResult result = load(list);
        EXPECT_EQ(result.outcome, GroupLoadOutcome::Loaded) << c.what;
        EXPECT_EQ(groupsOf(list), c.groups) << c.what;
        EXPECT_EQ(read(), c.xml) << c.what;
    }
}

TEST(GroupDisplayName, BuiltInNamesIgnoringAsciiCaseOnly) {
    const TextLookup text = [](const QString& id) { return "text " + id; };
    struct Case {
        QString name;
        QString shown;
    };
    const Case cases[] = {
        {"Documents", "text 3702009"},
        {"documents", "text 3702009"},
        {"PICTURES", "text 3702010"},
        {"vIdEoS", "text 3702011"},
        {"Music", "text 3702012"},
        {"Musics", "Musics"},
        {" Music", " Music"},
        {"Mus", "Mus"},
        {"V\u0131deos", "V\u0131deos"},
        {"\u6587\u6863", "\u6587\u6863"},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GroupDisplayName(c.name, text), c.shown) << c.name.toStdString();
        EXPECT_EQ(IsBuiltInGroup(c.name), c.shown != c.name) << c.name.toStdString();
    }
}

TEST_F(GroupFile, ABrokenFileGivesTheDefaultsAndSurvivesTheNextSave) {
    const QByteArray good =
        "<FastSearchGroup><Group Name=\"Mine\"><Content>*.m</Content></Group></FastSearchGroup>";
    const QByteArray brokenFiles[] = {
        "",
        "not xml at all",
        good.left(good.size() / 2),
        good.left(good.size() - 1),
        "<FastSearchGroup><Group Name=\"x\"></Grop></FastSearchGroup>",
        "<a/><b/>",
        QByteArray("\x00\x01\xFF\xFE<", 5),
    };
    int round = 0;
    for (const QByteArray& broken : brokenFiles) {
        SCOPED_TRACE(round++);
        QDir(m_dir.path() + "/Brindleco").removeRecursively();
        write(broken);
        TGroupList list;
        GroupLoadResult result = load(list);
        EXPECT_EQ(result.outcome, GroupLoadOutcome::BrokenFile);
        EXPECT_TRUE(result.message.contains(m_path)) << result.message.toStdString();
        EXPECT_EQ(groupsOf(list), defaults());
        EXPECT_EQ(read(), broken) << "loading must not touch the file";

        GroupSaveResult saved = SaveGroups(m_path, list);
        ASSERT_TRUE(saved.ok) << saved.message.toStdString();
        EXPECT_EQ(saved.keptCopy, m_path + ".broken");
        EXPECT_EQ(read(saved.keptCopy), broken);
        TGroupList reloaded;
        EXPECT_EQ(load(reloaded).outcome, GroupLoadOutcome::Loaded);
        EXPECT_EQ(withoutEmptyEntries(groupsOf(reloaded)), defaults());
    }

    // A second broken file does not replace the first copy; the same broken file is kept once.
    QDir(m_dir.path() + "/Brindleco").removeRecursively();
    write("broken one");
    ASSERT_TRUE(SaveGroups(m_path, TGroupList()).ok);
    write("broken two");
    GroupSaveResult second = SaveGroups(m_path, TGroupList());
    EXPECT_EQ(second.keptCopy, m_path + ".broken-2");
    EXPECT_EQ(read(m_path + ".broken-2"), "broken two");
    write("broken two");
    EXPECT_EQ(SaveGroups(m_path, TGroupList()).keptCopy, m_path + ".broken-2");
    EXPECT_FALSE(QFileInfo::exists(m_path + ".broken-3"));
}

TEST_F(GroupFile, AFolderInPlaceOfTheFileIsReportedNotReplaced) {
    ASSERT_TRUE(QDir().mkpath(m_path));
    TGroupList list;
    EXPECT_EQ(load(list).outcome, GroupLoadOutcome::BrokenFile);
    EXPECT_EQ(groupsOf(list), defaults());
    GroupSaveResult result = SaveGroups(m_path, list);
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.message.isEmpty());
    EXPECT_TRUE(QFileInfo(m_path).isDir());
}

TEST_F(GroupFile, AFailedSaveLeavesThePreviousFileWhole) {
    const QString blocked = m_dir.path() + "/plain-file/KestrelfindConf.xml";
    write("x", m_dir.path() + "/plain-file");
    GroupSaveResult result = SaveGroups(blocked, listOf({{"G", {"*.g"}}}));
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.message.isEmpty());
    EXPECT_EQ(read(m_dir.path() + "/plain-file"), "x");

    if (geteuid() != 0) { // root reads and writes every file regardless of its mode
        write("<R><G Name=\"Old\"><C>*.o</C></G></R>");
        QFile::setPermissions(m_path, QFileDevice::WriteOwner);
        GroupSaveResult unreadable = SaveGroups(m_path, listOf({{"New", {"*.n"}}}));
        EXPECT_FALSE(unreadable.ok);
        QFile::setPermissions(m_path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        EXPECT_EQ(read(), "<R><G Name=\"Old\"><C>*.o</C></G></R>");
    }
}

TEST_F(GroupFile, SavingThroughASymbolicLinkWritesTheLinkedFile) {
    const QString real = m_dir.path() + "/elsewhere/groups.xml";
    write("<R><G Name=\"Old\"><C>*.o</C></G></R>", real);
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    ASSERT_TRUE(QFile::link(real, m_path));
    ASSERT_TRUE(SaveGroups(m_path, listOf({{"New", {"*.n"}}})).ok);
    EXPECT_TRUE(QFileInfo(m_path).isSymLink());
    TGroupList loaded;
    LoadGroups(real, loaded);
    EXPECT_EQ(withoutEmptyEntries(groupsOf(loaded)), (Groups{{"New", {"*.n"}}}));
}

// Random damage to a real file: the reader never crashes, never writes, and whatever it accepts
// survives a save and a reload with only its empty entries and entry-less groups gone.
TEST_F(GroupFile, RandomlyDamagedFilesLoadSafelyAndRoundTrip) {
    TGroupList start = listOf({{"Documents", {"*.doc", " *.txt"}},
                               {"\u97F3\u4E50", {"*.mp3", "*.\u00E9"}},
                               {"X & Y", {"<a>", "b"}}});
    ASSERT_TRUE(SaveGroups(m_path, start).ok);
    const QByteArray good = read();
    std::mt19937 rng(31337);
    int loadedCount = 0;
    for (int round = 0; round < 400; ++round) {
        SCOPED_TRACE(round);
        QByteArray bytes = good;
        int edits = 1 + static_cast<int>(rng() % 4);
        for (int i = 0; i < edits && !bytes.isEmpty(); ++i) {
            qsizetype at = static_cast<qsizetype>(rng() % static_cast<uint32_t>(bytes.size()));
            switch (rng() % 3) {
            case 0:
                bytes[at] = static_cast<char>(rng());
                break;
            case 1:
                bytes.remove(at, 1 + static_cast<qsizetype>(rng() % 8));
                break;
            default:
                bytes.insert(at, "<>&\"'\n "[rng() % 7]);
            }
        }
        write(bytes);
        TGroupList list;
        GroupLoadResult result = load(list);
        ASSERT_EQ(read(), bytes);
        if (result.outcome != GroupLoadOutcome::Loaded)
            continue;
        ++loadedCount;
        Groups expected;
        for (const auto& g : list) {
            QStringList entries;
            for (const QString& entry : g->Content) {
                if (!entry.isEmpty())
                    entries.append(entry);
            }
            if (!entries.isEmpty())
                expected.emplace_back(g->Name, entries);
        }
        ASSERT_TRUE(SaveGroups(m_path, list).ok);
        TGroupList reloaded;
        load(reloaded);
        ASSERT_EQ(withoutEmptyEntries(groupsOf(reloaded)), list.empty() ? defaults() : expected);
    }
    EXPECT_GT(loadedCount, 20);
}

} // namespace
} // namespace kestrel::core
