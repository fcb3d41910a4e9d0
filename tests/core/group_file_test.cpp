#include "group_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
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

// Everything written to standard error (file descriptor 2) while it lives, for the tests that count
// the reader's messages.
class StderrCapture {
public:
    StderrCapture() {
        std::fflush(stderr);
        m_saved = ::dup(2);
        m_file = std::tmpfile();
        if (m_saved >= 0 && m_file)
            ::dup2(::fileno(m_file), 2);
    }
    ~StderrCapture() { finish(); }
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;

    // Stops capturing and returns what was written.
    QByteArray finish() {
        if (m_saved >= 0) {
            std::fflush(stderr);
            ::dup2(m_saved, 2);
            ::close(m_saved);
            m_saved = -1;
            std::rewind(m_file);
            char buffer[4096];
            size_t n;
            while ((n = std::fread(buffer, 1, sizeof buffer, m_file)) > 0)
                m_text.append(buffer, static_cast<qsizetype>(n));
        }
        if (m_file) {
            std::fclose(m_file);
            m_file = nullptr;
        }
        return m_text;
    }

private:
    int m_saved = -1;
    std::FILE* m_file = nullptr;
    QByteArray m_text;
};

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
    EXPECT_TRUE(result.movedAway.isEmpty());

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
         "<FastSearchGroup><Group Name=\"Gone\"/><Group Name=\"Also\"></Group><!-- c -->"
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
        {"a group without children needs no name, an empty name is a name",
         "<FastSearchGroup><Group/><Group Name=\" \"><Content>*.n</Content></Group></FastSearchGroup>",
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
        StderrCapture err;
        GroupLoadResult result = load(list);
        EXPECT_EQ(err.finish(), "") << c.what;
        EXPECT_EQ(result.outcome, GroupLoadOutcome::Loaded) << c.what;
        EXPECT_TRUE(result.movedTo.isEmpty()) << c.what;
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

TEST_F(GroupFile, ABrokenFileGivesTheDefaultsAndIsRenamedAsideWithOneMessage) {
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
        // A group without a "Name" attribute, alone or after good ones.
        "<FastSearchGroup><Group><Content>*.n</Content></Group></FastSearchGroup>",
        "<FastSearchGroup>\n  <Group Name=\"Mine\"><Content>*.m</Content></Group>\n"
        "  <Group name=\"lower case is another attribute\"><Content>*.n</Content></Group>\n"
        "</FastSearchGroup>\n",
    };
    const QString bad = m_path + ".bad";
    int round = 0;
    for (const QByteArray& broken : brokenFiles) {
        SCOPED_TRACE(round++);
        QDir(m_dir.path() + "/Brindleco").removeRecursively();
        write(broken);
        TGroupList list = listOf({{"stale", {"*.old"}}});
        StderrCapture err;
        GroupLoadResult result = load(list);
        const QByteArray said = err.finish();

        EXPECT_EQ(result.outcome, GroupLoadOutcome::BrokenFile);
        // The defaults are appended, as for a missing file.
        Groups expected = {{"stale", {"*.old"}}};
        for (const auto& g : defaults())
            expected.push_back(g);
        EXPECT_EQ(groupsOf(list), expected);
        // The file is gone from its place and kept whole under the ".bad" name.
        EXPECT_EQ(result.movedTo, bad);
        EXPECT_FALSE(QFileInfo::exists(m_path));
        EXPECT_EQ(read(bad), broken);
        EXPECT_TRUE(result.message.contains(m_path)) << result.message.toStdString();
        EXPECT_TRUE(result.message.contains(bad)) << result.message.toStdString();
        // One line on standard error, the reader's own, and nothing from the parser.
        EXPECT_EQ(said, "kestrelfind: " + result.message.toUtf8() + "\n");

        // The next start finds no file and says nothing; saving writes a new file beside the kept one.
        TGroupList next;
        StderrCapture quiet;
        EXPECT_EQ(load(next).outcome, GroupLoadOutcome::NoFile);
        EXPECT_EQ(quiet.finish(), "");
        GroupSaveResult saved = SaveGroups(m_path, next);
        ASSERT_TRUE(saved.ok) << saved.message.toStdString();
        EXPECT_TRUE(saved.movedAway.isEmpty());
        EXPECT_EQ(read(bad), broken);
        TGroupList reloaded;
        EXPECT_EQ(load(reloaded).outcome, GroupLoadOutcome::Loaded);
        EXPECT_EQ(withoutEmptyEntries(groupsOf(reloaded)), defaults());
    }
}

