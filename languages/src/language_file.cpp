#include "language_file.h"

#include <cstdint>

namespace kestrel::languages {
namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
        s.remove_suffix(1);
    }
    return s;
}

std::string Unescape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            if (text[i + 1] == 'n') {
                out += '\n';
                ++i;
                continue;
            }
            if (text[i + 1] == '\\') {
                out += '\\';
                ++i;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

std::string Where(std::string_view fileName, size_t line) {
    return std::string(fileName) + ":" + std::to_string(line) + ": ";
}

} // namespace

bool IsTextId(std::string_view id) {
    if (id.size() != 7) {
        return false;
    }
    for (char c : id) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

bool IsValidUtf8(std::string_view bytes) {
    size_t i = 0;
    while (i < bytes.size()) {
        const auto b = static_cast<uint8_t>(bytes[i]);
        if (b < 0x80) {
            ++i;
            continue;
        }
        size_t length;
        uint32_t cp;
        if (b >= 0xC2 && b <= 0xDF) {
            length = 2;
            cp = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            length = 3;
            cp = b & 0x0F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            length = 4;
            cp = b & 0x07;
        } else {
            return false;
        }
        if (i + length > bytes.size()) {
            return false;
        }
        for (size_t k = 1; k < length; ++k) {
            const auto c = static_cast<uint8_t>(bytes[i + k]);
            if ((c & 0xC0) != 0x80) {
                return false;
            }
            cp = (cp << 6) | (c & 0x3F);
        }
        const bool overlong = (length == 3 && cp < 0x800) || (length == 4 && cp < 0x10000);
        if (overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            return false;
        }
        i += length;
    }
    return true;
}

LanguageFile ParseLanguageFile(std::string_view bytes, std::string_view fileName) {
    LanguageFile file;
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        bytes.remove_prefix(3);
    }
    size_t lineNumber = 0;
    while (!bytes.empty()) {
        const size_t end = bytes.find('\n');
        std::string_view line = bytes.substr(0, end);
        bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
        ++lineNumber;
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        if (Trim(line).empty() || Trim(line).starts_with('#')) {
            continue;
        }
        if (!IsValidUtf8(line)) {
            file.problems.push_back(Where(fileName, lineNumber) + "not UTF-8; line skipped");
            continue;
        }
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            file.problems.push_back(Where(fileName, lineNumber) + "no \"=\" in the line; line skipped");
            continue;
        }
        const std::string_view key = Trim(line.substr(0, equals));
        const std::string text = Unescape(line.substr(equals + 1));
        if (key == "name") {
            if (!file.name.empty()) {
                file.problems.push_back(Where(fileName, lineNumber) + "second \"name\"; line skipped");
            } else if (text.empty() || text.find('\n') != std::string::npos) {
                file.problems.push_back(Where(fileName, lineNumber) +
                                        "empty or multi-line name; line skipped");
            } else {
                file.name = text;
            }
            continue;
        }
        if (!IsTextId(key)) {
            file.problems.push_back(Where(fileName, lineNumber) + "\"" + std::string(key) +
                                    "\" is not a seven-digit text id; line skipped");
            continue;
        }
        if (!file.texts.emplace(std::string(key), text).second) {
            file.problems.push_back(Where(fileName, lineNumber) + "text id " + std::string(key) +
                                    " appears again; line skipped");
        }
    }
    return file;
}

std::string Substitute(std::string_view text, std::string_view arg1, std::string_view arg2,
                       std::string_view arg3) {
    std::string out;
    out.reserve(text.size() + arg1.size() + arg2.size() + arg3.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size()) {
            const char next = text[i + 1];
            if (next == '%') {
                out += '%';
                ++i;
                continue;
            }
            if (next >= '1' && next <= '3') {
                out += next == '1' ? arg1 : next == '2' ? arg2 : arg3;
                ++i;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

size_t Utf8PrefixLength(std::string_view text, size_t size) {
    if (size == 0) {
        return 0;
    }
    if (text.size() < size) {
        return text.size();
    }
    size_t length = size - 1;
    // Step back over continuation bytes so the cut falls before a sequence's lead byte.
    while (length > 0 && (static_cast<uint8_t>(text[length]) & 0xC0) == 0x80) {
        --length;
    }
    return length;
}

} // namespace kestrel::languages
