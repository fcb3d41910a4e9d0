// The saved index: the index image written to $XDG_CACHE_HOME/kestrelfind/ and mapped back.
#pragma once

#include "index.h"

#include <memory>
#include <string>
#include <vector>

namespace kestrel::engine {

// The file the index of these roots is saved in.
std::string cacheFileFor(const std::vector<std::string>& roots);

// Writes the image to a temporary file beside path, flushes it and renames it over path, so a reader
// sees the old file or the new one, never a part. Returns false (and why) on failure.
bool saveIndex(const Index& index, const std::string& path, std::string* why);

struct LoadOptions {
    // Read the whole file into memory now (a long-running engine), or let pages come as searches
    // touch them (a one-shot search).
    bool populate = true;
    // Skip the full check when a note beside the file says this very file (same inode, size, times)
    // passed it before. The note is written after every full check that passes and every save.
    bool trustChecked = false;
};

// Maps the file and checks it (Index::fromImage). Null when missing or unsound.
std::shared_ptr<Index> loadIndex(const std::string& path, uint64_t rootsHash, std::string* why,
                                 const LoadOptions& options = {});

} // namespace kestrel::engine
