#!/usr/bin/env python3
"""Prints what checking SHA-256 costs an installation, from the runs bench/run.sh --hashing made.

    hashing.py <result folder> <runs>

Each run installed the same release twice, once with hashes in its list ("hashed") and once
without ("plain"), in alternating order, around one bare WinInet loop. The verdict is on paired
figures: per run, each installation (less its two 500 ms pauses) over that run's loop, and the
hashed installation less the plain one; their medians, so that one disturbed run counts little.
The hash alone (bench-hash-cost: the release's bytes through the updater's SHA-256, in the
fetcher's pieces) shows what the check can cost at most.
"""

import statistics
import sys

PAUSES = 1.0  # the installation's two fixed 500 ms pauses


def seconds(path):
    with open(path, encoding="utf-8") as f:
        for line in f:
            key, _, value = line.rstrip("\n").partition("=")
            if key == "seconds":
                return float(value)
    raise ValueError(f"{path}: no seconds")


def main():
    folder, runs = sys.argv[1], int(sys.argv[2])
    plain = [seconds(f"{folder}/plain.{n}") for n in range(1, runs + 1)]
    hashed = [seconds(f"{folder}/hashed.{n}") for n in range(1, runs + 1)]
    loop = [seconds(f"{folder}/loop.{n}") for n in range(1, runs + 1)]
    ratio_plain = [(p - PAUSES) / l for p, l in zip(plain, loop)]
    ratio_hashed = [(h - PAUSES) / l for h, l in zip(hashed, loop)]
    extra = [h - p for h, p in zip(hashed, plain)]
    # The spread of the plain installation itself: what "measurable" has to stand out from.
    spread = statistics.median(abs(p - statistics.median(plain)) for p in plain)

    print(f"   {'':34}{'median s':>10}{'over loop':>11}")
    print(f"   {'WinInet loop':34}{statistics.median(loop):10.2f}")
    print(f"   {'installation, list without hashes':34}{statistics.median(plain):10.2f}"
          f"{statistics.median(ratio_plain):11.2f}")
    print(f"   {'installation, every file checked':34}{statistics.median(hashed):10.2f}"
          f"{statistics.median(ratio_hashed):11.2f}")
    print(f"   checked less unchecked, paired: median {statistics.median(extra):+.2f} s "
          f"(runs: {', '.join(f'{e:+.2f}' for e in extra)}); plain runs' median deviation {spread:.2f} s")
    cost = [seconds(f"{folder}/hash-cost.{n}") for n in range(1, runs + 1)]
    print(f"   the hash alone over the release's bytes: median {statistics.median(cost):.3f} s")
    print(f"   {runs} run(s); installations less 1 s for the two pauses in the 'over loop' column.")


if __name__ == "__main__":
    main()
