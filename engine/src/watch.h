// The change listener's eyes: notes of the form "this folder's entry NAME changed" for the engine,
// read on a thread of their own. Two siblings with the same verbs:
//  - fanotify marks whole filesystems (one mark for every folder, no limit), where the process may
//    use it (it needs CAP_SYS_ADMIN);
//  - inotify watches each indexed folder. Watches are a shared, limited resource of the user's
//    session (file managers and editors need them too), so at most a budget is used: half of the
//    watches still free when the listener starts. Folders beyond it are remembered as unwatched;
//    the engine looks at their times now and then.
#pragma once

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace kestrel::engine {

class Watcher {
public:
    struct Sink {
        // Entry name of folder came, went or changed (an empty name: something in the folder did).
        std::function<void(const std::string& folder, std::string_view name)> changed;
        // Events were lost: everything must be looked at again.
        std::function<void()> overflow;
    };

    virtual ~Watcher() = default;
    // Watches one folder (thread-safe). False when it is left unwatched (budget spent, or an error).
    virtual bool watch(const std::string& folder) = 0;
    // Starts the reading thread, which first runs first() (events meanwhile wait in the queue).
    virtual void start(std::function<void()> first) = 0;
    virtual void stop() = 0;
    // Folders (inotify) or filesystems (fanotify) watched.
    virtual size_t watchCount() const = 0;
    // The folders that could not be watched so far.
    virtual std::set<std::string> unwatched() const = 0;
    // True when every folder is seen without a watch of its own.
    virtual bool wholeFilesystems() const = 0;
};

// fanotify for the roots' filesystems when possible (not when KESTRELFIND_LISTENER=inotify), else
// inotify with inotifyBudget(). Null when neither can be had.
std::unique_ptr<Watcher> makeWatcher(Watcher::Sink sink, const std::vector<std::string>& roots);

std::unique_ptr<Watcher> makeInotifyWatcher(Watcher::Sink sink, size_t budget);
std::unique_ptr<Watcher> makeFanotifyWatcher(Watcher::Sink sink, const std::vector<std::string>& roots);

// Half of the inotify watches this user has left, or the limit KESTRELFIND_WATCH_LIMIT sets.
size_t inotifyBudget();

} // namespace kestrel::engine
