#include "scan.h"

#include "text.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace kestrel::engine {

namespace {

struct Node;

struct Child {
    uint32_t nameOffset;
    uint16_t nameLength;
    uint8_t flags;
    int64_t size;
    int64_t mtime;
    Node* folder; // the contents when the folder was entered
};

struct Node {
    std::string names;
    std::vector<Child> children;
    std::string_view name(const Child& c) const { return {names.data() + c.nameOffset, c.nameLength}; }
};

// Where a folder sits: its mount, which its subfolders must share to be entered.
struct MountTag {
    uint64_t dev = 0;
    uint64_t mountId = 0;
    bool hasMountId = false;
    bool operator==(const MountTag& o) const {
        return dev == o.dev && (!hasMountId || !o.hasMountId || mountId == o.mountId);
    }
};

struct Task {
    Node* node;
    std::string path;
    MountTag mount;
};

constexpr unsigned kStatxFlags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | AT_STATX_DONT_SYNC;
constexpr unsigned kStatxMask = STATX_TYPE | STATX_SIZE | STATX_MTIME | STATX_MNT_ID;

MountTag mountOf(const struct statx& st) {
    MountTag t;
    t.dev = (uint64_t(st.stx_dev_major) << 32) | st.stx_dev_minor;
    if (st.stx_mask & STATX_MNT_ID) {
        t.mountId = st.stx_mnt_id;
        t.hasMountId = true;
    }
    return t;
}

int openDirectory(const std::string& path) {
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd >= 0 || errno != ENAMETOOLONG)
        return fd;
    // Deeper than PATH_MAX: walk down one component at a time.
    int dir = ::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    size_t at = 1;
    while (dir >= 0 && at < path.size()) {
        size_t slash = path.find('/', at);
        if (slash == std::string::npos)
            slash = path.size();
        std::string part = path.substr(at, slash - at);
        int next = ::openat(dir, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        ::close(dir);
        dir = next;
        at = slash + 1;
    }
    return dir;
}

struct LinuxDirent64 {
    uint64_t d_ino;
    int64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[1];
};

// Calls visit(name, d_type) for every entry of the open folder fd but "." and "..". False when the
// folder could not be read to its end.
template <typename Visit> bool forEachEntry(int fd, Visit visit) {
    alignas(8) char buffer[32768];
    for (;;) {
        long n = ::syscall(SYS_getdents64, fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n == 0;
        for (long at = 0; at < n;) {
            auto* d = reinterpret_cast<LinuxDirent64*>(buffer + at);
            at += d->d_reclen;
            const char* name = d->d_name;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
                continue;
            visit(name, d->d_type);
        }
    }
}

class Scanner {
public:
    explicit Scanner(const ScanOptions& options) : m_options(options) {}

    void run(std::vector<Task> roots, unsigned threads) {
        m_pending = roots.size();
        m_tasks = std::move(roots);
        m_arenas.resize(threads);
        m_stats.resize(threads);
        std::vector<std::thread> workers;
        for (unsigned t = 1; t < threads; ++t)
            workers.emplace_back([this, t] { work(t); });
        work(0);
        for (auto& w : workers)
            w.join();
    }

    ScanStats stats() const {
        ScanStats s;
        for (const auto& w : m_stats) {
            s.folders += w.folders;
            s.entries += w.entries;
            s.unreadable += w.unreadable;
        }
        return s;
    }

private:
    void work(unsigned me) {
        std::vector<Task> found;
        for (;;) {
            Task task;
            {
                std::unique_lock lock(m_mutex);
                m_wake.wait(lock, [this] { return !m_tasks.empty() || m_pending == 0; });
                if (m_tasks.empty())
                    return;
                task = std::move(m_tasks.back());
                m_tasks.pop_back();
            }
            found.clear();
            if (!(m_options.cancel && m_options.cancel->load(std::memory_order_relaxed)))
                readFolder(me, task, found);
            std::lock_guard lock(m_mutex);
            m_pending += found.size();
            --m_pending;
            for (auto& f : found)
                m_tasks.push_back(std::move(f));
            if (m_pending == 0 || !found.empty())
                m_wake.notify_all();
        }
    }

    void readFolder(unsigned me, const Task& task, std::vector<Task>& found) {
        ScanStats& stats = m_stats[me];
        ++stats.folders;
        if (m_options.beforeRead)
            m_options.beforeRead(task.path);
        int fd = openDirectory(task.path);
        if (fd < 0) {
            ++stats.unreadable;
            return;
        }
        Node& node = *task.node;
        bool complete = forEachEntry(fd, [&](const char* name, unsigned char type) {
            addChild(me, fd, task, node, name, type, found);
            ++stats.entries;
        });
        if (!complete)
            ++stats.unreadable;
        ::close(fd);
        std::sort(node.children.begin(), node.children.end(),
                  [&node](const Child& a, const Child& b) { return node.name(a) < node.name(b); });
    }

    void addChild(unsigned me, int fd, const Task& task, Node& node, const char* name, unsigned char type,
                  std::vector<Task>& found) {
        std::string_view nm(name);
        Child c{};
        c.nameOffset = static_cast<uint32_t>(node.names.size());
        c.nameLength = static_cast<uint16_t>(nm.size());
        node.names.append(nm);
        struct statx st;
        bool isDir = type == DT_DIR;
        bool enter = false;
        MountTag mount;
        if (::statx(fd, name, kStatxFlags, kStatxMask, &st) == 0) {
            isDir = S_ISDIR(st.stx_mode);
            if (S_ISLNK(st.stx_mode))
                c.flags |= kSymlink;
            c.size = static_cast<int64_t>(st.stx_size);
            c.mtime = fileTimeTicks(st.stx_mtime.tv_sec, st.stx_mtime.tv_nsec);
            mount = mountOf(st);
            enter = isDir && mount == task.mount;
        } else {
            // Vanished since the listing, or the folder lets us list but not stat: keep the name.
            if (type == DT_LNK)
                c.flags |= kSymlink;
            c.size = 0;
            c.mtime = 0;
        }
        if (isDir) {
            c.flags |= kFolder;
            c.size = 0;
        }
        if (enter) {
            Node* child = &m_arenas[me].emplace_back();
            c.folder = child;
            std::string path = task.path;
            if (path.back() != '/')
                path += '/';
            path += nm;
            found.push_back(Task{child, std::move(path), mount});
        }
        node.children.push_back(c);
    }

public:
    std::deque<Node> rootNodes;

private:
    const ScanOptions& m_options;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<Task> m_tasks;
    size_t m_pending = 0;
    std::vector<std::deque<Node>> m_arenas; // one per worker, so nodes are made without a lock
    std::vector<ScanStats> m_stats;
};

} // namespace

bool readFolder(const std::string& path, const std::function<bool(std::string_view)>& wantStat,
                std::vector<FolderEntry>& entries, int64_t& folderMtime) {
    entries.clear();
    int fd = openDirectory(path);
    if (fd < 0)
        return false;
    struct statx own;
    if (::statx(fd, "", AT_EMPTY_PATH | AT_STATX_DONT_SYNC, kStatxMask, &own) != 0) {
        ::close(fd);
        return false;
    }
    folderMtime = fileTimeTicks(own.stx_mtime.tv_sec, own.stx_mtime.tv_nsec);
    MountTag mount = mountOf(own);
    bool ok = forEachEntry(fd, [&](const char* name, unsigned char type) {
        FolderEntry e;
        e.name = name;
        bool isDir = type == DT_DIR;
        if (type == DT_LNK)
            e.flags |= kSymlink;
        struct statx st;
        if ((wantStat(e.name) || type == DT_UNKNOWN) &&
            ::statx(fd, name, kStatxFlags, kStatxMask, &st) == 0) {
            isDir = S_ISDIR(st.stx_mode);
            e.flags = S_ISLNK(st.stx_mode) ? kSymlink : 0;
            e.size = isDir ? 0 : static_cast<int64_t>(st.stx_size);
            e.mtime = fileTimeTicks(st.stx_mtime.tv_sec, st.stx_mtime.tv_nsec);
            e.stated = true;
            e.enter = isDir && mountOf(st) == mount;
        }
        if (isDir)
            e.flags |= kFolder;
        entries.push_back(std::move(e));
    });
    ::close(fd);
    std::sort(entries.begin(), entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    return ok;
}

std::shared_ptr<Index> scanRoots(const std::vector<std::string>& roots, uint64_t rootsHash,
                                 const ScanOptions& options, ScanStats* stats) {
    unsigned threads = options.threads ? options.threads : std::max(1u, std::thread::hardware_concurrency());
    Scanner scanner(options);

    struct RootInfo {
        std::string path;
        int64_t mtime;
        Node* node;
    };
    std::vector<RootInfo> found;
    std::vector<Task> tasks;
    for (const auto& r : roots) {
        struct statx st;
        if (::statx(AT_FDCWD, r.c_str(), AT_STATX_DONT_SYNC, kStatxMask, &st) != 0 || !S_ISDIR(st.stx_mode))
            continue;
        Node* node = &scanner.rootNodes.emplace_back();
        found.push_back({r, fileTimeTicks(st.stx_mtime.tv_sec, st.stx_mtime.tv_nsec), node});
        tasks.push_back(Task{node, r, mountOf(st)});
    }
    scanner.run(std::move(tasks), threads);
    if (options.cancel && options.cancel->load())
        return nullptr;
    ScanStats s = scanner.stats();
    if (stats)
        *stats = s;

    IndexBuilder builder(rootsHash);
    builder.reserve(s.entries + found.size(), s.entries * 16);
    struct Frame {
        const Node* node;
        uint32_t pos;
        size_t next;
    };
    std::vector<Frame> stack;
    for (const auto& root : found) {
        uint32_t rootPos = builder.add(kNoParent, root.path, kFolder, 0, root.mtime);
        stack.push_back({root.node, rootPos, 0});
        while (!stack.empty()) {
            Frame& f = stack.back();
            if (f.next == f.node->children.size()) {
                stack.pop_back();
                continue;
            }
            const Child& c = f.node->children[f.next++];
            uint32_t pos = builder.add(f.pos, f.node->name(c), c.flags, c.size, c.mtime);
            if (c.folder)
                stack.push_back({c.folder, pos, 0});
        }
    }
    return builder.finish();
}

} // namespace kestrel::engine
