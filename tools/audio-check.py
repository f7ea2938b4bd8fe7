#!/usr/bin/env python3
"""Checks a recording of the game's sound made with SDL's disk driver
(SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=FILE: float stereo, 48 kHz, no header).

Prints the peak, how many samples reach the rails (|x| >= 0.999), the largest sample step and
where, and the longest stretch of 100 ms blocks 20 dB or more under the recording's average
level (silent stretches at the very start, before the music is in, are left out).

    tools/audio-check.py FILE [FROM_SECONDS [TO_SECONDS]]
"""
import array
import math
import sys

RATE = 48000


def main() -> int:
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    data = array.array("f")
    with open(sys.argv[1], "rb") as f:
        data.frombytes(f.read())
    start = int(float(sys.argv[2]) * RATE) * 2 if len(sys.argv) > 2 else 0
    end = int(float(sys.argv[3]) * RATE) * 2 if len(sys.argv) > 3 else len(data)
    data = data[start:end - (end - start) % 2]
    frames = len(data) // 2
    if frames == 0:
        print("empty recording")
        return 1
    peak = max(abs(v) for v in data)
    rails = sum(1 for v in data if abs(v) >= 0.999)
    step, step_at = 0.0, 0
    for ch in (0, 1):
        prev = data[ch]
        for i in range(ch + 2, len(data), 2):
            d = abs(data[i] - prev)
            if d > step:
                step, step_at = d, i // 2
            prev = data[i]
    block = RATE // 10
    power = []
    for b in range(0, frames - block + 1, block):
        s = data[2 * b:2 * (b + block)]
        power.append(sum(v * v for v in s) / len(s))
    first = next((i for i, p in enumerate(power) if p > 1e-8), len(power))
    power = power[first:]
    average = sum(power) / len(power) if power else 0.0
    run = longest = longest_at = 0
    for i, p in enumerate(power):
        run = run + 1 if p < average / 100 else 0
        if run > longest:
            longest, longest_at = run, i - run + 1
    offset = start / 2 / RATE
    print(f"length {frames / RATE:.1f} s from {offset:.1f} s")
    print(f"peak {peak:.4f}, samples at the rails {rails} ({100 * rails / len(data):.3f} %)")
    print(f"largest step {step:.4f} at {offset + step_at / RATE:.3f} s")
    if average > 0:
        print(f"average level {10 * math.log10(average):.1f} dB; longest stretch 20 dB under it "
              f"{longest / 10:.1f} s at {offset + (first + longest_at) / 10:.1f} s")
    return 0


if __name__ == "__main__":
    sys.exit(main())
