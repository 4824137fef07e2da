#!/usr/bin/env python3
"""Publishes a release of the sample product Nuvra as an update-server tree.

The updater fetches everything below "/update/" of its server; this script writes that tree
into a folder that any static HTTP server can serve as its document root:

    <out>/update/version.txt                       the version list (installation allowed or not)
    <out>/update/Nuvra/_nuvr_file_list.lst         title, version, then one entry per file
    <out>/update/Nuvra/[<sub-folder>/]<name>       the files themselves

Usage:

    demo/publish.py --exe build/win/product/Nuvra.exe --version 1.0.0 \\
                    --title "Morvel Nuvra" --out /tmp/nuvra-server

publishes release 1.0.0: Nuvra.exe plus generated data files, some in nested sub-folders, all
listed with file version 1.0.0. A newer release for the update demo raises only some files:

    demo/publish.py --exe build/win/product/Nuvra.exe --version 1.1.0 \\
                    --changed res/skin/main.bmp,doc/readme.txt --out /tmp/nuvra-server

lists res/skin/main.bmp and doc/readme.txt with version 1.1.0 and new content; every other
file keeps the base version (--base-version, default 1.0.0) and exactly the bytes it had in the
base release, so the updater downloads only the changed files. Naming Nuvra.exe in --changed
appends a release trailer to the copied program (it still runs), so its bytes change too.

Other options:
    --flag-a LIST   give these files the flag "A" (replaced in place, without a backup)
    --crlf          write version.txt and the file list with CR LF line ends (default LF)
    --refuse        version.txt refuses installation ("no" in its record)
    --korean        add a file with a Korean name (doc/공지.txt), written in the list and on disk
                    in code page 949, byte for byte as the updater will request it
    --seed N        seed of the generated content (default 1)
    --pack-size N   size in bytes of the generated res/pack.dat (default 65536)

Files are named by their path below the product folder with "/" between folders, as in
--changed. Output is deterministic: the same arguments give the same bytes. Publishing replaces
<out>/update/Nuvra and <out>/update/version.txt; nothing else in <out> is touched. The script
prints one line per published file: path, file version, flag, size.

The demo runner demo/run-demo.sh serves such a tree on 127.0.0.1 and drives the updater
against it: publish 1.0.0 first, install, then publish 1.1.0 over the same <out> and press
"업데이트 확인" in the product's window.

Text goes to the server in code page 949 (the updater reads 8-bit text in the Korean ANSI code
page). Python 3 standard library only.
"""

import argparse
import hashlib
import os
import shutil
import struct
import sys

PRODUCT_FOLDER = "Nuvra"
FILE_LIST_NAME = "_nuvr_file_list.lst"
ENCODING = "cp949"
KOREAN_FILE = "doc/공지.txt"

# Every file of a release, in list order; Nuvra.exe comes first.
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
        description="Publish a Nuvra release as an update-server tree.",
        formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--exe", required=True, help="the built Nuvra.exe")
    parser.add_argument("--version", required=True, help="the release version, e.g. 1.0.0")
    parser.add_argument("--title", default="Morvel Nuvra", help="product title (line 0)")
    parser.add_argument("--out", required=True, help="server document root to write into")
    parser.add_argument("--base-version", default="1.0.0",
                        help="file version of files not named in --changed")
    parser.add_argument("--changed", default="",
                        help="comma-separated files whose version becomes --version")
    parser.add_argument("--flag-a", default="", help="comma-separated files with flag A")
    parser.add_argument("--crlf", action="store_true", help="CR LF line ends in the lists")
    parser.add_argument("--refuse", action="store_true", help="version.txt refuses installation")
    parser.add_argument("--korean", action="store_true", help="add a Korean-named file")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--pack-size", type=int, default=65536)
    args = parser.parse_args(argv)

    args.changed = split_list(args.changed)
    args.flag_a = split_list(args.flag_a)
    files = BASE_FILES + ([KOREAN_FILE] if args.korean else [])
    for option, names in (("--changed", args.changed), ("--flag-a", args.flag_a)):
        unknown = [n for n in names if n not in files]
        if unknown:
            parser.error(f"{option}: not a published file: {', '.join(unknown)} "
                         f"(files: {', '.join(files)})")
    if args.pack_size < 0:
        parser.error("--pack-size must not be negative")
    for field, value in (("--version", args.version), ("--base-version", args.base_version),
                         ("--title", args.title)):
        # A comma or a line end would break the comma-separated lists.
        if any(c in value for c in ",\r\n"):
            parser.error(f"{field} must not contain a comma or a line end")
        try:
            value.encode(ENCODING)
        except UnicodeEncodeError:
            parser.error(f"{field} cannot be written in code page 949")
    args.files = files
    return args


def list_bytes(lines, crlf):
    end = "\r\n" if crlf else "\n"
    return "".join(line + end for line in lines).encode(ENCODING)


def publish(args):
    with open(args.exe, "rb") as f:
        exe_bytes = f.read()

    update_dir = os.path.join(args.out, "update")
    product_dir = os.path.join(update_dir, PRODUCT_FOLDER)
    # The previous release goes entirely, so that no stale file stays on the server.
    if os.path.isdir(product_dir):
        shutil.rmtree(product_dir)
    os.makedirs(product_dir)

    record = "no" if args.refuse else "yes"
    version_lines = [
        "# Morvel update server: selector,version,reserved,reserved,install allowed,",
        f"0,{args.version},,,{record},",
    ]
    with open(os.path.join(update_dir, "version.txt"), "wb") as f:
        f.write(list_bytes(version_lines, args.crlf))

    list_lines = [args.title, args.version]
    published = []
    for path in args.files:
        version = args.version if path in args.changed else args.base_version
        flag = "A" if path in args.flag_a else ""
        folder, _, name = path.rpartition("/")
        list_lines.append(f"entry,{name},{version},{folder},{flag},")
        content = file_content(path, version, args, exe_bytes)
        # Names on disk are the list's 8-bit bytes: the server maps request bytes to files.
        target = os.path.join(os.fsencode(product_dir), *[p.encode(ENCODING)
                                                         for p in path.split("/")])
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target, "wb") as f:
            f.write(content)
        published.append((path, version, flag, len(content)))

    with open(os.path.join(product_dir, FILE_LIST_NAME), "wb") as f:
        f.write(list_bytes(list_lines, args.crlf))
    return published


def main(argv=None):
    args = parse_args(sys.argv[1:] if argv is None else argv)
    try:
        published = publish(args)
    except OSError as e:
        print(f"publish.py: {e}", file=sys.stderr)
        return 1
    for path, version, flag, size in published:
        print(f"{path}\t{version}\t{flag or '-'}\t{size}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
