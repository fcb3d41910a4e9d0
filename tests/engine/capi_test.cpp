// The engine through its C exports, over real trees, as the front end uses it.
#include "kestrelfind.h"
#include "temp_tree.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using kestrel::test::TempTree;

std::string bytesOf(const char16_t* text) {
    size_t n = KfTextToBytes(text, nullptr, 0);
    std::string out(n + 1, '\0');
    KfTextToBytes(text, out.data(), out.size());
    out.resize(n);
    return out;
}

struct Results {
    std::vector<TItemFileData*> records;
    std::vector<std::string> paths() const {
        std::vector<std::string> out;
        for (auto* r : records)
            out.push_back(bytesOf(r->Folder) + bytesOf(r->Name));
        return out;
    }
};

void collect(void* context, TItemFileData* item) {
    static_cast<Results*>(context)->records.push_back(item);
}

Results find(const std::u16string& pattern, int scope = 0) {
    Results r;
    int32_t n = FindItemFile(&r, pattern.c_str(), scope, 1, 0, 0, collect);
    EXPECT_EQ(n, static_cast<int32_t>(r.records.size()));
    return r;
}

struct Changes {
    std::mutex mutex;
    std::vector<std::pair<std::string, int32_t>> seen;
};
Changes g_changes;

void onChange(void*, const char16_t* const* path, int32_t kind) {
    std::lock_guard lock(g_changes.mutex);
    g_changes.seen.emplace_back(path ? bytesOf(*path) : "", kind);
}

template <typename Condition>
bool waitFor(Condition condition, std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    auto until = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < until) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
}

class EngineApi : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("KESTRELFIND_ROOTS", tree.root().c_str(), 1);
        ::setenv("XDG_CACHE_HOME", cache.root().c_str(), 1);
    }
    void TearDown() override { StopKestrelfind(nullptr); }

    TempTree tree;
    TempTree cache;
};

TEST_F(EngineApi, SearchesBeforeTheIndexExistsFindNothing) {
    Results r;
    EXPECT_EQ(FindItemFile(&r, u"*", 0, 1, 0, 0, collect), 0);
    EXPECT_EQ(StopFindThread(nullptr), KF_OK);
    EXPECT_EQ(StopFileListensThread(nullptr), KF_OK);
    EXPECT_TRUE(r.records.empty());
}

TEST_F(EngineApi, RecordsDescribeTheItemsAndStayTheSame) {
    tree.file("docs/Annual Report.pdf", 1234);
    tree.file("docs/report.txt", 10);
    tree.file("docs/sub/notes.md", 5);
    tree.file("bad\xff.txt", 3);
    tree.touch("docs/report.txt", 1700000000);
    int progressCalls = 0;
    ASSERT_EQ(Kestrelfind(&progressCalls, 1, 1, 0, [](void* c, int32_t) { ++*static_cast<int*>(c); }), KF_OK);
    EXPECT_GE(progressCalls, 1);

    Results r = find(u"*report*");
    ASSERT_EQ(r.paths(),
              (std::vector<std::string>{tree.path("docs/report.txt"), tree.path("docs/Annual Report.pdf")}));
    TItemFileData* report = r.records[0];
    EXPECT_EQ(bytesOf(report->Folder), tree.path("docs") + "/");
    EXPECT_EQ(report->Size, 10);
    EXPECT_FALSE(report->IsFolder);
    uint64_t ticks =
        (uint64_t(report->LastWriteTime.dwHighDateTime) << 32) | report->LastWriteTime.dwLowDateTime;
    EXPECT_EQ(ticks, (1700000000ULL + 11644473600ULL) * 10000000ULL);
    report->IconIndex = 17;

    Results folders = find(u"docs");
    ASSERT_EQ(folders.records.size(), 1u);
    EXPECT_TRUE(folders.records[0]->IsFolder);
    EXPECT_EQ(folders.records[0]->Size, 1234 + 10 + 5);

    // The same item is the same record on every search, with what the front end stored in it.
    Results again = find(u"*.txt");
    auto it = std::find(again.records.begin(), again.records.end(), report);
    ASSERT_NE(it, again.records.end());
    EXPECT_EQ((*it)->IconIndex, 17);

    // A name that is not UTF-8 comes back as the exact bytes.
    Results bad = find(u"*bad*");
    ASSERT_EQ(bad.records.size(), 1u);
    EXPECT_EQ(bad.records[0]->Name[3], char16_t(0xDCFF));
    EXPECT_EQ(bytesOf(bad.records[0]->Name), "bad\xff.txt");

    // Path scope: the folder part matches too.
    EXPECT_EQ(find(u"*docs/sub*", 2).paths(),
              (std::vector<std::string>{tree.path("docs/sub"), tree.path("docs/sub/notes.md")}));
}

