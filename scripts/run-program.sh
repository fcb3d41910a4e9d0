#!/usr/bin/env bash
# Starts the window program of a build tree. With a display it simply runs there. Without one it
# starts the program on a virtual display (Xvfb) over a small demo tree, types a sample search, writes
# a screenshot and ends the program again.
#   scripts/run-program.sh [build] [search text] [screenshot]
set -euo pipefail
build=${1:-build}
query=${2:-report}
shot=${3:-$build/kestrelfind-screenshot.png}
program=$build/bin/kestrelfind

if [ -n "${DISPLAY:-}" ]; then
    exec "$program"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/runtime" "$work/config" "$work/cache"
chmod 700 "$work/runtime"
demo=$work/demo
bash "$(dirname "$0")/make-demo-tree.sh" "$demo"

export XDG_RUNTIME_DIR=$work/runtime XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache
export XDG_DATA_HOME=$demo/.local/share KESTRELFIND_ROOTS=$demo

cat >"$work/session.sh" <<SESSION
#!/usr/bin/env bash
set -u
"$program" & pid=\$!
for _ in \$(seq 100); do
    xdotool search --onlyvisible --name '^Kestrel Find\$' >/dev/null 2>&1 && break
    sleep 0.1
done
sleep 1
xdotool type --delay 60 "$query"
sleep 2
import -window root "$shot"
kill \$pid
wait \$pid 2>/dev/null || true
SESSION
chmod +x "$work/session.sh"
xvfb-run -a -s "-screen 0 1280x800x24 -nolisten tcp" dbus-run-session -- "$work/session.sh" 2>/dev/null
echo "No DISPLAY: ran kestrelfind on a virtual display, searched for '$query' over a demo tree."
echo "Screenshot: $shot"
