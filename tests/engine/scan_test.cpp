#include "cache.h"
#include "index.h"
#include "roots.h"
#include "scan.h"
#include "temp_tree.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <sys/mount.h>
#include <sys/wait.h>

namespace kestrel::engine {
namespace {

using kestrel::test::TempTree;

std::set<std::string> paths(const Index& index) {
    std::set<std::string> out;
    for (uint32_t i = 0; i < index.count(); ++i) {
        if (!index.isRoot(i))
            out.insert(index.path(i));
    }
    return out;
}

uint32_t find(const Index& index, const std::string& path) {
    for (uint32_t i = 0; i < index.count(); ++i) {
        if (index.path(i) == path)
            return i;
    }
    return kNoParent;
}

TEST(Scan, OddNamesAreOrdinaryNames) {
    TempTree t;
    const std::vector<std::string> odd = {"with blank.txt",
                                          "new\nline",
                                          "star*name",
                                          "bar|name",
                                          "bad\xff\xfe.bin",
                                          "lt<gt>",
                                          "Re\xcc\x81sume\xcc\x81.pdf",
                                          ".hidden",
                                          "-dash"};
    for (const auto& n : odd)
        t.file("odd/" + n);
    auto index = scanRoots({t.root()}, 1);
    ASSERT_TRUE(index);
    auto all = paths(*index);
    for (const auto& n : odd)
        EXPECT_TRUE(all.count(t.root() + "/odd/" + n)) << n;
    EXPECT_EQ(all.size(), odd.size() + 1);
    // The name is kept byte for byte even when its key is folded.
    uint32_t e = find(*index, t.root() + "/odd/bad\xff\xfe.bin");
    ASSERT_NE(e, kNoParent);
    EXPECT_EQ(index->name(e), "bad\xff\xfe.bin");
}

TEST(Scan, SizesTimesFoldersAndLinks) {
    TempTree t;
    t.file("a/one", 100);
    t.file("a/b/two", 50);
    t.file("a/b/c/three", 7);
    t.file("top", 1);
    t.touch("top", 1500000000);
    std::filesystem::create_symlink("a", t.path("a/b/loop")); // a link loop is never followed
    std::filesystem::create_symlink("missing", t.path("dangling"));
    auto index = scanRoots({t.root()}, 1);
    ASSERT_TRUE(index);

    uint32_t a = find(*index, t.path("a")), b = find(*index, t.path("a/b")),
             top = find(*index, t.path("top"));
    uint32_t loop = find(*index, t.path("a/b/loop"));
    ASSERT_NE(loop, kNoParent);
    EXPECT_TRUE(index->flags(loop) & kSymlink);
    EXPECT_FALSE(index->isFolder(loop));
    EXPECT_TRUE(index->isFolder(a));
    int64_t linkSize = index->size(loop);
    EXPECT_EQ(index->size(b), 50 + 7 + linkSize);
    EXPECT_EQ(index->size(a), 100 + 50 + 7 + linkSize);
    EXPECT_EQ(index->size(top), 1);
    EXPECT_EQ(index->mtime(top), (1500000000LL + 11644473600LL) * 10000000LL);
    EXPECT_NE(find(*index, t.path("dangling")), kNoParent);
    EXPECT_EQ(find(*index, t.path("a/b/loop/one")), kNoParent);
    // Children sorted by name bytes, depth first: a folder's subtree follows it.
    EXPECT_EQ(a + 1, find(*index, t.path("a/b")));
}

TEST(Scan, PathsLongerThanPathMax) {
    TempTree t;
    std::string relative;
    for (int i = 0; i < 30; ++i)
        relative += std::string(200, char('a' + i % 26)) + "/";
    // Too long for one open(): make it one component at a time.
    ASSERT_EQ(::chdir(t.root().c_str()), 0);
    for (int i = 0; i < 30; ++i) {
        std::string part(200, char('a' + i % 26));
        ASSERT_EQ(::mkdir(part.c_str(), 0755), 0);
        ASSERT_EQ(::chdir(part.c_str()), 0);
    }
    std::ofstream("deep.txt") << "x";
    ASSERT_EQ(::chdir("/"), 0);
    auto index = scanRoots({t.root()}, 1);
    ASSERT_TRUE(index);
    uint32_t deep = find(*index, t.root() + "/" + relative + "deep.txt");
    ASSERT_NE(deep, kNoParent);
    EXPECT_GT(index->path(deep).size(), 4096u);
}

TEST(Scan, MissingRootsAreLeftOutAndFoldersOfOneRootEachAppearOnce) {
    TempTree t;
    t.file("x/1");
    t.file("y/2");
    auto index = scanRoots({t.path("x"), t.path("missing"), t.path("y")}, 1);
    ASSERT_TRUE(index);
    EXPECT_EQ(paths(*index), (std::set<std::string>{t.path("x/1"), t.path("y/2")}));
}

TEST(Scan, UnreadableFoldersAreSkippedSilently) {
    TempTree t;
    t.file("open/visible.txt");
    t.file("closed/secret.txt");
    ::chmod(t.root().c_str(), 0755);
    ::chmod(t.path("open").c_str(), 0755);
    ::chmod(t.path("closed").c_str(), 0);
    // root reads every folder; the scan runs as nobody in a child so the folder is really unreadable.
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        if (::geteuid() == 0 && ::setuid(65534) != 0)
            ::_exit(3);
        ScanStats stats;
        auto index = scanRoots({t.root()}, 1, {}, &stats);
        std::string report;
        for (const auto& p : paths(*index))
            report += p + "\n";
        report += "unreadable " + std::to_string(stats.unreadable) + "\n";
        [[maybe_unused]] ssize_t n = ::write(fds[1], report.data(), report.size());
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string report;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
        report.append(buffer, static_cast<size_t>(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << report;
    EXPECT_NE(report.find(t.path("open/visible.txt") + "\n"), std::string::npos) << report;
    EXPECT_NE(report.find(t.path("closed") + "\n"), std::string::npos) << report; // listed, not entered
    EXPECT_EQ(report.find("secret.txt"), std::string::npos) << report;
    EXPECT_NE(report.find("unreadable 1\n"), std::string::npos) << report;
}

TEST(Scan, OtherFilesystemsBelowARootAreListedNotEntered) {
    TempTree t;
    t.file("disk/own.txt");
    std::string mountPoint = t.folder("disk/usb");
    if (::mount("none", mountPoint.c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "mounting needs privileges this run does not have";
    t.file("disk/usb/on-usb.txt");
    auto below = scanRoots({t.path("disk")}, 1);
    // Named as a root of its own, the other filesystem is scanned.
    auto both = scanRoots({t.path("disk"), mountPoint}, 1);
    ::umount(mountPoint.c_str());
    ASSERT_TRUE(below && both);
    EXPECT_EQ(paths(*below), (std::set<std::string>{t.path("disk/own.txt"), mountPoint}));
    EXPECT_TRUE(paths(*both).count(mountPoint + "/on-usb.txt"));
}

TEST(Scan, ParallelScanGivesTheSameIndexAsOneThread) {
    TempTree t;
    for (int d = 0; d < 40; ++d) {
        for (int f = 0; f < 25; ++f)
            t.file("d" + std::to_string(d % 7) + "/e" + std::to_string(d) + "/f" + std::to_string(f),
                   size_t(f));
    }
    ScanOptions one;
    one.threads = 1;
    ScanOptions four;
    four.threads = 4;
    auto a = scanRoots({t.root()}, 1, one);
    auto b = scanRoots({t.root()}, 1, four);
    ASSERT_TRUE(a && b);
    ASSERT_EQ(a->imageSize(), b->imageSize());
    // Same entries in the same order with the same sizes: the images differ at most in nothing.
    EXPECT_EQ(std::string(a->image(), a->imageSize()), std::string(b->image(), b->imageSize()));
}

} // namespace
} // namespace kestrel::engine

namespace kestrel::engine {
namespace {

TEST(Roots, LocalDisksFromTheMountTable) {
    const char* mountinfo = "22 27 0:21 / /proc rw,relatime - proc proc rw\n"
                            "27 1 8:2 / / rw,relatime - ext4 /dev/sda2 rw\n"
                            "28 27 8:3 / /home rw,relatime shared:1 - btrfs /dev/sda3 rw\n"
                            "29 27 0:30 / /tmp rw - tmpfs tmpfs rw\n"
                            "30 27 0:31 / /mnt/net rw - nfs4 server:/export rw\n"
                            "31 27 0:32 / /media/ann/My\\040Disk rw - vfat /dev/sdb1 rw\n"
                            "32 27 0:33 / /run/user/1000/doc rw - fuse.portal portal rw\n"
                            "33 27 0:34 / /var/lib/docker/overlay2/x/merged rw - overlay overlay rw\n"
                            "34 27 8:2 / / rw,relatime - ext4 /dev/sda2 rw\n"
                            "broken line\n";
    EXPECT_EQ(localMountPoints(mountinfo), (std::vector<std::string>{"/", "/home", "/media/ann/My Disk"}));
}

TEST(Roots, PathsAreNormalisedAndNestedRootsOnOneDiskDropped) {
    EXPECT_EQ(normalisePath("/a//b/./c/../d/"), "/a/b/d");
    EXPECT_EQ(normalisePath("/.."), "/");
    EXPECT_EQ(normalisePath("relative/path"), "");
    kestrel::test::TempTree t;
    t.folder("x/y");
    t.folder("xy");
    EXPECT_EQ(tidyRoots({t.path("x/y"), t.path("x"), t.path("xy"), t.path("x")}),
              (std::vector<std::string>{t.path("x"), t.path("xy")}));
}

} // namespace
} // namespace kestrel::engine
