#include "engine.h"

#include "match.h"
#include "scan.h"
#include "search.h"
#include "text.h"

#include <cstdio>
#include <unordered_map>

namespace kestrel::engine {

namespace {

constexpr size_t kDeliveryBatch = 256;
constexpr size_t kMaxQueuedChanges = 1 << 16;

} // namespace

std::vector<Change> carryIds(const Index& old, Index& next, uint32_t& nextId) {
    std::vector<Change> changes;
    const uint32_t n = next.count();
    next.ids.assign(n, 0);
    const std::vector<uint32_t>& oldEnd = old.subtreeEnds();
    const std::vector<uint32_t>& newEnd = next.subtreeEnds();

    auto created = [&](uint32_t e) {
        for (uint32_t i = e; i < newEnd[e]; ++i)
            next.ids[i] = nextId++;
        if (!next.isRoot(e))
            changes.push_back({next.path(e), KF_CHANGE_CREATED});
    };
    auto deleted = [&](uint32_t e) {
        if (!old.isRoot(e))
            changes.push_back({old.path(e), KF_CHANGE_DELETED});
    };

    std::vector<std::pair<uint32_t, uint32_t>> pairs; // (old, new) entries that are the same item
    std::unordered_map<std::string_view, uint32_t> oldRoots;
    for (uint32_t e = 0; e < old.count(); e = oldEnd[e])
        oldRoots.emplace(old.name(e), e);
    for (uint32_t e = 0; e < n; e = newEnd[e]) {
        auto it = oldRoots.find(next.name(e));
        if (it == oldRoots.end()) {
            created(e);
        } else {
            pairs.emplace_back(it->second, e);
            oldRoots.erase(it);
        }
    }

    while (!pairs.empty()) {
        auto [o, e] = pairs.back();
        pairs.pop_back();
        next.ids[e] = old.id(o);
        if (!next.isFolder(e) && (old.size(o) != next.size(e) || old.mtime(o) != next.mtime(e)))
            changes.push_back({next.path(e), KF_CHANGE_MODIFIED});
        if (!next.isFolder(e))
            continue;
        // Children are sorted by name in both, so one merge pairs them.
        uint32_t co = o + 1, cn = e + 1;
        while (co < oldEnd[o] || cn < newEnd[e]) {
            if (co >= oldEnd[o]) {
                created(cn);
                cn = newEnd[cn];
            } else if (cn >= newEnd[e]) {
                deleted(co);
                co = oldEnd[co];
            } else {
                std::string_view a = old.name(co), b = next.name(cn);
                if (a < b) {
                    deleted(co);
                    co = oldEnd[co];
                } else if (b < a) {
                    created(cn);
                    cn = newEnd[cn];
                } else {
                    if (old.isFolder(co) == next.isFolder(cn)) {
                        pairs.emplace_back(co, cn);
                    } else {
                        deleted(co);
                        created(cn);
                    }
                    co = oldEnd[co];
                    cn = newEnd[cn];
                }
            }
        }
    }
    for (const auto& [name, e] : oldRoots)
        deleted(e);
    return changes;
}

Engine::Engine(std::vector<std::string> roots, std::string cacheFile)
    : m_roots(std::move(roots)), m_rootsHash(hashRoots(m_roots)), m_cacheFile(std::move(cacheFile)) {}

Engine::~Engine() {
    m_shutdown = true;
    stopFind();
    if (m_backgroundScan.joinable())
        m_backgroundScan.join();
    stopListener();
    if (m_save && m_unsaved)
        saveNow();
}

bool Engine::start(bool useSaved, bool save, bool backgroundScan, const LoadOptions& load) {
    m_save = save;
    if (useSaved) {
        std::string why;
        if (auto loaded = loadIndex(m_cacheFile, m_rootsHash, &why, load)) {
            m_loadedFromCache = true;
            install(std::move(loaded), false, true);
            if (backgroundScan)
                m_backgroundScan = std::thread([this] { rescan(); });
            return true;
        }
        if (why != "no saved index")
            std::fprintf(stderr, "kestrelfind: saved index %s ignored (%s); scanning\n", m_cacheFile.c_str(),
                         why.c_str());
    }
    return rescan();
}

bool Engine::rescan() {
    ScanOptions options;
    options.cancel = &m_shutdown;
    auto fresh = scanRoots(m_roots, m_rootsHash, options);
    if (!fresh)
        return false;
    install(std::move(fresh), true);
    if (m_save)
        saveNow();
    return true;
}

void Engine::install(std::shared_ptr<Index> next, bool report, bool fromDisk) {
    std::lock_guard installing(m_installMutex);
    std::shared_ptr<Index> current = std::const_pointer_cast<Index>(snapshot());
    std::vector<Change> changes;
    if (current) {
        changes = carryIds(*current, *next, m_nextId);
    } else {
        m_nextId = next->count();
    }
    {
        std::lock_guard lock(m_snapshotMutex);
        m_snapshot = std::move(next);
        m_unsaved = !fromDisk;
    }
    if (report && !changes.empty())
        queueChanges(std::move(changes));
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
    return true;
}

void Engine::waitForBackgroundScan() {
    if (m_backgroundScan.joinable())
        m_backgroundScan.join();
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

void Engine::queueChanges(std::vector<Change> changes) {
    std::lock_guard lock(m_changeMutex);
    for (auto& c : changes) {
        if (m_changes.size() >= kMaxQueuedChanges)
            m_changes.pop_front();
        m_changes.push_back(std::move(c));
    }
    m_changeWake.notify_all();
}

void Engine::startListener(KfFileChangeCallback callback, void* context) {
    std::lock_guard lock(m_changeMutex);
    m_changeCallback = callback;
    m_changeContext = context;
    if (m_listening)
        return;
    m_listening = true;
    m_dispatcher = std::thread([this] { dispatch(); });
}

void Engine::stopListener() {
    {
        std::lock_guard lock(m_changeMutex);
        m_listening = false;
        m_changeWake.notify_all();
    }
    if (m_dispatcher.joinable())
        m_dispatcher.join();
}

void Engine::dispatch() {
    std::unique_lock lock(m_changeMutex);
    for (;;) {
        m_changeWake.wait(lock, [this] { return !m_listening || !m_changes.empty(); });
        if (!m_listening)
            return;
        Change c = std::move(m_changes.front());
        m_changes.pop_front();
        KfFileChangeCallback callback = m_changeCallback;
        void* context = m_changeContext;
        lock.unlock();
        if (callback) {
            std::u16string text;
            appendUtf16(c.path, text);
            const char16_t* p = text.c_str();
            callback(context, &p, c.kind);
        }
        lock.lock();
    }
}

} // namespace kestrel::engine
