#!/usr/bin/env bash
# Configures (Release, Ninja) and builds into build/: the targets named, or everything (the tests
# included) when none is named. Usage: scripts/build.sh [TARGET…]
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
targets=()
for t in "$@"; do targets+=(--target "$t"); done
cmake --build build --parallel "$(nproc)" "${targets[@]}"
