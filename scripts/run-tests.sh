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
# The program checks for updates at start: in tests it asks a port on this machine where nothing
# listens, so no test ever talks to the outside (tests of the check start their own server).
export KESTRELFIND_SITE_URL=${KESTRELFIND_SITE_URL:-http://127.0.0.1:9/}
# A tree where only some programs were built: KESTREL_TEST_PROGRAMS names them, and only the tests they
# run are selected. KESTREL_TEST_EXCLUDE is a ctest -E expression of tests to leave out.
select=()
if [[ -n ${KESTREL_TEST_PROGRAMS:-} ]]; then
    names=$(ctest --test-dir "$build" --show-only=json-v1 | python3 -c '
import json, os, re, sys
programs = set(sys.argv[1].split())
tests = json.load(sys.stdin)["tests"]
print("|".join("^" + re.escape(t["name"]) + "$" for t in tests
               if t.get("command") and os.path.basename(t["command"][0]) in programs))
' "$KESTREL_TEST_PROGRAMS")
    if [[ -z $names ]]; then
        echo "run-tests.sh: no tests found for: $KESTREL_TEST_PROGRAMS" >&2
        exit 1
    fi
    select+=(-R "$names")
fi
if [[ -n ${KESTREL_TEST_EXCLUDE:-} ]]; then
    select+=(-E "$KESTREL_TEST_EXCLUDE")
fi
xvfb-run -a -s "-screen 0 1280x800x24 -nolisten tcp" \
    dbus-run-session -- ctest --test-dir "$build" --output-on-failure -j "$(nproc)" --timeout 300 "${select[@]}"
