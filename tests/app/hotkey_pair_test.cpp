// The double-Ctrl press pair, over press times: the documented cases, every boundary, and an
// exhaustive sweep of gaps at the awkward moments of the clock against a reference that reads the
// clock fields through gmtime.
#include <gtest/gtest.h>

#include "hotkey_pair.h"

#include <ctime>
#include <string>
#include <vector>

namespace kestrel::app {
namespace {

using P = HotkeyPress;

// 2024-03-05 10:30:20.000 UTC.
constexpr std::int64_t kBase = 1709634620000;
constexpr std::int64_t kSecond = 1000;
constexpr std::int64_t kMinute = 60 * kSecond;
constexpr std::int64_t kHour = 60 * kMinute;
constexpr std::int64_t kDay = 24 * kHour;

struct Case {
    std::string name;
    std::vector<std::int64_t> presses; // times
    std::vector<HotkeyPress> outcomes; // one per press
};

class PressSequence : public ::testing::TestWithParam<Case> {};

TEST_P(PressSequence, GivesTheOutcomes) {
    const Case& c = GetParam();
    ASSERT_EQ(c.presses.size(), c.outcomes.size());
    HotkeyPair pair;
    for (size_t i = 0; i < c.presses.size(); ++i)
        EXPECT_EQ(pair.press(c.presses[i]), c.outcomes[i]) << "press " << i;
}

constexpr std::int64_t kT = kBase + 400; // 10:30:20.400, well inside a second

INSTANTIATE_TEST_SUITE_P(
    Documented, PressSequence,
    ::testing::Values(
        Case{"Gap150Toggles", {kT, kT + 150}, {P::Stored, P::Toggle}},
        Case{"Gap90ThenThirdPressToggles", {kT, kT + 90, kT + 240}, {P::Stored, P::Restored, P::Toggle}},
        Case{"Gap350ThenThirdPressToggles", {kT, kT + 350, kT + 500}, {P::Stored, P::Restored, P::Toggle}},
        Case{"Gap100IsTooQuick", {kT, kT + 100}, {P::Stored, P::Restored}},
        Case{"Gap101Toggles", {kT, kT + 101}, {P::Stored, P::Toggle}},
        Case{"Gap299Toggles", {kT, kT + 299}, {P::Stored, P::Toggle}},
        Case{"Gap300IsTooSlow", {kT, kT + 300}, {P::Stored, P::Restored}},
        Case{"SamePressTimeIsTooQuick", {kT, kT}, {P::Stored, P::Restored}},
        // A minute of silence: the first of the next two presses is dropped, the second waits, and a
        // press 150 ms after it toggles.
        Case{"PauseOfAMinute",
             {kT, kT + kMinute, kT + kMinute + 150, kT + kMinute + 300},
             {P::Stored, P::Dropped, P::Stored, P::Toggle}},
        Case{"Gap1150AcrossOneSecondIsNoPair", {kBase + 400, kBase + 1550}, {P::Stored, P::Restored}},
        Case{"Gap1150AcrossTwoSecondsIsDropped", {kBase + 900, kBase + 2050}, {P::Stored, P::Dropped}},
        Case{"TwoSecondsLaterIsDropped", {kBase + 900, kBase + 2000}, {P::Stored, P::Dropped}},
        // The clock fields decide first: a pair that straddles a minute or an hour is dropped.
        Case{"PairAcrossAMinuteIsDropped",
             {kBase + 39 * kSecond + 950, kBase + 40 * kSecond + 100},
             {P::Stored, P::Dropped}},
        Case{"PairAcrossAnHourIsDropped",
             {kBase + 29 * kMinute + 39 * kSecond + 950, kBase + 29 * kMinute + 40 * kSecond + 100},
             {P::Stored, P::Dropped}},
        // Midnight: the hour goes down, not up, and the real gap of 150 ms is a double press.
        Case{"PairAcrossMidnightToggles",
             {kBase + 13 * kHour + 29 * kMinute + 39 * kSecond + 950,
              kBase + 13 * kHour + 29 * kMinute + 40 * kSecond + 100},
             {P::Stored, P::Toggle}},
        Case{"ADayLaterIsNoPartner", {kT, kT + kDay + 150}, {P::Stored, P::Restored}},
        Case{"ClockWentBack", {kT, kT - 50, kT + 100}, {P::Stored, P::Restored, P::Toggle}},
        Case{"AfterAToggleTheNextPressWaits",
             {kT, kT + 150, kT + 300, kT + 450},
             {P::Stored, P::Toggle, P::Stored, P::Toggle}},
        Case{"AfterADropTheNextPressWaits",
             {kT, kT + kHour, kT + kHour + 1000, kT + kHour + 1200},
             {P::Stored, P::Dropped, P::Stored, P::Toggle}}),
    [](const ::testing::TestParamInfo<Case>& param) { return param.param.name; });

TEST(HotkeyPair, KeepsCountAndFirstTime) {
    HotkeyPair pair;
    EXPECT_EQ(pair.count(), 0);
    pair.press(kT);
    EXPECT_EQ(pair.count(), 1);
    EXPECT_EQ(pair.firstTime(), kT);
    pair.press(kT + 50);
    EXPECT_EQ(pair.count(), 1);
    EXPECT_EQ(pair.firstTime(), kT + 50);
    pair.press(kT + 250);
    EXPECT_EQ(pair.count(), 0);
    pair.press(kT + kMinute);
    EXPECT_EQ(pair.count(), 1);
    pair.press(kT + 2 * kMinute);
    EXPECT_EQ(pair.count(), 0);
}

// The rule written a second way: clock fields from the C library, the gap from the times.
HotkeyPress reference(std::int64_t first, std::int64_t now) {
    auto fields = [](std::int64_t ms) {
        const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
        std::tm tm{};
        gmtime_r(&seconds, &tm);
        return tm;
    };
    const std::tm a = fields(first);
    const std::tm b = fields(now);
    if (b.tm_hour > a.tm_hour || b.tm_min > a.tm_min || b.tm_sec > a.tm_sec + 1)
        return P::Dropped;
    const std::int64_t gap = now - first;
    return gap > 100 && gap < 300 ? P::Toggle : P::Restored;
}

TEST(HotkeyPair, EveryGapAtEveryAwkwardMomentAgreesWithTheReference) {
    // First presses in the middle of a second, just before a second, a minute, an hour and midnight
    // ends, and at the first millisecond of a second.
    const std::int64_t firsts[] = {
        kBase + 400,
        kBase + 999,
        kBase + 1000,
        kBase + 39 * kSecond + 850,
        kBase + 29 * kMinute + 39 * kSecond + 900,
        kBase + 13 * kHour + 29 * kMinute + 39 * kSecond + 800,
    };
    int toggles = 0, drops = 0, restores = 0;
    for (std::int64_t first : firsts) {
        for (std::int64_t gap = -1500; gap <= 3500; ++gap) {
            HotkeyPair pair;
            ASSERT_EQ(pair.press(first), P::Stored);
            const HotkeyPress got = pair.press(first + gap);
            ASSERT_EQ(got, reference(first, first + gap)) << "first " << first << " gap " << gap;
            toggles += got == P::Toggle;
            drops += got == P::Dropped;
            restores += got == P::Restored;
            ASSERT_EQ(pair.count(), got == P::Restored ? 1 : 0);
        }
    }
    // Every kind of outcome occurred; a sweep that only ever saw one would prove nothing.
    EXPECT_GT(toggles, 0);
    EXPECT_GT(drops, 0);
    EXPECT_GT(restores, 0);
}

TEST(HotkeyPair, InsideOneSecondOnlyTheOpenWindowToggles) {
    // With the first press at .000 nothing can be dropped below 2 s: the gap alone decides.
    for (std::int64_t gap = 0; gap < 2000; ++gap) {
        HotkeyPair pair;
        pair.press(kBase);
        const bool toggles = gap >= 101 && gap <= 299;
        EXPECT_EQ(pair.press(kBase + gap), toggles ? P::Toggle : P::Restored) << gap;
    }
}

} // namespace
} // namespace kestrel::app
