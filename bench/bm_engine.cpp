// In-process figures of the engine over one tree: bm_engine MODE ROOT
//   scan     seconds for a full scan (no save)
//   load     seconds until a saved index is searchable (the index must have been saved before)
//   memory   resident bytes per entry with the saved index loaded, then after a search that made
//            every record
//   latency  milliseconds per search through the same path as FindItemFile (records made and
//            delivered), for each query given after ROOT
//   live     milliseconds from a file's creation until a search finds it (1 000 creations), and the
//            engine's CPU time over 10 s of an idle disk with the listener running
//   catchup  seconds from start until 10 000 files made while the engine was stopped are searchable
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
#include <malloc.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
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

double cpuSeconds() {
    struct rusage usage;
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
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
        malloc_trim(0);
        long trimmed = residentBytes();
        std::printf("rss_all_trimmed_per_entry %.1f\n", (trimmed - before) / n);
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
    if (mode == "live") {
        Engine engine(roots, file);
        if (!engine.start(true, false, false))
            return 1;
        engine.startListener(nullptr, nullptr);
        engine.waitUntilIdle(std::chrono::seconds(60));
        std::string folder = roots[0] + "/live-bench";
        ::mkdir(folder.c_str(), 0755);
        std::vector<double> ms;
        for (int i = 0; i < 1000; ++i) {
            std::string name = "livebench" + std::to_string(i) + "x.tmp";
            std::u16string pattern;
            appendUtf16(name, pattern);
            auto t = Clock::now();
            std::fclose(std::fopen((folder + "/" + name).c_str(), "w"));
            while (engine.match(*engine.snapshot(), pattern, 0, false).empty())
                ::usleep(200);
            ms.push_back(seconds(t) * 1000);
        }
        std::printf("create_to_found_median_ms %.2f\ncreate_to_found_max_ms %.2f\n", median(ms),
                    *std::max_element(ms.begin(), ms.end()));
        std::system(("rm -rf '" + folder + "'").c_str());
        engine.waitUntilIdle(std::chrono::seconds(60));
        ::sleep(1);
        double before = cpuSeconds();
        ::sleep(10);
        std::printf("idle_cpu_ms_per_10s %.2f\n", (cpuSeconds() - before) * 1000);
        return 0;
    }
    if (mode == "catchup") {
        {
            Engine engine(roots, file);
            if (!engine.start(true, true, false))
                return 1;
        } // saved, stopped
        std::string folder = roots[0] + "/catchup-bench";
        for (int d = 0; d < 100; ++d) {
            std::string sub = folder + "/d" + std::to_string(d);
            std::system(("mkdir -p '" + sub + "'").c_str());
            for (int f = 0; f < 100; ++f)
                std::fclose(
                    std::fopen((sub + "/catchup" + std::to_string(d * 100 + f) + ".txt").c_str(), "w"));
        }
        auto t = Clock::now();
        Engine engine(roots, file);
        engine.start(true, false, true);
        double searchable = seconds(t);
        while (engine.match(*engine.snapshot(), u"catchup*", 0, false).size() < 10000)
            ::usleep(1000);
        std::printf("catchup_searchable_s %.3f\ncatchup_10000_changes_s %.3f\n", searchable, seconds(t));
        std::system(("rm -rf '" + folder + "'").c_str());
        return 0;
    }
    std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
    return 2;
}
