#include "roots.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <sys/stat.h>

namespace kestrel::engine {

namespace {

// mountinfo escapes blanks, tabs, newlines and backslashes as \ooo.
std::string unescape(std::string_view s) {
    auto oct = [](char c) { return c >= '0' && c <= '7'; };
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() && oct(s[i + 1]) && oct(s[i + 2]) && oct(s[i + 3])) {
            out += static_cast<char>(((s[i + 1] - '0') << 6) | ((s[i + 2] - '0') << 3) | (s[i + 3] - '0'));
            i += 3;
            continue;
        }
        out += s[i];
    }
    return out;
}

bool isLocalFilesystem(std::string_view type, std::string_view source) {
    static const std::set<std::string_view> kLocal = {
        "ext2",  "ext3", "ext4",  "xfs",     "btrfs",    "f2fs",   "jfs", "reiserfs", "vfat",
        "exfat", "ntfs", "ntfs3", "hfsplus", "bcachefs", "nilfs2", "udf", "zfs"};
    if (!kLocal.count(type))
        return false;
    // zfs datasets are named pool/dataset; every other local filesystem sits on a block device.
    return type == "zfs" || source.substr(0, 5) == "/dev/";
}

} // namespace

std::vector<std::string> localMountPoints(std::string_view mountinfo) {
    std::vector<std::string> out;
    std::set<std::string> seen;
    std::istringstream lines{std::string(mountinfo)};
    std::string line;
    while (std::getline(lines, line)) {
        // id parent major:minor root mountpoint options [optional fields] - type source superoptions
        std::istringstream fields(line);
        std::vector<std::string> f;
        std::string w;
        while (fields >> w)
            f.push_back(w);
        auto dash = std::find(f.begin(), f.end(), "-");
        if (f.size() < 5 || dash == f.end() || f.end() - dash < 3)
            continue;
        std::string type = *(dash + 1);
        std::string source = unescape(*(dash + 2));
        std::string point = unescape(f[4]);
        if (!isLocalFilesystem(type, source) || point.empty() || point[0] != '/')
            continue;
        if (seen.insert(point).second)
            out.push_back(point);
    }
    return out;
}

std::string normalisePath(std::string_view path) {
    if (path.empty() || path[0] != '/')
        return {};
    std::vector<std::string_view> parts;
    size_t at = 0;
    while (at <= path.size()) {
        size_t slash = path.find('/', at);
        if (slash == std::string_view::npos)
            slash = path.size();
        std::string_view part = path.substr(at, slash - at);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        at = slash + 1;
    }
    std::string out;
    for (auto p : parts) {
        out += '/';
        out += p;
    }
    return out.empty() ? "/" : out;
}

std::vector<std::string> tidyRoots(std::vector<std::string> roots) {
    std::sort(roots.begin(), roots.end());
    roots.erase(std::unique(roots.begin(), roots.end()), roots.end());
    std::vector<std::string> out;
    for (const auto& r : roots) {
        bool covered = false;
        for (const auto& outer : out) {
            bool inside = outer == "/" ? r != "/"
                                       : (r.size() > outer.size() && r.compare(0, outer.size(), outer) == 0 &&
                                          r[outer.size()] == '/');
            if (!inside)
                continue;
            // A root inside another is scanned with it unless it is a mount of its own.
            struct stat a, b;
            if (::stat(outer.c_str(), &a) == 0 && ::stat(r.c_str(), &b) == 0 && a.st_dev == b.st_dev)
                covered = true;
        }
        if (!covered)
            out.push_back(r);
    }
    return out;
}

std::vector<std::string> configuredRoots() {
    std::vector<std::string> roots;
    const char* env = std::getenv("KESTRELFIND_ROOTS");
    if (env && env[0]) {
        std::string_view list(env);
        size_t at = 0;
        while (at <= list.size()) {
            size_t colon = list.find(':', at);
            if (colon == std::string_view::npos)
                colon = list.size();
            std::string p = normalisePath(list.substr(at, colon - at));
            if (!p.empty())
                roots.push_back(p);
            at = colon + 1;
        }
    } else {
        std::ifstream in("/proc/self/mountinfo");
        std::stringstream text;
        text << in.rdbuf();
        roots = localMountPoints(text.str());
        if (roots.empty())
            roots.push_back("/");
    }
    return tidyRoots(std::move(roots));
}

} // namespace kestrel::engine
