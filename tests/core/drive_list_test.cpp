#include "drive_list.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

namespace kestrel::core {
namespace {

std::vector<std::string> rootsOf(const std::vector<TDriveData>& drives) {
    std::vector<std::string> roots;
    for (const TDriveData& d : drives) {
        roots.push_back(d.Root);
        EXPECT_EQ(d.Reserved[0], 0);
        EXPECT_EQ(d.Reserved[1], 0);
    }
    return roots;
}

TEST(ParseMountInfo, FieldsAroundTheSeparatorAndOctalEscapes) {
    const std::string text =
        "36 35 98:0 /mnt1 /mnt\\040two rw,noatime master:1 shared:7 - ext3 /dev/root rw,errors=x\n"
        "37 1 8:1 / /a\\011b\\012c\\134d rw - ext4 /dev/sda1 rw\n"
        "38 1 8:1 / /odd\\9\\04x\\777 rw - ext4 /dev/sda1 rw\n"
        "too short - ext4\n"
        "39 1 8:1 / /no-separator rw ext4 /dev/sda1 rw\n"
        "40 1 8:1 / /no-source rw - ext4\n"
        "\n"
        "41 1 8:2 / /last rw - xfs /dev/sda2";
    std::vector<MountEntry> entries = ParseMountInfo(text);
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].root, "/mnt1");
    EXPECT_EQ(entries[0].mountPoint, "/mnt two");
    EXPECT_EQ(entries[0].fsType, "ext3");
    EXPECT_EQ(entries[0].source, "/dev/root");
    EXPECT_EQ(entries[0].superOptions, "rw,errors=x");
    EXPECT_EQ(entries[1].mountPoint, "/a\tb\nc\\d");
    EXPECT_EQ(entries[2].mountPoint, "/odd\\9\\04x\\777"); // not three octal digits of a byte: kept
    EXPECT_EQ(entries[3].mountPoint, "/last");
    EXPECT_EQ(entries[3].superOptions, "");
}

TEST(IsLocalDiskMount, BlockDeviceFilesystemsOnly) {
    struct Case {
        const char* line;
        bool local;
    };
    const Case cases[] = {
        {"1 0 254:0 / / rw - ext4 /dev/vda rw", true},
        {"2 1 8:2 / /home rw - xfs /dev/sda2 rw", true},
        {"3 1 259:1 / /boot/efi rw - vfat /dev/nvme0n1p1 rw", true},
        {"4 1 0:40 /@home /home rw - btrfs /dev/sda3 rw,subvolid=257,subvol=/@home", true},
        {"5 1 0:40 /@home/u/x /x rw - btrfs /dev/sda3 rw,subvolid=257,subvol=/@home", false}, // bind
        {"6 1 8:1 /var/lib/docker/c/hosts /etc/hosts rw - ext4 /dev/sda1 rw", false}, // bind of a file
        {"7 1 0:50 / /tank rw - zfs tank/data rw", true},
        {"8 1 0:21 / /proc rw - proc proc rw", false},
        {"9 1 0:22 / /sys rw - sysfs sysfs rw", false},
        {"10 1 0:23 / /tmp rw - tmpfs tmpfs rw", false},
        {"11 1 0:24 / /dev rw - devtmpfs /dev rw", false},
        {"12 1 0:60 / / rw - overlay overlay rw,lowerdir=/l", false},
        {"13 1 7:3 / /snap/core/1 ro - squashfs /dev/loop3 ro", false},
        {"14 1 0:70 / /net rw - nfs4 server:/export rw", false},
        {"15 1 0:71 / /share rw - cifs //server/share rw", false},
        {"16 1 0:72 / /remote rw - fuse.sshfs u@host:/ rw", false},
        {"17 1 8:17 / /media/win rw - fuseblk /dev/sdb1 rw", false},
        {"18 1 11:0 / /media/cdrom ro - iso9660 /dev/sr0 ro", false},
        {"19 1 0:73 / /dev/pts rw - devpts devpts rw", false},
        {"20 1 8:1 / relative rw - ext4 /dev/sda1 rw", false},
        {"21 1 253:0 / /data rw - ext4 /dev/mapper/vg-data rw", true},
        {"22 1 8:1 / /dev-only rw - ext4 /dev/ rw", false},
    };
    for (const Case& c : cases) {
        std::vector<MountEntry> entries = ParseMountInfo(c.line);
        ASSERT_EQ(entries.size(), 1u) << c.line;
        EXPECT_EQ(IsLocalDiskMount(entries[0]), c.local) << c.line;
    }
}

TEST(DriveListFromMountInfo, SortedOncePerMountPointEachEndingWithSlash) {
    const std::string text = "30 1 8:2 / /srv\\040data rw - ext4 /dev/sda2 rw\n"
                             "22 1 0:21 / /proc rw - proc proc rw\n"
                             "27 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
                             "31 1 8:3 / /home rw - ext4 /dev/sda3 rw\n"
                             "32 1 8:4 / /home rw - ext4 /dev/sda4 rw\n" // mounted over /home
                             "33 1 8:5 / /\xC3\xA9t\xE9 rw - ext4 /dev/sda5 rw\n";
    EXPECT_EQ(rootsOf(DriveListFromMountInfo(text)),
              (std::vector<std::string>{"/", "/home/", "/srv data/", "/\xC3\xA9t\xE9/"}));
    EXPECT_TRUE(DriveListFromMountInfo("").empty());
    EXPECT_TRUE(DriveListFromMountInfo("garbage\n\n - \n").empty());
}

TEST(BuildDriveList, EveryRootOfThisSystemIsAFolder) {
    std::vector<TDriveData> drives{TDriveData{"stale", {1, 2}}};
    BuildDriveList(drives);
    ASSERT_FALSE(drives.empty());
    for (const TDriveData& d : drives) {
        EXPECT_NE(d.Root, "stale");
        ASSERT_FALSE(d.Root.empty());
        EXPECT_EQ(d.Root.back(), '/');
        struct stat st {};
        EXPECT_EQ(stat(d.Root.c_str(), &st), 0) << d.Root;
        EXPECT_TRUE(S_ISDIR(st.st_mode)) << d.Root;
        EXPECT_EQ(d.Reserved[0], 0);
    }
}

} // namespace
} // namespace kestrel::core
