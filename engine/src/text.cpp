#include "text.h"

#include <cstdlib>
#include <utf8proc.h>

namespace kestrel::engine {

namespace {

// Length of the valid UTF-8 sequence at s[0], or 0 when s[0] does not start one.
size_t validSequence(const unsigned char* s, size_t n, int32_t& cp) {
    utf8proc_int32_t c = 0;
    utf8proc_ssize_t len = utf8proc_iterate(s, static_cast<utf8proc_ssize_t>(n), &c);
    if (len <= 0)
        return 0;
    cp = c;
    return static_cast<size_t>(len);
}

void appendFoldedRun(const unsigned char* s, size_t n, std::string& out) {
    utf8proc_uint8_t* mapped = nullptr;
    utf8proc_ssize_t len =
        utf8proc_map(s, static_cast<utf8proc_ssize_t>(n), &mapped,
                     static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_COMPOSE | UTF8PROC_CASEFOLD));
    if (len >= 0 && mapped)
        out.append(reinterpret_cast<const char*>(mapped), static_cast<size_t>(len));
    else
        out.append(reinterpret_cast<const char*>(s), n);
    std::free(mapped);
}

} // namespace

void appendFoldedKey(std::string_view bytes, std::string& out) {
    if (isAscii(bytes)) {
        for (unsigned char c : bytes)
            out += static_cast<char>(asciiLower(c));
        return;
    }
    auto s = reinterpret_cast<const unsigned char*>(bytes.data());
    size_t n = bytes.size();
    size_t runStart = 0;
    size_t i = 0;
    while (i < n) {
        int32_t cp = 0;
        size_t len = validSequence(s + i, n - i, cp);
        if (len > 0) {
            i += len;
            continue;
        }
        // A stray byte ends the valid run before it and is kept as it is.
        if (i > runStart)
            appendFoldedRun(s + runStart, i - runStart, out);
        out += static_cast<char>(s[i]);
        ++i;
        runStart = i;
    }
    if (n > runStart)
        appendFoldedRun(s + runStart, n - runStart, out);
}

std::string foldedKey(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    appendFoldedKey(bytes, out);
    return out;
}

size_t utf16Length(std::string_view bytes) {
    auto s = reinterpret_cast<const unsigned char*>(bytes.data());
    size_t n = bytes.size();
    size_t units = 0;
    for (size_t i = 0; i < n;) {
        if (s[i] < 0x80) {
            ++units;
            ++i;
            continue;
        }
        int32_t cp = 0;
        size_t len = validSequence(s + i, n - i, cp);
        if (len == 0) {
            ++units;
            ++i;
        } else {
            units += cp >= 0x10000 ? 2 : 1;
            i += len;
        }
    }
    return units;
}

char16_t* writeUtf16(std::string_view bytes, char16_t* out) {
    auto s = reinterpret_cast<const unsigned char*>(bytes.data());
    size_t n = bytes.size();
    for (size_t i = 0; i < n;) {
        if (s[i] < 0x80) {
            *out++ = s[i++];
            continue;
        }
        int32_t cp = 0;
        size_t len = validSequence(s + i, n - i, cp);
        if (len == 0) {
            *out++ = static_cast<char16_t>(0xDC00 + s[i]);
            ++i;
        } else if (cp >= 0x10000) {
            cp -= 0x10000;
            *out++ = static_cast<char16_t>(0xD800 + (cp >> 10));
            *out++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
            i += len;
        } else {
            *out++ = static_cast<char16_t>(cp);
            i += len;
        }
    }
    return out;
}

void appendUtf16(std::string_view bytes, std::u16string& out) {
    size_t start = out.size();
    out.resize(start + utf16Length(bytes));
    writeUtf16(bytes, out.data() + start);
}

std::string bytesOfUtf16(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    auto put = [&out](uint32_t cp) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    };
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            put(0x10000 + ((static_cast<uint32_t>(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (c >= 0xDC80 && c <= 0xDCFF) {
            out += static_cast<char>(c - 0xDC00);
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            put(0xFFFD);
        } else {
            put(c);
        }
    }
    return out;
}

} // namespace kestrel::engine
