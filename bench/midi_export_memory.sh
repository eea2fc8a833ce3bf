#!/usr/bin/env bash
# Peak memory and wall time of `grooveloom -o OUT.mid IN.gvlm` for the largest song there is: 65535
# bars of 64 positions with every cell of all eight instrument rows filled. The peak resident size
# must stay within twice the size of the MIDI file written; the script fails otherwise.
#
# usage: bench/midi_export_memory.sh PATH/TO/grooveloom
set -euo pipefail

if [ $# -lt 1 ] || [ ! -x "$1" ]; then
  echo "usage: $0 PATH/TO/grooveloom" >&2
  exit 2
fi
binary=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 - "$work/full.gvlm" <<'PY'
import struct, sys
FIELD = b"@#"
def text(v): return struct.pack("<i", len(v) if v else -1) + v
letters = {1: b"x", 2: b"x", 3: b"x", 4: b"o", 5: b"o", 6: b"o", 7: b"o", 8: b"o"}
bar = bytes([64, 16]) + text(b"")
for row in range(1, 9):
    bar += FIELD + bytes([row, 64]) + b"".join(bytes([p]) + letters[row] for p in range(64))
bar += b"@@##"
head = b"xx$#GVLM" + FIELD + struct.pack("<H", 65535) + FIELD + bytes([16]) + FIELD
head += struct.pack("<H", 120) + FIELD
for _ in range(6): head += text(b"") + FIELD
head += struct.pack("<i", -1) + FIELD + bytes([1] * 9) + b"@@"
with open(sys.argv[1], "wb") as f:
    f.write(head + bar * 65535)
PY

/usr/bin/time -f '%e %M' -o "$work/time" "$binary" -o "$work/full.mid" "$work/full.gvlm"
read -r seconds peak_kib <"$work/time"
file_bytes=$(stat -c %s "$work/full.mid")
input_bytes=$(stat -c %s "$work/full.gvlm")
peak_bytes=$((peak_kib * 1024))
printf 'input %d MB, MIDI file %d MB, peak resident %d MB (%.2f x the file), %s s\n' \
  $((input_bytes / 1000000)) $((file_bytes / 1000000)) $((peak_bytes / 1000000)) \
  "$(echo "$peak_bytes / $file_bytes" | bc -l)" "$seconds"
if [ "$peak_bytes" -gt $((2 * file_bytes)) ]; then
  echo "the export needs more than twice the file's size in memory" >&2
  exit 1
fi
