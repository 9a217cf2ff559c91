#!/usr/bin/env bash
# Installs what is missing, builds, and runs the program on the bundled example structure; without
# a display it prints the example's reflexion list instead.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
# Only the two programs run below: the tests are built by scripts/test.sh.
bash scripts/build.sh quillonographic qlwprobe
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec build/bin/quillonographic examples/rutile.cif
fi
echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set): the program's window cannot open."
echo "The example's reflexion list instead:"
build/bin/qlwprobe version
build/bin/qlwprobe refl examples/rutile.cif
