#include "watch.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrel::engine {

namespace {

constexpr uint32_t kEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_CLOSE_WRITE |
                             IN_ATTRIB | IN_MODIFY | IN_DELETE_SELF | IN_MOVE_SELF | IN_DONT_FOLLOW |
                             IN_EXCL_UNLINK | IN_ONLYDIR;

std::string parentOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0)
        return "/";
    return path.substr(0, slash);
}

// Watches held by this user's processes now, from every inotify descriptor's fdinfo.
size_t watchesInUse() {
    size_t used = 0;
    uid_t me = ::getuid();
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return 0;
    while (dirent* p = ::readdir(proc)) {
        if (p->d_name[0] < '0' || p->d_name[0] > '9')
            continue;
        std::string base = std::string("/proc/") + p->d_name;
        struct stat st;
        if (::stat(base.c_str(), &st) != 0 || st.st_uid != me)
            continue;
        DIR* fds = ::opendir((base + "/fdinfo").c_str());
        if (!fds)
            continue;
        while (dirent* f = ::readdir(fds)) {
            if (f->d_name[0] == '.')
                continue;
            std::ifstream info(base + "/fdinfo/" + f->d_name);
            std::string line;
            while (std::getline(info, line)) {
                if (line.rfind("inotify wd:", 0) == 0)
                    ++used;
            }
        }
        ::closedir(fds);
    }
    ::closedir(proc);
    return used;
}

} // namespace

size_t inotifyBudget() {
    if (const char* limit = std::getenv("KESTRELFIND_WATCH_LIMIT"); limit && limit[0])
        return std::strtoull(limit, nullptr, 10);
    size_t max = 8192;
    std::ifstream("/proc/sys/fs/inotify/max_user_watches") >> max;
    size_t used = watchesInUse();
    return used >= max ? 0 : (max - used) / 2;
}

Watcher::Watcher(Sink sink, size_t budget) : m_sink(std::move(sink)), m_budget(budget) {
    m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    m_wake = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

Watcher::~Watcher() {
    stop();
    if (m_fd >= 0)
        ::close(m_fd);
    if (m_wake >= 0)
        ::close(m_wake);
}

bool Watcher::watch(const std::string& folder) {
    std::lock_guard lock(m_mutex);
    if (m_fd < 0)
        return false;
    if (m_paths.size() >= m_budget) {
        // A folder already watched keeps its watch (a moved folder is watched under its new path).
        int wd = -1;
        for (const auto& [w, p] : m_paths) {
            if (p == folder) {
                wd = w;
                break;
            }
        }
        if (wd < 0) {
            if (!m_toldBudget) {
                std::fprintf(
                    stderr,
                    "kestrelfind: %zu folders watched, the share of the session's inotify watches this "
                    "program may use; further folders are checked for changes every few seconds\n",
                    m_paths.size());
                m_toldBudget = true;
            }
            m_unwatched.insert(folder);
            return false;
        }
        return true;
    }
    int wd = ::inotify_add_watch(m_fd, folder.c_str(), kEvents);
    if (wd < 0) {
        if (errno == ENOSPC) {
            m_budget = m_paths.size();
            m_unwatched.insert(folder);
        }
        return false;
    }
    m_paths[wd] = folder;
    m_unwatched.erase(folder);
    return true;
}

void Watcher::start(std::function<void()> first) {
    if (m_fd < 0 || m_thread.joinable())
        return;
    m_thread = std::thread([this, first = std::move(first)] {
        if (first)
            first();
        run();
    });
}

void Watcher::stop() {
    if (!m_thread.joinable())
        return;
    uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(m_wake, &one, sizeof one);
    m_thread.join();
    uint64_t drain;
    n = ::read(m_wake, &drain, sizeof drain);
}

size_t Watcher::watchCount() const {
    std::lock_guard lock(m_mutex);
    return m_paths.size();
}

std::set<std::string> Watcher::unwatched() const {
    std::lock_guard lock(m_mutex);
    return m_unwatched;
}

void Watcher::run() {
    alignas(struct inotify_event) char buffer[64 * 1024];
    pollfd fds[2] = {{m_fd, POLLIN, 0}, {m_wake, POLLIN, 0}};
    for (;;) {
        int r = ::poll(fds, 2, -1);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0 || (fds[1].revents & POLLIN))
            return;
        // Drain everything that is there before sleeping again.
        for (;;) {
            ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            handle(buffer, static_cast<size_t>(n));
        }
    }
}

void Watcher::handle(const char* buffer, size_t length) {
    for (size_t at = 0; at < length;) {
        auto* ev = reinterpret_cast<const inotify_event*>(buffer + at);
        at += sizeof(inotify_event) + ev->len;
        if (ev->mask & IN_Q_OVERFLOW) {
            m_sink.overflow();
            continue;
        }
        std::string folder;
        {
            std::lock_guard lock(m_mutex);
            auto it = m_paths.find(ev->wd);
            if (it == m_paths.end())
                continue;
            if (ev->mask & IN_IGNORED) {
                m_paths.erase(it);
                continue;
            }
            folder = it->second;
        }
        std::string_view name = ev->len ? std::string_view(ev->name) : std::string_view();
        bool listing = ev->mask & (IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO);
        if (name.empty()) {
            // The folder itself: its own time changed. Its removal or move is reported by its parent.
            if (ev->mask & IN_ATTRIB) {
                std::string parent = parentOf(folder);
                m_sink.changed(parent, std::string_view(folder).substr(folder.rfind('/') + 1), false);
            }
            continue;
        }
        m_sink.changed(folder, name, listing);
    }
}

} // namespace kestrel::engine
