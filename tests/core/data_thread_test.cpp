// Searches through StartSearch over the real engine and real trees, seen through a recording list view:
// what each mode keeps, the Shortcuts filter, the count text, the refresh in place row by row, and that
// a superseded search never reaches a list. Also the change callback and the index start-up thread.
#include "data_thread.h"
#include "engine_text.h"
#include "temp_tree.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>

namespace kestrel::core {
namespace {

using kestrel::test::TempTree;
using Strings = std::vector<std::string>;

// A window's list and status bar that records every call in order, and whether a search was running.
class RecordingView : public TResultListView, public TStatusBarView {
public:
    explicit RecordingView(int32_t rows = 0) : m_rows(rows) {}
    int32_t RowCount() const override { return m_rows; }
    void RemoveRow(int32_t row) override {
        record("remove " + std::to_string(row));
        EXPECT_EQ(row, --m_rows) << "only the last row is removed";
        if (onRemove)
            onRemove();
    }
    void AppendRow() override {
        record("append");
        ++m_rows;
    }
    void SetRowCount(int32_t count) override {
        record("count " + std::to_string(count));
        m_rows = count;
    }
    void Repaint() override { record("repaint"); }
    void SetPanelText(int32_t panel, const QString& text) override {
        record("panel" + std::to_string(panel) + " " + text.toStdString());
        panels[panel] = text;
    }
    bool runningThroughout() const {
        return std::find(running.begin(), running.end(), false) == running.end();
    }

    Strings calls;
    std::vector<bool> running;
    QString panels[2];
    std::function<void()> onRemove;

private:
    void record(std::string call) {
        calls.push_back(std::move(call));
        running.push_back(SearchRunning);
    }
    int32_t m_rows;
};

Strings resultPaths(bool sorted = true) {
    Strings out;
    for (size_t i = 0; i < ResultList.size(); ++i) {
        const TItemFileData* r = ResultAt(static_cast<int32_t>(i));
        out.push_back(r ? EngineTextToBytes(r->Folder) + EngineTextToBytes(r->Name) : "<none>");
    }
    if (sorted)
        std::sort(out.begin(), out.end());
    return out;
}

// Every search started has been handed over or dropped.
bool searchesSettled() {
    return QTest::qWaitFor([] { return !SearchRunning && LiveSearchThreadCount() == 0; }, 20000);
}

class SearchThreads : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("KESTRELFIND_ROOTS", tree.root().c_str(), 1);
        ::setenv("XDG_CACHE_HOME", cache.root().c_str(), 1);
        InitSharedState();
        SetStatusTextLookup([](const QString& id, const QString& arg) { return id + ":" + arg; });
    }
    void TearDown() override {
        ::unsetenv("SYSTEMDRIVE");
        StopSearchThreads();
        StopKestrelfind(nullptr);
        SetStatusTextLookup(nullptr);
        FreeSharedState();
    }
    void index() { ASSERT_EQ(Kestrelfind(nullptr, 1, 1, 0, nullptr), KF_OK); }

    // Runs one search to its end; returns the view's calls.
    Strings search(const std::string& query, int32_t mode, const QString& extra = {}, int32_t rows = 0) {
        RecordingView view(rows);
        StartSearch(QString::fromStdString(query), mode, extra, &view, &view);
        EXPECT_TRUE(searchesSettled());
        return view.calls;
    }
    Strings paths(Strings relative) {
        for (auto& p : relative)
            p = tree.path(p);
        std::sort(relative.begin(), relative.end());
        return relative;
    }

    TempTree tree;
    TempTree cache;
};

