#!/usr/bin/env bash
# Wall time and peak memory of the main job (a -X6 run with its verify
# report, interference report and cut model) on the bundled example and on
# a generated 35,000-move 3-axis program cut with a D2 ball end mill at work
# pitch 0.2 and 0.365 mm. Usage: scripts/bench-batch.sh [build folder]
# Each case runs in a fresh folder under /tmp; the figures come from
# /usr/bin/time -v. The cut model's size is printed so that a run that did
# not cut shows at once.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
program="$build/vestan9"
[ -x "$program" ] || { echo "no $program: build first" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time is needed (package time)" >&2; exit 2; }

work=$(mktemp -d /tmp/vestan-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT

# A 100 x 100 raster over a gently waving surface, 175 lines of 200 moves,
# on the top of the stock fitted to the program (G54 at its front left top corner).
generate() {
  awk 'BEGIN {
    print "%"; print "O2000 (GENERATED 35000-MOVE 3-AXIS RASTER, T8 BALL D2)";
    print "G90 G17 G21 G40 G49 G80"; print "T8 M6";
    print "G54 G00 Z50."; print "X0. Y0. S12000 M03"; print "G43 H8 Z10.";
    lines = 175; moves = 200;
    for (j = 0; j < lines; j++) {
      y = j * 100.0 / (lines - 1);
      for (i = 0; i <= moves; i++) {
        k = (j % 2 == 0) ? i : moves - i;
        x = k * 100.0 / moves;
        z = -1.0 - 0.5 * sin(x / 10.0) * cos(y / 10.0);
        if (i == 0) {
          printf "G00 X%.3f Y%.3f\nG01 Z%.3f F2000\n", x, y, z;
        } else {
          printf "X%.3f Z%.3f\n", x, z;
        }
      }
      print "G00 Z10.";
    }
    print "M30"; print "%";
  }'
}

# One case: name, NC program, work pitch.
run_case() {
  local name=$1 nc=$2 pitch=$3
  local dir="$work/$name"
  mkdir -p "$dir"
  cp "$here"/data/* "$dir"/
  printf 'MAGAZINE 8 BALL 2,8 "BALL END MILL R1"\nLENGTH 40\nPEN 2\n' >>"$dir/atc.ttl"
  [ -f "$nc" ] && cp "$nc" "$dir/"
  local start
  start=$(date +%s.%N)
  set +e
  (cd "$dir" && /usr/bin/time -v "$program" "-P($pitch,$pitch)" \
      "$(basename "$nc")" -X6 -V -O cut.dme >out.txt 2>time.txt)
  local code=$?
  set -e
  local end
  end=$(date +%s.%N)
  local rss
  rss=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$dir/time.txt")
  printf '%-28s pitch %-6s exit %-3s wall %7.2f s  peak %7.1f MiB  cut.dme %s bytes  reports: %s\n' \
    "$name" "$pitch" "$code" "$(echo "$end - $start" | bc)" "$(echo "scale=1; $rss / 1024" | bc)" \
    "$(stat -c %s "$dir/cut.dme" 2>/dev/null || echo none)" \
    "$(cd "$dir" && ls verify*.txt interference*.txt 2>/dev/null | tr '\n' ' ')"
}

generate >"$work/raster35k.nc"
run_case example "$here/data/example.nc" 1.0
run_case example-0.2 "$here/data/example.nc" 0.2
run_case raster35k-0.365 "$work/raster35k.nc" 0.365
run_case raster35k-0.2 "$work/raster35k.nc" 0.2
