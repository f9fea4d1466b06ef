#!/usr/bin/env bash
# Runs scripts/run.sh and scripts/test.sh, from a copy of the scripts, as on a fresh machine where
# nothing is installed yet, with stand-ins first on PATH for every tool that could install, remove
# or start something: each records its call and changes nothing. The stand-in for cmake ends each
# script at its build step, once its set-up is done. Checks that run.sh installs nothing that only
# the tests need, that neither script installs or removes a time service or starts any service,
# that apt-get installs without asking, and that test.sh brings the tests' peers: chromium
# installed, chronyd unpacked into the build folder from a package fetched where no other user can
# write. Run by root, the scripts run a second time as by an ordinary user with sudo. Also runs
# scripts/unpack-chronyd.sh with the package lists cleaned, with a fetch that brings more than the
# package, and with a chronyd replaced by a script. Usage: setup_scripts_test.sh SOURCE_DIR
set -euo pipefail
source_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The stand-in for cmake ends a script with this status: its set-up is done.
export BUILD_STEP_REACHED=99
# The scripts must set this themselves where apt-get needs it.
unset DEBIAN_FRONTEND
failures=0

Fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# Each run has a folder of its own, the copy of the scripts' tree, where the stand-ins keep their
# calls and the state of the machine they stand in for: lists-fresh once the package lists were
# updated; needs-sudo when the scripts run as an ordinary user, so that apt-get must be reached
# through sudo to change anything.
mkdir "$work/bin" "$work/bin-user"
cat >"$work/bin/stand-in" <<'END'
#!/usr/bin/env bash
tool=$(basename "$0")
run=$(dirname "$CALLS")
echo "$tool $*" >>"$CALLS"
case "$tool ${1:-}" in
"dpkg-query "*) exit 1 ;; # nothing is installed
# sudo resets the environment to its own.
"sudo "*) exec env -i PATH="$PATH" CALLS="$CALLS" SUDO_USER=ordinary "$@" ;;
"id -u") echo 1000 ;; # on PATH only for an ordinary user's run
"apt-get update" | "apt-get install")
    if [ -e "$run/needs-sudo" ] && [ -z "${SUDO_USER:-}" ]; then
        echo "E: Could not open lock file /var/lib/apt/lists/lock - open (13: Permission denied)" >&2
        exit 100
    fi
    [ "$1" = install ] || touch "$run/lists-fresh"
    [ "$1" = update ] || [ "${DEBIAN_FRONTEND:-}" = noninteractive ] || echo "$*" >>"$run/asking"
    ;;
"apt-get download")
    package=${*: -1}
    file=${package}_1.0_amd64.deb
    if [ ! -e "$run/lists-fresh" ]; then
        echo "E: Can't find a source to download version '1.0' of '$package:amd64'" >&2
        exit 100
    fi
    if [ "$2" = --print-uris ]; then
        echo "'http://deb.example/$file' $file 0 SHA256:$(sha256sum </dev/null | cut -d' ' -f1)"
        exit 0
    fi
    stat -c '%a %U' . >"$run/download-folder"
    if [ -e "$run/tampered" ]; then echo swapped >"$file"; else touch "$file"; fi
    [ ! -e "$run/decoy" ] || touch "${package}_0.9_amd64.deb"
    ;;
"dpkg-deb -x")
    # Another local user tries to swap the package before it is unpacked.
    if [ "$EUID" -eq 0 ] &&
        runuser -u nobody -- sh -c 'echo swapped >"$1.new" && mv -f "$1.new" "$1"' sh "$2" 2>/dev/null; then
        echo "$2" >>"$run/swapped"
    fi
    mkdir -p "$3/usr/sbin" && cp /bin/true "$3/usr/sbin/chronyd"
    ;;
"cmake "*) exit "$BUILD_STEP_REACHED" ;;
esac
exit 0
END
chmod +x "$work/bin/stand-in"
for tool in apt-get apt dpkg dpkg-query dpkg-deb sudo systemctl service invoke-rc.d \
    deb-systemd-invoke update-rc.d cmake; do
    ln -s stand-in "$work/bin/$tool"
done
ln -s ../bin/stand-in "$work/bin-user/id"

time_services="chrony ntp ntpsec openntpd systemd-timesyncd ntpdate ntpsec-ntpdate"
test_only="chromium python3-ntplib python3-pyftpdlib xvfb openbox trayer xdotool libgtest-dev libgmock-dev"

# The package names that one script's calls of apt-get (or apt) install, or with "remove" remove.
Packages() {
    sed -E 's/^sudo //' "$1" | awk -v kind="${2:-install}" '$1 == "apt-get" || $1 == "apt" {
        verb = ""
        for (i = 2; i <= NF; i++) {
            if ($i ~ /^-/) continue
            if (verb == "") verb = $i
            else if (kind == "install" ? verb == "install" : verb ~ /^(remove|purge|autoremove)$/) print $i
        }
    }'
}

Contains() {
    grep -qx -- "$2" <<<"$1"
}