TEST_F(SearchThreads, EachModeKeepsItsRecordsAndReportsTheCount) {
    tree.file("docs/report.txt");
    tree.file("docs/Report.md");
    tree.folder("docs/reports");
    tree.file("docs/other.txt");
    index();
    const Strings all = paths({"docs/Report.md", "docs/report.txt", "docs/reports"});
    EXPECT_EQ(search("*report*", kModeAll), (Strings{"panel0 3702008:3", "panel1 ", "count 3", "repaint"}));
    EXPECT_EQ(resultPaths(), all);
    search("*report*", kModeGroup);
    EXPECT_EQ(resultPaths(), all);
    search("*.md|*.txt", kModeGroup);
    EXPECT_EQ(resultPaths(), paths({"docs/Report.md", "docs/other.txt", "docs/report.txt"}));
    search("*report*", kModeFolders);
    EXPECT_EQ(resultPaths(), paths({"docs/reports"}));

    for (int32_t mode : {-1, 4}) {
        EXPECT_EQ(search("*", mode, {}, 5), (Strings{"panel0 3702008:0", "panel1 ", "count 0", "repaint"}));
        EXPECT_TRUE(ResultList.empty());
    }
    // Without a status bar only the list changes.
    RecordingView view;
    StartSearch("*.md", kModeAll, {}, nullptr, &view);
    ASSERT_TRUE(searchesSettled());
    EXPECT_EQ(view.calls, (Strings{"count 1", "repaint"}));
}

TEST_F(SearchThreads, MatchPathAndPathQueriesSearchFullPaths) {
    tree.file("docs/a.txt");
    tree.file("docs/sub/b.txt");
    tree.file("other/docsnote.txt");
    index();
    search("*docs*", kModeAll);
    EXPECT_EQ(resultPaths(), paths({"docs", "other/docsnote.txt"}));
    search("*" + tree.path("docs/") + "*", kModeAll);
    EXPECT_EQ(resultPaths(), paths({"docs/a.txt", "docs/sub", "docs/sub/b.txt"}));
    MatchPath = true;
    search("*docs*", kModeAll);
    EXPECT_EQ(resultPaths(),
              paths({"docs", "docs/a.txt", "docs/sub", "docs/sub/b.txt", "other/docsnote.txt"}));
    search("*docs*", kModeFolders);
    EXPECT_EQ(resultPaths(), paths({"docs", "docs/sub"}));
}

TEST_F(SearchThreads, RunsOfStarsReachTheEngineAsOne) {
    index();
    const std::pair<QString, std::u16string> cases[] = {
        {"a****b", u"a*b"}, {"**", u"*"}, {"*x**|**y", u"*x*|*y"}};
    for (const auto& [typed, sent] : cases) {
        RecordingView view;
        StartSearch(typed, kModeAll, {}, &view, &view);
        ASSERT_NE(CurrentSearchThread(), nullptr);
        EXPECT_EQ(CurrentSearchThread()->Query(), sent);
        ASSERT_TRUE(searchesSettled());
    }
}

TEST_F(SearchThreads, ShortcutsKeepLaunchersWhoseNameHoldsTheFilter) {
    for (const char* name : {"Writer.desktop", "calc.DESKTOP", "Ärger.desktop", "writer.txt", "desktop"})
        tree.file(std::string("apps/") + name);
    tree.file("apps/x.desktop/in.desktop");
    tree.file("elsewhere/Writer2.desktop");
    index();
    // The Shortcuts pattern names the launcher folders; the typed text only filters the names.
    const std::string pattern = tree.path("apps") + "/*|";
    const std::pair<QString, Strings> cases[] = {
        {"", {"apps/Writer.desktop", "apps/calc.DESKTOP", "apps/Ärger.desktop", "apps/x.desktop/in.desktop"}},
        {"*",
         {"apps/Writer.desktop", "apps/calc.DESKTOP", "apps/Ärger.desktop", "apps/x.desktop/in.desktop"}},
        {"wRIT", {"apps/Writer.desktop"}},
        {"ärg", {"apps/Ärger.desktop"}}, // case by Unicode's rules, not only A-Z
        {"apps", {}},                    // the folder is never tested
        {"w*", {}},                      // a star inside a filter is a plain character
    };
    for (const auto& [filter, expected] : cases) {
        search(pattern, kModeShortcuts, filter);
        EXPECT_EQ(resultPaths(), paths(expected)) << filter.toStdString();
        EXPECT_EQ(ShortcutFilter, filter);
    }
}

class RefreshRows : public SearchThreads {
protected:
    void makeFiles(int n) {
        for (int i = 0; i < n; ++i)
            tree.file("list/f" + std::to_string(i) + ".log", static_cast<size_t>(i * 10));
        index();
    }
};

