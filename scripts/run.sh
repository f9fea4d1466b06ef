#!/usr/bin/env bash
# Installs what building and running the program need and is missing (nothing that only the tests
# need), builds and starts the program. The receiver's port is ORVANE_PORT or the first argument
# when it is not an option; with neither, a simulated receiver (the Jackson Labs family, or
# ORVANE_SIM_FAMILY: jackson, hp, datum, uccm, proteus) is started on a pseudo-terminal, the
# program is pointed at it, and the simulator is stopped when the program ends.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
BUILD_DIR=build scripts/build.sh -DORVANE_TESTS=OFF

port=${ORVANE_PORT:-}
if [ $# -gt 0 ] && [ "${1#-}" = "$1" ]; then
    port=$1
    shift
fi
if [ -n "$port" ]; then
    exec build/orvane --port "$port" "$@"
fi

family=${ORVANE_SIM_FAMILY:-jackson}
link="${TMPDIR:-/tmp}/orvane-sim-$family"
build/simulator/orvane-sim --family "$family" --link "$link" >/dev/null &
sim_pid=$!
trap 'kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true' EXIT
for _ in $(seq 50); do
    [ -L "$link" ] && break
    kill -0 "$sim_pid" 2>/dev/null || { echo "run.sh: the receiver simulator did not start" >&2; exit 1; }
    sleep 0.1
done
echo "Receiver simulator ($family) on $link"
build/orvane --port "$link" "$@"
