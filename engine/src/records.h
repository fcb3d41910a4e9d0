// The result records handed to the front end. One record per stable item id, made the first time the
// item is a result and kept, at the same address, until the store is destroyed. Records live in
// chunks of address space reserved up front and filled on touch, so an id costs memory only once its
// record exists; texts live in an append-only arena.
#pragma once

#include "index.h"
#include "kestrelfind.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace kestrel::engine {

class RecordStore {
public:
    RecordStore();
    ~RecordStore();
    RecordStore(const RecordStore&) = delete;
    RecordStore& operator=(const RecordStore&) = delete;

    // The record of entry pos of index, made when missing, with size and time brought up to date.
    // Not thread-safe: callers hold lock().
    TItemFileData* record(const Index& index, uint32_t pos);
    // The record of id when it exists, else null.
    TItemFileData* existing(uint32_t id) const;
    std::mutex& lock() { return m_mutex; }

    size_t recordCount() const { return m_made; }
    size_t textBytes() const { return m_textBytes; }

private:
    TItemFileData* slot(uint32_t id);
    const char16_t* folderText(const Index& index, uint32_t folder);
    char16_t* allocateText(size_t units);

    std::mutex m_mutex;
    std::vector<TItemFileData*> m_chunks;
    std::vector<std::unique_ptr<char16_t[]>> m_textBlocks;
    char16_t* m_textAt = nullptr;
    size_t m_textLeft = 0;
    size_t m_made = 0;
    size_t m_textBytes = 0;
};

} // namespace kestrel::engine
