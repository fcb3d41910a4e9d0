#include "search.h"

#include <algorithm>
#include <iterator>

namespace kestrel::engine {

namespace {

constexpr uint32_t kPollEvery = 4096;

class Searcher {
public:
    Searcher(const Index& index, const SearchRequest& request) : m_index(index), m_request(request) {}

    bool stopped() {
        if (++m_polls % kPollEvery != 0 || !m_request.stopped)
            return m_stopped;
        m_stopped = m_stopped || m_request.stopped();
        return m_stopped;
    }

    // Entries whose name matches one alternative, in index order.
    std::vector<uint32_t> byName(const Alternative& alt) {
        std::vector<uint32_t> out;
        const uint32_t n = m_index.count();
        if (alt.matchesAll()) {
            out.reserve(n);
            for (uint32_t e = 0; e < n && !stopped(); ++e) {
                if (!m_index.isRoot(e))
                    out.push_back(e);
            }
            return out;
        }
        std::string_view anchor = alt.anchor();
        if (anchor.empty())
            return out;
        // Find the anchor in the whole key blob; each hit names one entry, which is then checked
        // whole. Keys end with NUL and literals hold none, so a hit never spans two keys.
        const char* keys = m_index.keys();
        const uint64_t length = m_index.keysLength();
        const uint32_t* offsets = m_index.keyOffsets();
        uint32_t e = 0;
        size_t at = 0;
        while (at < length) {
            size_t hit = findFolded(keys, length, anchor, at);
            if (hit == std::string_view::npos || stopped())
                break;
            e = entryAt(offsets, n, e, hit);
            if (!m_index.isRoot(e) && alt.matches(m_index.key(e)))
                out.push_back(e);
            at = offsets[e + 1];
        }
        return out;
    }

    // Entries whose full path matches one alternative, in index order.
    std::vector<uint32_t> byPath(const Alternative& alt) {
        std::vector<uint32_t> out;
        if (alt.terms.empty())
            return out;
        std::vector<std::string_view> pieces = longestPieces(alt, 3);
        if (pieces.empty()) {
            walkPaths(alt, 0, m_index.count(), out);
            return out;
        }
        // A run of a literal without "/" lies inside one name of the path: only the subtrees of the
        // entries whose key holds it can match, ranges in depth-first order. Every run must be there,
        // so the ranges of several runs are intersected before any path is made.
        std::vector<std::pair<uint32_t, uint32_t>> ranges = subtreesHolding(pieces[0]);
        for (size_t i = 1; i < pieces.size() && !ranges.empty(); ++i)
            ranges = intersect(ranges, subtreesHolding(pieces[i]));
        // "x/y" in a literal: a name beginning with y in a folder whose name ends with x.
        for (const auto& t : alt.terms) {
            for (std::string_view segment : t.segments) {
                size_t slash = segment.find('/');
                if (ranges.empty() || slash == 0 || slash == std::string_view::npos ||
                    slash + 1 == segment.size())
                    continue;
                std::string_view after = segment.substr(slash + 1);
                size_t next = after.find('/');
                if (next == 0)
                    continue;
                ranges = intersect(ranges, subtreesAfterSlash(segment.substr(0, slash), after.substr(0, next),
                                                              next != std::string_view::npos));
            }
        }
        for (const auto& [from, to] : ranges)
            walkPaths(alt, from, to, out);
        return out;
    }

private:
    // The entry whose key holds blob offset hit, searching forward from entry from.
    static uint32_t entryAt(const uint32_t* offsets, uint32_t n, uint32_t from, size_t hit) {
        uint32_t step = 1;
        uint32_t lo = from;
        while (lo + step < n && offsets[lo + step] <= hit) {
            lo += step;
            step *= 2;
        }
        uint32_t hi = std::min(n, lo + step);
        const uint32_t* it = std::upper_bound(offsets + lo, offsets + hi + 1, static_cast<uint32_t>(hit));
        return static_cast<uint32_t>(it - offsets) - 1;
    }

