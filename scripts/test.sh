#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the whole suite, then the bounded
# random-input tests again under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=${JOBS:-$(nproc)}
export QT_QPA_PLATFORM=offscreen

BUILD_DIR=build scripts/build.sh -DORVANE_TESTS=ON
(cd build && ctest --output-on-failure --parallel "$jobs" --timeout 300)

if [ "${SKIP_SANITIZERS:-0}" != 1 ]; then
    BUILD_DIR=build-asan BUILD_TYPE=Debug scripts/build.sh -DORVANE_TESTS=ON -DORVANE_SANITIZE=ON
    (cd build-asan && ASAN_OPTIONS=detect_leaks=0 ctest --output-on-failure --parallel "$jobs" -L fuzz --timeout 600)
fi
