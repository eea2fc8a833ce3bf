#!/usr/bin/env bash
# Start-up time of the editor: whole process, from exec until the main window has been shown and
# painted (GROOVELOOM_EXIT_AFTER_SHOW=1 quits right after that first paint), offscreen, with the
# built-in synthesizer as the MIDI device (the default). Prints every run and the median.
#
#   bench/startup.sh [path/to/grooveloom] [runs]
set -euo pipefail

binary=${1:-build/grooveloom}
runs=${2:-10}
target_ms=300

if [ ! -x "$binary" ]; then
  echo "no executable at $binary (build the grooveloom target first)" >&2
  exit 2
fi
binary=$(cd "$(dirname "$binary")" && pwd)/$(basename "$binary")

# A fresh folder: the program reads and writes its files in the current folder.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# The options file goes to the same folder, not to the user's configuration.
export QT_QPA_PLATFORM=offscreen GROOVELOOM_EXIT_AFTER_SHOW=1 XDG_CONFIG_HOME="$work/config"
"$binary" >/dev/null 2>&1 || true  # one warm-up run: libraries and fonts into the page cache

times=()
for ((i = 1; i <= runs; i++)); do
  start=$EPOCHREALTIME
  "$binary" >/dev/null 2>&1
  end=$EPOCHREALTIME
  ms=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.1f", (b - a) * 1000 }')
  times+=("$ms")
  echo "run $i: $ms ms"
done

median=$(printf '%s\n' "${times[@]}" | sort -n |
         awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.1f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }')
verdict=$(awk -v m="$median" -v t="$target_ms" 'BEGIN { print (m <= t) ? "within" : "OVER" }')
echo "median of $runs runs: $median ms ($verdict the target of $target_ms ms)"