    // The longest runs of the alternative's literals that hold no "/", longest first, at most count.
    static std::vector<std::string_view> longestPieces(const Alternative& alt, size_t count) {
        std::vector<std::string_view> pieces;
        for (const auto& t : alt.terms) {
            for (std::string_view s : t.segments) {
                while (!s.empty()) {
                    size_t slash = s.find('/');
                    std::string_view part = s.substr(0, slash);
                    if (!part.empty() && std::find(pieces.begin(), pieces.end(), part) == pieces.end())
                        pieces.push_back(part);
                    if (slash == std::string_view::npos)
                        break;
                    s.remove_prefix(slash + 1);
                }
            }
        }
        std::stable_sort(pieces.begin(), pieces.end(),
                         [](std::string_view a, std::string_view b) { return a.size() > b.size(); });
        if (pieces.size() > count)
            pieces.resize(count);
        return pieces;
    }

    // The subtrees (entry ranges, ascending, disjoint) of the entries whose key holds piece.
    std::vector<std::pair<uint32_t, uint32_t>> subtreesHolding(std::string_view piece) {
        std::vector<std::pair<uint32_t, uint32_t>> ranges;
        const uint32_t n = m_index.count();
        const char* keys = m_index.keys();
        const uint64_t length = m_index.keysLength();
        const uint32_t* offsets = m_index.keyOffsets();
        uint32_t e = 0, covered = 0;
        size_t at = 0;
        while (at < length && !stopped()) {
            size_t hit = findFolded(keys, length, piece, at);
            if (hit == std::string_view::npos)
                break;
            e = entryAt(offsets, n, e, hit);
            at = offsets[e + 1];
            if (e < covered)
                continue;
            covered = m_index.subtreeEnd(e);
            ranges.emplace_back(e, covered);
        }
        return ranges;
    }

    // The subtrees of the entries whose key begins with after (is after, with whole) and whose
    // folder's key ends with before, plus every root whose own path holds before + "/" (the slash may
    // be one inside the root's path).
    std::vector<std::pair<uint32_t, uint32_t>> subtreesAfterSlash(std::string_view before,
                                                                  std::string_view after, bool whole) {
        std::vector<std::pair<uint32_t, uint32_t>> ranges;
        const uint32_t n = m_index.count();
        std::string withSlash = std::string(before) + "/";
        for (uint32_t r = 0; r < n; r = m_index.subtreeEnd(r)) {
            std::string_view key = m_index.key(r);
            if (findFolded(key.data(), key.size(), withSlash, 0) != std::string_view::npos)
                ranges.emplace_back(r, m_index.subtreeEnd(r));
        }
        const char* keys = m_index.keys();
        const uint64_t length = m_index.keysLength();
        const uint32_t* offsets = m_index.keyOffsets();
        uint32_t e = 0;
        size_t at = 0;
        std::vector<std::pair<uint32_t, uint32_t>> named;
        uint32_t covered = 0;
        while (at < length && !stopped()) {
            size_t hit = findFolded(keys, length, after, at);
            if (hit == std::string_view::npos)
                break;
            e = entryAt(offsets, n, e, hit);
            at = offsets[e + 1];
            if (hit != offsets[e] || e < covered || (whole && m_index.key(e).size() != after.size()))
                continue;
            uint32_t p = m_index.parent(e);
            if (p == kNoParent)
                continue;
            std::string_view folder = m_index.key(p);
            if (folder.size() < before.size() ||
                findFolded(folder.data() + folder.size() - before.size(), before.size(), before, 0) != 0)
                continue;
            covered = m_index.subtreeEnd(e);
            named.emplace_back(e, covered);
        }
        // Both lists are ascending; a named subtree inside a root range adds nothing.
        std::vector<std::pair<uint32_t, uint32_t>> all;
        std::merge(ranges.begin(), ranges.end(), named.begin(), named.end(), std::back_inserter(all));
        std::vector<std::pair<uint32_t, uint32_t>> out;
        for (const auto& range : all) {
            if (!out.empty() && range.first < out.back().second)
                out.back().second = std::max(out.back().second, range.second);
            else
                out.push_back(range);
        }
        return out;
    }

    static std::vector<std::pair<uint32_t, uint32_t>>
    intersect(const std::vector<std::pair<uint32_t, uint32_t>>& a,
              const std::vector<std::pair<uint32_t, uint32_t>>& b) {
        std::vector<std::pair<uint32_t, uint32_t>> out;
        size_t i = 0, j = 0;
        while (i < a.size() && j < b.size()) {
            uint32_t from = std::max(a[i].first, b[j].first), to = std::min(a[i].second, b[j].second);
            if (from < to)
                out.emplace_back(from, to);
            if (a[i].second < b[j].second)
                ++i;
            else
                ++j;
        }
        return out;
    }

