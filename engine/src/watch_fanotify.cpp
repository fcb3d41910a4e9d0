// fanotify: one mark per filesystem sees every change on it; each event names the folder (by file
// handle) and the entry. Needs CAP_SYS_ADMIN for the marks and CAP_DAC_READ_SEARCH to turn handles
// back into paths.
#include "watch.h"

#include "watch_loop.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/fanotify.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <thread>

namespace kestrel::engine {

namespace {

constexpr uint64_t kMask = FAN_CREATE | FAN_DELETE | FAN_MOVED_FROM | FAN_MOVED_TO | FAN_ATTRIB |
                           FAN_CLOSE_WRITE | FAN_MODIFY | FAN_ONDIR;

bool under(const std::string& path, const std::string& root) {
    if (root == "/")
        return true;
    return path.size() >= root.size() && path.compare(0, root.size(), root) == 0 &&
           (path.size() == root.size() || path[root.size()] == '/');
}

class FanotifyWatcher : public Watcher {
public:
    FanotifyWatcher(Sink sink, std::vector<std::string> roots)
        : m_sink(std::move(sink)), m_roots(std::move(roots)) {}

    ~FanotifyWatcher() override {
        stop();
        for (const auto& [fsid, fd] : m_mounts)
            ::close(fd);
        if (m_fd >= 0)
            ::close(m_fd);
    }

    bool open() {
        m_fd = ::fanotify_init(FAN_CLASS_NOTIF | FAN_REPORT_DFID_NAME | FAN_CLOEXEC | FAN_NONBLOCK,
                               O_RDONLY | O_CLOEXEC | O_LARGEFILE);
        if (m_fd < 0)
            return false;
        for (const auto& root : m_roots) {
            struct statfs fs;
            if (::statfs(root.c_str(), &fs) != 0)
                continue;
            uint64_t fsid;
            std::memcpy(&fsid, &fs.f_fsid, sizeof fsid);
            if (m_mounts.count(fsid))
                continue;
            if (::fanotify_mark(m_fd, FAN_MARK_ADD | FAN_MARK_FILESYSTEM, kMask, AT_FDCWD, root.c_str()) != 0)
                return false; // one filesystem we cannot see whole: the per-folder listener serves all
            int mount = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (mount < 0)
                return false;
            m_mounts[fsid] = mount;
        }
        return !m_mounts.empty();
    }

    bool watch(const std::string&) override { return true; }

    void start(std::function<void()> first) override {
        if (m_thread.joinable())
            return;
        m_thread = std::thread([this, first = std::move(first)] {
            if (first)
                first();
            alignas(fanotify_event_metadata) char buffer[64 * 1024];
            readLoop(m_fd, m_stopper, buffer, sizeof buffer, [&](size_t n) { handle(buffer, n); });
        });
    }

    void stop() override {
        if (!m_thread.joinable())
            return;
        m_stopper.ring();
        m_thread.join();
        m_stopper.reset();
    }

    size_t watchCount() const override { return m_mounts.size(); }
    std::set<std::string> unwatched() const override { return {}; }
    bool wholeFilesystems() const override { return true; }

private:
    void handle(const char* buffer, size_t length) {
        // Records follow each other without padding to their alignment: read them by copying.
        for (size_t at = 0; at + sizeof(fanotify_event_metadata) <= length;) {
            fanotify_event_metadata meta;
            std::memcpy(&meta, buffer + at, sizeof meta);
            if (meta.vers != FANOTIFY_METADATA_VERSION || meta.event_len < meta.metadata_len ||
                meta.event_len > length - at)
                return;
            const char* event = buffer + at;
            at += meta.event_len;
            if (meta.mask & FAN_Q_OVERFLOW) {
                m_sink.overflow();
                continue;
            }
            if (meta.fd >= 0)
                ::close(meta.fd);
            size_t infoLength = meta.event_len - meta.metadata_len;
            if (infoLength < sizeof(fanotify_event_info_fid) + sizeof(file_handle))
                continue;
            fanotify_event_info_fid info;
            std::memcpy(&info, event + meta.metadata_len, sizeof info);
            if (info.hdr.info_type != FAN_EVENT_INFO_TYPE_DFID_NAME || info.hdr.len > infoLength)
                continue;
            const char* handleAt = event + meta.metadata_len + sizeof info;
            file_handle head;
            std::memcpy(&head, handleAt, sizeof head);
            size_t handleSize = sizeof head + head.handle_bytes;
            if (sizeof info + handleSize >= info.hdr.len)
                continue;
            std::string handleBytes(handleAt, handleSize); // aligned copy for open_by_handle_at
            std::string_view name(handleAt + handleSize,
                                  ::strnlen(handleAt + handleSize, info.hdr.len - sizeof info - handleSize));
            uint64_t fsid;
            std::memcpy(&fsid, &info.fsid, sizeof fsid);
            std::string folder = folderOf(fsid, reinterpret_cast<file_handle*>(handleBytes.data()));
            if (folder.empty())
                continue;
            bool inside = false;
            for (const auto& root : m_roots)
                inside = inside || under(folder, root);
            if (inside)
                m_sink.changed(folder, name);
        }
    }

    // The folder a handle names now, or empty when it is gone.
    std::string folderOf(uint64_t fsid, file_handle* handle) {
        auto mount = m_mounts.find(fsid);
        if (mount == m_mounts.end())
            return {};
        int fd = ::open_by_handle_at(mount->second, handle, O_PATH | O_CLOEXEC);
        if (fd < 0)
            return {};
        char link[64];
        std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
        std::string path(PATH_MAX, '\0');
        ssize_t n = ::readlink(link, path.data(), path.size());
        ::close(fd);
        if (n <= 0 || static_cast<size_t>(n) >= path.size())
            return {};
        path.resize(static_cast<size_t>(n));
        // A folder removed meanwhile reads as "... (deleted)"; its parent's event covers it.
        if (path.size() > 10 && path.compare(path.size() - 10, 10, " (deleted)") == 0)
            return {};
        return path;
    }

    Sink m_sink;
    std::vector<std::string> m_roots;
    int m_fd = -1;
    std::map<uint64_t, int> m_mounts; // fsid to an open folder on that filesystem
    Stopper m_stopper;
    std::thread m_thread;
};

} // namespace

std::unique_ptr<Watcher> makeFanotifyWatcher(Watcher::Sink sink, const std::vector<std::string>& roots) {
    auto w = std::make_unique<FanotifyWatcher>(std::move(sink), roots);
    if (!w->open())
        return nullptr;
    return w;
}

} // namespace kestrel::engine
