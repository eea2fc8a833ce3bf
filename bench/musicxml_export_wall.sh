#!/usr/bin/env bash
# Whole-process wall time of the command-line MusicXML export, `grooveloom -o OUT IN.gvlm`, for a
# groove song of 5000 bars, plain (.musicxml) and compressed (.mxl): the median of several runs
# after one warm-up run. Target: 5000 bars <= 0.5 s each.
#
# usage: bench/musicxml_export_wall.sh PATH/TO/grooveloom [RUNS]   (RUNS defaults to 7)
set -euo pipefail

if [ $# -lt 1 ] || [ ! -x "$1" ]; then
  echo "usage: $0 PATH/TO/grooveloom [RUNS]" >&2
  exit 2
fi
binary=$(realpath "$1")
runs=${2:-7}
here=$(dirname "$(realpath "$0")")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

bars=5000
song="$work/groove-$bars.gvlm"
python3 "$here/make_groove_song.py" "$bars" "$song"
status=0
for ext in musicxml mxl; do
  out="$work/groove-$bars.$ext"
  if ! "$binary" -o "$out" "$song" 2>"$work/stderr"; then
    echo "$bars bars .$ext: the export failed: $(cat "$work/stderr")" >&2
    status=1
    continue
  fi
  times=()
  for ((i = 0; i < runs; i++)); do
    rm -f "$out"
    start=$(date +%s%N)
    "$binary" -o "$out" "$song"
    end=$(date +%s%N)
    times+=($(( (end - start) / 1000 )))
  done
  median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p")
  printf '%6d bars .%-8s median %4d.%03d ms of %d runs (%s bytes written)\n' "$bars" "$ext" \
    $((median / 1000)) $((median % 1000)) "$runs" "$(stat -c %s "$out")"
done
exit $status
