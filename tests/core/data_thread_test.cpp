// Searches through StartSearch over the real engine and real trees, seen through a recording list view:
// what each mode keeps, the Shortcuts filter, the count text, the refresh in place row by row, and that
// a superseded search never reaches a list. Also the change callback and the index start-up thread.
#include "data_thread.h"
#include "engine_text.h"
#include "sort_results.h"
#include "temp_tree.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace kestrel::core {
namespace {

using kestrel::test::TempTree;

// A window's list and status bar that records every call in order, with whether a search was running.
class RecordingView : public TResultListView, public TStatusBarView {
public:
    explicit RecordingView(int32_t rows = 0) : m_rows(rows) {}

    int32_t RowCount() const override { return m_rows; }
    void RemoveRow(int32_t row) override {
        record("remove " + std::to_string(row));
        EXPECT_EQ(row, m_rows - 1) << "only the last row is removed";
        --m_rows;
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

    std::vector<std::string> calls;
    std::vector<bool> runningDuringCalls;
    QString panels[2];
    std::function<void()> onRemove;

private:
    void record(std::string call) {
        calls.push_back(std::move(call));
        runningDuringCalls.push_back(SearchRunning);
    }
    int32_t m_rows;
};

std::string pathOf(const TItemFileData* r) {
    return EngineTextToBytes(r->Folder) + EngineTextToBytes(r->Name);
}

std::vector<std::string> resultPaths(bool sorted = true) {
    std::vector<std::string> out;
    for (size_t i = 0; i < ResultList.size(); ++i) {
        const TItemFileData* r = ResultAt(static_cast<int32_t>(i));
        out.push_back(r ? pathOf(r) : "<none>");
    }
    if (sorted)
        std::sort(out.begin(), out.end());
    return out;
}

// Every search started has been handed over or dropped.
bool searchesSettled() {
    return QTest::qWaitFor([] { return !SearchRunning && LiveSearchThreadCount() == 0; }, 20000);
}

QString q(const std::string& utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

class SearchThreads : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("KESTRELFIND_ROOTS", tree.root().c_str(), 1);
        ::setenv("XDG_CACHE_HOME", cache.root().c_str(), 1);
        ::unsetenv("SYSTEMDRIVE");
        InitSharedState();
        SetStatusTextLookup([](const QString& id, const QString& arg) { return id + ":" + arg; });
    }
    void TearDown() override {
        StopSearchThreads();
        StopKestrelfind(nullptr);
        SetStatusTextLookup(nullptr);
        FreeSharedState();
    }
    void index() { ASSERT_EQ(Kestrelfind(nullptr, 1, 1, 0, nullptr), KF_OK); }

    // Runs one search to its end and returns the view's calls.
    std::vector<std::string> search(const QString& query, int32_t mode, const QString& extra = {},
                                    int32_t rows = 0) {
        RecordingView view(rows);
        StartSearch(query, mode, extra, &view, &view);
        EXPECT_TRUE(searchesSettled());
        return view.calls;
    }

