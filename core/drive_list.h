// The local disks (UnitFunction's BuildDriveList): the mount points of local block-device
// filesystems, from the text of /proc/self/mountinfo. Qt-free.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrel::core {

// One local disk (UnitHead). Root is the mount point's path as bytes, ending with "/" ("/", "/home/").
// The numbers after it are kept at zero and read by nothing.
struct TDriveData {
    std::string Root;
    int64_t Reserved[2] = {0, 0};
};

// One line of mountinfo, its fields unescaped ("\040" is a blank, "\011" a tab, "\012" a line feed,
// "\134" a backslash).
struct MountEntry {
    std::string root;       // the folder of the filesystem mounted here ("/" unless a bind or subvolume)
    std::string mountPoint; // where it is mounted
    std::string fsType;     // "ext4", "fuse.sshfs", ...
    std::string source;     // "/dev/sda1", "server:/export", "tmpfs", ...
    std::string superOptions;
};

// The lines of a mountinfo text in order; lines that do not have the fields of the format are skipped.
std::vector<MountEntry> ParseMountInfo(std::string_view text);

// Whether a mount is a local disk: a filesystem that lives on a block device (its source is a device
// under /dev/, or a ZFS dataset), not a virtual one (proc, sysfs, tmpfs, overlay, squashfs images,
// ...), not a network share and not FUSE; and the whole filesystem or a btrfs subvolume rather than a
// bind mount of one of its folders or files.
bool IsLocalDiskMount(const MountEntry& entry);

// The local disks of a mountinfo text, one per mount point (a mount point mounted over counts once),
// ordered by their paths' bytes, so "/" comes first.
std::vector<TDriveData> DriveListFromMountInfo(std::string_view mountInfoText);

// Fills `driveList` (emptied first) from /proc/self/mountinfo; when that cannot be read, the root
// filesystem "/" alone.
void BuildDriveList(std::vector<TDriveData>& driveList);

} // namespace kestrel::core
