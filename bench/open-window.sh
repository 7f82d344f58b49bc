#!/usr/bin/env bash
# Opening big programs in the window: from the command line to a drawn window (the window
# opens the program, draws it, saves a screenshot and quits, under Qt's offscreen
# platform). Prints, for each size, the wall time, the time more than an empty program,
# the peak resident memory and its ratio to the file's size. Medians of three runs.
#   bench/open-window.sh [VELTRANE] [LINES ...]     default: build/dev/app/veltrane 300000 1000000
set -euo pipefail
app=${1:-build/dev/app/veltrane}
shift || true
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(300000 1000000)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
make_program() {  # LINES FILE: sequences of a start move, four moves and an arc
  /usr/bin/python3 - "$1" "$2" <<'PY'
import sys
n, out = int(sys.argv[1]), sys.argv[2]
lines, k = ["'$Layer0:L0"], 0
while len(lines) < n - 1:
    k += 1
    lines += [f"'$StartSeq({k})", f"cadseq{k}:", f"    MOVEABS({k % 300 * 20},{k // 300 * 20})",
              "    MOVE(10,0)", "    MOVECIRC(0,10,0,5,0)", "    MOVE(-10,0)", "    MOVE(0,-10)", f"'$EndSeq({k})"]
lines = lines[:n - 1] + ["'$EndLayer0:L0"]
open(out, "w").write("\r\n".join(lines) + "\r\n")
PY
}
run() {  # FILE -> "seconds peakKB", the median of three runs by time
  for i in 1 2 3; do
    /usr/bin/time -f "%e %M" env QT_QPA_PLATFORM=offscreen "$app" --screenshot "$work/shot.png" "$1" \
      2>&1 >/dev/null | tail -n 1
  done | sort -n | sed -n 2p
}
: > "$work/empty.bas"
read -r empty_s empty_kb < <(run "$work/empty.bas")
echo "| lines | file MB | seconds | more than empty s | peak MB | peak / file |"
echo "|---|---|---|---|---|---|"
echo "| 0 | 0 | $empty_s | 0 | $((empty_kb / 1024)) | - |"
for n in "${sizes[@]}"; do
  make_program "$n" "$work/p.bas"
  bytes=$(stat -c %s "$work/p.bas")
  read -r s kb < <(run "$work/p.bas")
  awk -v n="$n" -v b="$bytes" -v s="$s" -v e="$empty_s" -v kb="$kb" \
    'BEGIN { printf "| %d | %.1f | %.2f | %.2f | %d | %.1f |\n", n, b / 1048576, s, s - e, kb / 1024, kb * 1024 / b }'
done
