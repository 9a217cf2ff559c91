#!/usr/bin/env bash
# Installs what is missing, builds, and runs the program on the bundled example structure.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh
build/bin/qlwprobe version
build/bin/qlwprobe refl examples/rutile.cif
