#!/usr/bin/env bash
# Unpacks chronyd from Debian's chrony package into BUILD_DIR/chrony (default build/), where the
# tests find it to query the program's SNTP service as a real client. Unpacking installs nothing
# and starts nothing: installing chrony would remove the machine's own time service and start
# chronyd on it. The libraries chronyd needs are installed by install-deps.sh --tests.
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:-build}/chrony
chronyd=$target/usr/sbin/chronyd
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
if [ ! -x "$chronyd" ]; then
    # The package is fetched into a folder no other user can write, so that nobody can swap it
    # before it is checked and unpacked. apt-get run by root fetches as its own user _apt: the
    # folder is lent to _apt for the fetch (kept in a folder of root's alone, _apt could not reach
    # it and apt would fetch as root, its network code unsandboxed) and taken back before the check.
    download=$(mktemp -d)
    trap 'rm -rf "$download"' EXIT
    fetcher=
    [ ${#as_root[@]} -eq 0 ] && getent passwd _apt >/dev/null && fetcher=_apt
    [ -z "$fetcher" ] || chown "$fetcher" "$download"
    # Lists the package's file name and checksum as the package lists give them, and fetches it.
    Fetch() {
        listed=$(apt-get download --print-uris chrony) && (cd "$download" && apt-get download -qq chrony)
    }
    # apt-get refuses the package when the lists are missing (cleaned, as on CI images) or stale
    # (the mirror has moved past their version): they are updated, once.
    if ! Fetch; then
        echo "unpack-chronyd.sh: updating the package lists and fetching chrony's package again" >&2
        find "$download" -mindepth 1 -delete
        # env after sudo: sudo resets the environment.
        "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
        Fetch
    fi
    [ -z "$fetcher" ] || chown root "$download"
    # Exactly the file apt-get named is taken, and only if it is what the package lists say.
    read -r _ package _ checksum <<<"$listed"
    if ! [[ $package =~ ^chrony_[^/]+\.deb$ && $checksum == SHA256:* ]] ||
        ! sha256sum --check --status <<<"${checksum#SHA256:}  $download/$package"; then
        echo "unpack-chronyd.sh: the fetched package is not chrony's as the package lists give it:" \
            "$listed" >&2
        exit 1
    fi
    rm -rf "$target"
    mkdir -p "$target"
    dpkg-deb -x "$download/$package" "$target"
fi
if ! libraries=$(ldd "$chronyd"); then
    echo "unpack-chronyd.sh: $chronyd is not a dynamically linked program as chrony's is" >&2
    exit 1
fi
if grep 'not found' <<<"$libraries" >&2; then
    echo "unpack-chronyd.sh: $chronyd lacks these libraries (install-deps.sh --tests installs them)" >&2
    exit 1
fi
