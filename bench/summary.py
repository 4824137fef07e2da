#!/usr/bin/env python3
"""Prints the table of one benchmarked release from the key=value files bench/run.sh collected.

    summary.py <release folder> <runs>

Times are medians over the runs, memory figures the largest seen. MB here is 10^6 bytes.
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
               for kind in ("install", "loop", "curl")}

    def median(kind, key):
        return statistics.median(float(r[key]) for r in results[kind])

    def largest(kind, key, scale=1.0):
        return max(float(r[key]) * scale for r in results[kind])

    install_s, loop_s, curl_s = median("install", "seconds"), median("loop", "seconds"), median("curl", "seconds")
    install_peak, loop_peak = largest("install", "peak_ws"), largest("loop", "peak_ws")
    curl_peak = largest("curl", "max_rss_kb", 1024.0)
    install_idle, loop_start = largest("install", "idle_ws"), largest("loop", "start_ws")
    loop = results["loop"][0]

    print(f"   {'':28}{'time s':>9}{'peak MB':>10}{'growth MB':>11}")
    print(f"   {'curl, one process':28}{curl_s:9.2f}{curl_peak / MB:10.1f}")
    print(f"   {'WinInet loop':28}{loop_s:9.2f}{loop_peak / MB:10.1f}{(loop_peak - loop_start) / MB:11.1f}")
    print(f"   {'installation (to the box)':28}{install_s:9.2f}{install_peak / MB:10.1f}"
          f"{(install_peak - install_idle) / MB:11.1f}")
    print(f"   {'installation less 1 s':28}{install_s - PAUSES:9.2f}")
    print(f"   ({runs} run(s); loop: {loop['requests']} requests, {loop['callbacks']} status callbacks; growth: "
          f"peak less the working set of the idle dialog / of the loop before its first request)")

    # Where the time goes. The installation's phases come from its status text, seen every 25 ms;
    # "copy" and "finish" each hold one of the 500 ms pauses.
    def phase(kind, start, end):
        return statistics.median(float(r[end]) - (float(r[start]) if start else 0.0) for r in results[kind])

    print(f"   {'phases, s':28}{'sizes':>9}{'downloads':>10}{'copy':>11}{'finish':>8}")
    print(f"   {'WinInet loop':28}{phase('loop', None, 'downloads_at'):9.2f}"
          f"{phase('loop', 'downloads_at', 'seconds'):10.2f}")
    print(f"   {'installation':28}{phase('install', None, 'downloads_at'):9.2f}"
          f"{phase('install', 'downloads_at', 'copy_at'):10.2f}{phase('install', 'copy_at', 'registry_at'):11.2f}"
          f"{phase('install', 'registry_at', 'seconds'):8.2f}")

    verdicts = []
    if not big:
        ratio = (install_s - PAUSES) / loop_s
        verdicts.append(("time", f"(installation - 1 s) / loop = {ratio:.2f}, target <= {TIME_TARGET:.2f}",
                         ratio <= TIME_TARGET))
    over = install_peak - loop_peak
    verdicts.append(("memory", f"installation peak - loop peak = {over / MB:+.1f} MB, "
                               f"target <= {MEMORY_TARGET / MB:.0f} MB", over <= MEMORY_TARGET))
    for name, text, met in verdicts:
        print(f"   {name:7}{text}: {'met' if met else 'MISSED'}")
    messages = {r.get("message", "") for r in results["install"]}
    print(f"   final message: {' / '.join(sorted(messages))}")


if __name__ == "__main__":
    main()
