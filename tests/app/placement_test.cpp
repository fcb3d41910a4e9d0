#include <gtest/gtest.h>

#include "placement.h"

namespace kestrel::app {
namespace {

TEST(BoxHomePosition, SitsInTheBottomRightCorner) {
    EXPECT_EQ(BoxHomePosition({0, 0, 1920, 1040}, 565, 34), (ScreenPoint{1353, 1006}));
    EXPECT_EQ(BoxHomePosition({0, 0, 1280, 800}, 565, 34), (ScreenPoint{713, 766}));
}

TEST(BoxHomePosition, CountsTheWorkAreasOrigin) {
    // A 30-pixel panel at the top and a 48-pixel one on the left.
    EXPECT_EQ(BoxHomePosition({48, 30, 1872, 1050}, 565, 34), (ScreenPoint{1353, 1046}));
    // A primary screen right of another one.
    EXPECT_EQ(BoxHomePosition({1920, 0, 1280, 1024}, 565, 34), (ScreenPoint{2633, 990}));
}

struct DropCase {
    const char* name;
    ScreenRect workArea;
    ScreenRect box;
    int height;
    DropDownPlace expected;
};

class DropDown : public ::testing::TestWithParam<DropCase> {};

TEST_P(DropDown, IsPlaced) {
    const DropCase& c = GetParam();
    EXPECT_EQ(DropDownPosition(c.workArea, c.box, c.height), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rule, DropDown,
    ::testing::Values(
        // The box in its home corner: no room below, so the drop-down goes above.
        DropCase{"HomeCornerGoesAbove",
                 {0, 0, 1920, 1040},
                 {1353, 1006, 565, 34},
                 307,
                 {{1353, 699}, DropDownSide::Above}},
        // Room below exactly the drop-down's height: below.
        DropCase{"RoomEqualGoesBelow",
                 {0, 0, 1920, 1040},
                 {100, 699, 565, 34},
                 307,
                 {{100, 733}, DropDownSide::Below}},
        // One pixel less: above.
        DropCase{"RoomOneLessGoesAbove",
                 {0, 0, 1920, 1040},
                 {100, 700, 565, 34},
                 307,
                 {{100, 393}, DropDownSide::Above}},
        DropCase{"TopOfScreenGoesBelow",
                 {0, 0, 1920, 1040},
                 {10, 0, 565, 34},
                 307,
                 {{10, 34}, DropDownSide::Below}},
        // The work area's bottom counts, not its height: a top panel of 40 pixels.
        DropCase{"WorkAreaBelowATopPanel",
                 {0, 40, 1920, 1000},
                 {0, 699, 565, 34},
                 307,
                 {{0, 733}, DropDownSide::Below}},
        DropCase{"WorkAreaBelowATopPanelNoRoom",
                 {0, 40, 1920, 1000},
                 {0, 700, 565, 34},
                 307,
                 {{0, 393}, DropDownSide::Above}},
        // A box dragged partly off the work area's bottom still takes its left edge along.
        DropCase{"BoxBelowTheWorkArea",
                 {0, 0, 1280, 800},
                 {-20, 790, 565, 34},
                 307,
                 {{-20, 483}, DropDownSide::Above}}),
    [](const ::testing::TestParamInfo<DropCase>& param) { return std::string(param.param.name); });

} // namespace
} // namespace kestrel::app
