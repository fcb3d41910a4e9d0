#include "engine_text.h"
#include "sort_results.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace kestrel::core {
namespace {

// Result records with their texts, as the engine would hand them out.
class Records {
public:
    TItemFileData* add(std::u16string folder, std::u16string name, bool isFolder = false, int64_t size = 0,
                       int64_t time = 0) {
        m_texts.push_back(std::move(folder));
        const char16_t* f = m_texts.back().c_str();
        m_texts.push_back(std::move(name));
        TItemFileData item{};
        item.Folder = f;
        item.Name = m_texts.back().c_str();
        item.IsFolder = isFolder ? 1 : 0;
        item.Size = size;
        item.LastWriteTime.dwLowDateTime = static_cast<uint32_t>(static_cast<uint64_t>(time));
        item.LastWriteTime.dwHighDateTime = static_cast<uint32_t>(static_cast<uint64_t>(time) >> 32);
        item.IconIndex = -1;
        m_items.push_back(item);
        return &m_items.back();
    }

private:
    std::deque<std::u16string> m_texts;
    std::deque<TItemFileData> m_items;
};

std::vector<std::string> namesOf(const std::vector<TItemFileData*>& list) {
    std::vector<std::string> names;
    for (const TItemFileData* item : list)
        names.push_back(item ? EngineTextToBytes(item->Name) : std::string("<empty>"));
    return names;
}

std::vector<std::string> foldersOf(const std::vector<TItemFileData*>& list) {
    std::vector<std::string> folders;
    for (const TItemFileData* item : list)
        folders.push_back(item ? EngineTextToBytes(item->Folder) : std::string("<empty>"));
    return folders;
}

using Names = std::vector<std::string>;

TEST(SortResults, NameKeyPutsFilesFirstZToAAndItsMirrorFoldersFirstAToZ) {
    Records r;
    std::vector<TItemFileData*> list = {r.add(u"/d/", u"Banana"), r.add(u"/d/", u"docs", true),
                                        r.add(u"/d/", u"apple"), r.add(u"/d/", u"cherry")};
    SortResults(0, false, list);
    EXPECT_EQ(namesOf(list), (Names{"cherry", "Banana", "apple", "docs"}));
    SortResults(0, true, list);
    EXPECT_EQ(namesOf(list), (Names{"docs", "apple", "Banana", "cherry"}));
}

TEST(SortResults, OnlyAsciiLettersFoldAndBytesDecide) {
    struct Case {
        std::u16string first; // comes first in the A-to-Z order (key 0, mirror)
        std::u16string second;
    };
    const Case cases[] = {
        {u"a", u"_"},           // "_" (0x5F) is above "A" (0x41) once "a" is folded
        {u"Zeta", u"zetas"},    // a prefix is smaller, whatever the case
        {u"a", u"[x"},          // "[" (0x5B) is below "a" and above "A": folding decides
        {u"\u00C9", u"\u00E9"}, // É (C3 89) before é (C3 A9): no folding beyond a-z
        {u"\u00E9", u"\xDCE9"}, // é as UTF-8 (C3 A9) before a Latin-1 byte E9 of a non-UTF-8 name
        {u"\xDC80", u"\u0800"}, // the raw byte 80 before E0 A0 80
        {u"z", u"\u00E0"},      // any non-ASCII letter comes after every ASCII one
    };
    for (const Case& c : cases) {
        Records r;
        std::vector<TItemFileData*> list = {r.add(u"/", c.second), r.add(u"/", c.first)};
        SortResults(0, true, list);
        EXPECT_EQ(namesOf(list), (Names{EngineTextToBytes(c.first), EngineTextToBytes(c.second)}))
            << EngineTextToBytes(c.first);
        SortResults(0, false, list);
        EXPECT_EQ(namesOf(list), (Names{EngineTextToBytes(c.second), EngineTextToBytes(c.first)}))
            << EngineTextToBytes(c.first);
    }
}

TEST(SortResults, EqualNamesGoByFolderInTheNamesDirection) {
    Records r;
    std::vector<TItemFileData*> list = {r.add(u"/b/", u"x"), r.add(u"/c/", u"x"), r.add(u"/a/", u"x"),
                                        r.add(u"/a/", u"y")};
    SortResults(0, false, list);
    EXPECT_EQ(namesOf(list), (Names{"y", "x", "x", "x"}));
    EXPECT_EQ(foldersOf(list), (Names{"/a/", "/c/", "/b/", "/a/"}));
    SortResults(0, true, list);
    EXPECT_EQ(foldersOf(list), (Names{"/a/", "/b/", "/c/", "/a/"}));
    EXPECT_EQ(namesOf(list), (Names{"x", "x", "x", "y"}));
}

TEST(SortResults, FolderKeyThenFilesBeforeFoldersThenNames) {
    Records r;
    std::vector<TItemFileData*> list = {r.add(u"/a/", u"m"),       r.add(u"/b/", u"sub", true),
                                        r.add(u"/b/", u"k"),       r.add(u"/b/", u"z"),
                                        r.add(u"/a/", u"n", true), r.add(u"/A/", u"o")};
    SortResults(1, false, list);
    EXPECT_EQ(namesOf(list), (Names{"z", "k", "sub", "o", "m", "n"}));
    SortResults(1, true, list);
    EXPECT_EQ(namesOf(list), (Names{"n", "m", "o", "sub", "k", "z"}));
}

TEST(SortResults, SizeAndDateCompareAsSigned64BitNumbers) {
    Records r;
    std::vector<TItemFileData*> sizes = {r.add(u"/", u"zero", false, 0),
                                         r.add(u"/", u"big", false, 5000000000),
                                         r.add(u"/", u"one", false, 1), r.add(u"/", u"minus", false, -7)};
    SortResults(2, false, sizes);
    EXPECT_EQ(namesOf(sizes), (Names{"minus", "zero", "one", "big"}));
    SortResults(2, true, sizes);
    EXPECT_EQ(namesOf(sizes), (Names{"big", "one", "zero", "minus"}));

    // Low halves above 2^31 must not read as negative; a high half above 2^31 does.
    const int64_t lowOnly = 0xFFFFFFF0LL;
    const int64_t highBit = static_cast<int64_t>(0x8000000000000000ULL);
    std::vector<TItemFileData*> dates = {
        r.add(u"/", u"later", false, 0, (int64_t(1) << 32) + 5), r.add(u"/", u"low", false, 0, lowOnly),
        r.add(u"/", u"negative", false, 0, highBit), r.add(u"/", u"epoch", false, 0, 0)};
    SortResults(3, false, dates);
    EXPECT_EQ(namesOf(dates), (Names{"negative", "epoch", "low", "later"}));
    SortResults(3, true, dates);
    EXPECT_EQ(namesOf(dates), (Names{"later", "low", "epoch", "negative"}));
}

TEST(SortResults, KeysOutsideTheFourLeaveTheListAlone) {
    Records r;
    const std::vector<TItemFileData*> original = {r.add(u"/", u"b"), nullptr, r.add(u"/", u"c"),
                                                  r.add(u"/", u"a", true)};
    for (int32_t key : {-1, 4, 7, -2147483647 - 1}) {
        for (bool descending : {false, true}) {
            std::vector<TItemFileData*> list = original;
            SortResults(key, descending, list);
            EXPECT_EQ(list, original) << key;
        }
    }
}

TEST(SortResults, EmptyEntriesFirstInTheFirstOrderLastInTheMirror) {
    Records r;
    for (int32_t key = 0; key <= 3; ++key) {
        std::vector<TItemFileData*> list = {r.add(u"/", u"a", false, 3, 3), nullptr,
                                            r.add(u"/", u"b", true, 1, 1), nullptr};
        SortResults(key, false, list);
        EXPECT_EQ(list[0], nullptr) << key;
        EXPECT_EQ(list[1], nullptr) << key;
        EXPECT_NE(list[2], nullptr) << key;
        SortResults(key, true, list);
        EXPECT_EQ(list[2], nullptr) << key;
        EXPECT_EQ(list[3], nullptr) << key;
        EXPECT_NE(list[0], nullptr) << key;
    }
}

TEST(SortResults, MissingTextsSortAsEmpty) {
    Records r;
    TItemFileData* noName = r.add(u"/x/", u"");
    noName->Name = nullptr;
    TItemFileData* noFolder = r.add(u"", u"a");
    noFolder->Folder = nullptr;
    std::vector<TItemFileData*> list = {r.add(u"/", u"b"), noName, noFolder};
    SortResults(0, true, list);
    EXPECT_EQ(list[0], noName);
    EXPECT_EQ(list[1], noFolder);
    SortResults(1, true, list);
    EXPECT_EQ(list[0], noFolder);
    EXPECT_EQ(CompareText(nullptr, u""), 0);
    EXPECT_LT(CompareText(nullptr, u"a"), 0);
}

// A second, plain statement of the first orders: sort keys compared as tuples.
std::string upper(const char16_t* text) {
    std::string bytes = EngineTextToBytes(text);
    for (char& c : bytes) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 32);
    }
    return bytes;
}

