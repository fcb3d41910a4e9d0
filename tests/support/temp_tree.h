// A real folder tree under $TMPDIR for one test, removed afterwards.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

namespace kestrel::test {

class TempTree {
public:
    // A folder under base, by default $TMPDIR or /tmp.
    explicit TempTree(std::string base = {}) {
        if (base.empty()) {
            const char* tmp = std::getenv("TMPDIR");
            base = tmp && tmp[0] ? tmp : "/tmp";
        }
        std::string pattern = base + "/kestrel-test-XXXXXX";
        char* made = ::mkdtemp(pattern.data());
        if (!made)
            std::abort();
        m_root = made;
    }
    ~TempTree() {
        std::error_code ec;
        // Let removal into folders a test made unreadable.
        for (auto it = std::filesystem::recursive_directory_iterator(
                 m_root, std::filesystem::directory_options::skip_permission_denied, ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
            if (it->is_directory(ec) && !it->is_symlink(ec))
                ::chmod(it->path().c_str(), 0700);
        }
        std::filesystem::remove_all(m_root, ec);
    }
    // A base in memory (tmpfs) when the machine has one, else the default.
    static std::string inMemory() {
        struct stat st;
        return ::stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode) && ::access("/dev/shm", W_OK) == 0
                   ? "/dev/shm"
                   : std::string();
    }
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    const std::string& root() const { return m_root; }
    std::string path(const std::string& relative) const { return m_root + "/" + relative; }

    // Makes a file (and its folders) with size bytes.
    std::string file(const std::string& relative, size_t size = 0) const {
        std::string p = path(relative);
        std::filesystem::create_directories(std::filesystem::path(p).parent_path());
        std::ofstream(p, std::ios::binary) << std::string(size, 'x');
        return p;
    }
    std::string folder(const std::string& relative) const {
        std::string p = path(relative);
        std::filesystem::create_directories(p);
        return p;
    }
    // Sets the last-write time of a path, in seconds since the epoch.
    void touch(const std::string& relative, time_t seconds) const {
        struct timeval times[2] = {{seconds, 0}, {seconds, 0}};
        ::lutimes(path(relative).c_str(), times);
    }

private:
    std::string m_root;
};

} // namespace kestrel::test
