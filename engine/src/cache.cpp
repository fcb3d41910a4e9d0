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
    bool ok = writeAll(fd, index.image(), index.imageSize()) && ::fdatasync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (!ok || ::rename(temporary.c_str(), path.c_str()) != 0) {
        int saved = errno;
        ::unlink(temporary.c_str());
        errno = saved;
        return fail("cannot save " + path);
    }
    return true;
}

std::shared_ptr<Index> loadIndex(const std::string& path, uint64_t rootsHash, std::string* why) {
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
    void* p = ::mmap(nullptr, mapping->size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
    ::close(fd);
    if (p == MAP_FAILED) {
        if (why)
            *why = "cannot map";
        return nullptr;
    }
    mapping->address = p;
    const char* data = static_cast<const char*>(p);
    return Index::fromImage(mapping, data, mapping->size, rootsHash, why);
}

} // namespace kestrel::engine
