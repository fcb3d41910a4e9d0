// Result ordering (UnitFunction): reorders a list of engine result records in place by name, folder,
// size or modification date, in one of two directions. Qt-free.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "kestrelfind.h"

namespace kestrel::core {

// The sort keys; any other value leaves a list unchanged.
enum class SortKeyValue : int32_t { None = -1, Name = 0, Folder = 1, Size = 2, Date = 3 };

// Compares two texts as the ordering does: byte by byte over their UTF-8 bytes (see EngineTextToBytes)
// with only a-z folded to A-Z; the first differing byte decides by value, a prefix is smaller.
// Returns <0, 0 or >0. Null reads as the empty text.
int CompareText(const char16_t* x, const char16_t* y);
int CompareText(std::string_view x, std::string_view y);

// The comparison of two entries for a key and direction: negative puts a before b. A null entry is an
// empty entry: first in the first order, last in the mirror. descending selects the mirror, the exact
// reverse, C(b, a). Keys outside 0..3 compare everything as equal.
int CompareResults(int32_t key, bool descending, const TItemFileData* a, const TItemFileData* b);

// Sorts the list in place for the key and direction: a quicksort taking the middle entry of each range
// as its pivot, not stable. Any key other than 0..3 returns at once without touching the list. Works
// on a std::vector<TItemFileData*> or a QList<TItemFileData*> alike (both convert to the span).
// Records are only read; a record whose Folder or Name is null sorts as if that text were empty.
// Cost: O(n log n) comparisons on average; recursion depth stays O(log n) for every input.
void SortResults(int32_t key, bool descending, std::span<TItemFileData*> list);

} // namespace kestrel::core
