#!/usr/bin/env bash
# Unpacks chronyd from Debian's chrony package into BUILD_DIR/chrony (default build/), where the
# tests find it to query the program's SNTP service as a real client. Unpacking installs nothing
# and starts nothing: installing chrony would remove the machine's own time service and start
# chronyd on it. The libraries chronyd needs are installed by install-deps.sh --tests.
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:-build}/chrony
chronyd=$target/usr/sbin/chronyd
if [ ! -x "$chronyd" ]; then
    download=$(mktemp -d)
    trap 'rm -rf "$download"' EXIT
    # apt-get hands the download to its unprivileged user, who must be able to write there.
    chmod 0777 "$download"
    (cd "$download" && apt-get download -qq chrony)
    rm -rf "$target"
    mkdir -p "$target"
    dpkg-deb -x "$download"/chrony_*.deb "$target"
fi
if ldd "$chronyd" | grep 'not found' >&2; then
    echo "unpack-chronyd.sh: $chronyd lacks these libraries (install-deps.sh --tests installs them)" >&2
    exit 1
fi
