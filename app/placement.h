// Where the compact box and its drop-down go on the screen: pure functions of rectangles in screen
// pixels, so that the windows only read geometry and move themselves. Qt-free.
#pragma once

namespace kestrel::app {

// A rectangle as left, top, width and height; right() and bottom() are the first pixel outside it.
struct ScreenRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    int right() const { return left + width; }
    int bottom() const { return top + height; }
    friend bool operator==(const ScreenRect&, const ScreenRect&) = default;
};

struct ScreenPoint {
    int x = 0;
    int y = 0;
    friend bool operator==(const ScreenPoint&, const ScreenPoint&) = default;
};

// The box's place at start-up: its bottom edge on the work area's bottom and its right edge two
// pixels left of the work area's right. A 565 x 34 box on a 1920 x 1040 work area at 0, 0 lands at
// 1353, 1006. The work area's own left and top count, so a panel on the left or at the top of the
// screen, or a primary screen that does not start at 0, 0, still puts the box in the corner.
ScreenPoint BoxHomePosition(const ScreenRect& workArea, int boxWidth, int boxHeight);

enum class DropDownSide { Below, Above };

struct DropDownPlace {
    ScreenPoint topLeft;
    DropDownSide side = DropDownSide::Below;
    friend bool operator==(const DropDownPlace&, const DropDownPlace&) = default;
};

// The drop-down's place next to the box (box = the box's left, top and client size). Below the box
// when the room between the box's lower edge and the work area's bottom is at least the drop-down's
// height; above it (its lower edge on the box's top) when the room is less. Its left edge is the box's.
DropDownPlace DropDownPosition(const ScreenRect& workArea, const ScreenRect& box, int dropDownHeight);

} // namespace kestrel::app
