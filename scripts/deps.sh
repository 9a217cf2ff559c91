#!/usr/bin/env bash
# Installs the Debian packages that the build (and, with --test, the test suite) needs and that are missing.
set -euo pipefail
pkgs=(g++ cmake ninja-build ccache pkg-config libgtest-dev qt6-base-dev qt6-svg-dev libsqlite3-dev uuid-dev)
# Drawing: GIF encoding (Qt writes none), the TIFF plugin, fontconfig's smoothing settings, and the
# families that Windows font names map to.
pkgs+=(libgif-dev qt6-image-formats-plugins libfontconfig-dev fonts-liberation2 fonts-dejavu-core)
# The update check's XML pull parser: irrXML, which Debian ships inside Irrlicht's development package.
pkgs+=(libirrlicht-dev)
# Sounds (the beeps and the peak tip's click) through the desktop's event sounds: libcanberra, its
# header for the build and its library and sound theme, loaded on the first sound.
pkgs+=(libcanberra-dev)
# X11's client library: the progress window and the wait cursor are shown from the threads that
# decide on them, while the user-interface thread works.
pkgs+=(libxcb1-dev)
if [ "${1:-}" = "--test" ]; then
  # Real CIFs written by others, used as test fixtures; a decimal-comma locale for the number tests;
  # the desktop's MIME and application databases that shell registration rebuilds.
  pkgs+=(cif2hkl gdis-data locales shared-mime-info desktop-file-utils)
  # Rendering printed PDF pages to check where the plot landed on the page.
  pkgs+=(ghostscript)
  # Screenshots of windows on a virtual display (by hand, not in the suite).
  pkgs+=(xvfb x11-apps x11-utils xdotool)
  # A window manager for the tests that act on the main window with real X input (its close key,
  # context menus): Xvfb and xdotool alone leave out what the window manager does.
  pkgs+=(openbox)
  # Opening a registered file the way the desktop does, and reading the clipboard from another process.
  pkgs+=(xdg-utils xclip)
  # The X server's current cursor image (XFixes), read by a helper of the real-input tests to tell
  # the wait cursor from the arrow.
  pkgs+=(libx11-dev libxfixes-dev)
fi
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
missing=()
for p in "${pkgs[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
# Another package manager (an upgrade, a software centre) may hold the package lock for a while:
# wait for it up to QLW_APT_WAIT seconds (default 600) instead of failing at once.
lock_wait="${QLW_APT_WAIT:-600}"
apt_get() {
  local waited=0 status errors
  while true; do
    status=0
    { errors=$($sudo env DEBIAN_FRONTEND=noninteractive apt-get "$@" 2>&1 1>&3 3>&-) || status=$?; } 3>&1
    if [ "$status" -eq 0 ]; then
      [ -z "$errors" ] || printf '%s\n' "$errors" >&2
      return 0
    fi
    if ! grep -qiE 'could not get lock|unable to acquire the dpkg frontend lock|unable to lock' <<<"$errors"; then
      printf '%s\n' "$errors" >&2
      return "$status"
    fi
    if [ "$waited" -ge "$lock_wait" ]; then
      printf '%s\n' "$errors" >&2
      echo "error: another package manager still holds the package lock after ${lock_wait} s; run this again once it has finished" >&2
      return "$status"
    fi
    if [ "$waited" -eq 0 ]; then
      echo "Another package manager holds the package lock; waiting for it (at most ${lock_wait} s):" >&2
      grep -iE 'lock' <<<"$errors" | head -n 1 >&2
    fi
    sleep 2
    waited=$((waited + 2))
  done
}
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  apt_get update -qq
  apt_get install -y -qq "${missing[@]}"
fi
if [ "${1:-}" = "--test" ] && ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  $sudo localedef -i de_DE -f UTF-8 de_DE.UTF-8 || echo "warning: could not generate the de_DE.UTF-8 locale" >&2
fi
