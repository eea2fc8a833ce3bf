#!/usr/bin/env bash
# Whole-process wall time of the command-line MusicXML export, `grooveloom -o OUT IN.gvlm`, for a
# groove song of 5000 bars, plain (.musicxml) and compressed (.mxl): the median of several runs
# after one warm-up run. Target: 5000 bars <= 0.5 s each.
#
# usage: bench/musicxml_export_wall.sh PATH/TO/grooveloom [RUNS]   (RUNS defaults to 7)
set -euo pipefail

source "$(dirname "$(realpath "$0")")/wall_time.sh"

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
  median_micros "$out" "$song"
  printf '%6d bars .%-8s median %4d.%03d ms of %d runs (%s bytes written)\n' "$bars" "$ext" \
    $((median / 1000)) $((median % 1000)) "$runs" "$(stat -c %s "$out")"
done
exit $status
