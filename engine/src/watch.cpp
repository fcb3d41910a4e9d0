#include "watch.h"

#include "watch_loop.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <unordered_map>

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

class InotifyWatcher : public Watcher {
public:
    InotifyWatcher(Sink sink, size_t budget) : m_sink(std::move(sink)), m_budget(budget) {
        m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    }
    ~InotifyWatcher() override {
        stop();
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool ok() const { return m_fd >= 0; }
    bool watch(const std::string& folder) override;
    void start(std::function<void()> first) override;
    void stop() override;
    size_t watchCount() const override;
    std::set<std::string> unwatched() const override;
    bool wholeFilesystems() const override { return false; }

private:
    void handle(const char* buffer, size_t length);

    Sink m_sink;
    size_t m_budget;
    int m_fd = -1;
    Stopper m_stopper;
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::unordered_map<int, std::string> m_paths;
    std::set<std::string> m_unwatched;
    bool m_toldBudget = false;
};

} // namespace

size_t inotifyBudget() {
    if (const char* limit = std::getenv("KESTRELFIND_WATCH_LIMIT"); limit && limit[0])
        return std::strtoull(limit, nullptr, 10);
    size_t max = 8192;
    std::ifstream("/proc/sys/fs/inotify/max_user_watches") >> max;
    size_t used = watchesInUse();
    return used >= max ? 0 : (max - used) / 2;
}

bool InotifyWatcher::watch(const std::string& folder) {
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

void InotifyWatcher::start(std::function<void()> first) {
    if (m_fd < 0 || m_thread.joinable())
        return;
    m_thread = std::thread([this, first = std::move(first)] {
        if (first)
            first();
        alignas(struct inotify_event) char buffer[64 * 1024];
        readLoop(m_fd, m_stopper, buffer, sizeof buffer, [&](size_t n) { handle(buffer, n); });
    });
}

void InotifyWatcher::stop() {
    if (!m_thread.joinable())
        return;
    m_stopper.ring();
    m_thread.join();
    m_stopper.reset();
}

size_t InotifyWatcher::watchCount() const {
    std::lock_guard lock(m_mutex);
    return m_paths.size();
}

std::set<std::string> InotifyWatcher::unwatched() const {
    std::lock_guard lock(m_mutex);
    return m_unwatched;
}

void InotifyWatcher::handle(const char* buffer, size_t length) {
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
        if (name.empty()) {
            // The folder itself: its own time changed. Its removal or move is reported by its parent.
            if (ev->mask & IN_ATTRIB) {
                std::string parent = parentOf(folder);
                m_sink.changed(parent, std::string_view(folder).substr(folder.rfind('/') + 1));
            }
            continue;
        }
        m_sink.changed(folder, name);
    }
}

} // namespace kestrel::engine

namespace kestrel::engine {

std::unique_ptr<Watcher> makeInotifyWatcher(Watcher::Sink sink, size_t budget) {
    auto w = std::make_unique<InotifyWatcher>(std::move(sink), budget);
    if (!w->ok())
        return nullptr;
    return w;
}

std::unique_ptr<Watcher> makeWatcher(Watcher::Sink sink, const std::vector<std::string>& roots) {
    const char* choice = std::getenv("KESTRELFIND_LISTENER");
    if (!choice || std::strcmp(choice, "inotify") != 0) {
        if (auto w = makeFanotifyWatcher(sink, roots))
            return w;
    }
    return makeInotifyWatcher(std::move(sink), inotifyBudget());
}

} // namespace kestrel::engine
