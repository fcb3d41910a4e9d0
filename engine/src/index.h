// The index: one immutable snapshot of every indexed item, in one contiguous image that is both the
// in-memory form and the saved file (so loading is a mapping plus a linear check, no parsing).
//
// Items are stored in depth-first order: each root, then its subtree, every folder's children sorted
// by name bytes. Roots are entries too (flag kRoot, never a search result); every other entry has a
// parent before it. Columns: parent, key offset, size, last-write time, flags; then the key blob
// (every key followed by a NUL) and the display names of the entries whose key is not their name.
// The key of an ASCII name is the name itself (matched ignoring ASCII case); for other names it is
// the folded key (text.h) and the name itself sits in the display blob.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace kestrel::engine {

constexpr uint32_t kNoParent = 0xFFFFFFFFu;

enum EntryFlag : uint8_t {
    kFolder = 1,
    kSymlink = 2,
    kDisplayName = 4, // the name differs from the key; it is in the display blob
    kRoot = 8,
};

struct IndexHeader {
    char magic[8];
    uint32_t version;
    uint32_t headerSize;
    uint64_t fileSize;
    uint64_t payloadHash; // of every byte after the header
    uint32_t count;
    uint32_t displayCount;
    uint64_t keysLength;
    uint64_t displayLength;
    uint64_t rootsHash;  // of the root list the index was built for
    uint64_t headerHash; // of this header with headerHash zero
};

constexpr char kIndexMagic[8] = {'K', 'E', 'S', 'T', 'R', 'I', 'D', 'X'};
constexpr uint32_t kIndexVersion = 1;

// Where each column sits in an image of the given counts.
struct IndexLayout {
    uint64_t parent, keyOffset, size, mtime, flags, displayIds, displayOffset, keys, display, total;
    static IndexLayout of(uint32_t count, uint32_t displayCount, uint64_t keysLength, uint64_t displayLength);
};

// A read-only snapshot over an image it owns (heap or mapped file). Thread-safe for readers.
class Index {
public:
    // Takes an image and checks it; returns null (and a reason) when it is not a sound index for
    // rootsHash. The full check (content hash and structure, linear in the size) is skipped only with
    // checkedBefore, for an image known to have passed it unchanged since.
    static std::shared_ptr<Index> fromImage(std::shared_ptr<const void> owner, const char* data, size_t size,
                                            uint64_t rootsHash, std::string* why, bool checkedBefore = false);

    uint32_t count() const { return m_count; }
    uint64_t rootsHash() const { return m_rootsHash; }
    uint32_t parent(uint32_t i) const { return m_parent[i]; }
    uint8_t flags(uint32_t i) const { return m_flags[i]; }
    bool isFolder(uint32_t i) const { return m_flags[i] & (kFolder | kRoot); }
    bool isRoot(uint32_t i) const { return m_flags[i] & kRoot; }
    int64_t size(uint32_t i) const { return m_size[i]; }
    int64_t mtime(uint32_t i) const { return m_mtime[i]; }
    const int64_t* sizes() const { return m_size; }
    const int64_t* mtimes() const { return m_mtime; }
    const uint8_t* flagColumn() const { return m_flags; }
    // The display names' entries and offsets.
    const uint32_t* displayIds() const { return m_displayIds; }
    const uint32_t* displayOffsets() const { return m_displayOffset; }
    uint32_t displayCount() const { return m_displayCount; }
    const char* displayBlob() const { return m_display; }
    // The key of entry i, without its NUL.
    std::string_view key(uint32_t i) const {
        return {m_keys + m_keyOffset[i], m_keyOffset[i + 1] - m_keyOffset[i] - 1};
    }
    // The name bytes of entry i (for a root: its full path).
    std::string_view name(uint32_t i) const;
    // The key blob and the entry whose key holds blob offset off.
    const char* keys() const { return m_keys; }
    uint64_t keysLength() const { return m_keysLength; }
    const uint32_t* keyOffsets() const { return m_keyOffset; }
    // The full path of entry i as bytes (folder names joined by "/").
    std::string path(uint32_t i) const;

