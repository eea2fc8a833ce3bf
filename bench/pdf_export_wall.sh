#!/usr/bin/env bash
# Whole-process wall time of the command-line PDF export, `grooveloom -o OUT.pdf IN.gvlm`, for a
# groove song of 5000 bars (about 210 pages): the median of several runs after one warm-up run.
# Target: <= 1 s. Qt starts on the offscreen platform, so no display is needed.
#
# usage: bench/pdf_export_wall.sh PATH/TO/grooveloom [RUNS]   (RUNS defaults to 7)
set -euo pipefail

source "$(dirname "$(realpath "$0")")/wall_time.sh"

bars=5000
song="$work/groove-$bars.gvlm"
out="$work/groove-$bars.pdf"
python3 "$here/make_groove_song.py" "$bars" "$song"
if ! "$binary" -o "$out" "$song" 2>"$work/stderr"; then
  echo "the export failed: $(cat "$work/stderr")" >&2
  exit 1
fi
if [ "$(head -c 5 "$out")" != "%PDF-" ]; then
  echo "the output is not a PDF file" >&2
  exit 1
fi
median_micros "$out" "$song"
printf '%6d bars: median %4d.%03d ms of %d runs, %s pages, %s bytes\n' "$bars" \
  $((median / 1000)) $((median % 1000)) "$runs" \
  "$(grep -a -c '^/Type /Page$' "$out")" "$(stat -c %s "$out")"
