#!/usr/bin/env bash
# Whole-process wall time of the command-line PDF export, `grooveloom -o OUT.pdf IN.gvlm`, for a
# groove song of 5000 bars (about 210 pages): the median of several runs after one warm-up run.
# Target: <= 1 s. Qt starts on the offscreen platform, so no display is needed.
#
# usage: bench/pdf_export_wall.sh PATH/TO/grooveloom [RUNS]   (RUNS defaults to 7)
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
times=()
for ((i = 0; i < runs; i++)); do
  rm -f "$out"
  start=$(date +%s%N)
  "$binary" -o "$out" "$song" 2>/dev/null
  end=$(date +%s%N)
  times+=($(( (end - start) / 1000 )))
done
median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p")
printf '%6d bars: median %4d.%03d ms of %d runs, %s pages, %s bytes\n' "$bars" \
  $((median / 1000)) $((median % 1000)) "$runs" \
  "$(grep -a -c '^/Type /Page$' "$out")" "$(stat -c %s "$out")"