TEST_F(RefreshRows, FewerResultsDeleteRowsFromTheEndMoreAppendThem) {
    makeFiles(7);
    RecordingView view(10);
    view.panels[1] = "1 selected";
    RefreshInPlace = true;
    StartSearch("*.log", kModeAll, {}, &view, &view);
    ASSERT_TRUE(searchesSettled());
    EXPECT_EQ(view.calls, (Strings{"panel0 3702008:7", "remove 9", "remove 8", "remove 7", "repaint"}));
    EXPECT_EQ(view.panels[1], "1 selected");
    EXPECT_TRUE(view.runningThroughout());
    EXPECT_FALSE(RefreshInPlace);

    for (int i = 7; i < 12; ++i)
        tree.file("more/f" + std::to_string(i) + ".log");
    StopKestrelfind(nullptr);
    ASSERT_EQ(Kestrelfind(nullptr, 0, 0, 0, nullptr), KF_OK); // a fresh scan, not the saved index
    RefreshInPlace = true;
    EXPECT_EQ(search("*.log", kModeAll, {}, 10),
              (Strings{"panel0 3702008:12", "append", "append", "repaint"}));
    EXPECT_FALSE(RefreshInPlace);
}

TEST_F(RefreshRows, KeepsTheLastSortOrTheEngineOrder) {
    makeFiles(6);
    search("*.log", kModeAll);
    const Strings engineOrder = resultPaths(false);
    RefreshInPlace = true;
    search("*.log", kModeAll, {}, 6);
    EXPECT_EQ(resultPaths(false), engineOrder); // key -1
    SortState = {true, 2};
    RefreshInPlace = true;
    search("*.log", kModeAll, {}, 6);
    ASSERT_EQ(ResultList.size(), 6u);
    for (size_t i = 1; i < ResultList.size(); ++i)
        EXPECT_GT(ResultList[i - 1]->Size, ResultList[i]->Size);
    search("*.log", kModeAll); // a plain search never sorts
    EXPECT_EQ(resultPaths(false), engineOrder);
}

TEST_F(RefreshRows, StopsAtOnceWhenAViewStartsANewSearchMeanwhile) {
    makeFiles(2);
    RecordingView first(10), second;
    first.onRemove = [&] { StartSearch("*.log", kModeAll, {}, &second, &second); };
    RefreshInPlace = true;
    StartSearch("nothing-matches-this", kModeAll, {}, &first, &first);
    ASSERT_TRUE(searchesSettled());
    EXPECT_EQ(first.calls, (Strings{"panel0 3702008:0", "remove 9"}));
    EXPECT_EQ(second.calls, (Strings{"panel0 3702008:2", "append", "append", "repaint"}));
    EXPECT_EQ(ResultList.size(), 2u);
}

TEST_F(SearchThreads, OnlyTheLastOfManyQuickSearchesReachesAList) {
    for (int i = 0; i < 40; ++i)
        tree.file("n" + std::to_string(i) + "/item" + std::to_string(i) + ".dat");
    for (int i = 0; i < 3000; ++i)
        tree.file("bulk/b" + std::to_string(i) + ".dat");
    index();
    std::vector<std::unique_ptr<RecordingView>> views;
    for (int i = 0; i < 40; ++i) {
        views.push_back(std::make_unique<RecordingView>(3));
        // Every other search asks for everything, so that superseded ones are still inside the engine.
        const QString query = i % 2 ? QString("*.dat") : QString("item%1.dat").arg(i);
        StartSearch(query, kModeAll, {}, views.back().get(), views.back().get());
    }
    StartSearch("item7.dat", kModeAll, {}, views[7].get(), views[7].get());
    ASSERT_TRUE(searchesSettled());
    for (int i = 0; i < 40; ++i) {
        if (i != 7) {
            EXPECT_TRUE(views[i]->calls.empty()) << "search " << i << " reached its list";
        }
    }
    EXPECT_EQ(views[7]->calls, (Strings{"panel0 3702008:1", "panel1 ", "count 1", "repaint"}));
    EXPECT_TRUE(views[7]->runningThroughout());
    EXPECT_EQ(resultPaths(), paths({"n7/item7.dat"}));
}