TEST_F(GroupFile, EarlierBrokenFilesAreNeverOverwritten) {
    const QString bad = m_path + ".bad";
    write("first broken");
    write("kept by hand", bad + ".2");
    // A dangling link holds a name as well as a file does.
    ASSERT_TRUE(QFile::link(m_dir.path() + "/nowhere", bad + ".3"));
    const QByteArray broken[] = {"first broken", "second broken", "third broken"};
    const QString expectedNames[] = {bad, bad + ".4", bad + ".5"};
    for (int i = 0; i < 3; ++i) {
        write(broken[i]);
        TGroupList list;
        StderrCapture err;
        GroupLoadResult result = load(list);
        EXPECT_EQ(err.finish().count('\n'), 1);
        EXPECT_EQ(result.movedTo, expectedNames[i]);
        EXPECT_EQ(groupsOf(list), defaults());
    }
    EXPECT_FALSE(QFileInfo::exists(m_path));
    EXPECT_EQ(read(bad), "first broken");
    EXPECT_EQ(read(bad + ".2"), "kept by hand");
    EXPECT_TRUE(QFileInfo(bad + ".3").isSymLink());
    EXPECT_EQ(read(bad + ".4"), "second broken");
    EXPECT_EQ(read(bad + ".5"), "third broken");
    EXPECT_EQ(QDir(m_dir.path() + "/Brindleco").entryList(QDir::Files | QDir::System).size(), 5);
}

TEST_F(GroupFile, ABrokenFileBehindALinkIsRenamedWhereItLies) {
    const QString real = m_dir.path() + "/dotfiles/groups.xml";
    write("<FastSearchGroup><Group><C>*.x</C></Group></FastSearchGroup>", real);
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    ASSERT_TRUE(QFile::link(real, m_path));
    TGroupList list;
    StderrCapture err;
    GroupLoadResult result = load(list);
    err.finish();
    EXPECT_EQ(result.outcome, GroupLoadOutcome::BrokenFile);
    EXPECT_EQ(result.movedTo, real + ".bad");
    EXPECT_EQ(read(real + ".bad"), "<FastSearchGroup><Group><C>*.x</C></Group></FastSearchGroup>");
    // The link stays and the next save writes through it.
    EXPECT_TRUE(QFileInfo(m_path).isSymLink());
    ASSERT_TRUE(SaveGroups(m_path, listOf({{"New", {"*.n"}}})).ok);
    EXPECT_TRUE(QFileInfo(m_path).isSymLink());
    TGroupList loaded;
    EXPECT_EQ(LoadGroups(real, loaded).outcome, GroupLoadOutcome::Loaded);
    EXPECT_EQ(withoutEmptyEntries(groupsOf(loaded)), (Groups{{"New", {"*.n"}}}));
}

TEST_F(GroupFile, AFileBrokenSinceItWasLoadedIsKeptBeforeTheSave) {
    ASSERT_TRUE(SaveGroups(m_path, listOf({{"Mine", {"*.m"}}})).ok);
    TGroupList list;
    ASSERT_EQ(load(list).outcome, GroupLoadOutcome::Loaded);
    write("<FastSearchGroup><Group Name=\"Mine\"><Content>*.m</Content>"); // a hand edit gone wrong
    GroupSaveResult saved = SaveGroups(m_path, list);
    ASSERT_TRUE(saved.ok) << saved.message.toStdString();
    EXPECT_EQ(saved.movedAway, m_path + ".bad");
    EXPECT_EQ(read(m_path + ".bad"), "<FastSearchGroup><Group Name=\"Mine\"><Content>*.m</Content>");
    // A good file is simply replaced.
    GroupSaveResult again = SaveGroups(m_path, listOf({{"Other", {"*.o"}}}));
    ASSERT_TRUE(again.ok);
    EXPECT_TRUE(again.movedAway.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(m_path + ".bad.2"));
    TGroupList loaded;
    load(loaded);
    EXPECT_EQ(withoutEmptyEntries(groupsOf(loaded)), (Groups{{"Other", {"*.o"}}}));
}

