#!/usr/bin/env python3
"""Writes the benchmark's reference release as an update-server tree.

    make_release.py --out DIR [--exe Nuvra.exe] [--files 200] [--seed 5] [--hashed | --sized]
    make_release.py --out DIR --big [--big-mib 256]

The standard release is Nuvra.exe (the given program, or 64 KiB of data without one) followed
by files whose sizes are log-uniform between 1 KiB and 2 MiB, spread over ten sub-folders. The
big release is one file of 256 MiB, to show that no step holds a whole file in memory. Contents
are pseudo-random (incompressible) and the same for the same arguments.

Writes DIR/update/version.txt (installation allowed), DIR/update/Nuvra/_nuvr_file_list.lst and
the files; DIR/update is replaced. With --hashed the list carries every file's SHA-256, and the
list without them is kept beside it as _nuvr_file_list.lst.plain (the same release either way).
With --sized every entry carries its hash and its byte count (the seventh field), so that the
installer asks the server for no size.
Prints "<files> <bytes>" of the release.
"""

import argparse
import hashlib
import math
import os
import random
import shutil

KIB = 1024
MIB = 1024 * KIB


def release_files(args):
    """(sub-folder, name, size, content or None) for every file, in list order."""
    rng = random.Random(args.seed)
    if args.big:
        return [("", "big.dat", args.big_mib * MIB, None)]
    if args.exe:
        with open(args.exe, "rb") as f:
            exe = f.read()
        files = [("", "Nuvra.exe", len(exe), exe)]
    else:
        files = [("", "Nuvra.exe", 64 * KIB, None)]
    low, high = math.log(KIB), math.log(2 * MIB)
    for i in range(1, args.files):
        size = int(math.exp(rng.uniform(low, high)))
        files.append((f"data/d{i % 10}", f"f{i:03d}.dat", size, None))
    return files


def write_random(path, size, rng):
    digest = hashlib.sha256()
    with open(path, "wb") as f:
        left = size
        while left > 0:
            n = min(left, MIB)
            chunk = rng.randbytes(n)
            f.write(chunk)
            digest.update(chunk)
            left -= n
    return digest.hexdigest()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--out", required=True)
    parser.add_argument("--exe", help="the sample product to publish as Nuvra.exe")
    parser.add_argument("--files", type=int, default=200)
    # Seed 5 gives about 66 MB, the size the figures are quoted for.
    parser.add_argument("--seed", type=int, default=5)
    parser.add_argument("--big", action="store_true", help="one file of --big-mib MiB instead")
    parser.add_argument("--big-mib", type=int, default=256)
    parser.add_argument("--hashed", action="store_true", help="list every file's SHA-256")
    parser.add_argument("--sized", action="store_true", help="list every file's SHA-256 and size")
    args = parser.parse_args()

    update = os.path.join(args.out, "update")
    product = os.path.join(update, "Nuvra")
    shutil.rmtree(update, ignore_errors=True)
    os.makedirs(product)
    with open(os.path.join(update, "version.txt"), "w", newline="\n") as f:
        f.write("# selector,version,reserved,reserved,install allowed,\n0,1.0.0,,,yes,\n")

    content_rng = random.Random(args.seed + 1000)
    lines = ["Morvel Nuvra", "1.0.0"]
    hashed = list(lines)
    total = 0
    files = release_files(args)
    for folder, name, size, content in files:
        target_dir = os.path.join(product, *folder.split("/")) if folder else product
        os.makedirs(target_dir, exist_ok=True)
        path = os.path.join(target_dir, name)
        if content is None:
            sha256 = write_random(path, size, content_rng)
        else:
            with open(path, "wb") as f:
                f.write(content)
            sha256 = hashlib.sha256(content).hexdigest()
        lines.append(f"entry,{name},1.0.0,{folder},,")
        hashed.append(f"entry,{name},1.0.0,{folder},,{sha256}," + (f"{size}," if args.sized else ""))
        total += size
    list_path = os.path.join(product, "_nuvr_file_list.lst")
    if not args.sized:
        with open(list_path + (".plain" if args.hashed else ""), "w", newline="\n") as f:
            f.write("".join(line + "\n" for line in lines))
    if args.hashed or args.sized:
        with open(list_path, "w", newline="\n") as f:
            f.write("".join(line + "\n" for line in hashed))
    print(len(files), total)


if __name__ == "__main__":
    main()
