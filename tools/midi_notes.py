#!/usr/bin/env python3
"""Prints the drum notes of a Standard MIDI File, one "SIXTEENTH KEY" line per note-on, sorted:
onsets scaled to sixteenths from the file's ticks per quarter note, minus OFFSET sixteenths.

usage: midi_notes.py FILE.mid [OFFSET]
"""
import struct
import sys


def varlen(data: bytes, pos: int):
    """A variable-length quantity at pos: its value and the position after it."""
    value = 0
    while True:
        byte = data[pos]
        pos += 1
        value = (value << 7) | (byte & 0x7F)
        if byte < 0x80:
            return value, pos


def notes(data: bytes):
    if data[:4] != b"MThd":
        raise ValueError("not a MIDI file")
    length, _, tracks, division = struct.unpack(">IHHH", data[4:14])
    if division & 0x8000:
        raise ValueError("SMPTE time is not handled")
    at = 8 + length
    found = []
    for _ in range(tracks):
        if data[at:at + 4] != b"MTrk":
            raise ValueError("track expected")
        size = struct.unpack(">I", data[at + 4:at + 8])[0]
        pos, end, tick, status = at + 8, at + 8 + size, 0, 0
        while pos < end:
            delta, pos = varlen(data, pos)
            tick += delta
            if data[pos] >= 0x80:
                status = data[pos]
                pos += 1
            kind = status & 0xF0
            if status == 0xFF:
                meta_length, pos = varlen(data, pos + 1)
                pos += meta_length
            elif status in (0xF0, 0xF7):
                sysex_length, pos = varlen(data, pos)
                pos += sysex_length
            elif kind in (0xC0, 0xD0):
                pos += 1
            else:
                key, velocity = data[pos], data[pos + 1]
                pos += 2
                if kind == 0x90 and velocity > 0:
                    found.append((tick, key))
        at = end
    return division, found


def main() -> int:
    if len(sys.argv) not in (2, 3):
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    offset = int(sys.argv[2]) if len(sys.argv) == 3 else 0
    with open(sys.argv[1], "rb") as f:
        division, found = notes(f.read())
    on_grid = sorted((tick * 4 // division - offset, key) for tick, key in found if tick * 4 % division == 0)
    for sixteenth, key in on_grid:
        print(sixteenth, key)
    for tick, key in sorted(found):
        if tick * 4 % division:
            print(f"off the grid: tick {tick} key {key}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
