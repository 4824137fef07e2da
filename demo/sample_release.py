#!/usr/bin/env python3
"""Writes the files of a release of the sample product Nuvra into a product folder.

The maker's tool then publishes that folder (tools/nuvra-publish build --product DIR ...). This
script only makes believable content for the demo:

    demo/sample_release.py --exe build/win/product/Nuvra.exe --version 1.0.0 --out /tmp/nuvra-1.0.0

writes release 1.0.0: Nuvra.exe plus generated data files, some in nested sub-folders. A newer
release for the update demo changes only some files:

    demo/sample_release.py --exe build/win/product/Nuvra.exe --version 1.1.0 \\
                           --changed res/skin/main.bmp,doc/readme.txt --out /tmp/nuvra-1.1.0

gives res/skin/main.bmp and doc/readme.txt new content; every other file has exactly the bytes
of the base release (--base-version, default 1.0.0), so that nuvra-publish, publishing over the
served release, keeps their file versions and the updater downloads only the changed files.
Naming Nuvra.exe in --changed appends a release trailer to the copied program (it still runs), so
its bytes change too.

Other options:
    --title T       the product title written in doc/readme.txt
    --korean        add a file with a Korean name (doc/공지.txt)
    --seed N        seed of the generated content (default 1)
    --pack-size N   size in bytes of the generated res/pack.dat (default 65536)

Files are named by their path below the product folder with "/" between folders, as in
--changed. Output is deterministic: the same arguments give the same bytes. The folder is
emptied first. The script prints one line per file: path, size. Python 3 standard library only.
"""

import argparse
import hashlib
import os
import shutil
import struct
import sys

ENCODING = "cp949"
KOREAN_FILE = "doc/공지.txt"

# Every file of a release.
BASE_FILES = [
    "Nuvra.exe",
    "nuvra.ini",
    "res/pack.dat",
    "res/skin/main.bmp",
    "res/skin/button.bmp",
    "doc/readme.txt",
]


def stream(seed, name, version, size):
    """Deterministic pseudo-random bytes for one file of one version."""
    out = bytearray()
    counter = 0
    key = f"{seed}\0{name}\0{version}".encode("utf-8")
    while len(out) < size:
        out += hashlib.sha256(key + counter.to_bytes(8, "little")).digest()
        counter += 1
    return bytes(out[:size])


def make_bmp(seed, name, version, width=32, height=32):
    """A small 24-bit bitmap whose colours depend on the seed, name and version."""
    colours = stream(seed, name, version, 6)
    row_size = (width * 3 + 3) & ~3
    pixels = bytearray()
    for y in range(height):
        row = bytearray()
        for x in range(width):
            c = colours[0:3] if (x // 8 + y // 8) % 2 == 0 else colours[3:6]
            row += bytes(c)
        row += b"\0" * (row_size - len(row))
        pixels += row
    header_size = 14 + 40
    file_header = struct.pack("<2sIHHI", b"BM", header_size + len(pixels), 0, 0, header_size)
    info_header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels),
                              2835, 2835, 0, 0)
    return file_header + info_header + bytes(pixels)


def make_text(lines):
    return "".join(line + "\r\n" for line in lines).encode(ENCODING)


def file_content(path, version, args, exe_bytes):
    """The bytes of one published file in the given file version."""
    name = path.rsplit("/", 1)[-1]
    if path == "Nuvra.exe":
        if version == args.base_version:
            return exe_bytes
        # Bytes after the image do not affect how Windows loads the program.
        return exe_bytes + f"\0NUVRA-RELEASE {version}\0".encode("ascii")
    if name.endswith(".bmp"):
        return make_bmp(args.seed, path, version)
    if path == "doc/readme.txt":
        return make_text([
            f"{args.title} {version}",
            "",
            "모르벨 누브라 데스크톱 알리미입니다.",
            f"이 파일의 버전: {version}",
        ])
    if path == KOREAN_FILE:
        return make_text(["공지사항", f"버전 {version}"])
    if path == "nuvra.ini":
        return make_text([
            "[Nuvra]",
            f"Version={version}",
            "Server=127.0.0.1",
            f"Seed={args.seed}",
        ])
    size = args.pack_size if path == "res/pack.dat" else 4096
    return stream(args.seed, path, version, size)


def split_list(text):
    return [p.strip().strip("/") for p in text.split(",") if p.strip()] if text else []


def parse_args(argv):
    parser = argparse.ArgumentParser(
        description="Write the files of a sample Nuvra release into a product folder.",
        formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--exe", required=True, help="the built Nuvra.exe")
    parser.add_argument("--version", required=True, help="the release version, e.g. 1.0.0")
    parser.add_argument("--title", default="Morvel Nuvra", help="product title in the readme")
    parser.add_argument("--out", required=True, help="product folder to write")
    parser.add_argument("--base-version", default="1.0.0",
                        help="version whose content files not named in --changed keep")
    parser.add_argument("--changed", default="",
                        help="comma-separated files with new content")
    parser.add_argument("--korean", action="store_true", help="add a Korean-named file")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--pack-size", type=int, default=65536)
    args = parser.parse_args(argv)

    args.changed = split_list(args.changed)
    files = BASE_FILES + ([KOREAN_FILE] if args.korean else [])
    unknown = [n for n in args.changed if n not in files]
    if unknown:
        parser.error(f"--changed: not a release file: {', '.join(unknown)} "
                     f"(files: {', '.join(files)})")
    if args.pack_size < 0:
        parser.error("--pack-size must not be negative")
    args.files = files
    return args


def write_release(args):
    with open(args.exe, "rb") as f:
        exe_bytes = f.read()
    if os.path.isdir(args.out):
        shutil.rmtree(args.out)
    written = []
    for path in args.files:
        version = args.version if path in args.changed else args.base_version
        content = file_content(path, version, args, exe_bytes)
        target = os.path.join(args.out, *path.split("/"))
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target, "wb") as f:
            f.write(content)
        written.append((path, len(content)))
    return written


def main(argv=None):
    args = parse_args(sys.argv[1:] if argv is None else argv)
    try:
        written = write_release(args)
    except OSError as e:
        print(f"sample_release.py: {e}", file=sys.stderr)
        return 1
    for path, size in written:
        print(f"{path}\t{size}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
