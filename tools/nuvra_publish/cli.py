"""nuvra-publish: makes signed releases of Nuvra for its update server.

    nuvra-publish keygen --out DIR
    nuvra-publish build --product DIR --version V --title T --out TREE
                        [--key release-key.pem] [--new-key] [--previous TREE]
                        [--updater NuvraUpdater.exe | --no-updater] [--follow-links] [--config FILE]
                        [--expires DAYS] [--sign-cert CERT --sign-key KEY] [--keep N]
    nuvra-publish verify TREE [--key release-key.pub.pem] [--sign-cert CERT]
    nuvra-publish rollback --out TREE [--key release-key.pem] [--to VERSION]
    nuvra-publish export --out TREE DEST

keygen writes an ECDSA P-256 key pair: DIR/release-key.pem (private, mode 600; keep it off the
update server and out of git) and DIR/release-key.pub.pem, which the updater is built with.

build writes the release for the files below --product into TREE, the server's document root:

    TREE/update -> releases/V                the served release (a symbolic link)
    TREE/releases/V/version.txt              installation allowed, version V
    TREE/releases/V/Nuvra/_nuvr_file_list.lst      title, V, then per file
                                             marker,name,version,folder,flag,sha256,size,
    TREE/releases/V/Nuvra/_nuvr_file_list.lst.sig  with --key: ECDSA signature (hex r||s)
    TREE/releases/V/Nuvra/<folder>/<name>    the files

The release is written and verified beside the served one, then the link is switched in one
atomic rename: a publish that is killed, interrupted or fails leaves the earlier release served,
whole, and the same command can simply be run again. Older releases beyond --keep (default 2,
the served one included) are removed after the switch, but never the served one, the one
rollback would serve, or one newer than the served one; withdrawn releases go first.

Versions are dotted numbers, and each release's must be above the served one's, both component
by component and as older updaters read it (the dots removed: 1.0.10 is 1010, above 1.1.0's
110), whose dot-less number must fit an int (at most 2147483647). The served release is the
previous one: a file whose bytes are unchanged keeps its file version, every changed or new file
gets V, so an update downloads only what changed. --previous names another tree for that.

The product folder must hold Nuvra.exe; symbolic links in it are refused unless --follow-links,
and never followed out of it. Names must be ones Windows stores and the list carries.

Over a signed release, --key is required and must be the key that signed it; --new-key accepts
a different one (updaters built with the old public key then refuse every release: see the
README). The updater ships in every release: --updater PATH copies it in as NuvraUpdater.exe
(or the product folder holds one), --no-updater publishes without it. It must be a Windows x64
NuvraUpdater.exe that trusts the key the list is signed with (one built without a key for an
unsigned list); with --new-key, a release signed with the old key may ship an updater that
trusts a new one. --expires DAYS makes keyed updaters refuse the list after that many days.
--sign-cert and --sign-key sign every .exe and .dll with osslsigncode (Authenticode).

The optional --config file (UTF-8) gives entry markers and flags, one file per line; "*" sets
the default marker ("entry" without one); faults are reported with their line number:

    # path below the product folder     settings
    *                                    marker=entry
    res/skin/main.bmp                    flag=A

verify checks a served tree with the updater's own rules: the list's shape, names, title and
version, every file's hash and size, the expiry, with --key the signature, with --sign-cert the
Authenticode signatures. It prints what it checked and each problem, and exits with 1 when there
is one.

rollback serves the newest kept release below the served one again (or --to VERSION), in the
same atomic way, and marks the one it withdraws: rollback never serves it again, and later
builds must use a version above it. Over a signed release it needs --key, and it serves only a
release that key signed.

export writes the release TREE serves as plain files and folders under DEST/update/, for hosts
without symbolic links (object stores, static site hosts): DEST is replaced whole, never half
written. Upload the files first and the list and its signature last (see the README).

A whole release cycle:

    nuvra-publish keygen --out keys
    nuvra-publish build --product dist/1.0.0 --version 1.0.0 --title "Morvel Nuvra" \\
                        --updater NuvraUpdater.exe --key keys/release-key.pem --out /srv/nuvra
    nuvra-publish build --product dist/1.1.0 --version 1.1.0 --title "Morvel Nuvra" \\
                        --updater NuvraUpdater.exe --key keys/release-key.pem --out /srv/nuvra
    nuvra-publish verify /srv/nuvra --key keys/release-key.pub.pem
    nuvra-publish rollback --out /srv/nuvra --key keys/release-key.pem   # 1.0.0 is served again

Exit status: 0 done, 1 verify found problems, 2 refused (one line on stderr; nothing served
changed), 130 interrupted (Ctrl-C; one line). Python 3 with the cryptography package (Debian:
python3-cryptography); osslsigncode for Authenticode.
"""

