// The live index: changes on disk reach the index and the change callback while searches go on.
#include "engine.h"
#include "kestrelfind.h"
#include "scan.h"
#include "temp_tree.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <thread>

namespace kestrel::engine {
namespace {

using kestrel::test::TempTree;
using namespace std::chrono_literals;

template <typename Condition> bool waitFor(Condition condition, std::chrono::milliseconds limit = 20s) {
    auto until = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < until) {
        if (condition())
            return true;
        std::this_thread::sleep_for(5ms);
    }
    return condition();
}

std::string bytesOf(const char16_t* text) {
    std::string out(KfTextToBytes(text, nullptr, 0) + 1, '\0');
    out.resize(KfTextToBytes(text, out.data(), out.size()));
    return out;
}

std::vector<TItemFileData*> find(const char16_t* pattern) {
    std::vector<TItemFileData*> out;
    FindItemFile(&out, pattern, 0, 1, 0, 0, [](void* c, TItemFileData* r) {
        static_cast<std::vector<TItemFileData*>*>(c)->push_back(r);
    });
    return out;
}

std::string pathOf(const TItemFileData* r) {
    return bytesOf(r->Folder) + bytesOf(r->Name);
}

struct Seen {
    std::mutex mutex;
    std::multimap<std::string, int32_t> changes;
    bool has(const std::string& path, int32_t kind) {
        std::lock_guard lock(mutex);
        auto [a, b] = changes.equal_range(path);
        for (auto it = a; it != b; ++it) {
            if (it->second == kind)
                return true;
        }
        return false;
    }
};

void onChange(void* context, const char16_t* const* path, int32_t kind) {
    auto* seen = static_cast<Seen*>(context);
    std::lock_guard lock(seen->mutex);
    seen->changes.emplace(bytesOf(*path), kind);
}

// Run with each listener: fanotify where the process may use it (it falls back to inotify when it
// may not), and inotify.
class LiveIndex : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        ::setenv("KESTRELFIND_LISTENER", GetParam(), 1);
        ::setenv("KESTRELFIND_ROOTS", tree.root().c_str(), 1);
        ::setenv("XDG_CACHE_HOME", cache.root().c_str(), 1);
        tree.file("keep/keep.txt", 3);
        tree.file("docs/a.txt", 1);
        tree.file("docs/grow.log", 1);
        tree.file("proj/src/main.c", 10);
        tree.file("proj/src/util.c", 10);
        tree.file("trash/x/y/z.tmp", 1);
        ASSERT_EQ(Kestrelfind(nullptr, 1, 1, 0, nullptr), KF_OK);
        ASSERT_EQ(StartFileListensThread(&seen, onChange), KF_OK);
        keep = find(u"keep.txt").at(0);
    }
    void TearDown() override {
        StopKestrelfind(nullptr);
        ::unsetenv("KESTRELFIND_LISTENER");
    }

    TempTree tree;
    TempTree cache;
    Seen seen;
    TItemFileData* keep = nullptr;
};

