// One search over one index snapshot: which entries match, in which order.
#pragma once

#include "index.h"
#include "match.h"

#include <functional>
#include <vector>

namespace kestrel::engine {

struct SearchRequest {
    const Pattern* pattern = nullptr;
    int scope = 0;           // 0: the name; 1, 2: the full path
    bool ranked = true;      // best matches first (matchTier of the name against the pattern's words)
    uint32_t maxResults = 0; // 0: all
    // Polled every few thousand entries; true abandons the search (the result is then partial).
    std::function<bool()> stopped;
};

// The positions of the matching entries (roots never match), in the order they are to be shown:
// by tier when ranked, each tier in index order. Linear in the entries scanned plus the matches.
std::vector<uint32_t> searchIndex(const Index& index, const SearchRequest& request);

} // namespace kestrel::engine
