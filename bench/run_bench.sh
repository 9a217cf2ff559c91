#!/bin/sh
# Runs the engine benchmark and cctbx's direct summation side by side on 1 and 8 threads.
# Usage: bench/run_bench.sh [build folder]   (default: build)
set -e
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
bench=$build/bin/bench_engine
structure=$(mktemp)
trap 'rm -f "$structure" "$structure.engine" "$structure.cctbx"' EXIT
"$bench" --write-structure "$structure"
for threads in 1 8; do
  echo "== OMP_NUM_THREADS=$threads"
  OMP_NUM_THREADS=$threads "$bench" | tee "$structure.engine"
  if /usr/bin/python3 -c "import cctbx" 2>/dev/null; then
    OMP_NUM_THREADS=$threads /usr/bin/python3 "$here/cctbx_sf.py" "$structure" | tee "$structure.cctbx"
    chain=$(awk '/^whole chain/ {print $4}' "$structure.engine")
    loop=$(awk '/^structure factors \+ intensities/ {print $NF}' "$structure.engine")
    cctbx=$(awk '/direct sum/ {print $5}' "$structure.cctbx")
    awk -v e="$chain" -v l="$loop" -v c="$cctbx" 'BEGIN {
      printf "cctbx direct / engine whole chain          %.2f\n", c / e
      printf "cctbx direct / engine structure-factor loop %.2f\n", c / l }'
  else
    echo "python3-cctbx is not installed: no comparison"
  fi
done