TEST_P(LiveIndex, EveryKindOfChangeReachesTheIndexAndTheCallback) {
    // Created, in a watched folder and in a folder made just now.
    tree.file("docs/new.txt", 5);
    tree.file("fresh/inner/deep.txt", 7);
    ASSERT_TRUE(waitFor([] { return find(u"new.txt").size() == 1 && find(u"deep.txt").size() == 1; }));
    EXPECT_TRUE(waitFor([&] { return seen.has(tree.path("docs/new.txt"), KF_CHANGE_CREATED); }));
    EXPECT_TRUE(waitFor([&] { return seen.has(tree.path("fresh"), KF_CHANGE_CREATED); }));

    // Modified: the same record, with the new size.
    TItemFileData* grow = find(u"grow.log").at(0);
    tree.file("docs/grow.log", 4000);
    ASSERT_TRUE(
        waitFor([&] { return __atomic_load_n(&find(u"grow.log").at(0)->Size, __ATOMIC_RELAXED) == 4000; }));
    EXPECT_EQ(find(u"grow.log").at(0), grow);
    EXPECT_TRUE(waitFor([&] { return seen.has(tree.path("docs/grow.log"), KF_CHANGE_MODIFIED); }));
    EXPECT_TRUE(waitFor([] { return find(u"docs").at(0)->Size == 4000 + 1 + 5; })); // folder sizes follow

    // Renamed in its folder, and moved to another.
    std::filesystem::rename(tree.path("docs/a.txt"), tree.path("docs/b.txt"));
    std::filesystem::rename(tree.path("docs/new.txt"), tree.path("keep/moved.txt"));
    ASSERT_TRUE(waitFor([] { return find(u"a.txt").empty() && find(u"b.txt").size() == 1; }));
    ASSERT_TRUE(waitFor([] { return find(u"new.txt").empty() && find(u"moved.txt").size() == 1; }));
    EXPECT_EQ(pathOf(find(u"moved.txt").at(0)), tree.path("keep/moved.txt"));
    EXPECT_TRUE(waitFor([&] {
        return seen.has(tree.path("docs/a.txt"), KF_CHANGE_DELETED) &&
               seen.has(tree.path("docs/b.txt"), KF_CHANGE_CREATED);
    }));

    // A folder moved with its contents, then changed in its new place (its watch moved with it).
    std::filesystem::rename(tree.path("proj/src"), tree.path("keep/src"));
    ASSERT_TRUE(waitFor([&] {
        auto r = find(u"main.c");
        return r.size() == 1 && pathOf(r[0]) == tree.path("keep/src/main.c");
    }));
    tree.file("keep/src/later.c", 1);
    ASSERT_TRUE(waitFor([&] {
        auto r = find(u"later.c");
        return r.size() == 1 && pathOf(r[0]) == tree.path("keep/src/later.c");
    }));

    // A subtree deleted.
    std::filesystem::remove_all(tree.path("trash"));
    ASSERT_TRUE(waitFor([] { return find(u"z.tmp").empty() && find(u"trash").empty(); }));
    EXPECT_TRUE(waitFor([&] { return seen.has(tree.path("trash"), KF_CHANGE_DELETED); }));

    // The untouched item kept its record all along.
    EXPECT_EQ(find(u"keep.txt").at(0), keep);
}

INSTANTIATE_TEST_SUITE_P(Listeners, LiveIndex, ::testing::Values("fanotify", "inotify"));

// Every path of a snapshot with its size and time, to compare a live index with a fresh scan.
std::map<std::string, std::pair<int64_t, int64_t>> contents(const Index& index) {
    std::map<std::string, std::pair<int64_t, int64_t>> out;
    for (uint32_t i = 0; i < index.count(); ++i) {
        if (!index.isRoot(i))
            out[index.path(i)] = {index.isFolder(i) ? 0 : index.size(i),
                                  index.isFolder(i) ? 0 : index.mtime(i)};
    }
    return out;
}

// The entries on which two snapshots differ, at most a few, for a readable failure.
std::string differences(const Index& a, const Index& b) {
    auto x = contents(a), y = contents(b);
    std::string out;
    int shown = 0;
    for (const auto& [path, v] : x) {
        auto it = y.find(path);
        if ((it == y.end() || it->second != v) && shown++ < 5) {
            out += "live only or different: " + path + " " + std::to_string(v.first) + "/" +
                   std::to_string(v.second);
            if (it != y.end())
                out +=
                    " scanned " + std::to_string(it->second.first) + "/" + std::to_string(it->second.second);
            out += "\n";
        }
    }
    for (const auto& [path, v] : y) {
        if (!x.count(path) && shown++ < 10)
            out += "scan only: " + path + "\n";
    }
    return out + std::to_string(x.size()) + " live, " + std::to_string(y.size()) + " scanned";
}

