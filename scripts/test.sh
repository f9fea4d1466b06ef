#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the whole suite, then the whole suite
# again built with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=${JOBS:-$(nproc)}
export QT_QPA_PLATFORM=offscreen

BUILD_DIR=build scripts/build.sh -DORVANE_TESTS=ON
(cd build && ctest --output-on-failure --parallel "$jobs" --timeout 300)

if [ "${SKIP_SANITIZERS:-0}" != 1 ]; then
    BUILD_DIR=build-asan BUILD_TYPE=Debug scripts/build.sh -DORVANE_TESTS=ON -DORVANE_SANITIZE=ON
    # Leak reports are off: Qt's process-wide caches read as leaks at exit.
    (cd build-asan && ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
        ctest --output-on-failure --parallel "$jobs" --timeout 600)
fi
