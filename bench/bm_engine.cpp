// In-process figures of the engine over one tree: bm_engine MODE ROOT
//   scan     seconds for a full scan (no save)
//   load     seconds until a saved index is searchable (the index must have been saved before)
//   memory   resident bytes per entry with the saved index loaded, then after a search that made
//            every record
//   latency  milliseconds per search through the same path as FindItemFile (records made and
//            delivered), for each query given after ROOT
// Prints "key value" lines for bench/run.py. The engine's C++ interface is used so that no background
// scan runs while measuring; FindItemFile adds only a pointer copy to Engine::find.
#include "cache.h"
#include "engine.h"
#include "roots.h"
#include "scan.h"
#include "text.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace kestrel::engine;
using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

long residentBytes() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6)) * 1024;
    }
    return 0;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void count(void* context, TItemFileData*) {
    ++*static_cast<size_t*>(context);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bm_engine scan|load|memory|latency ROOT [QUERY...]\n");
        return 2;
    }
    std::string mode = argv[1];
    std::vector<std::string> roots = {normalisePath(argv[2])};
    std::string file = cacheFileFor(roots);
    uint64_t rootsHash = hashRoots(roots);

    if (mode == "scan") {
        auto t = Clock::now();
        ScanStats stats;
        auto index = scanRoots(roots, rootsHash, {}, &stats);
        std::printf("scan_s %.4f\nentries %u\n", seconds(t), index->count());
        return 0;
    }
    if (mode == "load") {
        auto t = Clock::now();
        Engine engine(roots, file);
        if (!engine.start(true, false, false) || !engine.loadedFromCache()) {
            std::fprintf(stderr, "no saved index for %s\n", argv[2]);
            return 1;
        }
        std::printf("load_s %.4f\n", seconds(t));
        return 0;
    }
    if (mode == "memory") {
        long before = residentBytes();
        Engine engine(roots, file);
        if (!engine.start(true, false, false) || !engine.loadedFromCache())
            return 1;
        auto index = engine.snapshot();
        double n = index->count();
        long loaded = residentBytes();
        size_t delivered = 0;
        engine.find(u"*", 0, true, 0, count, &delivered);
        long all = residentBytes();
        std::printf("entries %.0f\nrss_loaded_per_entry %.1f\nrss_all_records_per_entry %.1f\nrecords %zu\n",
                    n, (loaded - before) / n, (all - before) / n, delivered);
        return 0;
    }
    if (mode == "latency") {
        Engine engine(roots, file);
        if (!engine.start(true, false, false))
            return 1;
        for (int q = 3; q < argc; ++q) {
            std::u16string pattern;
            appendUtf16(argv[q], pattern);
            std::vector<double> ms;
            size_t delivered = 0;
            for (int run = 0; run < 9; ++run) {
                delivered = 0;
                auto t = Clock::now();
                engine.find(pattern, 0, true, 0, count, &delivered);
                ms.push_back(seconds(t) * 1000);
            }
            std::printf("latency_ms %s %.3f %zu\n", argv[q], median(ms), delivered);
        }
        return 0;
    }
    std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
    return 2;
}
