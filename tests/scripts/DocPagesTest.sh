#!/usr/bin/env bash
# qlwdocbuild on a document of paragraphs that run across page breaks: nothing is drawn in a
# page's top margin (where lines of the page before used to show again), and the text that a
# search or a copy sees holds each line once. Pages rendered and read with ghostscript.
set -uo pipefail
docbuild="$1"
command -v gs >/dev/null || { echo "ghostscript not installed"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
{
  echo "<html><head><title>Pages</title></head><body><h1>Pages</h1>"
  for para in $(seq 1 40); do
    printf '<p>'
    for line in $(seq 1 9); do printf 'Line%02d%d of the text<br>' "$para" "$line"; done
    echo '</p>'
  done
  echo "</body></html>"
} >"$work/doc.html"
"$docbuild" "$work/doc.html" "$work/doc.pdf" >/dev/null || { echo "FAILED: qlwdocbuild"; exit 1; }
# 40 dpi: the 18 mm top margin is 28 rows.
gs -q -dNOPAUSE -dBATCH -sDEVICE=pgmraw -r40 -sOutputFile="$work/page%02d.pgm" "$work/doc.pdf" 2>/dev/null
gs -q -dNOPAUSE -dBATCH -sDEVICE=txtwrite -sOutputFile="$work/text.txt" "$work/doc.pdf" 2>/dev/null
python3 - "$work" <<'PY'
import collections, glob, re, sys
pages = sorted(glob.glob(sys.argv[1] + "/page*.pgm"))
failures = 0
for path in pages:
    data = open(path, "rb").read()
    header = [line for line in data.split(b"\n", 4) if not line.startswith(b"#")]
    width, height = map(int, header[1].split())  # after "P5"; then the largest value, then pixels
    pixels = data[-width * height:]
    margin = pixels[: width * 26]
    if min(margin) < 200:
        print("FAILED: something drawn in the top margin of", path.rsplit("/", 1)[1])
        failures += 1
if len(pages) < 3:
    print("FAILED: expected several pages, got", len(pages))
    failures += 1
counts = collections.Counter(re.findall(r"Line\d{3}", open(sys.argv[1] + "/text.txt", encoding="utf-8", errors="replace").read()))
twice = sorted(line for line, n in counts.items() if n > 1)
if twice or len(counts) != 360:
    print("FAILED: lines in the text layer more than once:", twice[:10], "of", len(counts), "lines")
    failures += 1
if not failures:
    print("top margins clear and every line once on", len(pages), "pages")
sys.exit(1 if failures else 0)
PY
