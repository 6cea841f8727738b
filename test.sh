#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test. Exits non-zero on any failure.
# LQ_SANITIZE=address,undefined ./test.sh builds the tests with those sanitizers.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh

jobs=$(nproc)
build_dir=build/test
sanitize=${LQ_SANITIZE:-}
if [ -n "$sanitize" ]; then
    build_dir="build/test-${sanitize//,/-}"
fi

cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLQ_WERROR=ON \
    -DLQ_SANITIZE="$sanitize" > /dev/null
cmake --build "$build_dir" -j "$jobs"

# The lock under ThreadSanitizer and the archive reader under the fuzzer need clang.
if command -v clang++ > /dev/null; then
    scripts/check-with-clang.sh
fi

# Last, so that its summary closes the output.
export QT_QPA_PLATFORM=offscreen
(cd "$build_dir" && ctest -j "$jobs" --output-on-failure)
