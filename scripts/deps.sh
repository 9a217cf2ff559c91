#!/usr/bin/env bash
# Installs the Debian packages that the build (and, with --test, the test suite) needs and that are missing.
set -euo pipefail
pkgs=(g++ cmake ninja-build ccache pkg-config libgtest-dev qt6-base-dev qt6-svg-dev libsqlite3-dev uuid-dev)
# Drawing: GIF encoding (Qt writes none), the TIFF plugin, fontconfig's smoothing settings, and the
# families that Windows font names map to.
pkgs+=(libgif-dev qt6-image-formats-plugins libfontconfig-dev fonts-liberation2 fonts-dejavu-core)
if [ "${1:-}" = "--test" ]; then
  # Real CIFs written by others, used as test fixtures; a decimal-comma locale for the number tests;
  # the desktop's MIME and application databases that shell registration rebuilds.
  pkgs+=(cif2hkl gdis-data locales shared-mime-info desktop-file-utils)
  # Rendering printed PDF pages to check where the plot landed on the page.
  pkgs+=(ghostscript)
  # Screenshots of windows on a virtual display (by hand, not in the suite).
  pkgs+=(xvfb x11-apps xdotool)
fi
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
missing=()
for p in "${pkgs[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi
if [ "${1:-}" = "--test" ] && ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  $sudo localedef -i de_DE -f UTF-8 de_DE.UTF-8 || echo "warning: could not generate the de_DE.UTF-8 locale" >&2
fi
