// Rules of the full window that need no widget: the export file's name and lines, the rows Copy
// takes, the Arrange Icons by toggle, the text-size steps and the Path column's width. QtCore only.
#pragma once

#include <QString>

#include <cstdint>
#include <string>
#include <vector>

#include "kestrelfind.h"

namespace kestrel::views {

// The export target for the name the save dialog returned: the name itself when it already ends in
// ".txt", otherwise the name followed by ".txt".
QString ExportTargetName(const QString& chosen);

// One export line: the record's folder followed by its name, as the file system's bytes, then "\n".
// Empty for a null record (such an index writes no line).
std::string ExportLine(const TItemFileData* record);

// The indices Copy takes: every index 0..resultCount-1 when Select All is down or every result is
// selected; otherwise the selected rows, ascending, without duplicates and without rows outside the
// results.
std::vector<int> CopyIndices(bool selectAllDown, std::vector<int> selectedRows, int resultCount);

// A sort key with its direction.
struct TArrangeOrder {
    int32_t key = 0;
    bool descending = false;
    bool operator==(const TArrangeOrder&) const = default;
};
// A column click or an Arrange Icons by command: the same key as the current one inverts the
// direction, another key starts in its first (ascending) order.
TArrangeOrder ArrangeToggle(TArrangeOrder current, int32_t key);

// The list's text size in points.
inline constexpr int kTextSizeNormal = 8;
// Increase: one point more, without upper limit.
int TextSizeIncrease(int points);
// Decrease: one point less, but never below the normal size (a size at or below it becomes it).
int TextSizeDecrease(int points);

// The Path column's width for a list of listWidth pixels: what the other three columns (200, 80 and
// 120) and 30 pixels of frame and scroll bar leave, but at least kPathColumnMinWidth.
inline constexpr int kPathColumnMinWidth = 51;
int PathColumnWidth(int listWidth);

} // namespace kestrel::views
