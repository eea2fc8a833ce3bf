#!/usr/bin/env python3
"""Writes a Grooveloom tab document (.gvlm) of N 4/4 bars of closed hi-hats in a time feel, for the
heard-timing benchmark: `triplets` puts one on every eighth triplet (the bar's grid in the file's
extension block), `swing` one on every eighth of a sixteenth bar with the song swung 33 % on eighths.

usage: make_feel_song.py triplets|swing BARS OUT.gvlm
"""
import struct
import sys
import zlib

from make_groove_song import BAR_END, FIELD, HEADER_END, text

EIGHTH_TRIPLETS = 2  # the bar grid's number in the file
SWING_PERCENT, SWING_EIGHTHS = 33, 0


def bar(length: int, positions) -> bytes:
    out = bytes([length, 4]) + text(b"")
    for row in range(1, 9):
        notes = [(p, b"x") for p in positions] if row == 3 else []
        out += FIELD + bytes([row, len(notes)])
        for position, letter in notes:
            out += bytes([position]) + letter
    return out + BAR_END


def record(kind: int, payload: bytes) -> bytes:
    return bytes([kind]) + struct.pack("<I", len(payload)) + payload


def song(feel: str, bars: int) -> bytes:
    if not 1 <= bars <= 65535:
        raise ValueError("a song has 1 to 65535 bars")
    out = b"xx$#GVLM" + FIELD + struct.pack("<H", bars) + FIELD + bytes([4]) + FIELD
    out += struct.pack("<H", 100) + FIELD
    for info in (b"Bench", b"Feel", b"", b"", b"", b""):
        out += text(info) + FIELD
    out += struct.pack("<i", -1) + FIELD
    out += bytes([1] * 9) + HEADER_END
    if feel == "triplets":
        out += bar(12, range(12)) * bars
        records = record(4, b"".join(struct.pack("<HB", b, EIGHTH_TRIPLETS) for b in range(bars)))
    elif feel == "swing":
        out += bar(16, range(0, 16, 2)) * bars
        records = record(5, bytes([SWING_PERCENT, SWING_EIGHTHS]))
    else:
        raise ValueError("the feel is triplets or swing")
    return out + b"GVXT" + struct.pack("<HII", 1, len(records), zlib.crc32(records)) + records


def main() -> int:
    if len(sys.argv) != 4:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    try:
        data = song(sys.argv[1], int(sys.argv[2]))
    except ValueError as e:
        print(f"make_feel_song.py: {e}", file=sys.stderr)
        return 2
    with open(sys.argv[3], "wb") as f:
        f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
