#!/usr/bin/env python3
"""Writes the next release of a benchmark release tree: every second file changed.

    make_update.py <release update folder> <out update folder> [--version 1.1.0]

Reads the sized list of <release>/Nuvra/_nuvr_file_list.lst (make_release.py --sized), copies the
tree to <out> (replaced), changes the first bytes of every second entry's file (same size, other
hash), gives those entries and the list the new version, and prints "<changed files> <bytes>".
"""

import argparse
import hashlib
import os
import shutil


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("release")
    parser.add_argument("out")
    parser.add_argument("--version", default="1.1.0")
    args = parser.parse_args()
    shutil.rmtree(args.out, ignore_errors=True)
    shutil.copytree(args.release, args.out)
    product = os.path.join(args.out, "Nuvra")
    list_path = os.path.join(product, "_nuvr_file_list.lst")
    with open(list_path, encoding="latin-1") as f:
        lines = f.read().splitlines()
    out = [lines[0], args.version]
    changed = changed_bytes = 0
    for index, line in enumerate(lines[2:]):
        fields = line.split(",")
        if index % 2 == 1 and len(fields) >= 7:
            marker, name, _, folder, flag = fields[:5]
            path = os.path.join(product, *folder.split("/"), name) if folder else os.path.join(product, name)
            with open(path, "r+b") as f:
                head = bytearray(f.read(16))
                f.seek(0)
                f.write(bytes(b ^ 0x5A for b in head))
            with open(path, "rb") as f:
                data = f.read()
            line = ",".join([marker, name, args.version, folder, flag, hashlib.sha256(data).hexdigest(),
                             str(len(data)), ""])
            changed += 1
            changed_bytes += len(data)
        out.append(line)
    with open(list_path, "w", encoding="latin-1", newline="\n") as f:
        f.write("".join(line + "\n" for line in out))
    print(changed, changed_bytes)


if __name__ == "__main__":
    main()
