#include "drive_list.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace kestrel::core {

namespace {

std::string unescape(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            std::string_view digits = field.substr(i + 1, 3);
            bool octal = digits.size() == 3 && std::all_of(digits.begin(), digits.end(),
                                                           [](char c) { return c >= '0' && c <= '7'; });
            if (octal) {
                int value = (digits[0] - '0') * 64 + (digits[1] - '0') * 8 + (digits[2] - '0');
                if (value <= 0xFF) {
                    out += static_cast<char>(value);
                    i += 3;
                    continue;
                }
            }
        }
        out += field[i];
    }
    return out;
}

std::vector<std::string_view> splitBlanks(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t')
            ++i;
        if (i > start)
            fields.push_back(line.substr(start, i - start));
    }
    return fields;
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// Filesystems that never hold a local disk's files although some name a /dev/ path as their source.
constexpr std::string_view kNotDisks[] = {
    "proc",       "sysfs",  "tmpfs",     "devtmpfs",   "devpts",      "ramfs",    "overlay",  "aufs",
    "squashfs",   "cgroup", "cgroup2",   "securityfs", "debugfs",     "tracefs",  "configfs", "pstore",
    "bpf",        "mqueue", "hugetlbfs", "autofs",     "binfmt_misc", "efivarfs", "fusectl",  "nsfs",
    "rpc_pipefs", "nfsd",   "iso9660",   "udf",        "erofs",       "zram"};

constexpr std::string_view kNetwork[] = {"nfs", "nfs4", "cifs",      "smb3",   "smbfs", "ncpfs", "9p",
                                         "afs", "ceph", "glusterfs", "lustre", "gfs2",  "ocfs2", "davfs"};

std::string superOption(std::string_view options, std::string_view key) {
    size_t i = 0;
    while (i <= options.size()) {
        size_t end = options.find(',', i);
        std::string_view option =
            options.substr(i, end == std::string_view::npos ? std::string_view::npos : end - i);
        if (startsWith(option, key) && option.size() > key.size() && option[key.size()] == '=')
            return std::string(option.substr(key.size() + 1));
        if (end == std::string_view::npos)
            break;
        i = end + 1;
    }
    return {};
}

} // namespace

std::vector<MountEntry> ParseMountInfo(std::string_view text) {
    std::vector<MountEntry> entries;
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);

        // id parent major:minor root mount-point options [optional fields...] - type source super-options
        std::vector<std::string_view> fields = splitBlanks(line);
        auto dash = std::find(fields.begin() + std::min<size_t>(fields.size(), 6), fields.end(), "-");
        if (fields.size() < 6 || dash == fields.end() || fields.end() - dash < 3)
            continue;
        MountEntry entry;
        entry.root = unescape(fields[3]);
        entry.mountPoint = unescape(fields[4]);
        entry.fsType = unescape(dash[1]);
        entry.source = unescape(dash[2]);
        entry.superOptions = fields.end() - dash >= 4 ? unescape(dash[3]) : std::string();
        entries.push_back(std::move(entry));
    }
    return entries;
}

bool IsLocalDiskMount(const MountEntry& e) {
    std::string_view type = e.fsType;
    if (type.empty() || e.mountPoint.empty() || e.mountPoint[0] != '/')
        return false;
    if (std::ranges::find(kNotDisks, type) != std::end(kNotDisks))
        return false;
    if (std::ranges::find(kNetwork, type) != std::end(kNetwork) || startsWith(type, "nfs"))
        return false;
    if (type == "fuse" || type == "fuseblk" || startsWith(type, "fuse."))
        return false;

    bool onDevice = startsWith(e.source, "/dev/") && e.source.size() > 5;
    // A ZFS dataset names its pool ("rpool/home"), not a device.
    bool zfs = type == "zfs" && !e.source.empty() && e.source[0] != '/';
    if (!onDevice && !zfs)
        return false;

    if (e.root == "/")
        return true;
    // btrfs reports a mounted subvolume's path as the root; any other root is a bind mount of a part.
    return type == "btrfs" && !superOption(e.superOptions, "subvol").empty() &&
           superOption(e.superOptions, "subvol") == e.root;
}

std::vector<TDriveData> DriveListFromMountInfo(std::string_view mountInfoText) {
    std::vector<std::string> roots;
    for (const MountEntry& e : ParseMountInfo(mountInfoText)) {
        if (!IsLocalDiskMount(e))
            continue;
        std::string root = e.mountPoint;
        if (root.back() != '/')
            root += '/';
        roots.push_back(std::move(root));
    }
    std::sort(roots.begin(), roots.end(), [](const std::string& a, const std::string& b) {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
            return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
        });
    });
    roots.erase(std::unique(roots.begin(), roots.end()), roots.end());
    std::vector<TDriveData> drives;
    drives.reserve(roots.size());
    for (std::string& root : roots)
        drives.push_back(TDriveData{std::move(root), {0, 0}});
    return drives;
}

void BuildDriveList(std::vector<TDriveData>& driveList) {
    driveList.clear();
    std::ifstream file("/proc/self/mountinfo", std::ios::binary);
    std::string text;
    if (file)
        text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    driveList = DriveListFromMountInfo(text);
    if (driveList.empty())
        driveList.push_back(TDriveData{"/", {0, 0}});
}

} // namespace kestrel::core
