// Text conversions of the engine. File names are bytes; the engine hands them out as UTF-16 where a
// byte that is not part of valid UTF-8 becomes the lone surrogate U+DC80 + byte, so the exact bytes
// can always be recovered. Matching uses a folded key: canonical composition plus Unicode case
// folding (utf8proc), applied to the valid UTF-8 runs of a name; stray bytes stay as they are.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrel::engine {

inline bool isAscii(std::string_view s) {
    for (unsigned char c : s) {
        if (c >= 0x80)
            return false;
    }
    return true;
}

inline unsigned char asciiLower(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? c | 0x20 : c;
}

// Appends the folded key of bytes to out. For ASCII this is the lower-case text.
void appendFoldedKey(std::string_view bytes, std::string& out);
std::string foldedKey(std::string_view bytes);

// Appends the UTF-16 text of bytes (stray bytes as U+DC80 + byte) to out, without a terminator.
void appendUtf16(std::string_view bytes, std::u16string& out);
// The number of UTF-16 units appendUtf16 would write.
size_t utf16Length(std::string_view bytes);
// Writes the UTF-16 text of bytes into out, which has room for utf16Length(bytes) units.
char16_t* writeUtf16(std::string_view bytes, char16_t* out);

// The bytes behind a UTF-16 text: lone U+DC80..U+DCFF become the byte they stand for, other lone
// surrogates become U+FFFD.
std::string bytesOfUtf16(std::u16string_view text);

// Last-write time as FILETIME ticks (100 ns since 1601-01-01 UTC).
inline int64_t fileTimeTicks(int64_t seconds, uint32_t nanoseconds) {
    return (seconds + 11644473600LL) * 10000000LL + nanoseconds / 100;
}

} // namespace kestrel::engine
