#include "records.h"

#include "text.h"

#include <cstring>
#include <new>
#include <sys/mman.h>

namespace kestrel::engine {

namespace {

constexpr unsigned kChunkBits = 16;
constexpr uint32_t kChunkRecords = 1u << kChunkBits;
constexpr size_t kChunkBytes = kChunkRecords * sizeof(TItemFileData);
constexpr size_t kTextBlockUnits = 64 * 1024;

// The engine's part of a record's Reserved bytes.
struct Reserved {
    const char16_t* childFolder; // for a folder: the Folder text of its children
    uint32_t id;
    uint32_t made; // 1 once the record is filled
};
static_assert(sizeof(Reserved) == sizeof(TItemFileData::Reserved));

Reserved reservedOf(const TItemFileData* r) {
    Reserved v;
    std::memcpy(&v, r->Reserved, sizeof v);
    return v;
}

void setReserved(TItemFileData* r, const Reserved& v) {
    std::memcpy(r->Reserved, &v, sizeof v);
}

FILETIME fileTime(int64_t ticks) {
    FILETIME t;
    t.dwLowDateTime = static_cast<uint32_t>(static_cast<uint64_t>(ticks));
    t.dwHighDateTime = static_cast<uint32_t>(static_cast<uint64_t>(ticks) >> 32);
    return t;
}

} // namespace

RecordStore::RecordStore() = default;

RecordStore::~RecordStore() {
    for (TItemFileData* chunk : m_chunks) {
        if (chunk)
            ::munmap(chunk, kChunkBytes);
    }
}

TItemFileData* RecordStore::slot(uint32_t id) {
    size_t c = id >> kChunkBits;
    if (c >= m_chunks.size())
        m_chunks.resize(c + 1, nullptr);
    if (!m_chunks[c]) {
        // Reserved, not committed: the kernel gives a page its memory when a record on it is made.
        void* p = ::mmap(nullptr, kChunkBytes, PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (p == MAP_FAILED)
            throw std::bad_alloc();
        m_chunks[c] = static_cast<TItemFileData*>(p);
    }
    return m_chunks[c] + (id & (kChunkRecords - 1));
}

TItemFileData* RecordStore::existing(uint32_t id) const {
    size_t c = id >> kChunkBits;
    if (c >= m_chunks.size() || !m_chunks[c])
        return nullptr;
    TItemFileData* r = m_chunks[c] + (id & (kChunkRecords - 1));
    return reservedOf(r).made ? r : nullptr;
}

char16_t* RecordStore::allocateText(size_t units) {
    if (units > m_textLeft) {
        size_t block = units > kTextBlockUnits / 4 ? units : kTextBlockUnits;
        m_textBlocks.push_back(std::make_unique_for_overwrite<char16_t[]>(block));
        char16_t* p = m_textBlocks.back().get();
        if (block == units)
            return p; // a long text gets a block of its own; the current block goes on
        m_textAt = p;
        m_textLeft = block;
    }
    char16_t* p = m_textAt;
    m_textAt += units;
    m_textLeft -= units;
    m_textBytes += units * 2;
    return p;
}

const char16_t* RecordStore::folderText(const Index& index, uint32_t folder) {
    // Walk up to the nearest folder whose children's text exists, then make the texts downwards.
    std::vector<uint32_t> chain;
    const char16_t* base = nullptr;
    for (uint32_t f = folder; f != kNoParent; f = index.parent(f)) {
        Reserved r = reservedOf(slot(index.id(f)));
        if (r.childFolder) {
            base = r.childFolder;
            break;
        }
        chain.push_back(f);
    }
    size_t baseLength = base ? std::char_traits<char16_t>::length(base) : 0;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        std::string_view name = index.name(*it);
        size_t nameLength = utf16Length(name);
        bool slash = name.empty() || name.back() != '/';
        size_t length = baseLength + nameLength + (slash ? 1 : 0);
        char16_t* text = allocateText(length + 1);
        if (baseLength)
            std::memcpy(text, base, baseLength * 2);
        char16_t* end = writeUtf16(name, text + baseLength);
        if (slash)
            *end++ = u'/';
        *end = 0;
        TItemFileData* rec = slot(index.id(*it));
        Reserved r = reservedOf(rec);
        r.childFolder = text;
        setReserved(rec, r);
        base = text;
        baseLength = length;
    }
    return base;
}

TItemFileData* RecordStore::record(const Index& index, uint32_t pos) {
    uint32_t id = index.id(pos);
    TItemFileData* rec = slot(id);
    Reserved r = reservedOf(rec);
    if (!r.made) {
        std::string_view name = index.name(pos);
        size_t length = utf16Length(name);
        char16_t* text = allocateText(length + 1);
        writeUtf16(name, text)[0] = 0;
        uint32_t parent = index.parent(pos);
        rec->Folder = parent == kNoParent ? u"" : folderText(index, parent);
        rec->Name = text;
        rec->IsFolder = index.isFolder(pos) ? 1 : 0;
        rec->IconIndex = -1;
        r = reservedOf(rec); // folderText may have stored this folder's child text meanwhile
        r.id = id;
        r.made = 1;
        setReserved(rec, r);
        ++m_made;
    }
    // Sizes and times follow the index; aligned 8-byte stores, so a reader never sees half a value.
    __atomic_store_n(&rec->Size, index.size(pos), __ATOMIC_RELAXED);
    FILETIME t = fileTime(index.mtime(pos));
    uint64_t packed;
    std::memcpy(&packed, &t, sizeof packed);
    __atomic_store_n(reinterpret_cast<uint64_t*>(&rec->LastWriteTime), packed, __ATOMIC_RELAXED);
    return rec;
}

} // namespace kestrel::engine
