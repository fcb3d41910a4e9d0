#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need, and only those missing.
# Runs apt-get as root directly, otherwise through sudo.
set -euo pipefail

packages=(
    # build
    cmake ninja-build g++ pkg-config clang-format
    libutf8proc-dev libgtest-dev libgmock-dev libbenchmark-dev
    qt6-base-dev libx11-dev libxi-dev libxml2-dev libglib2.0-dev
    # the Debian package (make deb): dpkg-shlibdeps, and file, which CPack uses to find the programs
    dpkg-dev file
    # tests under a real X server and session bus
    xvfb xauth xdotool xclip x11-apps dbus-daemon python3
    # pictures, icons and fonts the program and its screenshots use
    imagemagick fonts-dejavu-core fonts-noto-cjk adwaita-icon-theme
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "installing: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
    sudo=()
else
    sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