    // Checks the full paths of entries [from, to) against alt. Depth-first order lets the path of
    // the current folder grow and shrink like a stack.
    void walkPaths(const Alternative& alt, uint32_t from, uint32_t to, std::vector<uint32_t>& out) {
        std::string& path = m_path;
        auto& folders = m_folders;
        folders.clear();
        for (uint32_t e = from; e < to && !stopped(); ++e) {
            uint32_t p = m_index.parent(e);
            if (p == kNoParent) {
                folders.clear();
                path.assign(m_index.key(e));
                folders.emplace_back(e, path.size());
                continue;
            }
            while (!folders.empty() && folders.back().first != p)
                folders.pop_back();
            if (folders.empty())
                rebuild(p, path, folders);
            path.resize(folders.back().second);
            if (path.empty() || path.back() != '/')
                path += '/';
            path += m_index.key(e);
            if (alt.matches(path))
                out.push_back(e);
            if (m_index.isFolder(e))
                folders.emplace_back(e, path.size());
        }
    }

    void rebuild(uint32_t folder, std::string& path, std::vector<std::pair<uint32_t, size_t>>& folders) {
        std::vector<uint32_t> chain;
        for (uint32_t f = folder; f != kNoParent; f = m_index.parent(f))
            chain.push_back(f);
        path.clear();
        folders.clear();
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            if (!path.empty() && path.back() != '/')
                path += '/';
            path += m_index.key(*it);
            folders.emplace_back(*it, path.size());
        }
    }

    const Index& m_index;
    const SearchRequest& m_request;
    std::string m_path;                                 // the path being walked
    std::vector<std::pair<uint32_t, size_t>> m_folders; // its folders and the length of their paths
    uint32_t m_polls = 0;
    bool m_stopped = false;
};

std::vector<uint32_t> unite(std::vector<std::vector<uint32_t>>& parts, uint32_t count) {
    if (parts.size() == 1)
        return std::move(parts[0]);
    std::vector<uint64_t> seen((count + 63) / 64, 0);
    size_t total = 0;
    for (const auto& part : parts) {
        for (uint32_t e : part) {
            uint64_t bit = uint64_t(1) << (e & 63);
            total += !(seen[e >> 6] & bit);
            seen[e >> 6] |= bit;
        }
    }
    std::vector<uint32_t> out;
    out.reserve(total);
    for (size_t w = 0; w < seen.size(); ++w) {
        for (uint64_t bits = seen[w]; bits; bits &= bits - 1)
            out.push_back(static_cast<uint32_t>(w * 64 + static_cast<unsigned>(__builtin_ctzll(bits))));
    }
    return out;
}

} // namespace

std::vector<uint32_t> searchIndex(const Index& index, const SearchRequest& request) {
    if (!request.pattern)
        return {};
    Searcher searcher(index, request);
    std::vector<std::vector<uint32_t>> parts;
    for (const auto& alt : request.pattern->alternatives) {
        if (alt.terms.empty())
            continue;
        parts.push_back(request.scope == 0 ? searcher.byName(alt) : searcher.byPath(alt));
    }
    if (parts.empty())
        return {};
    std::vector<uint32_t> matches = unite(parts, index.count());

    std::vector<std::string_view> words =
        request.ranked ? request.pattern->words() : std::vector<std::string_view>{};
    if (!words.empty()) {
        // Stable bucketing by tier keeps the index order within each tier: one linear pass.
        std::vector<uint32_t> tiers[4];
        for (uint32_t e : matches) {
            int best = 3;
            std::string_view key = index.key(e);
            for (std::string_view w : words)
                best = std::min(best, matchTier(key, w));
            tiers[best].push_back(e);
        }
        matches.clear();
        for (auto& t : tiers)
            matches.insert(matches.end(), t.begin(), t.end());
    }
    if (request.maxResults && matches.size() > request.maxResults)
        matches.resize(request.maxResults);
    return matches;
}

} // namespace kestrel::engine
