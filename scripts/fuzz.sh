#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan, the code under test instrumented for
# coverage) and runs each for SECONDS: the environment loader and the in-port sample decoder.
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]   (targets: field_data port_sample)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(field_data port_sample)
CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVOSTREL_TESTS=OFF -DVOSTREL_BENCH=OFF -DVOSTREL_FUZZ=ON -DVOSTREL_SANITIZE=address,undefined >/dev/null
for t in "${targets[@]}"; do
  cmake --build build-fuzz --target "fuzz_$t" -j2
done
for t in "${targets[@]}"; do
  echo "== fuzz_$t, $seconds s =="
  mkdir -p "build-fuzz/corpus/$t"
  case $t in
    field_data) options=(-max_len=4096) ;;
    # A forged length that reached an allocator would pass the malloc limit: a crash.
    *) options=(-max_len=65536 -malloc_limit_mb=64) ;;
  esac
  "build-fuzz/fuzz/fuzz_$t" -max_total_time="$seconds" "${options[@]}" -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 "build-fuzz/corpus/$t" "fuzz/corpus/$t"
done
