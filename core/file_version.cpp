#include "file_version.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <functional>

#include "version_strings.h"

namespace kestrel::core {

namespace {

// Sections larger than this are not version strings; the bound keeps a damaged header from asking
// for gigabytes.
constexpr uint64_t kMaxSectionSize = 1 << 20;
constexpr uint64_t kMaxNamesSize = 16 << 20;
constexpr uint32_t kMaxSections = 1 << 20;
constexpr uint32_t kNoBits = 8; // SHT_NOBITS: the section takes no room in the file

// Reads `size` bytes at `offset` into `out`; false when they are not all there.
using ReadAt = std::function<bool(uint64_t offset, size_t size, void* out)>;

class ElfReader {
public:
    ElfReader(ReadAt readAt, uint64_t fileSize) : m_read(std::move(readAt)), m_fileSize(fileSize) {}

    std::optional<std::string> versionSection() {
        unsigned char ident[16];
        if (!read(0, sizeof ident, ident) || std::memcmp(ident,
                                                         "\x7f"
                                                         "ELF",
                                                         4) != 0)
            return std::nullopt;
        if (ident[4] != 1 && ident[4] != 2)
            return std::nullopt;
        if (ident[5] != 1 && ident[5] != 2)
            return std::nullopt;
        m_64 = ident[4] == 2;
        m_bigEndian = ident[5] == 2;

        uint64_t shoff;
        uint16_t shentsize, shnum16, shstrndx16;
        if (m_64) {
            if (!u64(0x28, shoff) || !u16(0x3A, shentsize) || !u16(0x3C, shnum16) || !u16(0x3E, shstrndx16))
                return std::nullopt;
        } else {
            uint32_t off32;
            if (!u32(0x20, off32) || !u16(0x2E, shentsize) || !u16(0x30, shnum16) || !u16(0x32, shstrndx16))
                return std::nullopt;
            shoff = off32;
        }
        if (shoff == 0 || shentsize < (m_64 ? 64u : 40u))
            return std::nullopt;
        m_shoff = shoff;
        m_shentsize = shentsize;

        // More than 0xff00 sections: the count and the names' index live in the first section header.
        uint64_t shnum = shnum16;
        uint64_t shstrndx = shstrndx16;
        if (shnum == 0 || shstrndx == 0xFFFF) {
            Section first;
            if (!sectionAt(0, first))
                return std::nullopt;
            if (shnum == 0)
                shnum = first.size;
            if (shstrndx == 0xFFFF)
                shstrndx = first.link;
        }
        if (shnum == 0 || shnum > kMaxSections || shstrndx >= shnum)
            return std::nullopt;
        if (!fits(m_shoff, shnum * m_shentsize))
            return std::nullopt;

        Section names;
        if (!sectionAt(shstrndx, names) || names.type == kNoBits || names.size > kMaxNamesSize)
            return std::nullopt;
        std::string nameTable;
        if (!contents(names, nameTable))
            return std::nullopt;

        const std::string_view wanted = KESTREL_VERSION_SECTION;
        for (uint64_t i = 0; i < shnum; ++i) {
            Section s;
            if (!sectionAt(i, s))
                return std::nullopt;
            if (s.name >= nameTable.size())
                continue;
            std::string_view name(nameTable.c_str() + s.name);
            if (name != wanted)
                continue;
            if (s.type == kNoBits || s.size > kMaxSectionSize)
                return std::nullopt;
            std::string data;
            if (!contents(s, data))
                return std::nullopt;
            return data;
        }
        return std::nullopt;
    }

private:
    struct Section {
        uint32_t name = 0;
        uint32_t type = 0;
        uint64_t offset = 0;
        uint64_t size = 0;
        uint32_t link = 0;
    };

    bool fits(uint64_t offset, uint64_t size) const {
        return offset <= m_fileSize && size <= m_fileSize - offset;
    }

    bool read(uint64_t offset, size_t size, void* out) {
        return fits(offset, size) && m_read(offset, size, out);
    }

    template <typename T> bool number(uint64_t offset, T& value) {
        unsigned char bytes[sizeof(T)];
        if (!read(offset, sizeof bytes, bytes))
            return false;
        uint64_t v = 0;
        for (size_t i = 0; i < sizeof(T); ++i) {
            size_t at = m_bigEndian ? i : sizeof(T) - 1 - i;
            v = (v << 8) | bytes[at];
        }
        value = static_cast<T>(v);
        return true;
    }
    bool u16(uint64_t offset, uint16_t& v) { return number(offset, v); }
    bool u32(uint64_t offset, uint32_t& v) { return number(offset, v); }
    bool u64(uint64_t offset, uint64_t& v) { return number(offset, v); }

    bool sectionAt(uint64_t index, Section& s) {
        uint64_t at = m_shoff + index * m_shentsize;
        if (at < m_shoff)
            return false;
        if (m_64)
            return u32(at, s.name) && u32(at + 4, s.type) && u64(at + 0x18, s.offset) &&
                   u64(at + 0x20, s.size) && u32(at + 0x28, s.link);
        uint32_t offset32, size32;
        if (!(u32(at, s.name) && u32(at + 4, s.type) && u32(at + 0x10, offset32) && u32(at + 0x14, size32) &&
              u32(at + 0x18, s.link)))
            return false;
        s.offset = offset32;
        s.size = size32;
        return true;
    }

    bool contents(const Section& s, std::string& out) {
        if (!fits(s.offset, s.size))
            return false;
        out.assign(static_cast<size_t>(s.size), '\0');
        return s.size == 0 || read(s.offset, out.size(), out.data());
    }

    ReadAt m_read;
    uint64_t m_fileSize;
    bool m_64 = false;
    bool m_bigEndian = false;
    uint64_t m_shoff = 0;
    uint64_t m_shentsize = 0;
};

bool preadAll(int fd, uint64_t offset, size_t size, void* out) {
    auto* p = static_cast<char*>(out);
    while (size > 0) {
        ssize_t n = ::pread(fd, p, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        size -= static_cast<size_t>(n);
        offset += static_cast<uint64_t>(n);
    }
    return true;
}

} // namespace

std::optional<std::string> VersionSectionOf(std::span<const std::byte> image) {
    ElfReader reader(
        [image](uint64_t offset, size_t size, void* out) {
            std::memcpy(out, image.data() + offset, size);
            return true;
        },
        image.size());
    return reader.versionSection();
}

std::string VersionValueOf(std::string_view section, std::string_view item) {
    if (item.empty() || item.find('=') != std::string_view::npos || item.find('\0') != std::string_view::npos)
        return {};
    while (!section.empty()) {
        size_t end = section.find('\0');
        std::string_view entry = section.substr(0, end);
        section = end == std::string_view::npos ? std::string_view() : section.substr(end + 1);
        if (entry.size() > item.size() && entry.substr(0, item.size()) == item && entry[item.size()] == '=')
            return std::string(entry.substr(item.size() + 1));
    }
    return {};
}

std::string FileVersionText(const std::string& file, std::string_view item) {
    int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    std::string result;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        ElfReader reader(
            [fd](uint64_t offset, size_t size, void* out) { return preadAll(fd, offset, size, out); },
            static_cast<uint64_t>(st.st_size));
        if (auto section = reader.versionSection())
            result = VersionValueOf(*section, item);
    }
    ::close(fd);
    return result;
}

} // namespace kestrel::core
