// The scanner: walks the roots in parallel on all cores and builds a fresh index.
//
// Folders are read with getdents64 and every entry is stat'ed (without following symbolic links).
// A folder on another mount than its parent is listed but not entered; a folder that cannot be
// read is listed and skipped. Nothing here follows a link, so a link loop is just an entry.
#pragma once

#include "index.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kestrel::engine {

struct ScanStats {
    uint64_t folders = 0;
    uint64_t entries = 0;
    uint64_t unreadable = 0; // folders that could not be opened or read
};

struct ScanOptions {
    unsigned threads = 0;                      // 0: one per core
    const std::atomic<bool>* cancel = nullptr; // set to abandon the scan (the result is then null)
};

// Scans roots (absolute, normalised paths) into an index for rootsHash. Roots that do not exist
// are left out. Returns null only when cancelled.
std::shared_ptr<Index> scanRoots(const std::vector<std::string>& roots, uint64_t rootsHash,
                                 const ScanOptions& options = {}, ScanStats* stats = nullptr);

} // namespace kestrel::engine