# Makes the run folder $work/$1 (in $run) with a copy of the scripts, for the user $as.
Tree() {
    run=$work/$1
    mkdir -p "$run"
    cp -r "$source_dir/scripts" "$run/"
    touch "$run/calls"
    if [ "$as" = ordinary ] || [ "$EUID" -ne 0 ]; then touch "$run/needs-sudo"; fi
}

# Runs the copy of the script $1 in $run with the arguments that follow; its exit status in $status.
Run() {
    local path=$work/bin:$PATH
    [ "$as" = self ] || path=$work/bin-user:$path
    status=0
    CALLS=$run/calls PATH=$path JOBS=1 "$run/scripts/$1" "${@:2}" >"$run/out" 2>&1 || status=$?
}

# Checks that the package was fetched where no other user can write, and was not swapped.
CheckDownload() {
    local mode owner
    if ! read -r mode owner 2>/dev/null <"$run/download-folder"; then
        Fail "$1 does not fetch chrony's package"
        return
    fi
    if ((8#$mode & 8#022)) || { [ "$owner" != "$(id -un)" ] && [ "$owner" != _apt ]; }; then
        Fail "$1 fetches chrony's package into a folder of mode $mode owned by $owner"
    fi
    [ ! -e "$run/swapped" ] || Fail "$1: another user swapped the package before it was unpacked"
}

users=(self)
[ "$EUID" -ne 0 ] || users+=(ordinary)
for as in "${users[@]}"; do
    for script in run.sh test.sh; do
        Tree "$as-$script"
        Run "$script"
        if [ "$status" -ne "$BUILD_STEP_REACHED" ]; then
            Fail "$script ($as) ended with $status before its build step:"
            cat "$run/out" >&2
        fi
        installed=$(Packages "$run/calls")
        removed=$(Packages "$run/calls" remove)
        for package in $time_services; do
            Contains "$installed" "$package" && Fail "$script installs the time service $package"
        done
        [ -z "$removed" ] || Fail "$script removes packages: $removed"
        if grep -E '^(sudo )?(systemctl|service|invoke-rc.d|deb-systemd-invoke|update-rc.d) ' "$run/calls" >&2; then
            Fail "$script starts or changes a service"
        fi
        Contains "$installed" qt6-base-dev || Fail "$script does not install what building needs: $(cat "$run/calls")"
        [ ! -e "$run/asking" ] || Fail "$script ($as) lets apt-get ask: $(cat "$run/asking")"
        if [ "$script" = run.sh ]; then
            for package in $test_only; do
                Contains "$installed" "$package" && Fail "run.sh installs $package, which only the tests need"
            done
        else
            for package in chromium python3-ntplib locales; do
                Contains "$installed" "$package" || Fail "test.sh does not install $package, which the tests need"
            done
            grep -Eq '^(sudo )?apt-get download .*chrony$' "$run/calls" || Fail "test.sh does not fetch chrony's package"
            [ -x "$run/build/chrony/usr/sbin/chronyd" ] || Fail "test.sh does not unpack chronyd into build/"
            CheckDownload "test.sh ($as)"
        fi
    done

    # With the package lists cleaned, the fetch is refused until they are updated.
    Tree "$as-cleaned-lists"
    Run unpack-chronyd.sh build
    if [ "$status" -ne 0 ] || [ ! -x "$run/build/chrony/usr/sbin/chronyd" ]; then
        Fail "unpack-chronyd.sh ($as) with the package lists cleaned ended with $status: $(cat "$run/out")"
    fi
    CheckDownload "unpack-chronyd.sh ($as) with the package lists cleaned"
done

# Of a fetch that leaves another package beside the one named, the one named is unpacked; a fetch
# whose package differs from what the package lists say is not unpacked at all.
as=self
Tree decoy
touch "$run/lists-fresh" "$run/decoy"
Run unpack-chronyd.sh build
if [ "$status" -ne 0 ] || ! grep -Eq '^dpkg-deb -x [^ ]*/chrony_1.0_amd64.deb [^ ]+$' "$run/calls"; then
    Fail "unpack-chronyd.sh does not unpack just the package fetched: $(cat "$run/calls" "$run/out")"
fi
Tree tampered
touch "$run/lists-fresh" "$run/tampered"
Run unpack-chronyd.sh build
if [ "$status" -eq 0 ] || [ -e "$run/build/chrony" ]; then
    Fail "unpack-chronyd.sh unpacks a package that differs from what the package lists say"
fi

# A chronyd replaced by something that is not the program does not pass the library check.
Tree replaced
mkdir -p "$run/build/chrony/usr/sbin"
printf '#!/bin/sh\n' >"$run/build/chrony/usr/sbin/chronyd"
chmod +x "$run/build/chrony/usr/sbin/chronyd"
Run unpack-chronyd.sh build
[ "$status" -ne 0 ] || Fail "unpack-chronyd.sh takes a shell script for chronyd"

[ "$failures" -eq 0 ] || exit 1
[ "$EUID" -eq 0 ] || echo "Not run by root: the swap of the package by another user was not tried"
echo "run.sh and test.sh set up without touching the machine's time service"
