#!/usr/bin/env bash
# Unpacks measured-data samples written by others (the fityk package's x-y files) into the build
# folder for the tests, without installing the program. Usage: scripts/fixtures.sh [build folder]
set -euo pipefail
cd "$(dirname "$0")/.."
dest="${1:-build}/fixtures/fityk"
if [ -f "$dest/usr/share/fityk/samples/nacl01.dat" ]; then
  exit 0
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
if (cd "$tmp" && apt-get download -qq fityk >/dev/null 2>&1) && ls "$tmp"/fityk_*.deb >/dev/null 2>&1; then
  mkdir -p "$dest"
  dpkg -x "$tmp"/fityk_*.deb "$dest"
else
  echo "warning: could not download the fityk package; the tests on its data files will be skipped" >&2
fi
