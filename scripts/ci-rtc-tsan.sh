#!/usr/bin/env bash
# Builds the runtime's tests with ThreadSanitizer in build-tsan and runs them (ctest -L rtc).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-tsan -G Ninja -DVOSTREL_SANITIZE=thread -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build-tsan -j2 --target test_rtc rtc_test_peer
cd build-tsan
# Peer processes inherit the options: a race in any of them ends it with exit code 66,
# which fails the test that started it.
export TSAN_OPTIONS="${TSAN_OPTIONS:-} halt_on_error=1 second_deadlock_stack=1"
ctest -L rtc --output-on-failure -j2
