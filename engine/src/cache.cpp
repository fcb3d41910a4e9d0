#include "cache.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrel::engine {

namespace {

std::string cacheFolder() {
    const char* xdg = std::getenv("XDG_CACHE_HOME");
    std::string base;
    if (xdg && xdg[0] == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home && home[0] ? home : "/tmp") + "/.cache";
    }
    return base + "/kestrelfind";
}

bool makeFolders(const std::string& path) {
    for (size_t at = 1; at <= path.size(); ++at) {
        if (at == path.size() || path[at] == '/') {
            std::string part = path.substr(0, at);
            if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
                return false;
        }
    }
    return true;
}

bool writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// What identifies one version of the file: a rewrite or a copy over it changes the inode or the
// change time, which no user can set back.
std::string identity(const struct stat& st, uint64_t headerHash) {
    char text[200];
    std::snprintf(text, sizeof text, "%llu %llu %lld %lld.%09ld %lld.%09ld %016llx\n",
                  static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino),
                  static_cast<long long>(st.st_size), static_cast<long long>(st.st_mtim.tv_sec),
                  st.st_mtim.tv_nsec, static_cast<long long>(st.st_ctim.tv_sec), st.st_ctim.tv_nsec,
                  static_cast<unsigned long long>(headerHash));
    return text;
}

uint64_t headerHashOf(const char* data) {
    IndexHeader h;
    std::memcpy(&h, data, sizeof h);
    return h.headerHash;
}

std::string notePath(const std::string& path) {
    return path + ".checked";
}

void writeNote(const std::string& path, const struct stat& st, uint64_t headerHash) {
    std::string note = notePath(path);
    std::string temporary = note + ".tmp." + std::to_string(::getpid());
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    std::string text = identity(st, headerHash);
    bool ok = writeAll(fd, text.data(), text.size());
    ok = ::close(fd) == 0 && ok;
    if (!ok || ::rename(temporary.c_str(), note.c_str()) != 0)
        ::unlink(temporary.c_str());
}

bool noteMatches(const std::string& path, const struct stat& st, uint64_t headerHash) {
    int fd = ::open(notePath(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char text[256];
    ssize_t n = ::read(fd, text, sizeof text);
    ::close(fd);
    return n > 0 && std::string(text, static_cast<size_t>(n)) == identity(st, headerHash);
}

struct Mapping {
    void* address = nullptr;
    size_t size = 0;
    ~Mapping() {
        if (address)
            ::munmap(address, size);
    }
};

} // namespace

std::string cacheFileFor(const std::vector<std::string>& roots) {
    char name[64];
    std::snprintf(name, sizeof name, "/index-%016llx.kfi", static_cast<unsigned long long>(hashRoots(roots)));
    return cacheFolder() + name;
}

bool saveIndex(const Index& index, const std::string& path, std::string* why) {
    auto fail = [why](const std::string& reason) {
        if (why)
            *why = reason + ": " + std::strerror(errno);
        return false;
    };
    size_t slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0 && !makeFolders(path.substr(0, slash)))
        return fail("cannot make " + path.substr(0, slash));
    std::string temporary = path + ".tmp." + std::to_string(::getpid());
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return fail("cannot write " + temporary);
    // The hashes go into the header of the file only; the image in memory stays as it is.
    char header[sizeof(IndexHeader)];
    {
        std::string copy(index.image(), sizeof header);
        IndexHeader h;
        std::memcpy(&h, copy.data(), sizeof h);
        h.payloadHash = hashBytes(index.image() + sizeof h, index.imageSize() - sizeof h);
        h.headerHash = 0;
        h.headerHash = hashBytes(&h, sizeof h);
        std::memcpy(header, &h, sizeof h);
    }
    bool ok = writeAll(fd, header, sizeof header) &&
              writeAll(fd, index.image() + sizeof header, index.imageSize() - sizeof header) &&
              ::fdatasync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (!ok || ::rename(temporary.c_str(), path.c_str()) != 0) {
        int saved = errno;
        ::unlink(temporary.c_str());
        errno = saved;
        return fail("cannot save " + path);
    }
    // The image was checked when it was made; note that for the file it now is.
    struct stat st;
    if (::stat(path.c_str(), &st) == 0)
        writeNote(path, st, headerHashOf(header));
    return true;
}

std::shared_ptr<Index> loadIndex(const std::string& path, uint64_t rootsHash, std::string* why,
                                 const LoadOptions& options) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (why)
            *why = "no saved index";
        return nullptr;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || st.st_size <= 0) {
        ::close(fd);
        if (why)
            *why = "empty file";
        return nullptr;
    }
    auto mapping = std::make_shared<Mapping>();
    mapping->size = static_cast<size_t>(st.st_size);
    void* p =
        ::mmap(nullptr, mapping->size, PROT_READ, MAP_PRIVATE | (options.populate ? MAP_POPULATE : 0), fd, 0);
    ::close(fd);
    if (p == MAP_FAILED) {
        if (why)
            *why = "cannot map";
        return nullptr;
    }
    mapping->address = p;
    const char* data = static_cast<const char*>(p);
    uint64_t headerHash = mapping->size >= sizeof(IndexHeader) ? headerHashOf(data) : 0;
    bool checked = options.trustChecked && noteMatches(path, st, headerHash);
    auto index = Index::fromImage(mapping, data, mapping->size, rootsHash, why, checked);
    if (index && !checked)
        writeNote(path, st, headerHash);
    return index;
}

} // namespace kestrel::engine
