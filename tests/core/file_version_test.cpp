#include "file_version.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

namespace kestrel::core {
namespace {

// Builds small ELF images: a header, the sections' contents, then the section headers at the end.
struct ElfImage {
    bool is64 = true;
    bool bigEndian = false;
    struct Section {
        std::string name;
        std::string data;
        uint32_t type = 1; // PROGBITS
    };
    std::vector<Section> sections;

    std::vector<std::byte> build() const {
        std::vector<std::byte> out(is64 ? 64 : 52);
        // Section 0 is the null section; the last one holds the names.
        std::string names(1, '\0');
        std::vector<uint32_t> nameAt, offsets;
        for (const Section& s : sections) {
            nameAt.push_back(static_cast<uint32_t>(names.size()));
            names += s.name + '\0';
        }
        uint32_t namesName = static_cast<uint32_t>(names.size());
        names += std::string(".shstrtab") + '\0';
        for (const Section& s : sections) {
            offsets.push_back(static_cast<uint32_t>(out.size()));
            append(out, s.data);
        }
        uint32_t namesOffset = static_cast<uint32_t>(out.size());
        append(out, names);
        uint64_t shoff = out.size();
        size_t entSize = is64 ? 64 : 40;
        size_t count = sections.size() + 2;
        out.resize(out.size() + entSize * count);
        for (size_t i = 0; i < sections.size(); ++i)
            header(out, shoff + entSize * (i + 1), nameAt[i], sections[i].type, offsets[i],
                   sections[i].data.size());
        header(out, shoff + entSize * (count - 1), namesName, 3, namesOffset, names.size());

        std::memcpy(out.data(),
                    "\x7f"
                    "ELF",
                    4);
        out[4] = std::byte(is64 ? 2 : 1);
        out[5] = std::byte(bigEndian ? 2 : 1);
        out[6] = std::byte(1);
        if (is64) {
            put(out, 0x28, 8, shoff);
            put(out, 0x3A, 2, entSize);
            put(out, 0x3C, 2, count);
            put(out, 0x3E, 2, count - 1);
        } else {
            put(out, 0x20, 4, shoff);
            put(out, 0x2E, 2, entSize);
            put(out, 0x30, 2, count);
            put(out, 0x32, 2, count - 1);
        }
        return out;
    }

