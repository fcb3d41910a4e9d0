#!/usr/bin/env bash
# make bench: the benchmark table (needs plocate and find; the tree is made on tmpfs when missing).
set -euo pipefail
cd "$(dirname "$0")/.."
command -v plocate >/dev/null || { echo "installing plocate for the comparison"; \
    if [ "$(id -u)" -eq 0 ]; then apt-get install -y -qq plocate; else sudo apt-get install -y -qq plocate; fi; }
exec python3 bench/run.py "${1:-build}" "${BENCH_TREE:-/dev/shm/kestrel-bench/tree}"
