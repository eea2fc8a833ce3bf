#!/usr/bin/env bash
# Whole-process wall time of the command-line MIDI export, `grooveloom -o OUT.mid IN.gvlm`, for a
# groove song of 5000 and of 65535 bars: the median of several runs after one warm-up run.
# Targets: 5000 bars <= 0.1 s, 65535 bars <= 1 s.
#
# usage: bench/midi_export_wall.sh PATH/TO/grooveloom [RUNS]   (RUNS defaults to 7)
set -euo pipefail

source "$(dirname "$(realpath "$0")")/wall_time.sh"

status=0
for bars in 5000 65535; do
  song="$work/groove-$bars.gvlm"
  out="$work/groove-$bars.mid"
  python3 "$here/make_groove_song.py" "$bars" "$song"
  if ! "$binary" -o "$out" "$song" 2>"$work/stderr"; then
    echo "$bars bars: the export failed: $(cat "$work/stderr")" >&2
    status=1
    continue
  fi
  if [ "$(head -c 4 "$out")" != "MThd" ]; then
    echo "$bars bars: the output is not a MIDI file" >&2
    status=1
    continue
  fi
  median_micros "$out" "$song"
  printf '%6d bars: median %4d.%03d ms of %d runs (%s bytes written)\n' "$bars" \
    $((median / 1000)) $((median % 1000)) "$runs" "$(stat -c %s "$out")"
done
exit $status
