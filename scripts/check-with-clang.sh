#!/usr/bin/env bash
# Runs the lock tests, then the engine and model tests, under ThreadSanitizer, and fuzzes the
# archive reader, the movie reader, the text archive readers and the movie repair for a while.
# LQ_FUZZ_SECONDS sets how long the archive fuzzer runs (default 30); the others, far smaller
# input spaces, get a third of that each.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc)

cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DLQ_TSAN_LOCK_TEST=ON -DLQ_SANITIZE=thread > /dev/null
cmake --build build/tsan -j "$jobs"
(cd build/tsan && ctest --output-on-failure)

# The engine and model tests under ThreadSanitizer. GLib, GStreamer and Qt are not instrumented:
# tests/tsan/suppressions.txt silences their internals only, so a report about our own code fails
# the run. The crash test kills child processes on purpose and is left to the plain run; so is the
# crop test, whose decoding of pictures joins threads of the video decoder's own pool that the
# sanitizer's runtime cannot follow (it stops on an internal check).
cmake -S . -B build/tsan-tests -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ -DLQ_SANITIZE=thread -DLQ_BUILD_BENCH=OFF > /dev/null
cmake --build build/tsan-tests -j "$jobs" --target test_engines_avf test_model test_engines_legacy
tsanOptions="suppressions=$PWD/tests/tsan/suppressions.txt halt_on_error=0 report_signal_unsafe=0"
for program in test_model test_engines_avf; do
    QT_QPA_PLATFORM=offscreen TSAN_OPTIONS="$tsanOptions" \
        "build/tsan-tests/tests/$program" --gtest_filter='-CrashSafety*:RecordingCropTest.*'
done
# The legacy engine's join of partial files runs on a thread of its own.
QT_QPA_PLATFORM=offscreen TSAN_OPTIONS="$tsanOptions" \
    build/tsan-tests/tests/test_engines_legacy --gtest_filter='PartialFileJoinTest.*'

cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DLQ_BUILD_FUZZ=ON -DLQ_BUILD_TESTS=OFF -DLQ_BUILD_BENCH=OFF > /dev/null
cmake --build build/fuzz -j "$jobs" --target fuzz_unarchive_events fuzz_fragmented_movie \
    fuzz_fragmented_movie_repair fuzz_text_archives fuzz_package_meta make_fuzz_seeds \
    make_text_fuzz_seeds
seeds=build/fuzz/seeds
movieSeeds=build/fuzz/movie-seeds
textSeeds=build/fuzz/text-seeds
rm -rf "$seeds" "$movieSeeds" "$textSeeds" build/fuzz/corpus build/fuzz/movie-corpus \
    build/fuzz/repair-corpus build/fuzz/text-corpus
mkdir -p "$seeds" "$movieSeeds" "$textSeeds" build/fuzz/corpus build/fuzz/movie-corpus \
    build/fuzz/repair-corpus build/fuzz/text-corpus
build/fuzz/fuzz/make_fuzz_seeds "$seeds" "$movieSeeds"
build/fuzz/fuzz/make_text_fuzz_seeds "$textSeeds"
seconds=${LQ_FUZZ_SECONDS:-30}
# Only a finding fails a run: a crash, a sanitizer report, a leak, one input running past
# -timeout, one allocation past -malloc_limit_mb, or a peak memory past -rss_limit_mb. Reading an
# input of at most -max_len bytes takes time and memory linear in its size (a few MB, well under a
# second); the limits leave room for the sanitizers' own memory (freed memory held for
# use-after-free checks counts in the peak) and a busy machine.
fuzzLimits=(-max_len=65536 -rss_limit_mb=2048 -malloc_limit_mb=512 -print_final_stats=1)
build/fuzz/fuzz/fuzz_unarchive_events -max_total_time="$seconds" -timeout=30 "${fuzzLimits[@]}" \
    -artifact_prefix=build/fuzz/ build/fuzz/corpus "$seeds"
build/fuzz/fuzz/fuzz_fragmented_movie -max_total_time=$(( (seconds + 2) / 3 )) -timeout=30 \
    "${fuzzLimits[@]}" -artifact_prefix=build/fuzz/movie- build/fuzz/movie-corpus "$movieSeeds"
build/fuzz/fuzz/fuzz_fragmented_movie_repair -max_total_time=$(( (seconds + 2) / 3 )) -timeout=30 \
    "${fuzzLimits[@]}" -artifact_prefix=build/fuzz/repair- build/fuzz/repair-corpus "$movieSeeds"
build/fuzz/fuzz/fuzz_text_archives -max_total_time=$(( (seconds + 2) / 3 )) -timeout=30 \
    "${fuzzLimits[@]}" -artifact_prefix=build/fuzz/text- build/fuzz/text-corpus "$textSeeds"
build/fuzz/fuzz/fuzz_package_meta -max_total_time=$(( (seconds + 2) / 3 )) -timeout=30 \
    "${fuzzLimits[@]}" -artifact_prefix=build/fuzz/meta- build/fuzz/text-corpus "$textSeeds"