TEST_F(SearchThreads, ClosedWindowsAndStoppedSearchesAreLeftAlone) {
    for (int i = 0; i < 2000; ++i)
        tree.file("d/f" + std::to_string(i));
    index();
    auto closed = std::make_unique<RecordingView>();
    StartSearch("f*", kModeAll, {}, closed.get(), closed.get());
    closed.reset();
    ASSERT_TRUE(searchesSettled());
    EXPECT_EQ(ResultList.size(), 2000u); // the list still takes the results

    RecordingView view;
    StartSearch("d", kModeAll, {}, &view, &view);
    StopSearchThreads();
    EXPECT_FALSE(SearchRunning);
    EXPECT_EQ(LiveSearchThreadCount(), 0u);
    QCoreApplication::processEvents();
    EXPECT_TRUE(view.calls.empty());
    EXPECT_EQ(ResultList.size(), 2000u);
}

TEST(FileChanges, KindsAndTheSystemDrive) {
    struct Case {
        const char* systemDrive; // null: unset
        const char16_t* path;
        int32_t kind;
        bool sets;
    };
    const Case cases[] = {
        {nullptr, u"/var/log/syslog", KF_CHANGE_MODIFIED, false},
        {nullptr, u"/home/ann/a.txt", 3, false},
        {nullptr, u"/home/ann/Desktop/a.txt", KF_CHANGE_MODIFIED, true},
        {nullptr, u"/home/ann/desktop/a.txt", KF_CHANGE_MODIFIED, true},
        {nullptr, u"/", KF_CHANGE_MODIFIED, true},
        {nullptr, u"/var/log/syslog", KF_CHANGE_CREATED, true},
        {nullptr, u"/var/log/syslog", KF_CHANGE_DELETED, true},
        {"", u"/var/log/syslog", KF_CHANGE_MODIFIED, false},
        {"/mnt/sys", u"/mnt/sys/Windows/Temp/x.tmp", KF_CHANGE_MODIFIED, false},
        {"/mnt/sys/", u"/mnt/sys/Windows/Temp/x.tmp", KF_CHANGE_MODIFIED, false},
        {"/mnt/sys", u"/mnt/sys/Users/Ann/DESKTOP/a.txt", KF_CHANGE_MODIFIED, true},
        {"/mnt/sys", u"/mnt/sys", KF_CHANGE_MODIFIED, true},
        {"/mnt/sys/", u"/mnt/sys/", KF_CHANGE_MODIFIED, true},
        {"/mnt/sys", u"/var/log/syslog", KF_CHANGE_MODIFIED, true},
        {"/mnt/sys", u"/mnt/system2/x", KF_CHANGE_MODIFIED, true}, // a sibling, not inside
        {"/mnt/sys", u"/MNT/SYS/x", KF_CHANGE_MODIFIED, true},     // paths are case-sensitive
        {"/mnt/sys", u"/mnt/sys/Windows/Temp/x.tmp", KF_CHANGE_DELETED, true},
    };
    for (const Case& c : cases) {
        c.systemDrive ? ::setenv("SYSTEMDRIVE", c.systemDrive, 1) : ::unsetenv("SYSTEMDRIVE");
        FilesChanged = false;
        FileChangeCallback(nullptr, &c.path, c.kind);
        EXPECT_EQ(FilesChanged, c.sets)
            << (c.systemDrive ? c.systemDrive : "unset") << " " << EngineTextToBytes(c.path) << " " << c.kind;
    }
    ::unsetenv("SYSTEMDRIVE");
    const char16_t* none = nullptr;
    FilesChanged = false;
    for (int32_t kind : {0, 1, 2}) {
        FileChangeCallback(nullptr, nullptr, kind);
        FileChangeCallback(nullptr, &none, kind);
    }
    EXPECT_FALSE(FilesChanged);
}

