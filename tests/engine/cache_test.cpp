#include "cache.h"
#include "index.h"
#include "scan.h"
#include "temp_tree.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <set>
#include <unistd.h>

namespace kestrel::engine {
namespace {

using kestrel::test::TempTree;

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

class CacheTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < 200; ++i)
            tree.file(
                "f" + std::to_string(i % 9) + "/name" + std::to_string(i) + (i % 5 ? ".txt" : "\xc3\xa9"), i);
        index = scanRoots({tree.path("f0"), tree.path("f1"), tree.root()}, 42);
        ASSERT_TRUE(index);
        file = cacheDir.path("kestrelfind/index.kfi");
        std::string why;
        ASSERT_TRUE(saveIndex(*index, file, &why)) << why;
    }

    TempTree tree;
    TempTree cacheDir;
    std::shared_ptr<Index> index;
    std::string file;
};

TEST_F(CacheTest, SavedIndexLoadsBackTheSame) {
    std::string why;
    auto loaded = loadIndex(file, 42, &why);
    ASSERT_TRUE(loaded) << why;
    ASSERT_EQ(loaded->count(), index->count());
    for (uint32_t i = 0; i < index->count(); ++i) {
        ASSERT_EQ(loaded->path(i), index->path(i));
        ASSERT_EQ(loaded->size(i), index->size(i));
        ASSERT_EQ(loaded->mtime(i), index->mtime(i));
        ASSERT_EQ(loaded->flags(i), index->flags(i));
    }
    // No temporary file is left beside it, only the note that it was checked.
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(cacheDir.path("kestrelfind")))
        names.insert(entry.path().filename());
    EXPECT_EQ(names, (std::set<std::string>{"index.kfi", "index.kfi.checked"}));
}

TEST_F(CacheTest, UnsoundFilesAreRejected) {
    std::string good = readFile(file);
    std::string why;
    EXPECT_FALSE(loadIndex(file, 43, &why)) << "other roots";
    EXPECT_EQ(why, "built for other folders");

    struct Damage {
        const char* what;
        std::string bytes;
    };
    std::string otherVersion = good;
    otherVersion[8] ^= 1;
    std::string flipped = good;
    flipped[good.size() / 2] ^= 0x20;
    std::vector<Damage> damages = {
        {"empty", ""},
        {"truncated header", good.substr(0, 20)},
        {"truncated", good.substr(0, good.size() - 8)},
        {"longer", good + "tail"},
        {"another version", otherVersion},
        {"one byte changed", flipped},
        {"not an index", std::string(good.size(), 'k')},
    };
    for (const auto& d : damages) {
        writeFile(file, d.bytes);
        EXPECT_FALSE(loadIndex(file, 42, &why)) << d.what;
    }
}

TEST_F(CacheTest, TheCheckedNoteOnlyCoversTheUnchangedFile) {
    LoadOptions trusting;
    trusting.trustChecked = true;
    trusting.populate = false;
    std::string why;
    ASSERT_TRUE(loadIndex(file, 42, &why, trusting)) << why;
    // A change in place, even of one byte, gives the file a new change time: it is checked again.
    {
        int fd = ::open(file.c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        char byte = 'Z';
        ASSERT_EQ(::pwrite(fd, &byte, 1, static_cast<off_t>(index->imageSize() - 20)), 1);
        ::close(fd);
    }
    EXPECT_FALSE(loadIndex(file, 42, &why, trusting));
    EXPECT_EQ(why, "damaged content");
    // A note that does not fit the file is no reason to trust it either.
    writeFile(file + ".checked", "garbage");
    EXPECT_FALSE(loadIndex(file, 42, &why, trusting));
}

TEST_F(CacheTest, RandomDamageNeverCrashesTheLoader) {
    // Damage that keeps the hashes right (the hash fields rewritten) must still be caught by the
    // structural check, and nothing may read outside the image.
    std::string good = readFile(file);
    std::mt19937 rng(7);
    int accepted = 0;
    for (int round = 0; round < 300; ++round) {
        std::string bytes = good;
        int flips = std::uniform_int_distribution<int>(1, 8)(rng);
        for (int i = 0; i < flips; ++i) {
            size_t at = std::uniform_int_distribution<size_t>(sizeof(IndexHeader), bytes.size() - 1)(rng);
            bytes[at] = static_cast<char>(rng());
        }
        IndexHeader h;
        std::memcpy(&h, bytes.data(), sizeof h);
        h.payloadHash = hashBytes(bytes.data() + sizeof h, bytes.size() - sizeof h);
        h.headerHash = 0;
        h.headerHash = hashBytes(&h, sizeof h);
        std::memcpy(bytes.data(), &h, sizeof h);
        auto owner = std::make_shared<std::string>(bytes);
        std::string why;
        auto loaded = Index::fromImage(owner, owner->data(), owner->size(), 42, &why);
        if (!loaded)
            continue;
        ++accepted;
        // Whatever was accepted can be walked completely.
        for (uint32_t i = 0; i < loaded->count(); ++i)
            (void)loaded->path(i);
    }
    EXPECT_LT(accepted, 300);
}

} // namespace
} // namespace kestrel::engine
