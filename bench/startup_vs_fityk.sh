#!/bin/bash
# The program's start beside fityk's with the same data file, from the fork to the first window
# mapped, under Xvfb with openbox, in turn in one run (bench_firstmap).
# Usage: bench/startup_vs_fityk.sh [build folder] [runs]   (default: build, 10)
# Needs Debian's xvfb, openbox and fityk (the yardstick; nothing else uses it).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
runs=${2:-10}
data=/usr/share/fityk/samples/nacl01.dat
for need in Xvfb xdpyinfo openbox fityk "$build/bin/bench_firstmap" "$build/bin/quillonographic"; do
  command -v "$need" >/dev/null || { echo "missing: $need" >&2; exit 2; }
done
[ -r "$data" ] || { echo "missing: $data (package fityk)" >&2; exit 2; }

work=$(mktemp -d)
display=:$((90 + RANDOM % 400))
cleanup() {
  [ -n "${wm:-}" ] && kill "$wm" 2>/dev/null
  [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
Xvfb "$display" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=$display
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.05; done
openbox --sm-disable >/dev/null 2>&1 &
wm=$!
sleep 1
# Both programs keep their settings away from the user's: a registry and a home of their own,
# and a runtime folder of their own, so that no running instance of the user takes the file.
export QLW_REGISTRY_DIR=$work/registry QLW_RUNTIME_DIR=$work/runtime HOME=$work/home XDG_CONFIG_HOME=$work/home/.config
mkdir -p "$QLW_REGISTRY_DIR" "$XDG_CONFIG_HOME"
unset QLW_UPDATE_URL
uptime
"$build/bin/bench_firstmap" --runs "$runs" "$build/bin/quillonographic $data" "fityk $data"
