#!/usr/bin/env bash
# Sets up, builds and tests VESTAN9 from a fresh checkout.
#   scripts/test.sh [extra cmake arguments...]
#   BUILD_DIR (default build) and BUILD_TYPE (default Release) choose the build.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

build_dir="${BUILD_DIR:-build}"
jobs="$(nproc 2>/dev/null || echo 2)"
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-Release}" "$@"
cmake --build "$build_dir" --parallel "$jobs"
ctest --test-dir "$build_dir" --output-on-failure --parallel "$jobs"
