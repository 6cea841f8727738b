#!/usr/bin/env bash
# Runs the lock tests under ThreadSanitizer and fuzzes the archive reader, the movie reader and the
# movie repair for a while. LQ_FUZZ_SECONDS sets how long the archive fuzzer runs (default 30); the
# movie reader and the repair, far smaller input spaces, get a third of that each.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc)

cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DLQ_TSAN_LOCK_TEST=ON -DLQ_SANITIZE=thread > /dev/null
cmake --build build/tsan -j "$jobs"
(cd build/tsan && ctest --output-on-failure)

cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DLQ_BUILD_FUZZ=ON -DLQ_BUILD_TESTS=OFF -DLQ_BUILD_BENCH=OFF > /dev/null
cmake --build build/fuzz -j "$jobs" --target fuzz_unarchive_events fuzz_fragmented_movie \
    fuzz_fragmented_movie_repair make_fuzz_seeds
seeds=build/fuzz/seeds
movieSeeds=build/fuzz/movie-seeds
rm -rf "$seeds" "$movieSeeds" build/fuzz/corpus build/fuzz/movie-corpus build/fuzz/repair-corpus
mkdir -p "$seeds" "$movieSeeds" build/fuzz/corpus build/fuzz/movie-corpus build/fuzz/repair-corpus
build/fuzz/fuzz/make_fuzz_seeds "$seeds" "$movieSeeds"
seconds=${LQ_FUZZ_SECONDS:-30}
# A hostile index may make the store fill up to 2^24 empty entries: bounded, but slow under the
# sanitizers, hence the generous time limit per input.
build/fuzz/fuzz/fuzz_unarchive_events -max_total_time="$seconds" -rss_limit_mb=2048 \
    -timeout=60 -artifact_prefix=build/fuzz/ -print_final_stats=1 build/fuzz/corpus "$seeds"
build/fuzz/fuzz/fuzz_fragmented_movie -max_total_time=$(( (seconds + 2) / 3 )) -rss_limit_mb=2048 \
    -timeout=10 -artifact_prefix=build/fuzz/movie- -print_final_stats=1 build/fuzz/movie-corpus \
    "$movieSeeds"
build/fuzz/fuzz/fuzz_fragmented_movie_repair -max_total_time=$(( (seconds + 2) / 3 )) \
    -rss_limit_mb=2048 -timeout=10 -artifact_prefix=build/fuzz/repair- -print_final_stats=1 \
    build/fuzz/repair-corpus "$movieSeeds"
