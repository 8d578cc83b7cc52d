#!/usr/bin/env bash
# Builds the runtime's tests with ThreadSanitizer in build-tsan and runs them (ctest -L rtc).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-tsan -G Ninja -DVOSTREL_SANITIZE=thread -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build-tsan -j2 --target test_rtc rtc_test_peer
cd build-tsan
# omniORB itself is not built with TSan; its internal locking is invisible to the
# sanitizer, so reports whose every frame is inside omniORB are suppressed.
export TSAN_OPTIONS="${TSAN_OPTIONS:-} halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/../tests/rtc/tsan.supp"
ctest -L rtc --output-on-failure -j2
