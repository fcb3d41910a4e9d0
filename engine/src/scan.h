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
    // Called with each folder's path right before it is read, on a scanning thread (the change
    // listener watches the folder there, so nothing made after the reading goes unseen).
    std::function<void(const std::string&)> beforeRead;
};

// One entry of a folder as read now.
struct FolderEntry {
    std::string name;
    uint8_t flags = 0; // kFolder, kSymlink
    int64_t size = 0;
    int64_t mtime = 0;
    bool stated = false; // size and mtime are fresh (else the caller keeps what it knew)
    bool enter = false;  // a folder on the same mount as the one read
};

// Reads one folder: its own last-write time and its entries sorted by name. Entries for which
// wantStat(name) is false are listed without a stat. False when the folder cannot be read.
bool readFolder(const std::string& path, const std::function<bool(std::string_view)>& wantStat,
                std::vector<FolderEntry>& entries, int64_t& folderMtime);

// Scans roots (absolute, normalised paths) into an index for rootsHash. Roots that do not exist
// are left out. Returns null only when cancelled.
std::shared_ptr<Index> scanRoots(const std::vector<std::string>& roots, uint64_t rootsHash,
                                 const ScanOptions& options = {}, ScanStats* stats = nullptr);

} // namespace kestrel::engine