TEST_F(EngineApi, StopFromAnotherThreadEndsTheSearchAtOnce) {
    for (int i = 0; i < 4000; ++i)
        tree.file("many/f" + std::to_string(i));
    ASSERT_EQ(Kestrelfind(nullptr, 1, 1, 0, nullptr), KF_OK);
    struct State {
        int seen = 0;
    } state;
    auto stopAtTen = [](void* c, TItemFileData*) {
        auto* s = static_cast<State*>(c);
        if (++s->seen == 10)
            std::thread([] { StopFindThread(nullptr); }).join();
    };
    int32_t delivered = FindItemFile(&state, u"*f*", 0, 1, 0, 0, stopAtTen);
    EXPECT_EQ(delivered, state.seen);
    EXPECT_LT(state.seen, 1000);
    // The next search is not affected by the earlier stop.
    EXPECT_EQ(find(u"*f*").records.size(), 4000u);
}

TEST_F(EngineApi, StartFromTheSavedIndexThenCatchUp) {
    tree.file("keep/same.txt", 1);
    tree.file("keep/grows.txt", 1);
    tree.file("gone/old.txt", 1);
    ASSERT_EQ(Kestrelfind(nullptr, 1, 1, 0, nullptr), KF_OK);
    TItemFileData* same = find(u"same.txt").records.at(0);
    ASSERT_EQ(StopKestrelfind(nullptr), KF_OK);

    // Changed while the engine was stopped.
    std::filesystem::remove_all(tree.path("gone"));
    tree.file("keep/grows.txt", 500);
    tree.file("new/fresh.txt", 2);

    ASSERT_EQ(Kestrelfind(nullptr, 1, 1, 0, nullptr), KF_OK);
    ASSERT_EQ(StartFileListensThread(nullptr, onChange), KF_OK);
    // The saved state is searchable at once; the fresh scan then brings the new one.
    EXPECT_TRUE(waitFor([] { return find(u"fresh.txt").records.size() == 1; }));
    EXPECT_TRUE(find(u"old.txt").records.empty());
    EXPECT_EQ(find(u"grows.txt").records.at(0)->Size, 500);
    same = find(u"same.txt").records.at(0);
    EXPECT_EQ(find(u"same.txt").records.at(0), same);

    ASSERT_TRUE(waitFor([] {
        std::lock_guard lock(g_changes.mutex);
        return g_changes.seen.size() >= 3;
    }));
    std::lock_guard lock(g_changes.mutex);
    std::map<std::string, int32_t> kinds(g_changes.seen.begin(), g_changes.seen.end());
    EXPECT_EQ(kinds[tree.path("gone")], KF_CHANGE_DELETED);
    EXPECT_EQ(kinds[tree.path("new")], KF_CHANGE_CREATED);
    EXPECT_EQ(kinds[tree.path("keep/grows.txt")], KF_CHANGE_MODIFIED);
}

TEST(KfTextToBytes, ShortBuffersAreCutAndTerminated) {
    char small[4];
    EXPECT_EQ(KfTextToBytes(u"abc\xdc80"
                            "def",
                            small, sizeof small),
              7u);
    EXPECT_STREQ(small, "abc");
    EXPECT_EQ(KfTextToBytes(nullptr, small, sizeof small), 0u);
    EXPECT_EQ(bytesOf(u"\xd83d\xde00"), "\xf0\x9f\x98\x80"); // a pair stays one character
    EXPECT_EQ(bytesOf(u"\xd800x"), "\xef\xbf\xbdx");         // a lone high surrogate is not a byte
}

} // namespace
