#!/usr/bin/env bash
# Makes the pictures of the User's Guide and the Tutorial again (resources/docs/images) by running
# the window scripts of resources/docs/pictures through `qlwprobe ui`, offscreen. Run by hand after
# a change that alters what the windows look like; the build only lays out the PNGs kept here.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh qlwprobe qlwprobe_window >/dev/null
for script in resources/docs/pictures/*.txt; do
  env -u QLW_REGISTRY_DIR -u QLW_RUNTIME_DIR QT_QPA_PLATFORM=offscreen \
    build/bin/qlwprobe ui "$script" --shots resources/docs/images >/dev/null 2>&1 || {
    echo "doc-pictures: $script failed" >&2
    exit 1
  }
done
ls resources/docs/images
