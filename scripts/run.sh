#!/usr/bin/env bash
# Installs what is missing, builds and starts the program. With no port named (ORVANE_PORT), a
# receiver simulator is started on a pseudo-terminal and the program is pointed at it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
BUILD_DIR=build scripts/build.sh -DORVANE_TESTS=OFF
exec build/orvane "$@"
