// kestrel: the search box on the command line. Prints the full paths of the items the box would list
// for the text, best matches first, from the saved index (made on first use).
#include "engine.h"
#include "query.h"
#include "roots.h"
#include "text.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

using kestrel::engine::Engine;
using kestrel::engine::Index;
using kestrel::engine::kNoParent;

void usage(FILE* to) {
    std::fputs("usage: kestrel [-p] [-c] [-0] [--rescan] TEXT...\n"
               "  Prints the full paths of the files and folders whose name matches TEXT.\n"
               "  Words must all occur, | separates alternatives, * is any run of characters.\n"
               "  -p        match the full path instead of the name\n"
               "  -c        print only the number of matches\n"
               "  -0        end each path with NUL instead of a newline\n"
               "  --rescan  rebuild the index before searching\n"
               "Indexes KESTRELFIND_ROOTS (colon-separated folders) when set, else the local disks;\n"
               "the index is kept in $XDG_CACHE_HOME/kestrelfind.\n",
               to);
}

// Full paths of results, with the path of each folder made once.
class PathWriter {
public:
    explicit PathWriter(const Index& index, char end) : m_index(index), m_end(end) {}

    void write(uint32_t e) {
        uint32_t p = m_index.parent(e);
        if (p != kNoParent) {
            const std::string& folder = folderPath(p);
            m_out += folder;
        }
        m_out += m_index.name(e);
        m_out += m_end;
        if (m_out.size() > (1 << 20))
            flush();
    }

    void flush() {
        std::fwrite(m_out.data(), 1, m_out.size(), stdout);
        m_out.clear();
    }

private:
    // The folder's path with its trailing "/".
    const std::string& folderPath(uint32_t f) {
        auto it = m_folders.find(f);
        if (it != m_folders.end())
            return it->second;
        std::string path;
        uint32_t p = m_index.parent(f);
        if (p != kNoParent)
            path = folderPath(p);
        path += m_index.name(f);
        if (path.back() != '/')
            path += '/';
        return m_folders.emplace(f, std::move(path)).first->second;
    }

    const Index& m_index;
    char m_end;
    std::string m_out;
    std::unordered_map<uint32_t, std::string> m_folders;
};

} // namespace

int main(int argc, char** argv) {
    bool pathScope = false, countOnly = false, rescan = false;
    char end = '\n';
    std::string text;
    bool words = false;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (!words && std::strcmp(a, "--") == 0) {
            words = true;
        } else if (!words && std::strcmp(a, "-p") == 0) {
            pathScope = true;
        } else if (!words && std::strcmp(a, "-c") == 0) {
            countOnly = true;
        } else if (!words && std::strcmp(a, "-0") == 0) {
            end = '\0';
        } else if (!words && std::strcmp(a, "--rescan") == 0) {
            rescan = true;
        } else if (!words && (std::strcmp(a, "-h") == 0 || std::strcmp(a, "--help") == 0)) {
            usage(stdout);
            return 0;
        } else if (!words && a[0] == '-' && a[1] != '\0') {
            std::fprintf(stderr, "kestrel: unknown option %s\n", a);
            usage(stderr);
            return 2;
        } else {
            if (!text.empty())
                text += ' ';
            text += a;
        }
    }

    auto roots = kestrel::engine::configuredRoots();
    Engine engine(roots, kestrel::engine::cacheFileFor(roots));
    // One search touches little of the index: map it lazily, and skip the full check of a file that
    // passed it unchanged since.
    kestrel::engine::LoadOptions load;
    load.populate = false;
    load.trustChecked = true;
    if (!engine.start(!rescan, true, false, load)) {
        std::fprintf(stderr, "kestrel: nothing could be indexed\n");
        return 2;
    }
    auto index = engine.snapshot();
    if (text.empty() && !rescan) {
        usage(stderr);
        std::fprintf(stderr, "%u items indexed in %s\n", index->count(), engine.cacheFile().c_str());
        return 2;
    }
    if (text.empty())
        return 0;

    std::u16string typed;
    kestrel::engine::appendUtf16(text, typed);
    std::u16string pattern = kestrel::core::CollapseStars(kestrel::core::NormaliseQuery(typed));
    int scope = kestrel::core::SearchScope(pathScope, false, pattern);
    std::vector<uint32_t> matches = engine.match(*index, pattern, scope, true);

    if (countOnly) {
        std::printf("%zu\n", matches.size());
    } else {
        PathWriter writer(*index, end);
        for (uint32_t e : matches)
            writer.write(e);
        writer.flush();
    }
    return matches.empty() ? 1 : 0;
}
