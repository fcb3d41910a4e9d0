// The change listener's eyes: inotify watches on the indexed folders, turned into "this folder's
// entry NAME changed" notes for the engine. The reading runs on a thread of its own.
//
// Watches are a shared, limited resource of the user's session (file managers and editors need
// them too), so at most a budget is used: half of the watches still free when the listener starts.
// Folders beyond it are remembered as unwatched; the engine looks at their times now and then.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>

namespace kestrel::engine {

class Watcher {
public:
    struct Sink {
        // An entry of folder changed: listing true when names came or went, false when only an entry's
        // size or time did. An empty name means the folder itself.
        std::function<void(const std::string& folder, std::string_view name, bool listing)> changed;
        // Events were lost: everything must be looked at again.
        std::function<void()> overflow;
    };

    Watcher(Sink sink, size_t budget);
    ~Watcher();
    Watcher(const Watcher&) = delete;
    Watcher& operator=(const Watcher&) = delete;

    bool ok() const { return m_fd >= 0; }
    // Watches one folder (thread-safe). False when it is left unwatched (budget spent, or an error).
    bool watch(const std::string& folder);
    // Starts the reading thread, which first runs first() (events meanwhile wait in the queue).
    void start(std::function<void()> first = {});
    void stop();

    size_t watchCount() const;
    // The folders that could not be watched so far.
    std::set<std::string> unwatched() const;

private:
    void run();
    void handle(const char* buffer, size_t length);

    Sink m_sink;
    size_t m_budget;
    int m_fd = -1;
    int m_wake = -1;
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::unordered_map<int, std::string> m_paths;
    std::set<std::string> m_unwatched;
    bool m_toldBudget = false;
};

// Half of the inotify watches this user has left, or limit when KESTRELFIND_WATCH_LIMIT sets one.
size_t inotifyBudget();

} // namespace kestrel::engine
