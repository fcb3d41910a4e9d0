#include "engine.h"

#include "match.h"
#include "scan.h"
#include "search.h"
#include "text.h"

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unordered_map>

namespace kestrel::engine {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr size_t kDeliveryBatch = 256;
constexpr size_t kMaxQueuedChanges = 1 << 16;
// A batch of changed folders is read once no new change came for kSettle, or kMaxDelay after its
// first change, so a burst becomes few batches and a lone change is searchable within ~50 ms.
constexpr auto kSettle = milliseconds(20);
constexpr auto kMaxDelay = milliseconds(150);
// More changed folders than this in one batch: one full scan is cheaper than reading each.
constexpr size_t kMaxDirtyFolders = 20000;
// Unwatched folders are looked at this often.
constexpr auto kRecheck = std::chrono::seconds(10);
// The index is saved after this many changes, and at the latest this long after a change.
constexpr size_t kSaveAfterChanges = 20000;
constexpr auto kSaveAfter = std::chrono::minutes(10);
// A path reported again within this window is not reported twice.
constexpr auto kCoalesce = milliseconds(500);

int64_t folderTime(const std::string& path) {
    struct statx st;
    if (::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW | AT_STATX_DONT_SYNC, STATX_MTIME, &st) != 0)
        return -1;
    return fileTimeTicks(st.stx_mtime.tv_sec, st.stx_mtime.tv_nsec);
}

} // namespace

Engine::Engine(std::vector<std::string> roots, std::string cacheFile)
    : m_roots(std::move(roots)), m_rootsHash(hashRoots(m_roots)), m_cacheFile(std::move(cacheFile)),
      m_savedAt(Clock::now()), m_uncheckedAt(Clock::now()) {}

Engine::~Engine() {
    m_shutdown = true;
    stopFind();
    stopListener();
    {
        std::lock_guard lock(m_workMutex);
        m_workWake.notify_all();
    }
    if (m_updater.joinable())
        m_updater.join();
    if (m_save && m_unsaved)
        saveNow();
}

bool Engine::start(bool useSaved, bool save, bool backgroundScan, const LoadOptions& load) {
    m_save = save;
    if (useSaved) {
        std::string why;
        if (auto loaded = loadIndex(m_cacheFile, m_rootsHash, &why, load)) {
            m_loadedFromCache = true;
            install(std::move(loaded), Source::Loaded);
            if (backgroundScan)
                requestFullScan();
            return true;
        }
        if (why != "no saved index")
            std::fprintf(stderr, "kestrelfind: saved index %s ignored (%s); scanning\n", m_cacheFile.c_str(),
                         why.c_str());
    }
    bool ok = rescan();
    if (backgroundScan)
        ensureUpdater();
    return ok;
}

ScanOptions Engine::scanOptions() {
    ScanOptions options;
    options.cancel = &m_shutdown;
    if (std::shared_ptr<Watcher> watcher = currentWatcher())
        options.beforeRead = [watcher](const std::string& path) { watcher->watch(path); };
    return options;
}

bool Engine::rescan() {
    auto fresh = scanRoots(m_roots, m_rootsHash, scanOptions());
    if (!fresh)
        return false;
    install(std::move(fresh), Source::Scanned);
    if (m_save)
        saveNow();
    return true;
}

void Engine::install(std::shared_ptr<Index> next, Source source) {
    std::shared_ptr<Index> current = std::const_pointer_cast<Index>(snapshot());
    std::vector<Change> changes;
    if (source == Source::Scanned && current)
        changes = carryIds(*current, *next, m_nextId);
    else if (source != Source::Patched)
        m_nextId = next->count();
    {
        std::lock_guard lock(m_snapshotMutex);
        m_snapshot = std::move(next);
        m_unsaved = source != Source::Loaded;
    }
    if (!changes.empty()) {
        noteChanged(changes.size());
        queueChanges(std::move(changes));
    }
}

std::shared_ptr<const Index> Engine::snapshot() const {
    std::lock_guard lock(m_snapshotMutex);
    return m_snapshot;
}

bool Engine::saveNow(std::string* why) {
    auto index = snapshot();
    if (!index)
        return false;
    std::string reason;
    if (!saveIndex(*index, m_cacheFile, &reason)) {
        std::fprintf(stderr, "kestrelfind: %s\n", reason.c_str());
        if (why)
            *why = reason;
        return false;
    }
    std::lock_guard lock(m_snapshotMutex);
    if (m_snapshot == index)
        m_unsaved = false;
    m_changedSinceSave = 0;
    m_savedAt = Clock::now();
    return true;
}

void Engine::noteChanged(size_t count) {
    m_changedSinceSave += count;
    if (m_save && m_changedSinceSave >= kSaveAfterChanges)
        saveNow();
}

