#!/usr/bin/env bash
# Runs scripts/run.sh and scripts/test.sh, from a copy of the scripts, as on a fresh machine where
# nothing is installed yet, with stand-ins first on PATH for every tool that could install, remove
# or start something: each records its call and changes nothing. The stand-in for cmake ends each
# script at its build step, once its set-up is done. Checks that run.sh installs nothing that only
# the tests need, that neither script installs or removes a time service or starts any service,
# and that test.sh brings the tests' peers: chromium installed, chronyd unpacked into the build
# folder. Usage: setup_scripts_test.sh SOURCE_DIR
set -euo pipefail
source_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The stand-in for cmake ends a script with this status: its set-up is done.
export BUILD_STEP_REACHED=99
failures=0

Fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

mkdir "$work/bin"
cat >"$work/bin/stand-in" <<'END'
#!/usr/bin/env bash
tool=$(basename "$0")
echo "$tool $*" >>"$CALLS"
case "$tool ${1:-}" in
"dpkg-query "*) exit 1 ;; # nothing is installed
"sudo "*) exec "$@" ;;
"apt-get download") touch "${*: -1}_1.0_amd64.deb" ;;
"dpkg-deb -x") mkdir -p "$3/usr/sbin" && cp /bin/true "$3/usr/sbin/chronyd" ;;
"cmake "*) exit "$BUILD_STEP_REACHED" ;;
esac
exit 0
END
chmod +x "$work/bin/stand-in"
for tool in apt-get apt dpkg dpkg-query dpkg-deb sudo systemctl service invoke-rc.d \
    deb-systemd-invoke update-rc.d cmake; do
    ln -s stand-in "$work/bin/$tool"
done

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

for script in run.sh test.sh; do
    tree=$work/tree-$script
    mkdir -p "$tree"
    cp -r "$source_dir/scripts" "$tree/"
    calls=$work/calls-$script
    touch "$calls"
    status=0
    CALLS=$calls PATH="$work/bin:$PATH" JOBS=1 "$tree/scripts/$script" >"$work/out-$script" 2>&1 || status=$?
    if [ "$status" -ne "$BUILD_STEP_REACHED" ]; then
        Fail "$script ended with $status before its build step:"
        cat "$work/out-$script" >&2
    fi
    installed=$(Packages "$calls")
    removed=$(Packages "$calls" remove)
    for package in $time_services; do
        Contains "$installed" "$package" && Fail "$script installs the time service $package"
    done
    [ -z "$removed" ] || Fail "$script removes packages: $removed"
    if grep -E '^(sudo )?(systemctl|service|invoke-rc.d|deb-systemd-invoke|update-rc.d) ' "$calls" >&2; then
        Fail "$script starts or changes a service"
    fi
    Contains "$installed" qt6-base-dev || Fail "$script does not install what building needs: $(cat "$calls")"
    if [ "$script" = run.sh ]; then
        for package in $test_only; do
            Contains "$installed" "$package" && Fail "run.sh installs $package, which only the tests need"
        done
    else
        for package in chromium python3-ntplib locales; do
            Contains "$installed" "$package" || Fail "test.sh does not install $package, which the tests need"
        done
        grep -Eq '^(sudo )?apt-get download .*chrony$' "$calls" || Fail "test.sh does not fetch chrony's package"
        [ -x "$tree/build/chrony/usr/sbin/chronyd" ] || Fail "test.sh does not unpack chronyd into build/"
    fi
done
[ "$failures" -eq 0 ] || exit 1
echo "run.sh and test.sh set up without touching the machine's time service"
