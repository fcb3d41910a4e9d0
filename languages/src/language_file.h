// Reading one language file and putting arguments into its texts. Pure functions over bytes.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace kestrel::languages {

// A parsed language file. problems holds one message per line that was skipped ("<file>:<line>: ...");
// every other line is kept.
struct LanguageFile {
    std::string name;                         // the display name (key "name"); empty when absent
    std::map<std::string, std::string> texts; // text id -> text, escapes resolved
    std::vector<std::string> problems;
};

// Parses the bytes of a language file: UTF-8 (a leading byte-order mark is allowed), LF or CRLF line
// ends, "#" starts a comment line, blank lines are ignored, every other line is "key=text". A key is a
// seven-digit text id or "name"; blanks around the key are ignored, the text is everything after the
// first "=" as written, with "\n" for a line break and "\\" for a backslash. A line that is not valid
// UTF-8, has no "=", has an unknown key or repeats a key is skipped (the first occurrence wins) and
// reported with fileName and its line number.
LanguageFile ParseLanguageFile(std::string_view bytes, std::string_view fileName);

// True for exactly seven ASCII digits.
bool IsTextId(std::string_view id);

// True when bytes are well-formed UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// Replaces %1, %2 and %3 in text by the arguments and "%%" by "%", in one pass (an argument holding
// "%2" stays as it is). Any other "%" is kept.
std::string Substitute(std::string_view text, std::string_view arg1, std::string_view arg2,
                       std::string_view arg3);

// The length of the longest prefix of text that fits in size - 1 bytes and does not end inside a
// UTF-8 sequence (0 when size is 0 or 1).
size_t Utf8PrefixLength(std::string_view text, size_t size);

} // namespace kestrel::languages
