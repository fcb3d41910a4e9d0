// The engine as one object: the current index snapshot, the records, the background scan and the
// delivery of changes. The C exports (capi.cpp) drive one instance; the command-line tool and the
// tests use it directly.
//
// Searches read an immutable snapshot taken under a short lock, so they never wait for a scan: a new
// snapshot is built aside and swapped in. Items keep their record id across snapshots (matched by
// path), so the same item is always the same record.
#pragma once

#include "cache.h"
#include "index.h"
#include "kestrelfind.h"
#include "records.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kestrel::engine {

struct Change {
    std::string path; // full path bytes
    int32_t kind;     // KF_CHANGE_*
};

// The differences between two snapshots, and the ids of next: items found in old by path keep their
// id, new items take ids from nextId on. A new or vanished folder is one change for the folder.
std::vector<Change> carryIds(const Index& old, Index& next, uint32_t& nextId);

class Engine {
public:
    Engine(std::vector<std::string> roots, std::string cacheFile);
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Makes the index searchable: the saved one when useSaved and valid (then a fresh scan follows in
    // the background unless backgroundScan is false), else a scan now. Saves after full scans when
    // save. Returns false only when there is no index at all afterwards.
    bool start(bool useSaved, bool save, bool backgroundScan = true, const LoadOptions& load = {});

    std::shared_ptr<const Index> snapshot() const;

    // Runs a search and hands each record to callback on this thread; returns the number delivered.
    int32_t find(std::u16string_view pattern, int scope, bool ranked, uint32_t maxResults,
                 KfResultCallback callback, void* context);
    // The matching positions in the current snapshot, without making records.
    std::vector<uint32_t> match(const Index& index, std::u16string_view pattern, int scope, bool ranked);
    void stopFind() { m_stopGeneration.fetch_add(1); }

    void startListener(KfFileChangeCallback callback, void* context);
    void stopListener();

    // Waits until the background scan has finished (tests, tools).
    void waitForBackgroundScan();
    // Scans now and installs the result, reporting the differences as changes.
    bool rescan();
    bool saveNow(std::string* why = nullptr);

    const std::vector<std::string>& roots() const { return m_roots; }
    const std::string& cacheFile() const { return m_cacheFile; }
    RecordStore& records() { return m_records; }
    bool loadedFromCache() const { return m_loadedFromCache; }

private:
    // Makes next the current snapshot. fromDisk: it is the saved index itself (nothing to save).
    void install(std::shared_ptr<Index> next, bool report, bool fromDisk = false);
    void queueChanges(std::vector<Change> changes);
    void dispatch();

    const std::vector<std::string> m_roots;
    const uint64_t m_rootsHash;
    const std::string m_cacheFile;
    bool m_save = false;
    bool m_loadedFromCache = false;

    mutable std::mutex m_snapshotMutex;
    std::shared_ptr<Index> m_snapshot;
    uint32_t m_nextId = 0;
    bool m_unsaved = false;

    std::mutex m_installMutex; // one install at a time
    RecordStore m_records;
    std::atomic<uint64_t> m_stopGeneration{0};
    std::atomic<bool> m_shutdown{false};

    std::thread m_backgroundScan;

    std::mutex m_changeMutex;
    std::condition_variable m_changeWake;
    std::deque<Change> m_changes;
    KfFileChangeCallback m_changeCallback = nullptr;
    void* m_changeContext = nullptr;
    bool m_listening = false;
    std::thread m_dispatcher;
};

} // namespace kestrel::engine
