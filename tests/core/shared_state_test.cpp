// The shared state: ResultAt's bounds and missing texts, and the start and end of the process.
#include "shared_state.h"

#include <gtest/gtest.h>

namespace kestrel::core {
namespace {

TItemFileData record(const char16_t* folder, const char16_t* name) {
    TItemFileData r{};
    r.Folder = folder;
    r.Name = name;
    r.IconIndex = -1;
    return r;
}

class SharedState : public ::testing::Test {
protected:
    void SetUp() override { InitSharedState(); }
    void TearDown() override { FreeSharedState(); }
};

TEST_F(SharedState, ResultAtYieldsOnlyWholeRecordsInsideTheList) {
    TItemFileData whole = record(u"/a/", u"one.txt");
    TItemFileData noName = record(u"/a/", nullptr);
    TItemFileData noFolder = record(nullptr, u"two.txt");
    TItemFileData second = record(u"/b/", u"three.txt");
    ResultList = {&whole, nullptr, &noName, &noFolder, &second};

    EXPECT_EQ(ResultAt(0), &whole);
    EXPECT_EQ(ResultAt(4), &second);
    EXPECT_EQ(ResultAt(1), nullptr);
    EXPECT_EQ(ResultAt(2), nullptr);
    EXPECT_EQ(ResultAt(3), nullptr);
    EXPECT_EQ(ResultAt(5), nullptr); // equal to the count
    EXPECT_EQ(ResultAt(-1), nullptr);
    EXPECT_EQ(ResultAt(INT32_MAX), nullptr);
    EXPECT_EQ(ResultAt(INT32_MIN), nullptr);

    // A list that shrank under a reader yields nothing where rows used to be.
    ResultList.resize(1);
    EXPECT_EQ(ResultAt(0), &whole);
    EXPECT_EQ(ResultAt(4), nullptr);
}

TEST_F(SharedState, ProcessStartResetsEverythingAndEndFreesOnlyTheLists) {
    TItemFileData kept = record(u"/a/", u"kept.txt");
    kept.IconIndex = 7;
    ResultList = {&kept, &kept};
    DriveList.push_back(TDriveData{"/", {0, 0}});
    SortState = {true, 2};
    IndexReady = FilesChanged = RefreshInPlace = MatchPath = SearchRunning = true;
    StartMenuPattern = "/usr/share/applications/*|";
    ShortcutFilter = "word";

    InitSharedState();
    EXPECT_TRUE(ResultList.empty());
    EXPECT_TRUE(DriveList.empty());
    EXPECT_EQ(SortState.SortKey, -1);
    EXPECT_FALSE(SortState.SortDescending);
    EXPECT_FALSE(IndexReady || FilesChanged || RefreshInPlace || MatchPath || SearchRunning);
    EXPECT_TRUE(StartMenuPattern.empty());
    EXPECT_TRUE(ShortcutFilter.isEmpty());

    ResultList = {&kept};
    DriveList.push_back(TDriveData{"/home/", {0, 0}});
    StartMenuPattern = "x";
    ShortcutFilter = "y";
    FreeSharedState();
    EXPECT_EQ(ResultList.capacity(), 0u);
    EXPECT_EQ(DriveList.capacity(), 0u);
    EXPECT_TRUE(StartMenuPattern.empty());
    EXPECT_TRUE(ShortcutFilter.isEmpty());
    // The records belong to the engine: the list let go of them untouched.
    EXPECT_EQ(kept.IconIndex, 7);
}

} // namespace
} // namespace kestrel::core
