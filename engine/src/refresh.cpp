#include "refresh.h"

#include "kestrelfind.h"

#include <algorithm>
#include <climits>
#include <unordered_map>

namespace kestrel::engine {

namespace {

std::string joinPath(const std::string& folder, std::string_view name) {
    std::string p = folder;
    if (p.empty() || p.back() != '/')
        p += '/';
    p += name;
    return p;
}

class Patcher {
public:
    Patcher(const Index& old, const std::map<uint32_t, FreshFolder>& fresh, uint32_t& nextId,
            std::vector<Change>& changes)
        : m_old(old), m_fresh(fresh), m_nextId(nextId), m_changes(changes), m_builder(old.rootsHash()) {}

    std::shared_ptr<Index> run() {
        const auto& end = m_old.subtreeEnds();
        m_builder.reserve(m_old.count() + 64, m_old.keysLength());
        m_builder.ids.reserve(m_old.count() + 64);
        // Everything outside the outermost folders read again is copied column by column; only those
        // folders' subtrees are walked entry by entry. Entries after such a subtree move by the
        // difference in its size, which is all their parents need.
        uint32_t cursor = 0;
        for (const auto& [top, folder] : m_fresh) {
            if (top < cursor)
                continue; // inside a subtree walked already
            m_builder.addRange(m_old, cursor, top, [this](uint32_t p) { return newPosition(p); });
            uint32_t parent = newPosition(m_old.parent(top));
            copy(top, parent, m_old.mtime(top));
            cursor = end[top];
            m_shifts.emplace_back(cursor, int64_t(m_builder.count()) - int64_t(cursor));
        }
        m_builder.addRange(m_old, cursor, m_old.count(), [this](uint32_t p) { return newPosition(p); });
        return m_builder.finish();
    }

private:
    // Where an old entry outside the walked subtrees lands: shifted by every walked subtree before it.
    uint32_t newPosition(uint32_t p) const {
        if (p == kNoParent)
            return p;
        auto it = std::upper_bound(m_shifts.begin(), m_shifts.end(), std::make_pair(p, INT64_MAX));
        int64_t shift = it == m_shifts.begin() ? 0 : std::prev(it)->second;
        return static_cast<uint32_t>(int64_t(p) + shift);
    }

    // Old entry e and its subtree, with the fresh contents of the folders read again.
    void copy(uint32_t e, uint32_t parent, int64_t mtime) {
        auto it = m_old.isFolder(e) ? m_fresh.find(e) : m_fresh.end();
        if (it != m_fresh.end())
            mtime = it->second.mtime;
        uint32_t n = m_builder.addCopy(m_old, e, parent, m_old.size(e), mtime);
        m_builder.ids.push_back(m_old.id(e));
        if (!m_old.isFolder(e))
            return;
        if (it == m_fresh.end()) {
            m_old.forEachChild(e, [&](uint32_t c) { copy(c, n, m_old.mtime(c)); });
            return;
        }
        merge(e, n, it->second);
    }

    // Children sorted by name on both sides, so one pass pairs them.
    void merge(uint32_t o, uint32_t n, const FreshFolder& fresh) {
        std::vector<uint32_t> before;
        m_old.forEachChild(o, [&](uint32_t c) { before.push_back(c); });
        const std::string folder = m_old.path(o);
        size_t i = 0, j = 0;
        while (i < before.size() || j < fresh.children.size()) {
            int order;
            if (i == before.size())
                order = 1;
            else if (j == fresh.children.size())
                order = -1;
            else
                order = m_old.name(before[i]).compare(fresh.children[j].entry.name);
            if (order < 0) {
                m_changes.push_back({joinPath(folder, m_old.name(before[i])), KF_CHANGE_DELETED});
                ++i;
                continue;
            }
            if (order > 0) {
                add(fresh.children[j], n, folder);
                ++j;
                continue;
            }
            uint32_t c = before[i++];
            const FreshChild& f = fresh.children[j++];
            bool wasFolder = m_old.isFolder(c), isFolder = f.entry.flags & kFolder;
            if (wasFolder != isFolder || (m_old.flags(c) & kSymlink) != (f.entry.flags & kSymlink)) {
                m_changes.push_back({joinPath(folder, m_old.name(c)), KF_CHANGE_DELETED});
                add(f, n, folder);
                continue;
            }
            if (isFolder) {
                copy(c, n, f.entry.stated ? f.entry.mtime : m_old.mtime(c));
                continue;
            }
            int64_t size = f.entry.stated ? f.entry.size : m_old.size(c);
            int64_t mtime = f.entry.stated ? f.entry.mtime : m_old.mtime(c);
            m_builder.addCopy(m_old, c, n, size, mtime);
            m_builder.ids.push_back(m_old.id(c));
            if (size != m_old.size(c) || mtime != m_old.mtime(c))
                m_changes.push_back({joinPath(folder, m_old.name(c)), KF_CHANGE_MODIFIED});
        }
    }

    void add(const FreshChild& f, uint32_t parent, const std::string& folder) {
        const FolderEntry& e = f.entry;
        uint32_t n = m_builder.add(parent, e.name, e.flags, e.size, e.mtime);
        m_builder.ids.push_back(m_nextId++);
        m_changes.push_back({joinPath(folder, e.name), KF_CHANGE_CREATED});
        if (!f.subtree)
            return;
        // The subtree's entry 0 is the folder itself, already added.
        const Index& s = *f.subtree;
        std::vector<uint32_t> at(s.count(), kNoParent);
        if (s.count() > 0)
            at[0] = n;
        for (uint32_t i = 1; i < s.count(); ++i) {
            at[i] = m_builder.addCopy(s, i, at[s.parent(i)], s.size(i), s.mtime(i));
            m_builder.ids.push_back(m_nextId++);
        }
    }

    const Index& m_old;
    const std::map<uint32_t, FreshFolder>& m_fresh;
    uint32_t& m_nextId;
    std::vector<Change>& m_changes;
    IndexBuilder m_builder;
    std::vector<std::pair<uint32_t, int64_t>> m_shifts; // from this old position on, moved by this much
};

} // namespace

bool refreshFolder(const Index& index, uint32_t pos, const std::string& path,
                   const std::set<std::string>& touched, bool statAll, const ScanOptions& options,
                   FreshFolder& out) {
    std::unordered_map<std::string_view, uint32_t> known;
    index.forEachChild(pos, [&](uint32_t c) { known.emplace(index.name(c), c); });
    auto wantStat = [&](std::string_view name) {
        return statAll || !known.count(name) || touched.count(std::string(name));
    };
    if (options.beforeRead)
        options.beforeRead(path);
    std::vector<FolderEntry> entries;
    if (!readFolder(path, wantStat, entries, out.mtime))
        return false;
    out.children.clear();
    out.children.reserve(entries.size());
    for (auto& e : entries) {
        FreshChild child;
        auto it = known.find(e.name);
        bool isNew = it == known.end() || bool(index.flags(it->second) & kFolder) != bool(e.flags & kFolder);
        if (!e.stated && it != known.end()) {
            e.size = index.size(it->second);
            e.mtime = index.mtime(it->second);
        }
        if (isNew && e.enter)
            child.subtree = scanRoots({joinPath(path, e.name)}, index.rootsHash(), options);
        child.entry = std::move(e);
        out.children.push_back(std::move(child));
    }
    return true;
}

std::shared_ptr<Index> patchIndex(const Index& old, const std::map<uint32_t, FreshFolder>& fresh,
                                  uint32_t& nextId, std::vector<Change>& changes) {
    return Patcher(old, fresh, nextId, changes).run();
}

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

} // namespace kestrel::engine
