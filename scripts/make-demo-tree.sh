#!/usr/bin/env bash
# Makes a small tree of files for demonstrations and screenshots: scripts/make-demo-tree.sh FOLDER
set -euo pipefail
root=$1
mkdir -p "$root"
cd "$root"
files=(
    "Documents/Reports/annual-report-2025.pdf:153600"
    "Documents/Reports/annual-report-2024.pdf:141312"
    "Documents/Reports/quarterly-report-q3.odt:48210"
    "Documents/report-notes.txt:2210"
    "Documents/Letters/cover-letter.odt:18400"
    "Music/Albums/report-from-the-road.mp3:5242880"
    "Music/Albums/morning-report.flac:31457280"
    "Music/Live/evening-session.wav:10485760"
    "Pictures/Holiday/report-cover.png:512000"
    "Pictures/Holiday/beach.jpg:2048000"
    "Videos/report-presentation.mp4:73400320"
    "Projects/kestrel/report.cpp:3500"
    "Projects/kestrel/report.h:900"
    "Projects/kestrel/README.md:4200"
    "Projects/weather-report/forecast.py:1800"
)
for entry in "${files[@]}"; do
    path=${entry%%:*}
    size=${entry##*:}
    mkdir -p "$(dirname "$path")"
    truncate -s "$size" "$path"
done
mkdir -p .local/share/applications
printf '[Desktop Entry]\nType=Application\nName=Report Viewer\nExec=true\n' >.local/share/applications/report-viewer.desktop
# Spread the dates over the last months.
i=0
for entry in "${files[@]}"; do
    touch -d "-$((i * 9 + 2)) days -$((i * 37)) minutes" "${entry%%:*}"
    i=$((i + 1))
done