bool referenceLessOrEqual(int32_t key, bool descending, const TItemFileData* a, const TItemFileData* b) {
    if (descending)
        std::swap(a, b);
    if (!a || !b)
        return !a;
    auto bytes = [](const std::string& s) { return std::basic_string<unsigned char>(s.begin(), s.end()); };
    // Name and folder run Z to A: compare b's text with a's.
    switch (key) {
    case 0:
        return std::tuple(a->IsFolder != 0, bytes(upper(b->Name)), bytes(upper(b->Folder))) <=
               std::tuple(b->IsFolder != 0, bytes(upper(a->Name)), bytes(upper(a->Folder)));
    case 1:
        return std::tuple(bytes(upper(b->Folder)), a->IsFolder != 0, bytes(upper(b->Name))) <=
               std::tuple(bytes(upper(a->Folder)), b->IsFolder != 0, bytes(upper(a->Name)));
    case 2:
        return a->Size <= b->Size;
    default: {
        auto t = [](const TItemFileData* i) {
            return static_cast<int64_t>((uint64_t(i->LastWriteTime.dwHighDateTime) << 32) |
                                        i->LastWriteTime.dwLowDateTime);
        };
        return t(a) <= t(b);
    }
    }
}

TEST(SortResults, AgreesWithAPlainStatementOfTheOrdersOnRandomLists) {
    std::mt19937 rng(20261208);
    const std::u16string alphabet = u"aAbB_z.\u00E9\xDCE9 ";
    auto randomText = [&](size_t maxLength) {
        std::u16string text;
        size_t n = rng() % (maxLength + 1);
        for (size_t i = 0; i < n; ++i)
            text += alphabet[rng() % alphabet.size()];
        return text;
    };
    for (int round = 0; round < 300; ++round) {
        Records r;
        std::vector<TItemFileData*> list;
        size_t n = rng() % 60;
        for (size_t i = 0; i < n; ++i) {
            if (rng() % 10 == 0) {
                list.push_back(nullptr);
                continue;
            }
            int64_t size = static_cast<int64_t>(rng() % 5) * 3000000000LL - 6000000000LL;
            int64_t time = static_cast<int64_t>(rng() % 7) << (rng() % 2 ? 31 : 4);
            list.push_back(r.add(u"/" + randomText(2) + u"/", randomText(3), rng() % 3 == 0, size, time));
        }
        int32_t key = static_cast<int32_t>(rng() % 4);
        bool descending = rng() % 2 == 1;
        std::vector<TItemFileData*> sorted = list;
        SortResults(key, descending, sorted);

        std::vector<TItemFileData*> a = list, b = sorted;
        std::sort(a.begin(), a.end());
        std::sort(b.begin(), b.end());
        ASSERT_EQ(a, b) << "not a permutation, round " << round;
        for (size_t i = 1; i < sorted.size(); ++i)
            ASSERT_TRUE(referenceLessOrEqual(key, descending, sorted[i - 1], sorted[i]))
                << "round " << round << " key " << key << " at " << i;
    }
}

