#!/usr/bin/env bash
# Installs what is missing on Debian 12 (as root or via sudo): what building and running the
# program need and, with --tests, what the tests need besides. Neither list holds or pulls in a
# time service, which would replace the machine's own: the tests' chronyd is unpacked into the
# build folder (scripts/unpack-chronyd.sh), and only the libraries it needs are installed here.
set -euo pipefail
build_and_run_packages=(
    build-essential cmake ninja-build ccache qt6-base-dev qt6-serialport-dev libcurl4-openssl-dev
    libgif-dev fonts-dejavu-core
)
# dbus-x11 gives chromium's libraries the session bus they ask for; without it apt picks one that
# brings the system bus, a service of the machine. locales holds the locale sources a test builds
# its own German locale from; installing it generates no locale and sets none.
test_packages=(
    pkg-config libxcb1-dev libgtest-dev libgmock-dev libbenchmark-dev socat mawk python3-pyftpdlib
    python3-ntplib xvfb openbox trayer xdotool util-linux chromium dbus-x11 locales
    libcap2 libgnutls30 libnettle8 libseccomp2
)
packages=("${build_and_run_packages[@]}")
case "${1:-}" in
"") ;;
--tests) packages+=("${test_packages[@]}") ;;
*)
    echo "usage: $0 [--tests]" >&2
    exit 2
    ;;
esac
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    # sudo resets the environment: the setting reaches apt-get through env, after sudo.
    apt_get=(env DEBIAN_FRONTEND=noninteractive apt-get)
    [ "$(id -u)" -eq 0 ] || apt_get=(sudo "${apt_get[@]}")
    "${apt_get[@]}" update -qq
    "${apt_get[@]}" install -y -qq --no-install-recommends "${missing[@]}"
fi
