#!/usr/bin/env bash
# Builds the loader fuzzer with clang (ASan + UBSan) and runs it. Usage: scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVOSTREL_TESTS=OFF -DVOSTREL_BENCH=OFF -DVOSTREL_FUZZ=ON -DVOSTREL_SANITIZE=address,undefined >/dev/null
cmake --build build-fuzz --target fuzz_field_data -j2
mkdir -p build-fuzz/corpus
build-fuzz/fuzz/fuzz_field_data -max_total_time="$seconds" -max_len=4096 -timeout=10 \
  -rss_limit_mb=2048 -print_final_stats=1 build-fuzz/corpus fuzz/corpus/field_data
