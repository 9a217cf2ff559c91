#!/usr/bin/env bash
# Makes the tutorial's measured-looking pattern, examples/rutile-anatase-measured.dat, again: the
# computed 70 : 30 (by weight) rutile–anatase mixture from 10° to 80° 2θ in steps of 0.02°, 14 counts
# per unit of intensity, on a background falling as 120 + 900·exp(−(2θ − 10°)/9°), with counting
# noise (normal with the variance of the counts, from a fixed seed, so that the file comes out the
# same each time). Run by hand after a change that alters the mixture's computed pattern.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh qlwprobe qlwprobe_window >/dev/null
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
QLW_QUIET=1 build/bin/qlwprobe mix "$tmp/mix.txt" examples/rutile.cif:0.7 examples/anatase-TiO2.cif:0.3
python3 - "$tmp/mix.txt" examples/rutile-anatase-measured.dat <<'EOF'
import math
import random
import sys

# The mixture's profile lies on a grid of 0.0025°: every 0.02° step is one of its points.
profile = {}
for line in open(sys.argv[1]):
    x, y = line.split()
    profile[round(float(x) * 400)] = float(y)
noise = random.Random(45)
with open(sys.argv[2], "w") as out:
    for i in range(3501):
        x = 10.0 + i * 0.02
        expected = 120.0 + 900.0 * math.exp(-(x - 10.0) / 9.0) + 14.0 * profile[round(x * 400)]
        counts = max(0, round(noise.gauss(expected, math.sqrt(expected))))
        out.write(f"{x:.2f} {counts}\n")
EOF
echo "wrote examples/rutile-anatase-measured.dat"
