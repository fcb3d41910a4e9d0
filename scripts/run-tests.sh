#!/usr/bin/env bash
# Runs every test of a build tree inside its own X display and D-Bus session, with a private runtime
# folder, so that window tests see a real X server and a real session bus.
set -euo pipefail
build=${1:-build}
runtime=$(mktemp -d)
chmod 700 "$runtime"
trap 'rm -rf "$runtime"' EXIT
export XDG_RUNTIME_DIR=$runtime
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
xvfb-run -a -s "-screen 0 1280x800x24 -nolisten tcp" \
    dbus-run-session -- ctest --test-dir "$build" --output-on-failure -j "$(nproc)" --timeout 300