// The program's road from start-up: the index start-up thread over a real tree while the UI thread's
// loop waits for IndexReady, one search in each of the four modes into a window's list and status bar,
// then changes on disk that raise FilesChanged and reach the list through a refresh in place.
TEST_F(SearchThreads, StartUpThenEveryModeThenChangesOnDisk) {
    tree.file("apps/Editor.desktop");
    tree.file("apps/Viewer.desktop");
    tree.file("apps/editor.txt");
    tree.file("work/notes.txt", 5);
    tree.file("work/plan.md");
    tree.folder("work/notes");
    // A modified file counts only off the system drive; the tree is on "/", so name another drive.
    ::setenv("SYSTEMDRIVE", cache.root().c_str(), 1);

    TInitThread init;
    EXPECT_FALSE(IndexReady);
    ASSERT_TRUE(QTest::qWaitFor([] { return IndexReady.load(); }, 60000));

    struct Case {
        std::string query;
        int32_t mode;
        QString extra;
        Strings found;
    };
    const Case cases[] = {
        {"*notes*", kModeAll, {}, {"work/notes", "work/notes.txt"}},
        {tree.path("apps") + "/*|", kModeShortcuts, "EDIT", {"apps/Editor.desktop"}},
        {"*notes*", kModeFolders, {}, {"work/notes"}},
        {"*.txt|*.md", kModeGroup, {}, {"apps/editor.txt", "work/notes.txt", "work/plan.md"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        RecordingView view(7);
        view.panels[1] = "2 selected";
        StartSearch(QString::fromStdString(c.query), c.mode, c.extra, &view, &view);
        ASSERT_TRUE(searchesSettled());
        const std::string n = std::to_string(c.found.size());
        EXPECT_EQ(view.calls, (Strings{"panel0 3702008:" + n, "panel1 ", "count " + n, "repaint"}));
        EXPECT_EQ(view.panels[0], QString::fromStdString("3702008:" + n));
        EXPECT_EQ(view.panels[1], "");
        EXPECT_EQ(view.RowCount(), static_cast<int32_t>(c.found.size()));
        EXPECT_EQ(resultPaths(), paths(c.found)); // every row a whole record
    }

    // The listener runs once the thread has ended.
    init.WaitFor();
    EXPECT_EQ(init.Attempts(), 1);
    FilesChanged = false;
    tree.file("work/notes.txt", 50); // the same file, another size
    EXPECT_TRUE(QTest::qWaitFor([] { return FilesChanged.load(); }, 20000)) << "modified file";

    FilesChanged = false;
    tree.file("work/more notes.txt");
    ASSERT_TRUE(QTest::qWaitFor([] { return FilesChanged.load(); }, 20000)) << "created file";
    // What a window's refresh tick does next: re-run its search, keeping its rows.
    RecordingView view(2);
    view.panels[1] = "1 selected";
    RefreshInPlace = true;
    StartSearch("*notes*", kModeAll, {}, &view, &view);
    ASSERT_TRUE(searchesSettled());
    EXPECT_EQ(view.calls, (Strings{"panel0 3702008:3", "append", "repaint"}));
    EXPECT_EQ(view.RowCount(), 3);
    EXPECT_EQ(view.panels[1], "1 selected");
    EXPECT_EQ(resultPaths(), paths({"work/more notes.txt", "work/notes", "work/notes.txt"}));

    FilesChanged = false;
    std::filesystem::remove(tree.path("work/plan.md"));
    EXPECT_TRUE(QTest::qWaitFor([] { return FilesChanged.load(); }, 20000)) << "deleted file";
}

// Failures put in front of the real engine calls.
int g_indexFailures = 0;
int g_listenFailures = 0;
int32_t failingIndex(void* c, int32_t a, int32_t b, int32_t r, KfIndexProgressCallback p) {
    return g_indexFailures-- > 0 ? KF_ERROR : Kestrelfind(c, a, b, r, p);
}
int32_t failingListen(void* c, KfFileChangeCallback callback) {
    return g_listenFailures-- > 0 ? KF_ERROR : StartFileListensThread(c, callback);
}

TEST_F(SearchThreads, TheInitThreadRetriesOnceAfterAnError) {
    struct Case {
        int indexFailures, listenFailures;
        bool ready;
    };
    for (const Case c : {Case{1, 0, true}, Case{0, 1, true}, Case{2, 0, false}}) {
        IndexReady = false;
        g_indexFailures = c.indexFailures;
        g_listenFailures = c.listenFailures;
        TInitThread init(TInitThread::Steps{failingIndex, failingListen});
        init.WaitFor();
        EXPECT_EQ(init.Attempts(), 2);
        EXPECT_EQ(IndexReady, c.ready) << c.indexFailures << " " << c.listenFailures;
        StopKestrelfind(nullptr);
    }
}

} // namespace
} // namespace kestrel::core

int main(int argc, char** argv) {
    // The UI thread of these tests: hand-overs are events on its loop.
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
