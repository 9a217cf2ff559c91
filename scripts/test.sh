#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh --test
bash scripts/build.sh
bash scripts/fixtures.sh build
ctest --test-dir build --output-on-failure --no-tests=error --parallel "$(nproc)" --timeout 600
