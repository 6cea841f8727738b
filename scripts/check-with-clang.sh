#!/usr/bin/env bash
# Runs the lock tests, then the engine and model tests, under ThreadSanitizer, and fuzzes the
# archive reader and the movie reader for a while. LQ_FUZZ_SECONDS sets how long the archive
# fuzzer runs (default 30); the movie reader, a far smaller input space, gets a third of that.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc)

cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DLQ_TSAN_LOCK_TEST=ON -DLQ_SANITIZE=thread > /dev/null
cmake --build build/tsan -j "$jobs"
(cd build/tsan && ctest --output-on-failure)

# The engine and model tests under ThreadSanitizer. GLib, GStreamer and Qt are not instrumented:
# tests/tsan/suppressions.txt silences their internals only, so a report about our own code fails
# the run. The crash test kills child processes on purpose and is left to the plain run.
cmake -S . -B build/tsan-tests -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ -DLQ_SANITIZE=thread -DLQ_BUILD_BENCH=OFF > /dev/null
cmake --build build/tsan-tests -j "$jobs" --target test_engines_avf test_model
for program in test_model test_engines_avf; do
    QT_QPA_PLATFORM=offscreen \
        TSAN_OPTIONS="suppressions=$PWD/tests/tsan/suppressions.txt halt_on_error=0 report_signal_unsafe=0" \
        "build/tsan-tests/tests/$program" --gtest_filter='-CrashSafety*'
done

cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DLQ_BUILD_FUZZ=ON -DLQ_BUILD_TESTS=OFF -DLQ_BUILD_BENCH=OFF > /dev/null
cmake --build build/fuzz -j "$jobs" --target fuzz_unarchive_events fuzz_fragmented_movie \
    make_fuzz_seeds
seeds=build/fuzz/seeds
movieSeeds=build/fuzz/movie-seeds
rm -rf "$seeds" "$movieSeeds" build/fuzz/corpus build/fuzz/movie-corpus
mkdir -p "$seeds" "$movieSeeds" build/fuzz/corpus build/fuzz/movie-corpus
build/fuzz/fuzz/make_fuzz_seeds "$seeds" "$movieSeeds"
seconds=${LQ_FUZZ_SECONDS:-30}
# A hostile index may make the store fill up to 2^24 empty entries: bounded, but slow under the
# sanitizers, hence the generous time limit per input.
build/fuzz/fuzz/fuzz_unarchive_events -max_total_time="$seconds" -rss_limit_mb=2048 \
    -timeout=60 -artifact_prefix=build/fuzz/ -print_final_stats=1 build/fuzz/corpus "$seeds"
build/fuzz/fuzz/fuzz_fragmented_movie -max_total_time=$(( (seconds + 2) / 3 )) -rss_limit_mb=2048 \
    -timeout=10 -artifact_prefix=build/fuzz/movie- -print_final_stats=1 build/fuzz/movie-corpus \
    "$movieSeeds"