    static void append(std::vector<std::byte>& out, const std::string& data) {
        for (char c : data)
            out.push_back(std::byte(static_cast<unsigned char>(c)));
    }
    void put(std::vector<std::byte>& out, size_t at, size_t width, uint64_t value) const {
        for (size_t i = 0; i < width; ++i) {
            size_t shift = bigEndian ? (width - 1 - i) * 8 : i * 8;
            out[at + i] = std::byte(static_cast<unsigned char>(value >> shift));
        }
    }
    void header(std::vector<std::byte>& out, size_t at, uint32_t name, uint32_t type, uint64_t offset,
                uint64_t size) const {
        put(out, at, 4, name);
        put(out, at + 4, 4, type);
        if (is64) {
            put(out, at + 0x18, 8, offset);
            put(out, at + 0x20, 8, size);
        } else {
            put(out, at + 0x10, 4, offset);
            put(out, at + 0x14, 4, size);
        }
    }
};

const std::string kStrings = std::string("FileVersion=2.3.4.5\0ProductName=Kestrel Find\0", 46);

class TempFiles : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = std::filesystem::temp_directory_path() /
                ("kestrel-version-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::string write(const std::string& name, const std::vector<std::byte>& bytes) {
        std::string path = (m_dir / name).string();
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    std::filesystem::path m_dir;
};

TEST(FileVersionText, ReadsTheStringsThisProgramWasBuiltWith) {
    EXPECT_EQ(FileVersionText("/proc/self/exe", "FileVersion"), KESTREL_TEST_FILE_VERSION);
    EXPECT_EQ(FileVersionText("/proc/self/exe", "ProductName"), KESTREL_TEST_PRODUCT_NAME);
    EXPECT_EQ(FileVersionText("/proc/self/exe", "CompanyName"), "");
    EXPECT_EQ(FileVersionText("/proc/self/exe", "fileversion"), ""); // keys are case-sensitive
}

using FileVersionFiles = TempFiles;

TEST_F(FileVersionFiles, EveryClassAndByteOrderWithAndWithoutTheSection) {
    for (bool is64 : {true, false}) {
        for (bool bigEndian : {false, true}) {
            ElfImage with{
                is64, bigEndian, {{".text", "code"}, {".kestrel_version", kStrings}, {".data", "x"}}};
            ElfImage without{is64, bigEndian, {{".text", "code"}, {".kestrel_versionX", kStrings}}};
            std::string name = std::to_string(is64) + std::to_string(bigEndian);
            std::string withPath = write("with" + name, with.build());
            std::string withoutPath = write("without" + name, without.build());
            EXPECT_EQ(FileVersionText(withPath, "FileVersion"), "2.3.4.5") << name;
            EXPECT_EQ(FileVersionText(withPath, "ProductName"), "Kestrel Find") << name;
            EXPECT_EQ(FileVersionText(withoutPath, "FileVersion"), "") << name;
        }
    }
}

TEST_F(FileVersionFiles, TruncatedAndOddFilesGiveTheEmptyText) {
    std::vector<std::byte> image = ElfImage{true, false, {{".kestrel_version", kStrings}}}.build();
    // The section headers sit at the end: every shorter copy has lost some of them.
    for (size_t length = 0; length < image.size(); ++length) {
        std::vector<std::byte> cut(image.begin(), image.begin() + static_cast<ptrdiff_t>(length));
        ASSERT_EQ(FileVersionText(write("cut", cut), "FileVersion"), "") << length;
    }
    EXPECT_EQ(FileVersionText(write("whole", image), "FileVersion"), "2.3.4.5");

    EXPECT_EQ(FileVersionText((m_dir / "missing").string(), "FileVersion"), "");
    EXPECT_EQ(FileVersionText(m_dir.string(), "FileVersion"), ""); // a folder
    std::vector<std::byte> text(200, std::byte('A'));
    EXPECT_EQ(FileVersionText(write("text", text), "FileVersion"), "");
}

TEST(VersionSectionOf, DamagedHeadersAreRefused) {
    const ElfImage base{true, false, {{".kestrel_version", kStrings}}};
    const std::vector<std::byte> good = base.build();
    ASSERT_EQ(VersionSectionOf(good), kStrings);
    auto shoff = [&] {
        uint64_t v = 0;
        for (int i = 7; i >= 0; --i)
            v = (v << 8) | std::to_integer<uint64_t>(good[0x28 + static_cast<size_t>(i)]);
        return static_cast<size_t>(v);
    }();
    const size_t versionHeader = shoff + 64;
    struct Damage {
        const char* what;
        size_t at;
        size_t width;
        uint64_t value;
    };
    const Damage damages[] = {
        {"bad class", 4, 1, 3},
        {"bad byte order", 5, 1, 0},
        {"section headers beyond the end", 0x28, 8, good.size()},
        {"section header offset wraps", 0x28, 8, ~uint64_t(0) - 8},
        {"header entries too small", 0x3A, 2, 32},
        {"names index out of range", 0x3E, 2, 7},
        {"section count huge", 0x3C, 2, 0xFF00},
        {"section size beyond the end", versionHeader + 0x20, 8, good.size()},
        {"section offset plus size wraps", versionHeader + 0x18, 8, ~uint64_t(0) - 2},
        {"section takes no file room", versionHeader + 4, 4, 8},
        {"section name beyond the names", versionHeader, 4, 100000},
    };
    for (const Damage& d : damages) {
        std::vector<std::byte> image = good;
        base.put(image, d.at, d.width, d.value);
        EXPECT_EQ(VersionSectionOf(image), std::nullopt) << d.what;
    }
}

TEST(VersionSectionOf, ExtendedSectionCountInTheFirstHeader) {
    const ElfImage base{true, false, {{".kestrel_version", kStrings}}};
    std::vector<std::byte> image = base.build();
    uint64_t shoff = 0;
    for (int i = 7; i >= 0; --i)
        shoff = (shoff << 8) | std::to_integer<uint64_t>(image[0x28 + static_cast<size_t>(i)]);
    base.put(image, 0x3C, 2, 0);      // count: see section 0's size
    base.put(image, 0x3E, 2, 0xFFFF); // names index: see section 0's link
    base.put(image, static_cast<size_t>(shoff) + 0x20, 8, 3);
    base.put(image, static_cast<size_t>(shoff) + 0x28, 4, 2);
    EXPECT_EQ(VersionSectionOf(image), kStrings);
}

TEST(VersionSectionOf, RandomDamageNeverReadsOutsideTheImage) {
    const std::vector<std::byte> good =
        ElfImage{true, false, {{".text", "code"}, {".kestrel_version", kStrings}}}.build();
    std::mt19937 rng(4242);
    int stillFound = 0;
    for (int round = 0; round < 20000; ++round) {
        std::vector<std::byte> image = good;
        int flips = 1 + static_cast<int>(rng() % 8);
        for (int i = 0; i < flips; ++i)
            image[rng() % image.size()] = std::byte(static_cast<unsigned char>(rng()));
        if (rng() % 4 == 0)
            image.resize(rng() % image.size());
        std::optional<std::string> section = VersionSectionOf(image);
        if (section) {
            ASSERT_LE(section->size(), image.size());
            ++stillFound;
        }
    }
    // Most single-byte damage misses the headers; the reader must still find the section then.
    EXPECT_GT(stillFound, 1000);
}

TEST(VersionValueOf, KeyEqualsValueTextsSeparatedByZeros) {
    const std::string section("A=1\0AB=2\0B=x=y\0E=\0\0\0A=later\0", 27);
    struct Case {
        std::string item;
        std::string value;
    };
    const Case cases[] = {
        {"A", "1"}, {"AB", "2"}, {"B", "x=y"}, {"E", ""},
        {"X", ""},  {"", ""},    {"A=1", ""},  {std::string("A\0", 2), ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(VersionValueOf(section, c.item), c.value) << c.item;
    EXPECT_EQ(VersionValueOf("A=unterminated", "A"), "unterminated");
}

} // namespace
} // namespace kestrel::core