TEST_F(GroupFile, SavingReplacesTheFileInOneStep) {
    ASSERT_TRUE(SaveGroups(m_path, listOf({{"Old", {"*.o"}}})).ok);
    const QByteArray before = read();
    // A second name for the old file: writing over the old file in place would change it as well.
    const QString other = m_dir.path() + "/old-file";
    ASSERT_EQ(::link(QFile::encodeName(m_path).constData(), QFile::encodeName(other).constData()), 0);
    ASSERT_TRUE(SaveGroups(m_path, listOf({{"New", {"*.n"}}})).ok);
    EXPECT_EQ(read(other), before);
    EXPECT_NE(read(), before);
    // No temporary file is left beside it.
    EXPECT_EQ(QDir(QFileInfo(m_path).absolutePath()).entryList(QDir::Files | QDir::Hidden),
              QStringList{"KestrelfindConf.xml"});
}

TEST_F(GroupFile, AFolderInPlaceOfTheFileIsReportedNotMovedNorReplaced) {
    ASSERT_TRUE(QDir().mkpath(m_path));
    TGroupList list;
    StderrCapture err;
    GroupLoadResult result = load(list);
    EXPECT_EQ(err.finish().count('\n'), 1);
    EXPECT_EQ(result.outcome, GroupLoadOutcome::BrokenFile);
    EXPECT_TRUE(result.movedTo.isEmpty());
    EXPECT_EQ(groupsOf(list), defaults());
    GroupSaveResult saved = SaveGroups(m_path, list);
    EXPECT_FALSE(saved.ok);
    EXPECT_FALSE(saved.message.isEmpty());
    EXPECT_TRUE(QFileInfo(m_path).isDir());
    EXPECT_FALSE(QFileInfo::exists(m_path + ".bad"));
}

TEST_F(GroupFile, AFailedSaveLeavesThePreviousFileWhole) {
    const QString blocked = m_dir.path() + "/plain-file/KestrelfindConf.xml";
    write("x", m_dir.path() + "/plain-file");
    GroupSaveResult result = SaveGroups(blocked, listOf({{"G", {"*.g"}}}));
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.message.isEmpty());
    EXPECT_EQ(read(m_dir.path() + "/plain-file"), "x");

    if (geteuid() != 0) { // root writes into every folder regardless of its mode
        const QString folder = QFileInfo(m_path).absolutePath();
        write("<R><G><C>*.o</C></G></R>"); // broken: no name
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        TGroupList list;
        StderrCapture err;
        GroupLoadResult loaded = load(list);
        EXPECT_EQ(err.finish().count('\n'), 1);
        EXPECT_EQ(loaded.outcome, GroupLoadOutcome::BrokenFile);
        EXPECT_TRUE(loaded.movedTo.isEmpty());
        EXPECT_EQ(groupsOf(list), defaults());
        GroupSaveResult unmovable = SaveGroups(m_path, list);
        QFile::setPermissions(folder,
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        EXPECT_FALSE(unmovable.ok);
        EXPECT_EQ(read(), "<R><G><C>*.o</C></G></R>");
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

// Random damage to a real file: the reader never crashes, moves aside exactly what it rejects and
// leaves the rest alone, and whatever it accepts survives a save and a reload with only its empty
// entries and entry-less groups gone.
TEST_F(GroupFile, RandomlyDamagedFilesLoadSafelyAndRoundTrip) {
    TGroupList start = listOf({{"Documents", {"*.doc", " *.txt"}},
                               {"\u97F3\u4E50", {"*.mp3", "*.\u00E9"}},
                               {"X & Y", {"<a>", "b"}}});
    ASSERT_TRUE(SaveGroups(m_path, start).ok);
    const QByteArray good = read();
    std::mt19937 rng(31337);
    int loadedCount = 0;
    int brokenCount = 0;
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
        StderrCapture err;
        GroupLoadResult result = load(list);
        const QByteArray said = err.finish();
        if (result.outcome == GroupLoadOutcome::BrokenFile) {
            // Kept whole under the ".bad" name, said once; removed so the next round uses that name again.
            ASSERT_EQ(result.movedTo, m_path + ".bad");
            ASSERT_EQ(read(result.movedTo), bytes);
            ASSERT_EQ(said.count('\n'), 1) << said.toStdString();
            ASSERT_EQ(groupsOf(list), defaults());
            QFile::remove(result.movedTo);
            ++brokenCount;
            continue;
        }
        ASSERT_EQ(said, "");
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
    EXPECT_GT(brokenCount, 20);
}

} // namespace
} // namespace kestrel::core
