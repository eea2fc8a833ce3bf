#!/usr/bin/env python3
"""Onsets in a recording of the program's output, and how evenly they fall.

An onset is the first sample above 15 % of the recording's peak after at least 60 ms below it;
identical sounds cross the threshold at the same offset, so intervals between them are exact to the
sample. Usage: heard_onsets.py REC.wav [--interval MS | --reference EXPORT.wav] [--skip N] [--list]
With --reference the ideal intervals are those of the audio export of the same song (a swung groove,
whose intervals differ): what is heard against what is exported, onset by onset.
Prints the intervals' deviation from the ideal (p50, p99, max), the drift of the last onset against
the grid from the first, and dropouts: intervals more than 1 ms longer than the ideal (an output
that underruns is played late from then on, so every dropout stretches one interval).
"""
import argparse
import struct
import sys
import wave


def read_mono(path):
    with wave.open(path, "rb") as w:
        rate, channels, width, frames = w.getframerate(), w.getnchannels(), w.getsampwidth(), w.getnframes()
        data = w.readframes(frames)
    if width != 2:
        sys.exit("16-bit WAV expected")
    samples = struct.unpack("<%dh" % (len(data) // 2), data)
    mono = [max(abs(samples[i]), abs(samples[i + 1])) if channels == 2 else abs(samples[i])
            for i in range(0, len(samples) - channels + 1, channels)]
    return rate, mono


def onsets(rate, mono, quiet_ms=60, share=0.15):
    peak = max(mono) or 1
    threshold = peak * share
    need = int(rate * quiet_ms / 1000)
    found, below = [], need
    for i, s in enumerate(mono):
        if s > threshold:
            if below >= need:
                found.append(i)
            below = 0
        else:
            below += 1
    return found


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("wav")
    ap.add_argument("--interval", type=float, help="ideal interval in ms (default: the median)")
    ap.add_argument("--skip", type=int, default=0, help="onsets to leave out at the start (count-in)")
    ap.add_argument("--reference", help="an export of the song: its intervals are the ideal ones")
    ap.add_argument("--list", action="store_true")
    ap.add_argument("--share", type=float, default=0.15)
    a = ap.parse_args()
    rate, mono = read_mono(a.wav)
    found = onsets(rate, mono, share=a.share)[a.skip:]
    if a.list:
        for i, f in enumerate(found):
            print(i, f, "%.3f ms" % (1000.0 * f / rate))
    if len(found) < 3:
        sys.exit("fewer than three onsets")
    intervals = [(b - c) * 1000.0 / rate for c, b in zip(found, found[1:])]
    if a.reference:
        ref_rate, ref_mono = read_mono(a.reference)
        ref = onsets(ref_rate, ref_mono, share=a.share)[a.skip:]
        ideals = [(b - c) * 1000.0 / ref_rate for c, b in zip(ref, ref[1:])]
        intervals = intervals[:len(ideals)]
        found = found[:len(intervals) + 1]
        ideal = sum(ideals) / len(ideals)
    else:
        ideal = a.interval if a.interval else sorted(intervals)[len(intervals) // 2]
        ideals = [ideal] * len(intervals)
    dev = sorted(abs(x - i) for x, i in zip(intervals, ideals))
    pick = lambda q: dev[min(len(dev) - 1, int(q * len(dev)))]
    drift = (found[-1] - found[0]) * 1000.0 / rate - sum(ideals[:len(intervals)])
    gaps = sum(1 for x, i in zip(intervals, ideals) if x > i + 1.0)
    print("onsets %d  ideal %.4f ms  |interval - ideal| p50 %.4f ms  p99 %.4f ms  max %.4f ms  "
          "drift %+.4f ms over %.1f s  dropouts %d" % (len(found), ideal, pick(0.5), pick(0.99), dev[-1], drift,
                                                       (found[-1] - found[0]) / rate, gaps))


if __name__ == "__main__":
    main()
