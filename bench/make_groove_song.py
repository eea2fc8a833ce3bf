#!/usr/bin/env python3
"""Writes a Grooveloom tab document (.gvlm) of N bars with a typical groove, for the
whole-process benchmarks: 4/4 bars, closed hi-hat on the eighths, snare on 2 and 4 (accented on
4), bass drum on 1 and 3 - twelve notes a bar, the song of bench/groove_song.h.

usage: make_groove_song.py BARS OUT.gvlm
"""
import struct
import sys

FIELD, HEADER_END, BAR_END = b"@#", b"@@", b"@@##"


def text(value: bytes) -> bytes:
    # Empty texts are stored with length -1.
    return struct.pack("<i", len(value) if value else -1) + value


def groove_bar() -> bytes:
    rows = {3: [(p, b"x") for p in range(0, 16, 2)],  # hi-hat, closed
            7: [(4, b"o"), (12, b"O")],               # snare, the second accented
            8: [(0, b"o"), (8, b"o")]}                # bass drum
    out = bytes([16, 4]) + text(b"")                  # Length, Denominator, no comment
    for row in range(1, 9):
        notes = rows.get(row, [])
        out += FIELD + bytes([row, len(notes)])
        for position, letter in notes:
            out += bytes([position]) + letter
    return out + BAR_END


def song(bars: int) -> bytes:
    if not 1 <= bars <= 65535:
        raise ValueError("a song has 1 to 65535 bars")
    out = b"xx$#GVLM" + FIELD + struct.pack("<H", bars) + FIELD + bytes([4]) + FIELD
    out += struct.pack("<H", 120) + FIELD
    for info in (b"Bench", b"Groove", b"", b"", b"", b""):  # Artist .. Email
        out += text(info) + FIELD
    out += struct.pack("<i", -1) + FIELD                      # no song parts
    out += bytes([1] * 9) + HEADER_END                       # every row shown
    return out + groove_bar() * bars


def main() -> int:
    if len(sys.argv) != 3:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    try:
        data = song(int(sys.argv[1]))
    except ValueError as e:
        print(f"make_groove_song.py: {e}", file=sys.stderr)
        return 2
    with open(sys.argv[2], "wb") as f:
        f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
