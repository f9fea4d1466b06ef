#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the whole suite, then the whole suite
# again built with AddressSanitizer and UndefinedBehaviorSanitizer. chronyd, which some tests
# run, is unpacked into each build folder, not installed.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --tests
jobs=${JOBS:-$(nproc)}
export QT_QPA_PLATFORM=offscreen

# ctest says only "Skipped"; each skipped test's reason is in its output, kept in the run's log.
SkipReasons() {
    awk '/^\[ RUN      \] / { test = $4 }
        /: Skipped$/ { reason = ""; skipping = 1; next }
        skipping && /^\[  SKIPPED \] / {
            if (!shown++) print "Skipped, and why:"
            print "  " test ": " reason
            skipping = 0
            next
        }
        skipping { reason = reason (reason == "" ? "" : " ") $0 }' "$1/Testing/Temporary/LastTest.log"
}

scripts/unpack-chronyd.sh build
BUILD_DIR=build scripts/build.sh -DORVANE_TESTS=ON
(cd build && ctest --output-on-failure --parallel "$jobs" --timeout 300)
SkipReasons build

if [ "${SKIP_SANITIZERS:-0}" != 1 ]; then
    scripts/unpack-chronyd.sh build-asan
    BUILD_DIR=build-asan BUILD_TYPE=Debug scripts/build.sh -DORVANE_TESTS=ON -DORVANE_SANITIZE=ON
    # Leak reports are off: Qt's process-wide caches read as leaks at exit.
    (cd build-asan && ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
        ctest --output-on-failure --parallel "$jobs" --timeout 600)
    SkipReasons build-asan
fi
