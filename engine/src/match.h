// The pattern language and its matcher.
//
// "|" separates alternatives (an empty one matches nothing); blanks separate terms that must all
// match; "*" is any run of characters, also none; "<" stands for a blank; every other character
// stands for itself. A term is matched against the whole key: "*abc*" is a substring, "abc*" a
// prefix, "*.txt" a suffix, "abc" the whole name. Literals are folded like keys (text.h) and the
// haystack is compared with its ASCII letters lowered, so ASCII names need no folded copy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrel::engine {

struct Term {
    std::vector<std::string> segments; // folded literals between the stars
    bool anchoredStart = false;        // no star before the first segment
    bool anchoredEnd = false;          // no star after the last segment
    bool matchesAll() const { return segments.empty() && !(anchoredStart && anchoredEnd); }
    bool matchesNothing() const { return segments.empty() && anchoredStart && anchoredEnd; }
    bool matches(std::string_view key) const;
    // The literal a plain word of the user becomes ("*word*", "word*" or "word"), else empty.
    std::string_view word() const;
};

struct Alternative {
    std::vector<Term> terms; // empty: matches nothing
    bool matches(std::string_view key) const;
    // The longest literal of the terms, which every match must hold; empty when there is none.
    std::string_view anchor() const;
    bool matchesAll() const;
};

struct Pattern {
    std::vector<Alternative> alternatives;
    static Pattern compile(std::u16string_view pattern);
    static Pattern compileBytes(std::string_view pattern);
    bool matches(std::string_view key) const;
    // The plain words of the pattern, for ranking.
    std::vector<std::string_view> words() const;
};

// Position of needle (folded, non-empty) in hay compared with hay's ASCII letters lowered, from
// position from on; npos when absent. Fast over long haystacks such as the whole key blob.
size_t findFolded(const char* hay, size_t hayLength, std::string_view needle, size_t from);

// How well a name key matches a typed word: 0 the whole name, 1 a prefix, 2 the start of a word
// inside the name, 3 anywhere else (or not at all).
int matchTier(std::string_view key, std::string_view word);

} // namespace kestrel::engine
