// Which folders the engine indexes: KESTRELFIND_ROOTS when set, else every local filesystem.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kestrel::engine {

// Mount points of the local block-device filesystems listed in a /proc/self/mountinfo text: no
// proc, sysfs, tmpfs, container overlays, network or FUSE mounts. Each mount point once, in order.
std::vector<std::string> localMountPoints(std::string_view mountinfo);

// Absolute, without "." or ".." parts, without a trailing "/" (except "/" itself). Empty when the
// path is not absolute.
std::string normalisePath(std::string_view path);

// Sorted, duplicates and folders inside another root on the same filesystem removed.
std::vector<std::string> tidyRoots(std::vector<std::string> roots);

// The roots to index in this process: KESTRELFIND_ROOTS (colon-separated) when set and not empty,
// else the local mount points.
std::vector<std::string> configuredRoots();

} // namespace kestrel::engine