TEST(SortResults, LargeSortedReversedAndEqualListsStaySound) {
    Records r;
    std::vector<TItemFileData*> list;
    for (int i = 0; i < 100000; ++i)
        list.push_back(r.add(u"/", u"f", false, i % 2 == 0 ? i : 100000 - i));
    for (bool descending : {false, true, false}) {
        SortResults(2, descending, list);
        for (size_t i = 1; i < list.size(); ++i)
            ASSERT_TRUE(descending ? list[i - 1]->Size >= list[i]->Size : list[i - 1]->Size <= list[i]->Size);
    }
    SortResults(0, false, list); // every name and folder equal
    EXPECT_EQ(list.size(), 100000u);
}

TEST(EngineText, NonUtf8BytesSurviveTheRoundTrip) {
    struct Case {
        std::string bytes;
        std::u16string text;
    };
    const Case cases[] = {
        {"plain", u"plain"},
        {"caf\xC3\xA9", u"caf\u00E9"},
        {"caf\xE9", u"caf\xDCE9"},
        {"\xF0\x9F\x98\x80", u"\U0001F600"},
        {"\xC0\x80", u"\xDCC0\xDC80"},                     // overlong NUL
        {"\xED\xA0\x80", u"\xDCED\xDCA0\xDC80"},           // an encoded surrogate
        {"\xF4\x90\x80\x80", u"\xDCF4\xDC90\xDC80\xDC80"}, // above U+10FFFF
        {"\xE2\x82", u"\xDCE2\xDC82"},                     // cut short
    };
    for (const Case& c : cases) {
        EXPECT_EQ(BytesToEngineText(c.bytes), c.text) << c.bytes;
        EXPECT_EQ(EngineTextToBytes(c.text), c.bytes) << c.bytes;
    }
    EXPECT_EQ(EngineTextToBytes(u"\xD800x"), "\xEF\xBF\xBDx"); // never produced by the engine
    EXPECT_EQ(EngineTextToBytes(static_cast<const char16_t*>(nullptr)), "");

    std::mt19937 rng(7);
    for (int round = 0; round < 2000; ++round) {
        std::string bytes(rng() % 12, '\0');
        for (char& b : bytes)
            b = static_cast<char>(rng() % 3 == 0 ? 0x80 + rng() % 0x80 : rng() % 0x100);
        ASSERT_EQ(EngineTextToBytes(BytesToEngineText(bytes)), bytes);
    }
}

} // namespace
} // namespace kestrel::core
