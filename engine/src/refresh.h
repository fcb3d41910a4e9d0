// Bringing parts of an index up to date: folders read again are merged into a new snapshot that keeps
// every other entry as it was (and every item's record id), reporting what changed.
#pragma once

#include "index.h"
#include "scan.h"

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace kestrel::engine {

struct Change {
    std::string path; // full path bytes
    int32_t kind;     // KF_CHANGE_*
};

// One folder as read again: its own time and its entries, sorted by name. A folder new to the index
// carries its whole scanned subtree (its entry 0 is the folder itself).
struct FreshChild {
    FolderEntry entry;
    std::shared_ptr<Index> subtree;
};
struct FreshFolder {
    int64_t mtime = 0;
    std::vector<FreshChild> children;
};

// Reads folder pos of index again. Entries named in touched (or all, with statAll) and entries the
// index does not know are stat'ed; the others keep the size and time the index has. New subfolders
// are scanned whole with options. False when the folder cannot be read (it is then left as it is).
bool refreshFolder(const Index& index, uint32_t pos, const std::string& path,
                   const std::set<std::string>& touched, bool statAll, const ScanOptions& options,
                   FreshFolder& out);

// The index with the given folders (by position in old) replaced by their fresh contents. Items
// found again keep their record ids; new ones take ids from nextId on. A created or deleted folder
// is reported once, for the folder.
std::shared_ptr<Index> patchIndex(const Index& old, const std::map<uint32_t, FreshFolder>& fresh,
                                  uint32_t& nextId, std::vector<Change>& changes);

// The differences between two whole snapshots, and the ids of next: items found in old by path
// keep their id, new items take ids from nextId on.
std::vector<Change> carryIds(const Index& old, Index& next, uint32_t& nextId);

} // namespace kestrel::engine
