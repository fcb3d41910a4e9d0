#include "placement.h"

namespace kestrel::app {

ScreenPoint BoxHomePosition(const ScreenRect& workArea, int boxWidth, int boxHeight) {
    return {workArea.right() - boxWidth - 2, workArea.bottom() - boxHeight};
}

DropDownPlace DropDownPosition(const ScreenRect& workArea, const ScreenRect& box, int dropDownHeight) {
    const int roomBelow = workArea.bottom() - box.top - box.height;
    if (roomBelow < dropDownHeight)
        return {{box.left, box.top - dropDownHeight}, DropDownSide::Above};
    return {{box.left, box.bottom()}, DropDownSide::Below};
}

} // namespace kestrel::app
