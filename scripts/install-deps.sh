#!/usr/bin/env bash
# Installs what building, running and testing the program need on Debian 12 (as root or via sudo).
set -euo pipefail
packages=(
    build-essential cmake ninja-build pkg-config ccache libxcb1-dev
    qt6-base-dev qt6-serialport-dev libcurl4-openssl-dev libgif-dev
    libgtest-dev libgmock-dev libbenchmark-dev fonts-dejavu-core
    socat mawk python3-pyftpdlib python3-ntplib chrony xvfb openbox trayer xdotool util-linux chromium
)
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo_cmd=()
    [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
