#!/usr/bin/env bash
# Builds the whole test suite with ThreadSanitizer in build-tsan and runs it. Optimised
# (with debug information): an unoptimised build made the process-starting tests several
# times slower for no better reports.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-tsan -G Ninja -DVOSTREL_SANITIZE=thread -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVOSTREL_BENCH=OFF "$@" >/dev/null
cmake --build build-tsan -j2
cd build-tsan
# Peer processes inherit the options: a race in any of them ends it with exit code 66,
# which fails the test that started it.
export TSAN_OPTIONS="${TSAN_OPTIONS:-} halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/../scripts/tsan.supp"
# OpenCV's own thread pool synchronises inside the uninstrumented library, which the
# sanitizer cannot see; its loops run in the calling thread instead.
export OPENCV_FOR_THREADS_NUM=1
ctest --output-on-failure -j2 --timeout 1500