std::vector<uint32_t> Engine::match(const Index& index, std::u16string_view pattern, int scope, bool ranked) {
    Pattern compiled = Pattern::compile(pattern);
    SearchRequest request;
    request.pattern = &compiled;
    request.scope = scope;
    request.ranked = ranked;
    return searchIndex(index, request);
}

int32_t Engine::find(std::u16string_view pattern, int scope, bool ranked, uint32_t maxResults,
                     KfResultCallback callback, void* context) {
    const uint64_t generation = m_stopGeneration.load();
    auto stopped = [this, generation] { return m_stopGeneration.load() != generation; };
    auto index = snapshot();
    if (!index || !callback)
        return 0;
    Pattern compiled = Pattern::compile(pattern);
    SearchRequest request;
    request.pattern = &compiled;
    request.scope = scope;
    request.ranked = ranked;
    request.maxResults = maxResults;
    request.stopped = stopped;
    std::vector<uint32_t> matches = searchIndex(*index, request);

    int32_t delivered = 0;
    TItemFileData* batch[kDeliveryBatch];
    for (size_t at = 0; at < matches.size() && !stopped(); at += kDeliveryBatch) {
        size_t count = std::min(kDeliveryBatch, matches.size() - at);
        {
            std::lock_guard lock(m_records.lock());
            for (size_t i = 0; i < count; ++i)
                batch[i] = m_records.record(*index, matches[at + i]);
        }
        for (size_t i = 0; i < count; ++i)
            callback(context, batch[i]);
        delivered += static_cast<int32_t>(count);
    }
    return delivered;
}

// ---- the updater ----

void Engine::ensureUpdater() {
    std::lock_guard lock(m_workMutex);
    if (!m_updater.joinable() && !m_shutdown)
        m_updater = std::thread([this] { update(); });
}

void Engine::requestFullScan() {
    {
        std::lock_guard lock(m_workMutex);
        m_fullScanWanted = true;
        m_workWake.notify_all();
    }
    ensureUpdater();
}

void Engine::markDirty(const std::string& folder, std::string_view name) {
    std::lock_guard lock(m_workMutex);
    auto now = Clock::now();
    if (m_dirty.empty())
        m_firstDirty = now;
    m_lastDirty = now;
    Dirty& d = m_dirty[folder];
    // Every named entry is stat'ed again, also one that just came: a listener may merge a creation
    // with later writes into one note, after the folder was read with the entry still empty.
    if (!name.empty() && !d.statAll) {
        d.names.emplace(name);
        if (d.names.size() > 4096) {
            d.statAll = true;
            d.names.clear();
        }
    }
    m_workWake.notify_all();
}

bool Engine::waitUntilIdle(std::chrono::milliseconds limit) {
    std::unique_lock lock(m_workMutex);
    return m_idleWake.wait_for(lock, limit,
                               [this] { return !m_busy && !m_fullScanWanted && m_dirty.empty(); });
}

void Engine::update() {
    std::unique_lock lock(m_workMutex);
    while (!m_shutdown) {
        auto now = Clock::now();
        if (m_fullScanWanted) {
            // Changes noted before the scan starts are covered by it; later ones stay for afterwards.
            m_fullScanWanted = false;
            m_dirty.clear();
            m_busy = true;
            lock.unlock();
            rescan();
            lock.lock();
            m_busy = false;
            continue;
        }
        if (!m_dirty.empty() && (now - m_lastDirty >= kSettle || now - m_firstDirty >= kMaxDelay)) {
            std::map<std::string, Dirty> dirty;
            dirty.swap(m_dirty);
            m_busy = true;
            lock.unlock();
            applyDirty(std::move(dirty));
            lock.lock();
            m_busy = false;
            continue;
        }
        if (m_watcher && now - m_uncheckedAt >= kRecheck) {
            m_uncheckedAt = now;
            lock.unlock();
            checkUnwatched();
            lock.lock();
            continue;
        }
        if (m_save && m_unsaved && m_changedSinceSave > 0 && now - m_savedAt >= kSaveAfter) {
            lock.unlock();
            saveNow();
            lock.lock();
            continue;
        }
        if (m_dirty.empty())
            m_idleWake.notify_all();
        Clock::time_point until = Clock::time_point::max();
        if (!m_dirty.empty())
            until = std::min(m_lastDirty + kSettle, m_firstDirty + kMaxDelay);
        if (m_watcher)
            until = std::min(until, m_uncheckedAt + kRecheck);
        if (m_save && m_changedSinceSave > 0)
            until = std::min(until, m_savedAt + kSaveAfter);
        if (until == Clock::time_point::max())
            m_workWake.wait(lock);
        else
            m_workWake.wait_until(lock, until);
    }
}

