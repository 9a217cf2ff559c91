#!/bin/bash
# Reads a 200,000-site P 1 CIF (written by make_large_cif.py) with `qlwprobe read` and with gemmi's
# cif2json in turn, then times the whole `qlwprobe refl` road on it: whole processes, wall time and
# peak resident memory from /usr/bin/time, each run's figures and the median.
# Usage: bench/read_vs_gemmi.sh [build folder] [runs]   (default: build, 5)
# Needs Debian's gemmi (the yardstick) and the time package.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
runs=${2:-5}
probe=$build/bin/qlwprobe
for need in gemmi /usr/bin/time "$probe"; do
  command -v "$need" >/dev/null || { echo "missing: $need" >&2; exit 2; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cif=$work/large.cif
/usr/bin/python3 "$here/make_large_cif.py" "$cif"
echo "$(basename "$cif"): $(stat -c %s "$cif") bytes; $(uptime)"

# Prints "SECONDS KILOBYTES" of one run of the command; its output is thrown away.
measure() {
  /usr/bin/time -f '%e %M' -o "$work/time" "$@" >/dev/null 2>"$work/stderr" || {
    echo "failed: $* ($(head -c 300 "$work/stderr"))" >&2
    exit 1
  }
  cat "$work/time"
}
median() { sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

: >"$work/read" ; : >"$work/gemmi"; : >"$work/refl"
measure "$probe" read "$cif" >/dev/null
measure gemmi cif2json "$cif" "$work/large.json" >/dev/null
for _ in $(seq "$runs"); do
  measure "$probe" read "$cif" >>"$work/read"
  measure gemmi cif2json "$cif" "$work/large.json" >>"$work/gemmi"
  OMP_NUM_THREADS=8 measure "$probe" refl "$cif" >>"$work/refl"
done
report() {
  local name=$1 file=$2
  printf '%-28s wall median %6.3f s (%s)   peak median %7.1f MiB\n' "$name" \
    "$(cut -d' ' -f1 "$file" | median)" "$(cut -d' ' -f1 "$file" | tr '\n' ' ' | sed 's/ $//')" \
    "$(cut -d' ' -f2 "$file" | median | awk '{print $1 / 1024}')"
}
report "qlwprobe read" "$work/read"
report "gemmi cif2json" "$work/gemmi"
report "qlwprobe refl (8 threads)" "$work/refl"
paste -d' ' "$work/read" "$work/gemmi" | awk '{t = t " " sprintf("%.2f", $1 / $3); m = m " " sprintf("%.2f", $2 / $4)}
  END {print "read / gemmi pair by pair: time" t ", peak memory" m}'
