#!/usr/bin/env bash
# Runs the lock tests under ThreadSanitizer and fuzzes the archive reader for a while.
# LQ_FUZZ_SECONDS sets how long the fuzzer runs (default 30).
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc)

cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DLQ_TSAN_LOCK_TEST=ON -DLQ_SANITIZE=thread > /dev/null
cmake --build build/tsan -j "$jobs"
(cd build/tsan && ctest --output-on-failure)

cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DLQ_BUILD_FUZZ=ON -DLQ_BUILD_TESTS=OFF -DLQ_BUILD_BENCH=OFF > /dev/null
cmake --build build/fuzz -j "$jobs" --target fuzz_unarchive_events make_fuzz_seeds
seeds=build/fuzz/seeds
rm -rf "$seeds" build/fuzz/corpus
mkdir -p "$seeds" build/fuzz/corpus
build/fuzz/fuzz/make_fuzz_seeds "$seeds"
# A hostile index may make the store fill up to 2^24 empty entries: bounded, but slow under the
# sanitizers, hence the generous time limit per input.
build/fuzz/fuzz/fuzz_unarchive_events -max_total_time="${LQ_FUZZ_SECONDS:-30}" -rss_limit_mb=2048 \
    -timeout=60 -artifact_prefix=build/fuzz/ -print_final_stats=1 build/fuzz/corpus "$seeds"
