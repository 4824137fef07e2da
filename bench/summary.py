#!/usr/bin/env python3
"""Prints the table of one benchmarked release from the key=value files bench/run.sh collected.

    summary.py <release folder> <runs>

Times: the median and, for reference only, the best of the rounds. The verdicts are medians of
per-round ratios: the installation (less its pauses) over the loop of one GET per file run in the
same round on loopback, and over curl run in the same round through the 20 ms relay; a best run is
only the luckiest. Round trips per file: the requests and new connections the relay saw, over the
files; bytes served: what the server sent through the relay (headers and lists included) over the
release's size.
Memory: the largest figure seen. MB here is 10^6 bytes.
"""

import statistics
import sys

PAUSES = 1.0           # the installation's two fixed 500 ms pauses
TIME_TARGET = 1.10     # installation less the pauses, over the WinInet loop
DELAYED_TARGET = 1.15  # the same through 20 ms each way, over curl
TRIPS_TARGET = 1.10    # round trips per file through the relay
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
    kinds = ["install", "loop", "curl"] + ([] if big else ["install-delayed", "curl-delayed", "relay-install",
                                                            "relay-curl"])
    results = {kind: [read(f"{folder}/{kind}.{n}") for n in range(1, runs + 1)] for kind in kinds}
    with open(f"{folder}/release.txt", encoding="utf-8") as f:
        files, release_bytes = (int(v) for v in f.read().split())

    def values(kind, key, start=None):
        return [float(r[key]) - (float(r[start]) if start else 0.0) for r in results[kind]]

    def times(kind):
        return min(values(kind, "seconds")), statistics.median(values(kind, "seconds"))

    def largest(kind, key):
        return max(values(kind, key))

    curl, loop, install = times("curl"), times("loop"), times("install")
    curl_peak = largest("curl", "max_rss_kb") * 1024
    loop_peak, install_peak = largest("loop", "peak_ws"), largest("install", "peak_ws")
    loop_growth = max(a - b for a, b in zip(values("loop", "peak_ws"), values("loop", "start_ws")))
    install_growth = max(a - b for a, b in zip(values("install", "peak_ws"), values("install", "idle_ws")))

    print(f"   {'':28}{'best s':>8}{'median s':>10}{'peak MB':>9}{'growth MB':>11}")
    print(f"   {'curl, one process':28}{curl[0]:8.2f}{curl[1]:10.2f}{curl_peak / MB:9.1f}")
    print(f"   {'WinInet loop, GET per file':28}{loop[0]:8.2f}{loop[1]:10.2f}{loop_peak / MB:9.1f}"
          f"{loop_growth / MB:11.1f}")
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
        delayed_install, delayed_curl = times("install-delayed"), times("curl-delayed")
        print(f"   {'20 ms each way':28}{'best s':>8}{'median s':>10}{'trips/file':>11}{'served/size':>12}")
        for label, kind, relay in (("curl, one process", "curl-delayed", "relay-curl"),
                                   ("installation less 1 s", "install-delayed", "relay-install")):
            best, median = times(kind)
            less = PAUSES if kind == "install-delayed" else 0.0
            trips = statistics.median(
                (float(r["requests"]) + float(r["connections"])) / files for r in results[relay])
            served = statistics.median(float(r["served_bytes"]) / release_bytes for r in results[relay])
            print(f"   {label:28}{best - less:8.2f}{median - less:10.2f}{trips:11.3f}{served:12.4f}")
        delayed = [(i - PAUSES) / c for i, c in zip(values("install-delayed", "seconds"),
                                                    values("curl-delayed", "seconds"))]
        paired_delayed = statistics.median(delayed)
        verdicts.append(("delayed", f"(installation - 1 s) / curl through 20 ms each way, paired median of {runs} = "
                                    f"{paired_delayed:.2f} (rounds {min(delayed):.2f} to {max(delayed):.2f}), "
                                    f"target <= {DELAYED_TARGET:.2f}", paired_delayed <= DELAYED_TARGET))
        trips = statistics.median((float(r["requests"]) + float(r["connections"])) / files
                                  for r in results["relay-install"])
        verdicts.append(("trips", f"installation's round trips per file = {trips:.3f}, target <= {TRIPS_TARGET:.2f}",
                         trips <= TRIPS_TARGET))
    over = install_peak - loop_peak
    verdicts.append(("memory", f"installation peak - loop peak = {over / MB:+.1f} MB, "
                               f"target <= {MEMORY_TARGET / MB:.0f} MB", over <= MEMORY_TARGET))
    for name, text, met in verdicts:
        print(f"   {name:7}{text}: {'met' if met else 'MISSED'}")
    messages = {r.get("message", "") for r in results["install"]}
    print(f"   final message: {' / '.join(sorted(messages))}")


if __name__ == "__main__":
    main()
