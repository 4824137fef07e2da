#!/usr/bin/env python3
"""Prints the table of bench/run.sh --relay from the key=value files it collected.

    relay_summary.py <relay folder> <runs>

Each verdict is the median of the per-round ratios (the updater's time over curl's in the same
round), never a best run. The installation is timed by the pilot from the Install click to the
final message; "less 1 s" takes away its two fixed 500 ms pauses for the eye. The update is timed
from the start of "-u /S" to its end, Wine's process start included. Phases: the installation's
from its status texts, the update's from its log's time stamps. Processor time: the update's own
(the Wine process, its start included; the installation's is not measured: Wine reports no times
of another process), and the bench prefix's wineserver's over the same run (each WinInet read is
a round trip through it).
"""

import datetime
import statistics
import sys

from summary import read  # the key=value result files both summaries read

PAUSES = 1.0
TARGET = 0.5  # at most half of sequential curl's time


def log_phases(path):
    """Seconds from the start line to the list, from the list to the end of the downloads
    (the commit's status), and from there to the result line."""
    stamps = {}
    marks = (("start", " started: "), ("listed", " to download"), ("committed", " committed "),
             ("result", " exit code "))
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            for name, text in marks:
                if text in line and name not in stamps:
                    stamps[name] = datetime.datetime.strptime(line[:23], "%Y-%m-%d %H:%M:%S.%f")
    def between(a, b):
        return (stamps[b] - stamps[a]).total_seconds() if a in stamps and b in stamps else float("nan")
    return between("start", "listed"), between("listed", "committed"), between("committed", "result")


def main():
    folder, runs = sys.argv[1], int(sys.argv[2])
    rounds = range(1, runs + 1)
    kinds = ("install", "curl-install", "update", "curl-update")
    results = {k: [read(f"{folder}/{k}.{r}") for r in rounds] for k in kinds}
    relays = {k: [read(f"{folder}/relay-{k}.{r}") for r in rounds] for k in kinds}
    with open(f"{folder}/release.txt") as f:
        files, release_bytes = (int(v) for v in f.read().split())
    with open(f"{folder}/changed.txt") as f:
        changed_files, changed_bytes = (int(v) for v in f.read().split())

    def med(kind, key, less=0.0):
        return statistics.median(float(r[key]) - less for r in results[kind])

    def relay(kind, key):
        return statistics.median(float(r[key]) for r in relays[kind])

    sizes = {"install": release_bytes, "curl-install": release_bytes, "update": changed_bytes,
             "curl-update": changed_bytes}
    print(f"   {'20 ms each way, medians':34}{'s':>7}{'conns':>7}{'peak':>6}{'requests':>10}{'served/size':>13}"
          f"{'cpu s':>7}{'wineserver s':>14}")
    for label, kind, less in (("curl, 200 files", "curl-install", 0.0),
                              ("installation less 1 s", "install", PAUSES),
                              ("curl, the 100 changed files", "curl-update", 0.0),
                              ("update (-u /S)", "update", 0.0)):
        cpu = f"{med(kind, 'cpu_seconds'):7.2f}" if kind == "update" else f"{'':7}"
        ws = f"{med(kind, 'wineserver_seconds'):14.2f}" if kind in ("install", "update") else ""
        print(f"   {label:34}{med(kind, 'seconds', less):7.2f}{relay(kind, 'connections'):7.0f}"
              f"{relay(kind, 'peak_connections'):6.0f}{relay(kind, 'requests'):10.0f}"
              f"{relay(kind, 'served_bytes') / sizes[kind]:13.4f}{cpu}{ws}")

    for label, kind, base, less in (("installation less 1 s", "install", "curl-install", PAUSES),
                                    ("installation with its pauses", "install", "curl-install", 0.0),
                                    ("update", "update", "curl-update", 0.0)):
        ratios = [(float(a["seconds"]) - less) / float(b["seconds"])
                  for a, b in zip(results[kind], results[base])]
        paired = statistics.median(ratios)
        print(f"   {label} / curl, paired median of {runs} = {paired:.3f} (rounds {min(ratios):.3f} to "
              f"{max(ratios):.3f}); target <= {TARGET}: {'met' if paired <= TARGET else 'MISSED'}")

    def phase(start, end):
        return statistics.median(float(r[end]) - (float(r[start]) if start else 0.0) for r in results["install"])
    print(f"   installation phases, median s: list and folders {phase(None, 'downloads_at'):.2f}, downloads "
          f"{phase('downloads_at', 'copy_at'):.2f}, folder swap and pause {phase('copy_at', 'registry_at'):.2f}, "
          f"shortcuts and pause {phase('registry_at', 'seconds'):.2f}")
    phases = [log_phases(f"{folder}/update-log.{r}") for r in rounds]
    print(f"   update phases from its log, median s: start to list {statistics.median(p[0] for p in phases):.2f}, "
          f"downloads {statistics.median(p[1] for p in phases):.2f}, "
          f"commit and end {statistics.median(p[2] for p in phases):.2f}")
    # The updater reads what has arrived, at most 64 KiB per InternetReadFile call, and one more
    # call finds the end: the fewest calls it can make (a slow link makes more).
    reads = {"install": 0, "update": 0}
    with open(f"{folder}/server/update/Nuvra/_nuvr_file_list.lst", encoding="latin-1") as f:
        for line in f.read().splitlines()[2:]:
            fields = line.split(",")
            calls = -(-int(fields[6]) // 65536) + 1
            reads["install"] += calls
            if fields[2] == "1.1.0":
                reads["update"] += calls
    print(f"   read calls at least: installation {reads['install']:,}, update {reads['update']:,}")
    print(f"   {files} files, {release_bytes:,} bytes; {changed_files} changed, {changed_bytes:,} bytes; "
          f"{runs} rounds")


if __name__ == "__main__":
    main()
