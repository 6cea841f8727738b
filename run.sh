#!/usr/bin/env bash
# Installs what is missing, builds Luma Quill and starts it.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLQ_BUILD_TESTS=OFF \
    -DLQ_BUILD_BENCH=OFF > /dev/null
cmake --build build/release --target lumaquill
exec build/release/src/app/lumaquill "$@"
