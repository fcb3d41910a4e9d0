#include "sort_results.h"

#include <string>
#include <utility>
#include <vector>

#include "engine_text.h"

namespace kestrel::core {

namespace {

unsigned char folded(char c) {
    auto b = static_cast<unsigned char>(c);
    return (b >= 'a' && b <= 'z') ? static_cast<unsigned char>(b - ('a' - 'A')) : b;
}

int folderRank(const TItemFileData* item) {
    return item->IsFolder != 0 ? 1 : 0;
}

// The modification time as one signed 64-bit number: high half signed, low half unsigned.
int64_t fileTime(const FILETIME& t) {
    return static_cast<int64_t>(static_cast<int32_t>(t.dwHighDateTime)) * 4294967296LL +
           static_cast<int64_t>(t.dwLowDateTime);
}

int sign(int64_t a, int64_t b) {
    return a > b ? 1 : (a < b ? -1 : 0);
}

// One entry as the comparison sees it: the record (null for an empty entry) and its two texts as bytes.
struct Entry {
    TItemFileData* item;
    std::string name;
    std::string folder;
};

Entry entryOf(const TItemFileData* item) {
    if (!item)
        return {nullptr, {}, {}};
    return {const_cast<TItemFileData*>(item), EngineTextToBytes(item->Name), EngineTextToBytes(item->Folder)};
}

// The first order of each key; the mirror swaps the arguments.
int firstOrder(int32_t key, const Entry& a, const Entry& b) {
    if (!a.item && !b.item)
        return 0;
    if (!a.item)
        return -1;
    if (!b.item)
        return 1;
    int d = 0;
    switch (key) {
    case 0:
        d = folderRank(a.item) - folderRank(b.item);
        if (d == 0)
            d = CompareText(b.name, a.name);
        if (d == 0)
            d = CompareText(b.folder, a.folder);
        return d;
    case 1:
        d = CompareText(b.folder, a.folder);
        if (d == 0)
            d = folderRank(a.item) - folderRank(b.item);
        if (d == 0)
            d = CompareText(b.name, a.name);
        return d;
    case 2:
        return sign(a.item->Size, b.item->Size);
    case 3:
        return sign(fileTime(a.item->LastWriteTime), fileTime(b.item->LastWriteTime));
    default:
        return 0;
    }
}

int compareEntries(int32_t key, bool descending, const Entry& a, const Entry& b) {
    return descending ? firstOrder(key, b, a) : firstOrder(key, a, b);
}

template <typename T, typename Less> void quickSort(std::span<T> list, Less compare) {
    // Loops on the larger part and recurses into the smaller one, so the depth stays below log2(n)
    // even when a bad pivot splits off one entry at a time.
    ptrdiff_t lo = 0;
    ptrdiff_t hi = static_cast<ptrdiff_t>(list.size()) - 1;
    while (lo < hi) {
        ptrdiff_t i = lo;
        ptrdiff_t j = hi;
        T pivot = list[static_cast<size_t>(lo + (hi - lo) / 2)];
        do {
            while (i < hi && compare(list[static_cast<size_t>(i)], pivot) < 0)
                ++i;
            while (j > lo && compare(list[static_cast<size_t>(j)], pivot) > 0)
                --j;
            if (i <= j) {
                std::swap(list[static_cast<size_t>(i)], list[static_cast<size_t>(j)]);
                ++i;
                --j;
            }
        } while (i <= j);
        if (j - lo < hi - i) {
            if (lo < j)
                quickSort(list.subspan(static_cast<size_t>(lo), static_cast<size_t>(j - lo + 1)), compare);
            lo = i;
        } else {
            if (i < hi)
                quickSort(list.subspan(static_cast<size_t>(i), static_cast<size_t>(hi - i + 1)), compare);
            hi = j;
        }
    }
}

} // namespace

int CompareText(std::string_view x, std::string_view y) {
    size_t n = x.size() < y.size() ? x.size() : y.size();
    for (size_t i = 0; i < n; ++i) {
        int d = int(folded(x[i])) - int(folded(y[i]));
        if (d != 0)
            return d;
    }
    return sign(static_cast<int64_t>(x.size()), static_cast<int64_t>(y.size()));
}

int CompareText(const char16_t* x, const char16_t* y) {
    return CompareText(EngineTextToBytes(x), EngineTextToBytes(y));
}

int CompareResults(int32_t key, bool descending, const TItemFileData* a, const TItemFileData* b) {
    return compareEntries(key, descending, entryOf(a), entryOf(b));
}

void SortResults(int32_t key, bool descending, std::span<TItemFileData*> list) {
    if (key < 0 || key > 3 || list.size() < 2)
        return;
    // Each text is converted once per sort instead of twice per comparison: a sort of n entries makes
    // about 2 n log n comparisons. Size and date need no texts.
    bool texts = key == 0 || key == 1;
    std::vector<Entry> entries;
    entries.reserve(list.size());
    for (TItemFileData* item : list)
        entries.push_back(texts ? entryOf(item) : Entry{item, {}, {}});
    quickSort(std::span<Entry>(entries), [key, descending](const Entry& a, const Entry& b) {
        return compareEntries(key, descending, a, b);
    });
    for (size_t i = 0; i < list.size(); ++i)
        list[i] = entries[i].item;
}

} // namespace kestrel::core