void Engine::applyDirty(std::map<std::string, Dirty> dirty) {
    auto index = snapshot();
    if (!index)
        return;
    if (dirty.size() > kMaxDirtyFolders) {
        rescan();
        return;
    }
    ScanOptions options = scanOptions();
    std::map<uint32_t, FreshFolder> fresh;
    for (auto& [path, d] : dirty) {
        if (m_shutdown)
            return;
        uint32_t pos = index->find(path);
        // A folder the index does not know yet comes with its parent's reading.
        if (pos == kNoParent || !index->isFolder(pos))
            continue;
        FreshFolder f;
        if (refreshFolder(*index, pos, path, d.names, d.statAll, options, f))
            fresh.emplace(pos, std::move(f));
    }
    if (fresh.empty())
        return;
    std::vector<Change> changes;
    auto next = patchIndex(*index, fresh, m_nextId, changes);
    install(std::move(next), Source::Patched);
    noteChanged(changes.size());
    queueChanges(std::move(changes));
}

std::shared_ptr<Watcher> Engine::currentWatcher() {
    std::lock_guard lock(m_workMutex);
    return m_watcher;
}

void Engine::checkUnwatched() {
    std::shared_ptr<Watcher> watcher = currentWatcher();
    auto index = snapshot();
    if (!watcher || !index)
        return;
    // A folder's own time changes whenever a name in it comes or goes.
    for (const auto& path : watcher->unwatched()) {
        uint32_t pos = index->find(path);
        if (pos != kNoParent && folderTime(path) != index->mtime(pos))
            markDirty(path, {});
    }
}

void Engine::watchIndex() {
    std::shared_ptr<Watcher> watcher = currentWatcher();
    auto index = snapshot();
    if (!watcher || !index)
        return;
    // Watch first, then compare the folder's time with the index: whatever changed before the watch
    // was placed shows in the time, whatever changes after it arrives as an event. A filesystem mark
    // was placed before this runs, so only the comparison is left to do.
    for (uint32_t e = 0; e < index->count() && !m_shutdown; ++e) {
        if (!index->isFolder(e))
            continue;
        std::string path = index->path(e);
        watcher->watch(path);
        if (folderTime(path) != index->mtime(e))
            markDirty(path, {});
    }
}

size_t Engine::watchedFolders() const {
    std::lock_guard lock(const_cast<std::mutex&>(m_workMutex));
    return m_watcher ? m_watcher->watchCount() : 0;
}

// ---- the listener ----

void Engine::startListener(KfFileChangeCallback callback, void* context) {
    {
        std::lock_guard lock(m_changeMutex);
        m_changeCallback = callback;
        m_changeContext = context;
        if (!m_listening) {
            m_listening = true;
            m_dispatcher = std::thread([this] { dispatch(); });
        }
    }
    std::shared_ptr<Watcher> watcher;
    {
        std::lock_guard lock(m_workMutex);
        if (m_watcher)
            return;
        Watcher::Sink sink;
        sink.changed = [this](const std::string& folder, std::string_view name) { markDirty(folder, name); };
        sink.overflow = [this] { requestFullScan(); };
        m_watcher = makeWatcher(std::move(sink), m_roots);
        if (!m_watcher)
            return;
        watcher = m_watcher;
    }
    ensureUpdater();
    watcher->start([this] { watchIndex(); });
}

void Engine::stopListener() {
    std::shared_ptr<Watcher> watcher;
    {
        std::lock_guard lock(m_workMutex);
        watcher.swap(m_watcher);
    }
    if (watcher)
        watcher->stop();
    {
        std::lock_guard lock(m_changeMutex);
        m_listening = false;
        m_changeWake.notify_all();
    }
    if (m_dispatcher.joinable())
        m_dispatcher.join();
}

void Engine::queueChanges(std::vector<Change> changes) {
    if (changes.empty())
        return;
    std::lock_guard lock(m_changeMutex);
    for (auto& c : changes) {
        if (m_changes.size() >= kMaxQueuedChanges)
            m_changes.pop_front();
        m_changes.push_back(std::move(c));
    }
    m_changeWake.notify_all();
}

void Engine::dispatch() {
    std::unordered_map<std::string, Clock::time_point> recent;
    std::unique_lock lock(m_changeMutex);
    for (;;) {
        m_changeWake.wait(lock, [this] { return !m_listening || !m_changes.empty(); });
        if (!m_listening)
            return;
        std::deque<Change> batch;
        batch.swap(m_changes);
        KfFileChangeCallback callback = m_changeCallback;
        void* context = m_changeContext;
        lock.unlock();
        // The front end only raises a flag per change: one call per path within the window is enough.
        auto now = Clock::now();
        if (recent.size() > 50000)
            std::erase_if(recent, [now](const auto& r) { return now - r.second >= kCoalesce; });
        for (const Change& c : batch) {
            auto [it, fresh] = recent.try_emplace(c.path, now);
            if (!fresh && now - it->second < kCoalesce)
                continue;
            it->second = now;
            if (!callback)
                continue;
            std::u16string text;
            appendUtf16(c.path, text);
            const char16_t* p = text.c_str();
            callback(context, &p, c.kind);
        }
        lock.lock();
    }
}

} // namespace kestrel::engine
