// The shared state: ResultAt's bounds and missing texts, and the start and end of the process.
#include "shared_state.h"

#include <gtest/gtest.h>

namespace kestrel::core {
namespace {

TEST(SharedState, ResultAtYieldsOnlyWholeRecordsInsideTheList) {
    InitSharedState();
    TItemFileData whole{u"/a/", u"one.txt", {}, 0, {}, 0, {}, -1};
    TItemFileData noName{u"/a/", nullptr, {}, 0, {}, 0, {}, -1};
    TItemFileData noFolder{nullptr, u"two.txt", {}, 0, {}, 0, {}, -1};
    ResultList = {&whole, nullptr, &noName, &noFolder, &whole};
    EXPECT_EQ(ResultAt(0), &whole);
    EXPECT_EQ(ResultAt(4), &whole);
    for (int32_t i : {1, 2, 3, 5, -1, INT32_MAX, INT32_MIN})
        EXPECT_EQ(ResultAt(i), nullptr) << i;
    // A list that shrank under a reader yields nothing where rows used to be.
    ResultList.resize(1);
    EXPECT_EQ(ResultAt(4), nullptr);
    FreeSharedState();
}

TEST(SharedState, ProcessStartResetsEverythingAndEndFreesTheLists) {
    TItemFileData kept{u"/a/", u"kept.txt", {}, 0, {}, 0, {}, 7};
    ResultList = {&kept};
    DriveList.push_back(TDriveData{"/", {0, 0}});
    SortState = {true, 2};
    IndexReady = FilesChanged = RefreshInPlace = MatchPath = SearchRunning = true;
    StartMenuPattern = "/usr/share/applications/*|";
    ShortcutFilter = "word";
    InitSharedState();
    EXPECT_TRUE(ResultList.empty() && DriveList.empty() && StartMenuPattern.empty() &&
                ShortcutFilter.isEmpty());
    EXPECT_EQ(SortState.SortKey, -1);
    EXPECT_FALSE(SortState.SortDescending);
    EXPECT_FALSE(IndexReady || FilesChanged || RefreshInPlace || MatchPath || SearchRunning);

    ResultList = {&kept};
    DriveList.push_back(TDriveData{"/home/", {0, 0}});
    StartMenuPattern = "x";
    ShortcutFilter = "y";
    FreeSharedState();
    EXPECT_EQ(ResultList.capacity() + DriveList.capacity(), 0u);
    EXPECT_TRUE(StartMenuPattern.empty() && ShortcutFilter.isEmpty());
    EXPECT_EQ(kept.IconIndex, 7); // the engine's records are left as they are
}

} // namespace
} // namespace kestrel::core
