#!/usr/bin/env python3
"""Writes the songs tools/check_musicxml.sh exports and reads back, as Grooveloom tab documents
(.gvlm), into OUT_DIR: grooves beside the bench's own (sixteenths, shuffles, odd and compound
meters), a song with every row and variant, a 2/4 bar, accents, parts and comments, and a few
random songs with a fixed seed.

usage: musicxml_check_songs.py OUT_DIR
"""
import os
import random
import struct
import sys

FIELD, HEADER_END, BAR_END = b"@#", b"@@", b"@@##"
# Letters by row and variant, as the tab file stores notes.
LETTERS = {1: "xsc", 2: "x", 3: "xo", 4: "o", 5: "o", 6: "o", 7: "ox", 8: "o"}


def text(value: str) -> bytes:
    data = value.encode("cp1252")
    return struct.pack("<i", len(data) if data else -1) + data


def bar_block(length, denominator, comment, notes):
    """notes: {row: [(position, letter), ...]}"""
    out = bytes([length, denominator]) + text(comment)
    for row in range(1, 9):
        entries = sorted(notes.get(row, []))
        out += FIELD + bytes([row, len(entries)])
        for position, letter in entries:
            out += bytes([position]) + letter.encode()
    return out + BAR_END


def song(bars, tempo=120, info=("", "", "", "", "", ""), parts=()):
    out = b"xx$#GVLM" + FIELD + struct.pack("<H", len(bars)) + FIELD + bytes([4]) + FIELD
    out += struct.pack("<H", tempo) + FIELD
    for value in info:  # Artist, Song, Album, Drummer, Tab author, E-mail
        out += text(value) + FIELD
    if parts:
        out += struct.pack("<i", len(parts))
        for start, name in parts:
            data = name.encode("cp1252")
            out += struct.pack("<i", start) + bytes([len(data)]) + data.ljust(30, b"\0") + b"\0"
    else:
        out += struct.pack("<i", -1)
    out += FIELD + bytes([1] * 9) + HEADER_END
    return out + b"".join(bar_block(*bar) for bar in bars)


def hits(positions, letter="o"):
    return [(p, letter) for p in positions]


def grooves():
    sixteenths = {3: hits(range(16), "x"), 7: hits([4, 12]), 8: hits([0, 3, 6, 10, 11])}
    funk = {3: hits([0, 2, 4, 6, 8, 10, 12], "x") + [(14, "o")], 7: hits([4, 7, 9, 12]) + [(15, "O")],
            8: hits([0, 2, 10])}
    shuffle = {2: hits([0, 3, 6, 9], "x"), 7: hits([3, 9]), 8: hits([0, 5, 6])}           # 12/8 in 6 beats
    six_eight = {3: hits(range(0, 12, 2), "x"), 7: hits([6]), 8: hits([0, 4])}
    seven_eight = {2: hits(range(0, 14, 2), "x"), 7: hits([4, 10]), 8: hits([0, 8, 9])}
    five_four = {3: hits(range(0, 20, 2), "x"), 7: hits([4, 12, 18]), 8: hits([0, 7, 8, 14])}
    fill = {4: hits([0, 1, 2, 3]), 5: hits([4, 5, 6, 7]), 6: hits([8, 9, 10, 11, 13]), 7: hits([12, 14, 15]),
            1: [(0, "X")], 8: hits([0, 15])}
    bars = [(16, 4, "", sixteenths), (16, 4, "", funk), (24, 8, "", shuffle), (12, 8, "", six_eight),
            (14, 8, "", seven_eight), (20, 4, "", five_four), (16, 4, "", fill)]
    return song(bars * 2, 96, ("Bench", "Grooves", "", "", "", ""))


def every_row():
    every = {1: [(0, "X"), (6, "s"), (12, "c")], 2: hits([2, 4], "x") + [(8, "X")], 3: [(1, "x"), (3, "o"), (5, "O")],
             4: hits([7]), 5: [(9, "O")], 6: hits([10, 11]), 7: [(4, "o"), (12, "O"), (14, "x")], 8: hits([0, 13])}
    two_four = {3: hits([0, 2, 4, 6], "x"), 7: hits([4]), 8: [(0, "O")]}
    odd = {7: hits(range(17)), 8: hits([0, 16])}             # 17/16
    tiny = {8: hits([0])}                                     # 1/16
    three = {7: hits([1, 2]), 3: [(0, "X")]}                  # 3/16
    long_bar = {2: hits(range(0, 64, 3), "x"), 8: hits(range(0, 64, 5)), 7: hits(range(4, 64, 8))}  # 16/4
    bars = [(16, 4, "Count in", every), (8, 4, "", two_four), (16, 4, "", every), (17, 16, "odd one", odd),
            (1, 16, "", tiny), (3, 16, "", three), (64, 4, "", long_bar), (16, 4, "", {}), (16, 4, "end \u00e9 & <", every)]
    return song(bars, 140, ("The Band", "Every Row \u2013 \u00fcber", "Album", "Joe", "Me & you", "me@example.org"),
                parts=[(0, "Intro"), (2, "Verse"), (6, "Chorus")])


def random_song(seed):
    rng = random.Random(seed)
    bars = []
    for _ in range(rng.randint(4, 24)):
        denominator = rng.choice([4, 8, 16])
        length = rng.randint(1, 16) * 16 // denominator
        density = rng.random() * 0.5
        notes = {}
        for row in range(1, 9):
            for p in range(length):
                if rng.random() < density / 3:
                    letter = rng.choice(LETTERS[row])
                    notes.setdefault(row, []).append((p, letter.upper() if rng.random() < 0.2 else letter))
        bars.append((length, denominator, "", notes))
    return song(bars, rng.randint(40, 240), ("Random", f"Song {seed}", "", "", "", ""),
                parts=[(0, "A"), (len(bars) // 2, "B")])


def main() -> int:
    if len(sys.argv) != 2:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    songs = {"grooves": grooves(), "every-row": every_row()}
    for seed in range(1, 6):
        songs[f"random-{seed}"] = random_song(seed)
    for name, data in songs.items():
        with open(os.path.join(out, name + ".gvlm"), "wb") as f:
            f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