    // The image; its header's hashes are filled in only in a saved or loaded image.
    const char* image() const { return m_data; }
    size_t imageSize() const { return m_sizeBytes; }

    // One past the last entry of the subtree of i: the first later entry whose parent comes before
    // i. Linear in the subtree's size, with no table needed.
    uint32_t subtreeEnd(uint32_t i) const {
        if (!isFolder(i))
            return i + 1;
        uint32_t e = i + 1;
        while (e < m_count && m_parent[e] != kNoParent && m_parent[e] >= i)
            ++e;
        return e;
    }
    // One past the last entry of every subtree (made once, on first use).
    const std::vector<uint32_t>& subtreeEnds() const;
    // The children of folder f, in name order.
    template <typename F> void forEachChild(uint32_t f, F&& f2) const {
        const auto& end = subtreeEnds();
        for (uint32_t c = f + 1; c < end[f]; c = end[c])
            f2(c);
    }
    // The entry with this full path, or kNoParent.
    uint32_t find(std::string_view path) const;

    // The stable record id of each entry; empty means the position is the id.
    std::vector<uint32_t> ids;
    uint32_t id(uint32_t i) const { return ids.empty() ? i : ids[i]; }

private:
    friend class IndexBuilder;
    void attach(std::shared_ptr<const void> owner, const char* data, size_t size);

    std::shared_ptr<const void> m_owner;
    mutable std::once_flag m_endsOnce;
    mutable std::vector<uint32_t> m_ends;
    const char* m_data = nullptr;
    size_t m_sizeBytes = 0;
    uint32_t m_count = 0;
    uint32_t m_displayCount = 0;
    uint64_t m_rootsHash = 0;
    const uint32_t* m_parent = nullptr;
    const uint32_t* m_keyOffset = nullptr;
    const int64_t* m_size = nullptr;
    const int64_t* m_mtime = nullptr;
    const uint8_t* m_flags = nullptr;
    const uint32_t* m_displayIds = nullptr;
    const uint32_t* m_displayOffset = nullptr;
    const char* m_keys = nullptr;
    uint64_t m_keysLength = 0;
    const char* m_display = nullptr;
};

// Builds an image entry by entry, in depth-first order. Folder sizes are summed at finish().
class IndexBuilder {
public:
    explicit IndexBuilder(uint64_t rootsHash) : m_rootsHash(rootsHash) {}
    void reserve(size_t entries, size_t nameBytes);
    // Appends an entry and returns its position. parent is kNoParent for a root (name = full path).
    uint32_t add(uint32_t parent, std::string_view name, uint8_t flags, int64_t size, int64_t mtime);
    // Appends a copy of entry e of another index (its key is not folded again).
    uint32_t addCopy(const Index& from, uint32_t e, uint32_t parent, int64_t size, int64_t mtime);
    // Appends entries [begin, end) of another index unchanged but for their parents, which become
    // newParent(old parent); their ids come along. Column-wise copies: a few ms per million entries.
    template <typename NewParent>
    void addRange(const Index& from, uint32_t begin, uint32_t end, NewParent newParent) {
        if (begin >= end)
            return;
        for (uint32_t i = begin; i < end; ++i)
            m_parent.push_back(newParent(from.parent(i)));
        appendColumns(from, begin, end);
    }
    // Record ids for the entries, in order; when used, one per entry before finish().
    std::vector<uint32_t> ids;
    uint32_t count() const { return static_cast<uint32_t>(m_parent.size()); }
    std::shared_ptr<Index> finish();

private:
    void appendColumns(const Index& from, uint32_t begin, uint32_t end);

    uint64_t m_rootsHash;
    std::vector<uint32_t> m_parent;
    std::vector<uint32_t> m_keyOffset{0};
    std::vector<int64_t> m_size;
    std::vector<int64_t> m_mtime;
    std::vector<uint8_t> m_flags;
    std::vector<uint32_t> m_displayIds;
    std::vector<uint32_t> m_displayOffset{0};
    std::string m_keys;
    std::string m_display;
};

uint64_t hashBytes(const void* data, size_t size, uint64_t seed = 0);
uint64_t hashRoots(const std::vector<std::string>& roots);

} // namespace kestrel::engine
