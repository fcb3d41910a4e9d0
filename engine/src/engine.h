// The engine as one object: the current index snapshot, the records, the updater that keeps the
// index fresh, and the delivery of changes. The C exports (capi.cpp) drive one instance; the
// command-line tool and the tests use it directly.
//
// Searches read an immutable snapshot taken under a short lock, so they never wait for a scan or
// for changes being applied: a new snapshot is built aside and swapped in. Items keep their record
// id across snapshots (matched by path), so the same item is always the same record.
//
// One updater thread makes every new snapshot, in order: full scans (at start from a saved index,
// after lost events) and batches of folders read again after the listener saw them change.
#pragma once

#include "cache.h"
#include "index.h"
#include "kestrelfind.h"
#include "records.h"
#include "refresh.h"
#include "watch.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace kestrel::engine {

class Engine {
public:
    Engine(std::vector<std::string> roots, std::string cacheFile);
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Makes the index searchable: the saved one when useSaved and valid (then, with backgroundScan, a
    // fresh scan follows on the updater), else a scan now. Saves after full scans and heavy change
    // when save. Returns false only when there is no index at all afterwards.
    bool start(bool useSaved, bool save, bool backgroundScan = true, const LoadOptions& load = {});

    std::shared_ptr<const Index> snapshot() const;

    // Runs a search and hands each record to callback on this thread; returns the number delivered.
    int32_t find(std::u16string_view pattern, int scope, bool ranked, uint32_t maxResults,
                 KfResultCallback callback, void* context);
    // The matching positions in a snapshot, without making records.
    std::vector<uint32_t> match(const Index& index, std::u16string_view pattern, int scope, bool ranked);
    void stopFind() { m_stopGeneration.fetch_add(1); }

    // Starts watching for changes and delivering them to callback on an engine thread.
    void startListener(KfFileChangeCallback callback, void* context);
    void stopListener();

    // Scans now and installs the result, reporting the differences as changes.
    bool rescan();
    bool saveNow(std::string* why = nullptr);
    // Waits until the updater has nothing left to do (tests, tools); false on timeout.
    bool waitUntilIdle(std::chrono::milliseconds limit);

    const std::vector<std::string>& roots() const { return m_roots; }
    const std::string& cacheFile() const { return m_cacheFile; }
    RecordStore& records() { return m_records; }
    bool loadedFromCache() const { return m_loadedFromCache; }
    size_t watchedFolders() const;

private:
    struct Dirty {
        std::set<std::string> names;
        bool statAll = false;
    };

    enum class Source { Loaded, Scanned, Patched };
    // Makes next the current snapshot. Loaded: the saved index itself; Scanned: a full scan, whose
    // ids are carried over and differences reported; Patched: ids set and changes reported already.
    void install(std::shared_ptr<Index> next, Source source);
    void queueChanges(std::vector<Change> changes);
    void dispatch();

    void ensureUpdater();
    void update();
    void applyDirty(std::map<std::string, Dirty> dirty);
    void markDirty(const std::string& folder, std::string_view name);
    void requestFullScan();
    void checkUnwatched();
    void watchIndex();
    std::shared_ptr<Watcher> currentWatcher();
    ScanOptions scanOptions();
    void noteChanged(size_t count);

    const std::vector<std::string> m_roots;
    const uint64_t m_rootsHash;
    const std::string m_cacheFile;
    bool m_save = false;
    bool m_loadedFromCache = false;

    mutable std::mutex m_snapshotMutex;
    std::shared_ptr<Index> m_snapshot;
    uint32_t m_nextId = 0;
    bool m_unsaved = false;
    size_t m_changedSinceSave = 0;
    std::chrono::steady_clock::time_point m_savedAt;

    RecordStore m_records;
    std::atomic<uint64_t> m_stopGeneration{0};
    std::atomic<bool> m_shutdown{false};

    // The updater's work, guarded by m_workMutex.
    std::mutex m_workMutex;
    std::condition_variable m_workWake;
    std::condition_variable m_idleWake;
    bool m_fullScanWanted = false;
    std::map<std::string, Dirty> m_dirty;
    std::chrono::steady_clock::time_point m_firstDirty, m_lastDirty;
    bool m_busy = false;
    std::thread m_updater;

    std::shared_ptr<Watcher> m_watcher; // guarded by m_workMutex
    std::chrono::steady_clock::time_point m_uncheckedAt;

    std::mutex m_changeMutex;
    std::condition_variable m_changeWake;
    std::deque<Change> m_changes;
    KfFileChangeCallback m_changeCallback = nullptr;
    void* m_changeContext = nullptr;
    bool m_listening = false;
    std::thread m_dispatcher;
};

} // namespace kestrel::engine