    TempTree tree;
    TempTree cache;
};

TEST_F(SearchThreads, EachModeKeepsItsRecords) {
    tree.file("docs/report.txt", 3);
    tree.file("docs/Report.md", 4);
    tree.folder("docs/reports");
    tree.file("docs/other.txt");
    index();
    const std::vector<std::string> all = {tree.path("docs/Report.md"), tree.path("docs/report.txt"),
                                          tree.path("docs/reports")};

    EXPECT_EQ(search("*report*", kModeAll),
              (std::vector<std::string>{"panel0 3702008:3", "panel1 ", "count 3", "repaint"}));
    EXPECT_EQ(resultPaths(), all);

    // A group search is an All search with a group's pattern.
    search("*report*", kModeGroup);
    EXPECT_EQ(resultPaths(), all);
    search("*.md|*.txt", kModeGroup);
    EXPECT_EQ(resultPaths(),
              (std::vector<std::string>{tree.path("docs/Report.md"), tree.path("docs/other.txt"),
                                        tree.path("docs/report.txt")}));

    search("*report*", kModeFolders);
    EXPECT_EQ(resultPaths(), (std::vector<std::string>{tree.path("docs/reports")}));
}

TEST_F(SearchThreads, AModeOutsideTheFourEmptiesTheListAndCountsNought) {
    tree.file("a.txt");
    index();
    search("*", kModeAll);
    ASSERT_FALSE(ResultList.empty());
    for (int32_t mode : {-1, 4, 99}) {
        RecordingView view(5);
        view.panels[1] = "selection";
        StartSearch("*", mode, {}, &view, &view);
        ASSERT_TRUE(searchesSettled());
        EXPECT_TRUE(ResultList.empty()) << mode;
        EXPECT_EQ(view.calls,
                  (std::vector<std::string>{"panel0 3702008:0", "panel1 ", "count 0", "repaint"}));
    }
}

TEST_F(SearchThreads, WithoutAStatusBarOnlyTheListChanges) {
    tree.file("a.txt");
    index();
    RecordingView view;
    StartSearch("a.txt", kModeAll, {}, nullptr, &view);
    ASSERT_TRUE(searchesSettled());
    EXPECT_EQ(view.calls, (std::vector<std::string>{"count 1", "repaint"}));
}

TEST_F(SearchThreads, MatchPathAndPathQueriesSearchFullPaths) {
    tree.file("docs/a.txt");
    tree.file("docs/sub/b.txt");
    tree.file("other/docsnote.txt");
    index();
    const std::vector<std::string> underDocs = {tree.path("docs"), tree.path("docs/a.txt"),
                                                tree.path("docs/sub"), tree.path("docs/sub/b.txt")};

    // By name: the folder docs and the file whose name holds it.
    search("*docs*", kModeAll);
    EXPECT_EQ(resultPaths(), (std::vector<std::string>{tree.path("docs"), tree.path("other/docsnote.txt")}));

    // A query naming a path matches full paths without Match Path.
    search(q("*" + tree.path("docs/") + "*"), kModeAll);
    EXPECT_EQ(resultPaths(), (std::vector<std::string>{tree.path("docs/a.txt"), tree.path("docs/sub"),
                                                       tree.path("docs/sub/b.txt")}));

    MatchPath = true;
    search("*docs*", kModeAll);
    std::vector<std::string> expected = underDocs;
    expected.push_back(tree.path("other/docsnote.txt"));
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(resultPaths(), expected);
    search("*docs*", kModeFolders);
    EXPECT_EQ(resultPaths(), (std::vector<std::string>{tree.path("docs"), tree.path("docs/sub")}));
}

TEST_F(SearchThreads, RunsOfStarsReachTheEngineAsOne) {
    index();
    const std::pair<QString, std::u16string> cases[] = {
        {"a****b", u"a*b"}, {"**", u"*"}, {"*x**|**y*", u"*x*|*y*"}, {"plain", u"plain"}};
    for (const auto& [typed, sent] : cases) {
        RecordingView view;
        StartSearch(typed, kModeAll, {}, &view, &view);
        ASSERT_NE(CurrentSearchThread(), nullptr);
        EXPECT_EQ(CurrentSearchThread()->Query(), sent) << typed.toStdString();
        ASSERT_TRUE(searchesSettled());
    }
}

TEST_F(SearchThreads, ShortcutsKeepLaunchersWhoseNameHoldsTheFilter) {
    tree.file("apps/Writer.desktop");
    tree.file("apps/calc.DESKTOP");
    tree.file("apps/writer-notes.txt");
    tree.file("apps/desktop");
    tree.folder("apps/x.desktop");
    tree.file("apps/x.desktop/inner.desktop");
    tree.file("elsewhere/Writer2.desktop");
    index();
    // The Shortcuts pattern lists the launcher folders; the typed text only filters names.
    const QString pattern = q(tree.path("apps") + "/*|");
    const std::vector<std::string> launchers = {tree.path("apps/Writer.desktop"),
                                                tree.path("apps/calc.DESKTOP"),
                                                tree.path("apps/x.desktop/inner.desktop")};
    auto sortedLaunchers = launchers;
    std::sort(sortedLaunchers.begin(), sortedLaunchers.end());

    for (const QString& keepAll : {QString(), QString("*")}) {
        search(pattern, kModeShortcuts, keepAll);
        EXPECT_EQ(resultPaths(), sortedLaunchers) << keepAll.toStdString();
        EXPECT_EQ(ShortcutFilter, keepAll);
    }
    search(pattern, kModeShortcuts, "wRIT");
    EXPECT_EQ(resultPaths(), (std::vector<std::string>{tree.path("apps/Writer.desktop")}));
    EXPECT_EQ(ShortcutFilter, "wRIT");
    // The folder is never tested against the filter.
    search(pattern, kModeShortcuts, "apps");
    EXPECT_TRUE(resultPaths().empty());
    // "*" inside a longer filter is a plain character.
    search(pattern, kModeShortcuts, "w*");
    EXPECT_TRUE(resultPaths().empty());
}

TEST_F(SearchThreads, ShortcutFilterFollowsTheLocaleCaseRules) {
    tree.file("apps/Ärger.desktop");
    tree.file("apps/ÉCOLE.desktop");
    index();
    const QString pattern = q(tree.path("apps") + "/*|");
    search(pattern, kModeShortcuts, QString::fromUtf8("ärg"));
    EXPECT_EQ(resultPaths(), (std::vector<std::string>{tree.path("apps/Ärger.desktop")}));
    search(pattern, kModeShortcuts, QString::fromUtf8("école"));
    EXPECT_EQ(resultPaths(), (std::vector<std::string>{tree.path("apps/ÉCOLE.desktop")}));
}

class RefreshRows : public SearchThreads {
protected:
    void makeFiles(int n) {
        for (int i = 0; i < n; ++i)
            tree.file("list/f" + std::to_string(i) + ".log", static_cast<size_t>(i * 10));
        index();
    }
};

TEST_F(RefreshRows, FewerResultsDeleteRowsFromTheEndOneByOne) {
    makeFiles(7);
    RecordingView view(10);
    view.panels[1] = "1 selected";
    RefreshInPlace = true;
    StartSearch("*.log", kModeAll, {}, &view, &view);
    ASSERT_TRUE(searchesSettled());
    EXPECT_EQ(view.calls,
              (std::vector<std::string>{"panel0 3702008:7", "remove 9", "remove 8", "remove 7", "repaint"}));
    EXPECT_EQ(view.panels[1], "1 selected");
    EXPECT_EQ(view.RowCount(), 7);
    EXPECT_EQ(ResultList.size(), 7u);
    EXPECT_FALSE(RefreshInPlace);
    EXPECT_TRUE(std::all_of(view.runningDuringCalls.begin(), view.runningDuringCalls.end(),
                            [](bool b) { return b; }));
}

TEST_F(RefreshRows, MoreResultsAppendRowsOneByOne) {
    makeFiles(12);
    RecordingView view(10);
    RefreshInPlace = true;
    StartSearch("*.log", kModeAll, {}, &view, &view);
    ASSERT_TRUE(searchesSettled());
    EXPECT_EQ(view.calls, (std::vector<std::string>{"panel0 3702008:12", "append", "append", "repaint"}));
    EXPECT_EQ(view.RowCount(), 12);
    EXPECT_FALSE(RefreshInPlace);
}

TEST_F(RefreshRows, KeepsTheLastSortOrNoneAfterATextChange) {
    makeFiles(6);
    search("*.log", kModeAll);
    const std::vector<std::string> engineOrder = resultPaths(false);

    // Key -1: the engine's order stays.
    RefreshInPlace = true;
    search("*.log", kModeAll, {}, 6);
    EXPECT_EQ(resultPaths(false), engineOrder);

    // Size, largest first.
    SortState = {true, 2};
    RefreshInPlace = true;
    search("*.log", kModeAll, {}, 6);
    ASSERT_EQ(ResultList.size(), 6u);
    for (size_t i = 1; i < ResultList.size(); ++i)
        EXPECT_GT(ResultList[i - 1]->Size, ResultList[i]->Size);

    // A plain search never sorts.
    search("*.log", kModeAll);
    EXPECT_EQ(resultPaths(false), engineOrder);
}

TEST_F(RefreshRows, AnEmptyingSearchStopsAtOnceWhenANewSearchStartsMeanwhile) {
    makeFiles(2);
    RecordingView first(10);
    RecordingView second;
    // A window that reacts to the first removed row by starting another search.
    first.onRemove = [&] { StartSearch("*.log", kModeAll, {}, &second, &second); };
    RefreshInPlace = true;
    StartSearch("nothing-matches-this", kModeAll, {}, &first, &first);
    ASSERT_TRUE(searchesSettled());
    EXPECT_EQ(first.calls, (std::vector<std::string>{"panel0 3702008:0", "remove 9"}));
    // The newer search is a refresh in place too (the flag was still set when it ended).
    EXPECT_EQ(second.calls, (std::vector<std::string>{"panel0 3702008:2", "append", "append", "repaint"}));
    EXPECT_EQ(ResultList.size(), 2u);
    EXPECT_FALSE(RefreshInPlace);
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
    // This view also served a superseded search; only the last search landed in it.
    EXPECT_EQ(views[7]->calls,
              (std::vector<std::string>{"panel0 3702008:1", "panel1 ", "count 1", "repaint"}));
    EXPECT_TRUE(std::all_of(views[7]->runningDuringCalls.begin(), views[7]->runningDuringCalls.end(),
                            [](bool b) { return b; }));
    EXPECT_EQ(resultPaths(), (std::vector<std::string>{tree.path("n7/item7.dat")}));
}

TEST_F(SearchThreads, AListDestroyedDuringItsSearchIsLeftAlone) {
    for (int i = 0; i < 2000; ++i)
        tree.file("d/f" + std::to_string(i));
    index();
    auto gone = std::make_unique<RecordingView>();
    StartSearch("*", kModeAll, {}, gone.get(), gone.get());
    gone.reset();
    ASSERT_TRUE(searchesSettled());
    // The results still replace the list; only the window is gone.
    EXPECT_EQ(ResultList.size(), 2001u);
}

TEST_F(SearchThreads, StopSearchThreadsDropsWhatWasNotHandedOver) {
    tree.file("a.txt");
    index();
    RecordingView view;
    StartSearch("*", kModeAll, {}, &view, &view);
    StopSearchThreads();
    EXPECT_FALSE(SearchRunning);
    EXPECT_EQ(LiveSearchThreadCount(), 0u);
    QCoreApplication::processEvents();
    EXPECT_TRUE(view.calls.empty());
    EXPECT_TRUE(ResultList.empty());

    // Searching works again afterwards.
    search("a.txt", kModeAll);
    EXPECT_EQ(resultPaths(), (std::vector<std::string>{tree.path("a.txt")}));
}

// The change callback, called as the engine's listener thread would call it.
bool changeSetsFlag(const char16_t* path, int32_t kind) {
    FilesChanged = false;
    FileChangeCallback(nullptr, &path, kind);
    return FilesChanged;
}

class FileChanges : public ::testing::Test {
protected:
    void SetUp() override { FilesChanged = false; }
    void TearDown() override {
        ::unsetenv("SYSTEMDRIVE");
        FilesChanged = false;
    }
};

TEST_F(FileChanges, NullPathsDoNothing) {
    for (int32_t kind : {0, 1, 2, 3}) {
        FileChangeCallback(nullptr, nullptr, kind);
        const char16_t* none = nullptr;
        FileChangeCallback(nullptr, &none, kind);
    }
    EXPECT_FALSE(FilesChanged);
}

TEST_F(FileChanges, RootIsTheSystemDriveWhenSystemDriveIsUnset) {
    ::unsetenv("SYSTEMDRIVE");
    EXPECT_FALSE(changeSetsFlag(u"/var/log/syslog", KF_CHANGE_MODIFIED));
    EXPECT_FALSE(changeSetsFlag(u"/home/ann/notes.txt", 3));
    EXPECT_TRUE(changeSetsFlag(u"/home/ann/Desktop/a.txt", KF_CHANGE_MODIFIED));
    EXPECT_TRUE(changeSetsFlag(u"/home/ann/desktop/a.txt", KF_CHANGE_MODIFIED));
    EXPECT_TRUE(changeSetsFlag(u"/", KF_CHANGE_MODIFIED));
    EXPECT_TRUE(changeSetsFlag(u"/var/log/syslog", KF_CHANGE_CREATED));
    EXPECT_TRUE(changeSetsFlag(u"/var/log/syslog", KF_CHANGE_DELETED));
}

TEST_F(FileChanges, SystemDriveNamesAnotherFolder) {
    for (const char* drive : {"/mnt/sys", "/mnt/sys/"}) {
        ::setenv("SYSTEMDRIVE", drive, 1);
        SCOPED_TRACE(drive);
        EXPECT_FALSE(changeSetsFlag(u"/mnt/sys/Windows/Temp/x.tmp", KF_CHANGE_MODIFIED));
        EXPECT_TRUE(changeSetsFlag(u"/mnt/sys/Users/Ann/Desktop/a.txt", KF_CHANGE_MODIFIED));
        EXPECT_TRUE(changeSetsFlag(u"/mnt/sys/Users/Ann/DESKTOP/a.txt", KF_CHANGE_MODIFIED));
        EXPECT_TRUE(changeSetsFlag(u"/mnt/sys", KF_CHANGE_MODIFIED));
        EXPECT_TRUE(changeSetsFlag(u"/mnt/sys/", KF_CHANGE_MODIFIED));
        EXPECT_TRUE(changeSetsFlag(u"/data/x", KF_CHANGE_MODIFIED));
        // Not inside the drive: a sibling whose name begins the same, and folders elsewhere.
        EXPECT_TRUE(changeSetsFlag(u"/mnt/system2/x", KF_CHANGE_MODIFIED));
        EXPECT_TRUE(changeSetsFlag(u"/var/log/syslog", KF_CHANGE_MODIFIED));
        EXPECT_TRUE(changeSetsFlag(u"/mnt/sys/Windows/Temp/x.tmp", KF_CHANGE_CREATED));
        EXPECT_TRUE(changeSetsFlag(u"/mnt/sys/Windows/Temp/x.tmp", KF_CHANGE_DELETED));
    }
    // Paths are case-sensitive here: another spelling is another folder.
    ::setenv("SYSTEMDRIVE", "/mnt/sys", 1);
    EXPECT_TRUE(changeSetsFlag(u"/MNT/SYS/tmp/x", KF_CHANGE_MODIFIED));
    // An empty value means the root, as when unset.
    ::setenv("SYSTEMDRIVE", "", 1);
    EXPECT_FALSE(changeSetsFlag(u"/var/log/syslog", KF_CHANGE_MODIFIED));
}

// Start-up over the real engine, with failures put in front of it for the retry.
int g_indexFailures = 0;
int g_listenFailures = 0;
int32_t failingIndex(void* c, int32_t a, int32_t b, int32_t r, KfIndexProgressCallback p) {
    if (g_indexFailures > 0) {
        --g_indexFailures;
        return KF_ERROR;
    }
    return Kestrelfind(c, a, b, r, p);
}
int32_t failingListen(void* c, KfFileChangeCallback callback) {
    if (g_listenFailures > 0) {
        --g_listenFailures;
        return KF_ERROR;
    }
    return StartFileListensThread(c, callback);
}

class InitThread : public SearchThreads {
protected:
    void TearDown() override {
        g_indexFailures = g_listenFailures = 0;
        SearchThreads::TearDown();
    }
};

TEST_F(InitThread, IndexesThenListensForChanges) {
    tree.file("before.txt");
    {
        TInitThread init;
        init.WaitFor();
        EXPECT_FALSE(init.Running());
        EXPECT_EQ(init.Attempts(), 1);
    }
    EXPECT_TRUE(IndexReady);
    search("before.txt", kModeAll);
    EXPECT_EQ(resultPaths(), (std::vector<std::string>{tree.path("before.txt")}));

    FilesChanged = false;
    tree.file("after.txt");
    EXPECT_TRUE(QTest::qWaitFor([] { return FilesChanged.load(); }, 20000));
    StopFileListensThread(nullptr);
}

TEST_F(InitThread, AnErrorGetsOneRetryOfTheWholeSequence) {
    g_indexFailures = 1;
    TInitThread init(TInitThread::Steps{failingIndex, failingListen});
    init.WaitFor();
    EXPECT_EQ(init.Attempts(), 2);
    EXPECT_TRUE(IndexReady);
    StopFileListensThread(nullptr);
}

TEST_F(InitThread, AListenerErrorRetriesAfterTheIndexWasReady) {
    g_listenFailures = 1;
    TInitThread init(TInitThread::Steps{failingIndex, failingListen});
    init.WaitFor();
    EXPECT_EQ(init.Attempts(), 2);
    EXPECT_EQ(g_listenFailures, 0);
    EXPECT_TRUE(IndexReady);
    StopFileListensThread(nullptr);
}

TEST_F(InitThread, TwoErrorsEndTheThreadQuietlyWithoutTheIndex) {
    g_indexFailures = 2;
    TInitThread init(TInitThread::Steps{failingIndex, failingListen});
    init.WaitFor();
    EXPECT_FALSE(init.Running());
    EXPECT_EQ(init.Attempts(), 2);
    EXPECT_FALSE(IndexReady);
}

} // namespace
} // namespace kestrel::core

int main(int argc, char** argv) {
    // The UI thread of these tests: hand-overs are events on its loop.
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