// The trees live in memory where that is possible: what is measured is whether the engine keeps
// up with the archive tool, not how fast a shared disk is.
TEST(LiveChurn, AnArchiveUnpackedAndDeletedWhileSearchingLeavesTheIndexRight) {
    TempTree tree(TempTree::inMemory());
    TempTree source(TempTree::inMemory());
    TempTree cache(TempTree::inMemory());
    // About 50 000 files in 500 folders, packed with tar as a user's archive would be.
    for (int d = 0; d < 500; ++d) {
        std::string folder = source.folder("pkg/d" + std::to_string(d / 50) + "/e" + std::to_string(d));
        for (int f = 0; f < 100; ++f)
            std::ofstream(folder + "/file" + std::to_string(f) + ".dat") << f;
    }
    std::string archive = cache.path("pkg.tar");
    ASSERT_EQ(std::system(("tar -C '" + source.root() + "' -cf '" + archive + "' pkg").c_str()), 0);
    tree.file("before.txt");

    Engine engine({tree.root()}, cache.path("index.kfi"));
    ASSERT_TRUE(engine.start(false, false));
    engine.startListener(nullptr, nullptr);
    std::atomic<bool> done{false};
    std::atomic<int> searches{0};
    std::thread searcher([&] {
        while (!done) {
            engine.find(
                u"*file1*", 0, true, 0, [](void*, TItemFileData*) {}, nullptr);
            ++searches;
            std::this_thread::sleep_for(2ms); // a user types a few keys a second, not thousands
        }
    });

    ASSERT_EQ(std::system(("tar -C '" + tree.root() + "' -xf '" + archive + "'").c_str()), 0);
    ASSERT_TRUE(waitFor([&] { return engine.snapshot()->count() >= 50000; }, 60s));
    ASSERT_TRUE(engine.waitUntilIdle(60s));
    std::this_thread::sleep_for(200ms); // the last events may still be on their way
    ASSERT_TRUE(engine.waitUntilIdle(60s));
    auto fresh = scanRoots({tree.root()}, 1);
    EXPECT_TRUE(contents(*engine.snapshot()) == contents(*fresh)) << differences(*engine.snapshot(), *fresh);

    std::filesystem::remove_all(tree.path("pkg"));
    ASSERT_TRUE(waitFor([&] { return engine.snapshot()->count() < 10; }, 60s));
    ASSERT_TRUE(engine.waitUntilIdle(60s));
    done = true;
    searcher.join();
    auto after = scanRoots({tree.root()}, 1);
    EXPECT_TRUE(contents(*engine.snapshot()) == contents(*after)) << differences(*engine.snapshot(), *after);
    EXPECT_GT(searches.load(), 0);
}

TEST(LiveBudget, FoldersBeyondTheWatchBudgetAreStillFollowed) {
    TempTree tree;
    TempTree cache;
    for (int i = 0; i < 6; ++i)
        tree.file("f" + std::to_string(i) + "/old.txt");
    ::setenv("KESTRELFIND_WATCH_LIMIT", "3", 1);
    ::setenv("KESTRELFIND_LISTENER", "inotify", 1);
    Engine engine({tree.root()}, cache.path("index.kfi"));
    ASSERT_TRUE(engine.start(false, false));
    engine.startListener(nullptr, nullptr);
    ::unsetenv("KESTRELFIND_WATCH_LIMIT");
    ::unsetenv("KESTRELFIND_LISTENER");
    ASSERT_TRUE(waitFor([&] { return engine.watchedFolders() == 3; }));
    for (int i = 0; i < 6; ++i)
        tree.file("f" + std::to_string(i) + "/new" + std::to_string(i) + ".txt");
    // Watched folders at once, the others at their next look (every ten seconds).
    ASSERT_TRUE(
        waitFor([&] { return engine.match(*engine.snapshot(), u"new*", 0, false).size() == 6; }, 30s));
}

} // namespace
} // namespace kestrel::engine
