#!/usr/bin/env python3
"""Prints the table of one benchmarked release from the key=value files bench/run.sh collected.

    summary.py <release folder> <runs>

Times: the median and, for reference only, the best of the rounds. The verdict is the median of
the per-round ratios of the installation (less its pauses) to the loop run in the same round: a
best run is only the luckiest, since the size requests race inside Wine's WinInet.
Memory: the largest figure seen. MB here is 10^6 bytes.
"""

import statistics
import sys

PAUSES = 1.0           # the installation's two fixed 500 ms pauses
TIME_TARGET = 1.10     # installation less the pauses, over the WinInet loop
MEMORY_TARGET = 8e6    # installation's peak over the loop's, bytes
MB = 1e6


def read(path):
    values = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            key, _, value = line.rstrip("\n").partition("=")
            values[key] = value
    return values


def main():
    folder, runs = sys.argv[1], int(sys.argv[2])
    big = folder.rstrip("/").endswith("big")
    results = {kind: [read(f"{folder}/{kind}.{n}") for n in range(1, runs + 1)]
               for kind in ("install", "loop", "loop-head", "curl")}

    def values(kind, key, start=None):
        return [float(r[key]) - (float(r[start]) if start else 0.0) for r in results[kind]]

    def times(kind):
        return min(values(kind, "seconds")), statistics.median(values(kind, "seconds"))

    def largest(kind, key):
        return max(values(kind, key))

    curl, loop, loop_head, install = times("curl"), times("loop"), times("loop-head"), times("install")
    curl_peak = largest("curl", "max_rss_kb") * 1024
    loop_peak, install_peak = largest("loop", "peak_ws"), largest("install", "peak_ws")
    loop_growth = max(a - b for a, b in zip(values("loop", "peak_ws"), values("loop", "start_ws")))
    install_growth = max(a - b for a, b in zip(values("install", "peak_ws"), values("install", "idle_ws")))

    print(f"   {'':28}{'best s':>8}{'median s':>10}{'peak MB':>9}{'growth MB':>11}")
    print(f"   {'curl, one process':28}{curl[0]:8.2f}{curl[1]:10.2f}{curl_peak / MB:9.1f}")
    print(f"   {'WinInet loop':28}{loop[0]:8.2f}{loop[1]:10.2f}{loop_peak / MB:9.1f}{loop_growth / MB:11.1f}")
    print(f"   {'WinInet loop, HEAD for sizes':28}{loop_head[0]:8.2f}{loop_head[1]:10.2f}")
    print(f"   {'installation (to the box)':28}{install[0]:8.2f}{install[1]:10.2f}{install_peak / MB:9.1f}"
          f"{install_growth / MB:11.1f}")
    print(f"   {'installation less 1 s':28}{install[0] - PAUSES:8.2f}{install[1] - PAUSES:10.2f}")

    # Where the time goes (medians). The installation's phases come from its status text, seen
    # every 50 ms; "copy" and "finish" each hold one of the 500 ms pauses.
    def phase(kind, start, end):
        return statistics.median(values(kind, end, start))

    print(f"   {'phases, median s':28}{'sizes':>8}{'downloads':>10}{'copy':>9}{'finish':>11}")
    print(f"   {'WinInet loop':28}{phase('loop', None, 'downloads_at'):8.2f}"
          f"{phase('loop', 'downloads_at', 'seconds'):10.2f}")
    print(f"   {'WinInet loop, HEAD for sizes':28}{phase('loop-head', None, 'downloads_at'):8.2f}"
          f"{phase('loop-head', 'downloads_at', 'seconds'):10.2f}")
    print(f"   {'installation':28}{phase('install', None, 'downloads_at'):8.2f}"
          f"{phase('install', 'downloads_at', 'copy_at'):10.2f}{phase('install', 'copy_at', 'registry_at'):9.2f}"
          f"{phase('install', 'registry_at', 'seconds'):11.2f}")
    first = results["loop"][0]
    print(f"   {runs} run(s); the loop made {first['requests']} requests and got {first['callbacks']} status "
          f"callbacks.\n   Growth: the peak less the working set of the idle dialog, or of the loop before its "
          f"first request.")

    verdicts = []
    if not big:
        ratios = [(i - PAUSES) / l for i, l in zip(values("install", "seconds"), values("loop", "seconds"))]
        paired = statistics.median(ratios)
        verdicts.append(("time", f"(installation - 1 s) / loop, paired median of {runs} = {paired:.2f} "
                                 f"(rounds {min(ratios):.2f} to {max(ratios):.2f}), target <= {TIME_TARGET:.2f}",
                         paired <= TIME_TARGET))
    over = install_peak - loop_peak
    verdicts.append(("memory", f"installation peak - loop peak = {over / MB:+.1f} MB, "
                               f"target <= {MEMORY_TARGET / MB:.0f} MB", over <= MEMORY_TARGET))
    for name, text, met in verdicts:
        print(f"   {name:7}{text}: {'met' if met else 'MISSED'}")
    messages = {r.get("message", "") for r in results["install"]}
    print(f"   final message: {' / '.join(sorted(messages))}")


if __name__ == "__main__":
    main()
