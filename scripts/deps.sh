#!/usr/bin/env bash
# Installs the Debian packages that the build (and, with --test, the test suite) needs and that are missing.
set -euo pipefail
pkgs=(g++ cmake ninja-build ccache pkg-config libgtest-dev qt6-base-dev qt6-svg-dev libsqlite3-dev uuid-dev)
if [ "${1:-}" = "--test" ]; then
  # Real CIFs written by others, used as test fixtures.
  pkgs+=(cif2hkl gdis-data)
fi
missing=()
for p in "${pkgs[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
