#!/usr/bin/env python3
"""Benchmarks the engine against the tools a user would pick instead, on one synthetic tree.

bench/run.py BUILD_DIR [TREE]: builds the standard million-entry tree on tmpfs when missing
(../shared/bench/gen_tree.py, or bench/gen_tree.py beside this script), then times in one run:
scanning (find, plocate's updatedb, kestrel), starting from the saved index, a fixed set of queries
as whole processes (kestrel against plocate), in-process search latency and memory per entry.
Prints one table: each figure is the median over runs, with its ratio to the peer.
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

RUNS = int(os.environ.get("BENCH_RUNS", "5"))

# (label, kestrel arguments, plocate arguments)
QUERIES = [
    ("one letter", ["a"], ["-i", "-b", "a"]),
    ("common word", ["report"], ["-i", "-b", "report"]),
    ("rare word", ["kernel4338"], ["-i", "-b", "kernel4338"]),
    ("extension", ["*.so"], ["-i", "-b", "*.so"]),
    ("two terms", ["annual", "report"], ["-i", "-b", "annual", "report"]),
    ("alternatives", ["invoice|budget"], ["-i", "-b", "--regex", "invoice|budget"]),
    ("path", ["-p", "src/lib"], ["-i", "src/lib"]),
]


def timed(cmd, env=None, runs=RUNS):
    times = []
    for _ in range(runs):
        t = time.perf_counter()
        subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env, check=False)
        times.append(time.perf_counter() - t)
    return statistics.median(times)


def output(cmd, env=None):
    return subprocess.run(cmd, capture_output=True, text=True, env=env, check=False).stdout


def keyed(text):
    out = {}
    for line in text.splitlines():
        parts = line.split()
        if len(parts) >= 2:
            out[" ".join(parts[:-1]) if parts[0] != "latency_ms" else parts[1]] = parts[-1] if parts[0] != "latency_ms" else parts[2:]
    return out


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
    tree = os.path.abspath(sys.argv[2] if len(sys.argv) > 2 else "/dev/shm/kestrel-bench/tree")
    here = os.path.dirname(os.path.abspath(__file__))
    gen = next((p for p in (os.path.join(here, "..", "..", "shared", "bench", "gen_tree.py"),
                            os.path.join(here, "gen_tree.py")) if os.path.exists(p)), None)
    if not os.path.isdir(tree):
        if not gen:
            sys.exit("no tree at %s and no gen_tree.py to make one" % tree)
        print("making the tree at", tree, file=sys.stderr)
        subprocess.run([sys.executable, gen, tree, "1000000", "7"], check=True)

    kestrel = os.path.join(build, "bin", "kestrel")
    bm = os.path.join(build, "bin", "bm_engine")
    work = tempfile.mkdtemp(prefix="kestrel-bench-")
    env = dict(os.environ, KESTRELFIND_ROOTS=tree, XDG_CACHE_HOME=os.path.join(work, "cache"))
    db = os.path.join(work, "plocate.db")
    rows = []

    def row(what, ours, peer=None, peer_name="", target=""):
        ratio = "" if peer in (None, 0) else "%.2f" % (ours / peer)
        rows.append((what, ours, peer_name, peer, ratio, target))

    # Warm the page cache once.
    subprocess.run(["find", tree], stdout=subprocess.DEVNULL, check=False)
    find_stat = timed(["find", tree, "-printf", "%s %T@\n"], runs=3)
    find_plain = timed(["find", tree], runs=3)
    updatedb = timed(["updatedb", "-U", tree, "-o", db, "-l", "no", "--prunefs", "", "--prunenames", "",
                      "--prunepaths", ""], runs=3)
    scan_process = timed([kestrel, "--rescan"], env=env, runs=3)
    scan_inproc = statistics.median(float(keyed(output([bm, "scan", tree], env=env))["scan_s"]) for _ in range(3))
    row("full scan, kestrel --rescan (process, saves)", scan_process, find_stat, "find -printf '%s %T@'", "<= 0.70")
    row("full scan, in process", scan_inproc, find_stat, "find -printf '%s %T@'", "<= 0.70")
    row("full scan, kestrel --rescan", scan_process, updatedb, "updatedb")
    row("find TREE (names only, no stat)", find_plain)
    load = statistics.median(float(keyed(output([bm, "load", tree], env=env))["load_s"]) for _ in range(5))
    row("start from saved index, searchable (s)", load, target="<= 0.30")

    ratios = []
    for label, ours_args, peer_args in QUERIES:
        ours = timed([kestrel] + ours_args, env=env)
        peer = timed(["plocate", "-d", db] + peer_args)
        n_ours = output([kestrel, "-c"] + ours_args, env=env).strip()
        n_peer = output(["plocate", "-d", db, "-c"] + peer_args).strip()
        ratios.append(ours / peer)
        target = "<= 1.00" + (", <= 5 ms" if peer <= 0.005 else "")
        row("query %s %r (hits %s / %s)" % (label, " ".join(ours_args), n_ours, n_peer), ours, peer,
            "plocate " + " ".join(peer_args), target)
    rows.append(("query median ratio", statistics.median(ratios), "", None, "", "<= 0.70"))

    lat = keyed(output([bm, "latency", tree, "*kernel4338*", "*report*", "*"], env=env))
    for q, (ms, hits) in lat.items():
        row("in process %r, %s records delivered (ms)" % (q, hits), float(ms),
            target="<= 10" if q != "*" else "<= 80")
    mem = keyed(output([bm, "memory", tree], env=env))
    rows.append(("resident bytes per entry, index loaded", float(mem["rss_loaded_per_entry"]), "", None, "", "<= 64"))
    rows.append(("resident bytes per entry, every record made", float(mem["rss_all_records_per_entry"]), "", None, "",
                 "<= 128"))

    live = keyed(output([bm, "live", tree], env=env))
    rows.append(("live: creation to searchable, median of 1000 (ms)", float(live["create_to_found_median_ms"]), "",
                 None, "", ""))
    rows.append(("live: creation to searchable, maximum of 1000 (ms)", float(live["create_to_found_max_ms"]), "",
                 None, "", ""))
    rows.append(("live: engine CPU over 10 s of an idle disk (ms)", float(live["idle_cpu_ms_per_10s"]), "", None, "",
                 "about 0"))
    catch = keyed(output([bm, "catchup", tree], env=env))
    rows.append(("catch-up: saved index searchable (s)", float(catch["catchup_searchable_s"]), "", None, "", ""))
    rows.append(("catch-up: 10 000 changes made while stopped found (s)", float(catch["catchup_10000_changes_s"]), "",
                 None, "", ""))

    print("%-62s %10s  %-34s %10s %6s  %s" % ("figure (seconds unless said)", "kestrel", "peer", "peer", "ratio",
                                              "target"))
    for what, ours, peer_name, peer, ratio, target in rows:
        peer_text = "" if peer is None else "%.4f" % peer
        print("%-62s %10.4f  %-34s %10s %6s  %s" % (what, ours, peer_name[:34], peer_text, ratio, target))
    shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