import argparse
import os
import sys

from .build import DEFAULT_KEEP, build
from .common import Interrupted, PublishError, steps_taken
from .export import export
from .keys import keygen
from .rollback import rollback
from .store import read_release, release_locks, served_path
from .verify import verify


def parse_args(argv):
    parser = argparse.ArgumentParser(prog="nuvra-publish", description=__doc__.split("\n\n")[0],
                                     formatter_class=argparse.RawDescriptionHelpFormatter,
                                     epilog=__doc__.split("\n\n", 2)[2])
    commands = parser.add_subparsers(dest="command", required=True)
    k = commands.add_parser("keygen", help="make a release key pair")
    k.add_argument("--out", required=True, help="folder for release-key.pem and release-key.pub.pem")
    b = commands.add_parser("build", help="write and serve a release")
    b.add_argument("--product", required=True, help="folder holding the release's files")
    b.add_argument("--version", required=True, help="release version, e.g. 1.1.0")
    b.add_argument("--title", required=True, help="product title (the list's first line)")
    b.add_argument("--out", required=True, help="server document root to write")
    b.add_argument("--previous", help="another tree serving the release before")
    b.add_argument("--key", help="private release key; signs the file list")
    b.add_argument("--new-key", action="store_true", help="accept a key other than the served release's")
    b.add_argument("--updater", help="NuvraUpdater.exe to ship in the release")
    b.add_argument("--no-updater", action="store_true", help="publish without the updater")
    b.add_argument("--follow-links", action="store_true",
                   help="publish what symbolic links inside the product folder point to")
    b.add_argument("--config", help="markers and flags per file")
    b.add_argument("--expires", type=int, metavar="DAYS", help="keyed updaters refuse the list after DAYS")
    b.add_argument("--sign-cert", help="Authenticode certificate (PEM) for .exe and .dll files")
    b.add_argument("--sign-key", help="its private key (PEM)")
    b.add_argument("--keep", type=int, default=DEFAULT_KEEP, help="releases kept, the served one included")
    b.add_argument("--crlf", action="store_true", help="CR LF line ends in the lists (default LF)")
    b.add_argument("--refuse", action="store_true", help="version.txt refuses installation")
    v = commands.add_parser("verify", help="check a server tree")
    v.add_argument("tree", help="server document root")
    v.add_argument("--key", help="public release key; checks the signature")
    v.add_argument("--sign-cert", help="Authenticode certificate the programs must be signed with")
    r = commands.add_parser("rollback", help="serve the release before again")
    r.add_argument("--out", required=True, help="server document root")
    r.add_argument("--key", help="private release key; required over a signed release")
    r.add_argument("--to", help="the kept release's version (default: the newest below the served one)")
    e = commands.add_parser("export", help="write the served release as plain files for a static host")
    e.add_argument("--out", required=True, help="server document root whose served release is exported")
    e.add_argument("dest", help="folder to write; receives update/")
    return parser.parse_args(argv)


def run(args):
    if args.command == "keygen":
        for path in keygen(args.out):
            print(path)
        return 0
    if args.command == "build":
        for path, version, flag, size, changed in build(args):
            print(f"{path}\t{version}\t{flag or '-'}\t{size}\t{'changed' if changed else 'kept'}")
        return 0
    if args.command == "rollback":
        print(f"serving {rollback(args.out, args.to, args.key)}")
        return 0
    if args.command == "export":
        version, count = export(args.out, args.dest)
        print(f"exported {version}: {count} files in {os.path.join(args.dest, 'update')}")
        return 0
    found = verify(args.tree, args.key, args.sign_cert)
    for line in found.checked:
        print(line)
    for problem in found.problems:
        print(problem)
    if found.problems:
        print(f"{len(found.problems)} problem(s)")
        return 1
    print("ok" + ("" if args.key else " (signature not checked: no --key)"))
    return 0


def served_now(args):
    tree = getattr(args, "out", None)
    release = read_release(served_path(tree)) if tree and os.path.isdir(served_path(tree)) else None
    return f"; serving {release.version}" if release else ""


def main(argv=None):
    args = parse_args(sys.argv[1:] if argv is None else argv)
    try:
        return run(args)
    except PublishError as e:
        print(f"nuvra-publish: {e}", file=sys.stderr)
        return 2
    except OSError as e:
        print(f"nuvra-publish: {e.filename or ''}: {e.strerror}", file=sys.stderr)
        return 2
    except (Interrupted, KeyboardInterrupt):
        print(f"nuvra-publish: interrupted{served_now(args)}", file=sys.stderr)
        return 130
    finally:
        release_locks()
        if "NUVRA_PUBLISH_KILL_AT" in os.environ:
            print(f"steps: {steps_taken()}", file=sys.stderr)
