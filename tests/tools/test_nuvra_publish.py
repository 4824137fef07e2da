#!/usr/bin/env python3
"""Tests of tools/nuvra-publish: keys, the server tree it builds and switches, what it refuses, what
verify finds, and kills at any point of a publish."""

import contextlib
import datetime
import errno
import hashlib
import http.server
import io
import os
import re
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import urllib.request
from unittest import mock

from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import ec
from cryptography.hazmat.primitives.asymmetric.utils import encode_dss_signature

HERE = os.path.dirname(os.path.abspath(__file__))
TOOLS = os.path.join(HERE, "..", "..", "tools")
TOOL = os.path.join(TOOLS, "nuvra-publish")
sys.path[:0] = [HERE, TOOLS]
from fake_updater import fake_updater  # noqa: E402
from nuvra_publish import cli, common, files, keys, listrules, store, versions  # noqa: E402
from nuvra_publish import verify as checks  # noqa: E402


def sha256_hex(data):
    return hashlib.sha256(data).hexdigest()


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def read(path):
    with open(path, "rb") as f:
        return f.read()


class PublishFixture(unittest.TestCase):
    """A key pair and a product folder in a scratch folder."""

    def setUp(self):
        tmp = tempfile.TemporaryDirectory()
        self.addCleanup(tmp.cleanup)
        self.root = tmp.name
        with contextlib.redirect_stdout(io.StringIO()):
            self.assertEqual(cli.main(["keygen", "--out", self.path("keys")]), 0)
        self.key = self.path("keys", keys.PRIVATE_KEY_NAME)
        self.pub = self.path("keys", keys.PUBLIC_KEY_NAME)
        self.product = self.path("product")
        self.raw_key = keys.raw_public_key(keys.load_public_key(self.pub))
        self.files = {"Nuvra.exe": b"MZ program", "nuvra.ini": b"[nuvra]\r\n",
                      "doc/readme.txt": b"readme 1", "res/skin/main.bmp": b"BM" + bytes(300),
                      "NuvraUpdater.exe": fake_updater(self.raw_key)}
        for name, data in self.files.items():
            write(os.path.join(self.product, *name.split("/")), data)

    def ship_unkeyed_updater(self):
        """For unsigned releases: an updater built without a key."""
        self.files["NuvraUpdater.exe"] = fake_updater(None)
        write(os.path.join(self.product, "NuvraUpdater.exe"), self.files["NuvraUpdater.exe"])

    def path(self, *parts):
        return os.path.join(self.root, *parts)

    def run_tool(self, *argv):
        out, err = io.StringIO(), io.StringIO()
        with contextlib.redirect_stdout(out), contextlib.redirect_stderr(err):
            code = cli.main(list(argv))
        return code, out.getvalue() + err.getvalue()

    def build(self, version, out="tree", *extra, key=True):
        argv = ["build", "--product", self.product, "--version", version, "--title", "Morvel Nuvra",
                "--out", self.path(out), *extra]
        code, text = self.run_tool(*argv, *(["--key", self.key] if key else []))
        self.assertEqual(code, 0, text)

    def listed(self, out="tree"):
        release = listrules.Release(read(store.list_path(self.path(out))))
        return release.version, {e.path: e for e in release.entries}


class NuvraPublishTest(PublishFixture):
    def test_keygen_writes_a_private_key_only_its_owner_reads_and_never_overwrites(self):
        self.assertEqual(stat.S_IMODE(os.stat(self.key).st_mode), 0o600)
        self.assertTrue(read(self.pub).startswith(b"-----BEGIN PUBLIC KEY-----"))
        before = read(self.key)
        code, text = self.run_tool("keygen", "--out", self.path("keys"))
        self.assertNotEqual(code, 0)
        self.assertIn("exists", text)
        self.assertEqual(read(self.key), before)

    def test_build_then_verify_round_trip(self):
        self.build("1.0.0")
        self.assertEqual(self.run_tool("verify", self.path("tree"), "--key", self.pub)[0], 0)
        version, entries = self.listed()
        self.assertEqual(version, "1.0.0")
        self.assertEqual(set(entries), set(self.files))
        for name, entry in entries.items():
            self.assertEqual(entry.sha256, sha256_hex(self.files[name]))
            self.assertEqual(read(store.server_file(self.path("tree"), name)), self.files[name])
        self.assertEqual(read(self.path("tree", "update", "version.txt")).splitlines()[1], b"0,1.0.0,,,yes,")
        # The signature is r||s over the list's exact bytes, as the updater checks it.
        raw = bytes.fromhex(read(self.path("tree", "update", "Nuvra", common.SIGNATURE_NAME)).decode())
        self.assertEqual(len(raw), 64)
        public = keys.load_public_key(self.pub)
        public.verify(encode_dss_signature(int.from_bytes(raw[:32], "big"), int.from_bytes(raw[32:], "big")),
                      read(store.list_path(self.path("tree"))), ec.ECDSA(hashes.SHA256()))

    def test_verify_reports_each_fault(self):
        def tamper_file(tree):
            write(store.server_file(tree, "doc/readme.txt"), b"readme X")

        def tamper_list(tree):
            data = read(store.list_path(tree))
            write(store.list_path(tree), data.replace(b"Morvel Nuvra", b"Morvel Nuvrb"))

        def drop_signature(tree):
            os.remove(os.path.join(tree, "update", "Nuvra", common.SIGNATURE_NAME))

        def sign_with_other_key(tree):
            other = ec.generate_private_key(ec.SECP256R1())
            write(os.path.join(tree, "update", "Nuvra", common.SIGNATURE_NAME),
                  keys.sign(other, read(store.list_path(tree))).encode())

        def drop_file(tree):
            os.remove(store.server_file(tree, "nuvra.ini"))

        def drop_hash(tree):
            data = read(store.list_path(tree))
            digest = sha256_hex(self.files["nuvra.ini"]).encode()
            write(store.list_path(tree), data.replace(digest + b",", b""))

        cases = [
            ("tampered file", tamper_file, "doc/readme.txt: content does not match its hash"),
            ("tampered list", tamper_list, "does not verify"),
            ("no signature", drop_signature, "is missing"),
            ("another key", sign_with_other_key, "does not verify"),
            ("missing file", drop_file, "nuvra.ini: listed but missing"),
            ("entry without hash", drop_hash, "nuvra.ini: no hash in the list"),
        ]
        for name, fault, expected in cases:
            with self.subTest(name):
                self.build("1.0.0", name)
                fault(self.path(name))
                code, text = self.run_tool("verify", self.path(name), "--key", self.pub)
                self.assertEqual(code, 1, text)
                self.assertIn(expected, text)

    def test_unchanged_files_keep_their_version_changed_and_new_ones_get_the_new(self):
        self.build("1.0.0")
        write(os.path.join(self.product, "doc", "readme.txt"), b"readme 2")
        write(os.path.join(self.product, "doc", "new.txt"), b"new")
        # The earlier tree is read before it is replaced, so it may be the output too.
        self.build("1.1.0", "tree", "--previous", self.path("tree"))
        version, entries = self.listed()
        self.assertEqual(version, "1.1.0")
        self.assertEqual({name: e.version for name, e in entries.items()},
                         {"Nuvra.exe": "1.0.0", "NuvraUpdater.exe": "1.0.0", "nuvra.ini": "1.0.0", "res/skin/main.bmp": "1.0.0",
                          "doc/readme.txt": "1.1.0", "doc/new.txt": "1.1.0"})
        # A file kept twice keeps its first version; one changed back gets the newest.
        write(os.path.join(self.product, "doc", "readme.txt"), b"readme 1")
        self.build("1.2.0", "tree", "--previous", self.path("tree"))
        _, entries = self.listed()
        self.assertEqual(entries["nuvra.ini"].version, "1.0.0")
        self.assertEqual(entries["doc/readme.txt"].version, "1.2.0")
        self.assertEqual(entries["doc/new.txt"].version, "1.1.0")

    def test_config_sets_markers_and_flags_and_the_title_is_cp949(self):
        self.ship_unkeyed_updater()
        config = self.path("publish.conf")
        write(config, b"# markers and flags\n*  marker=setup\nres/skin/main.bmp flag=A marker=skin\n")
        argv = ["build", "--product", self.product, "--version", "1.0.0", "--title", "모르벨 누브라",
                "--config", config, "--out", self.path("tree")]
        self.assertEqual(self.run_tool(*argv)[0], 0)
        data = read(store.list_path(self.path("tree")))
        self.assertTrue(data.startswith("모르벨 누브라\n1.0.0\n".encode("cp949")))
        _, entries = self.listed()
        self.assertEqual((entries["res/skin/main.bmp"].marker, entries["res/skin/main.bmp"].flag), ("skin", "A"))
        self.assertEqual((entries["nuvra.ini"].marker, entries["nuvra.ini"].flag), ("setup", ""))
        self.assertFalse(os.path.exists(self.path("tree", "update", "Nuvra", common.SIGNATURE_NAME)))

    def test_input_the_list_cannot_carry_is_refused(self):
        cases = [
            ("comma in title", ["--title", "Morvel, Nuvra"], None),
            ("line end in version", ["--version", "1.0\n"], None),
            ("comma in a file name", [], ("a,b.txt", b"x")),
            ("name Windows cannot store", [], ("nul.txt", b"x")),
            ("name the updater trims", [], (" lead.txt", b"x")),
            ("names differing only by case", [], ("NUVRA.ini", b"x")),
            ("config names no product file", ["--config", "bad.conf"], None),
            ("request path longer than the updater sends", [], ("/".join(["%" * 240] * 3) + ".txt", b"x")),
        ]
        write(self.path("bad.conf"), b"missing.txt flag=A\n")
        for name, extra, bad_file in cases:
            with self.subTest(name):
                if bad_file:
                    write(os.path.join(self.product, bad_file[0]), bad_file[1])
                argv = ["build", "--product", self.product, "--version", "1.0.0", "--title", "T",
                        "--out", self.path("refused")]
                extra = [self.path(e) if e == "bad.conf" else e for e in extra]
                code, _ = self.run_tool(*argv, *extra)
                self.assertEqual(code, 2)
                self.assertFalse(os.path.exists(self.path("refused")))
                if bad_file:
                    os.remove(os.path.join(self.product, bad_file[0]))


def snapshot(tree):
    """Every name below tree with its link target or content, to see that nothing changed."""
    found = {}
    for folder, dirs, names in os.walk(tree):
        for name in dirs + names:
            full = os.path.join(folder, name)
            found[os.path.relpath(full, tree)] = os.readlink(full) if os.path.islink(full) else \
                (read(full) if os.path.isfile(full) else None)
    return found


def check_list(path, keyed):
    """The updater's own verdict (its list check built natively): True when it takes the list."""
    checker = os.environ.get("NUVRA_LIST_CHECK")
    if not checker:
        raise unittest.SkipTest("NUVRA_LIST_CHECK names no list checker (ctest sets it)")
    return subprocess.run([checker, path] + (["--keyed"] if keyed else []), capture_output=True).returncode == 0


class ReleaseRulesTest(PublishFixture):
    """What build refuses, with one line and nothing served changed, and the updater's view."""

    def test_refusals(self):
        self.build("1.0.10")
        write(self.path("other", "update", "Nuvra", common.LIST_NAME), b"Morvel Nuvra\n1.0.9\nentry,a,1.0.9,,,\n")
        other_key = self.path("keys2", keys.PRIVATE_KEY_NAME)
        self.assertEqual(self.run_tool("keygen", "--out", self.path("keys2"))[0], 0)
        write(self.path("fake.exe"), b"not a program")
        cases = [
            ("not a dotted number", {"--version": "1.0.11-beta"}, "not a dotted number"),
            ("lower than served", {"--version": "1.0.9"}, "not above the served release 1.0.10"),
            ("lower as installed updaters read it", {"--version": "1.1.0"}, "reads as 110"),
            ("quote in the title", {"--title": 'Morvel "Nuvra"'}, "'\"'"),
            ("control character in the title", {"--title": "Morvel\tNuvra"}, "control character"),
            ("title too long for the command line", {"--title": "N" * 120}, "too long"),
            ("previous older than served", {"--previous": self.path("other")}, "the served release is the previous"),
            ("previous not below", {"--previous": self.path("tree"), "--out": self.path("fresh"),
                                    "--version": "1.0.10"}, "not above the --previous release"),
            ("no key over a signed release", {"--key": None}, "serves a signed release"),
            ("another key", {"--key": other_key}, "not the key that signed"),
            ("public key", {"--key": self.pub}, "is a public key"),
            ("updater not a program", {"--updater": self.path("fake.exe")}, "not a Windows program"),
            ("missing product", {"--product": self.path("nothing")}, "no such folder"),
            ("product holds the tree", {"--product": self.root}, "holds the output tree"),
        ]
        before = snapshot(self.path("tree"))
        for name, changes, expected in cases:
            with self.subTest(name):
                argv = {"--product": self.product, "--version": "1.1.0.1", "--title": "Morvel Nuvra",
                        "--key": self.key, "--out": self.path("tree"), **changes}
                code, text = self.run_tool("build", *[x for kv in argv.items() if kv[1] is not None for x in kv])
                self.assertEqual(code, 2, text)
                self.assertIn(expected, text)
                self.assertEqual(text.count("\n"), 1, text)
                self.assertEqual(snapshot(self.path("tree")), before)
                self.assertFalse(os.path.exists(self.path("fresh")))
        # A new key is taken when the maker says so, with an updater that trusts it.
        write(os.path.join(self.product, "NuvraUpdater.exe"),
              fake_updater(keys.raw_public_key(keys.load_private_key(other_key).public_key())))
        code, text = self.run_tool("build", "--product", self.product, "--version", "1.1.0.1", "--title", "T",
                                   "--key", other_key, "--new-key", "--out", self.path("tree"))
        self.assertEqual(code, 0, text)

    def test_tool_and_updater_judge_lists_alike(self):
        digest = "ab" * 32
        lists = {
            "release": f"T\n1.0.0\nentry,a.txt,1.0.0,doc,,{digest},5,\n",
            "with expiry line": f"T\n1.0.0\n,expires,99,\nentry,a.txt,1.0.0,,,{digest},5,\n",
            "old six fields": f"T\n1.0.0\nentry,a.txt,1.0.0,,,{digest},\n",
            "size without hash": "T\n1.0.0\nentry,a.txt,1.0.0,,,5,\n",
            "beta version": f"T\n1.0.0-beta\nentry,a.txt,1.0.0,,,{digest},\n",
            "quote in title": f'T"\n1.0.0\nentry,a.txt,1.0.0,,,{digest},\n',
            "long title": "T" * 110 + f"\n1.0.0\nentry,a.txt,1.0.0,,,{digest},\n",
            "title just fits": "T" * 103 + f"\n1.0.0\nentry,a.txt,1.0.0,,,{digest},\n",
            "no entry": "T\n1.0.0\n,,,\n",
            "device name": f"T\n1.0.0\nentry,aux.txt,1.0.0,,,{digest},\n",
            "dotdot folder": f"T\n1.0.0\nentry,a.txt,1.0.0,../x,,{digest},\n",
            "lone lead byte": f"T\n1.0.0\nentry,a\xb0,1.0.0,,,{digest},\n",
            "byte-order mark": f"\xef\xbb\xbfT\r\n1.0.0\r\nentry,a.txt,1.0.0,,,{digest},\r\n",
        }
        for name, text in lists.items():
            data = text.encode("latin-1")
            write(self.path("lists", name), data)
            for keyed in (False, True):
                with self.subTest(name, keyed=keyed):
                    self.assertEqual(listrules.list_problems(data, keyed) == [],
                                     check_list(self.path("lists", name), keyed), listrules.list_problems(data, keyed))

    def test_tool_and_updater_order_versions_and_read_expiry_alike(self):
        checker = os.environ.get("NUVRA_LIST_CHECK")
        if not checker:
            self.skipTest("NUVRA_LIST_CHECK names no list checker (ctest sets it)")
        pairs = [("1.1.0", "1.0.10"), ("1.0.10", "1.0.9"), ("1.0", "1.0.0"), ("1.0.0.1", "1.0"), ("01.2", "1.2"),
                 ("2147483647.1", "2147483647.0"), ("99999999999999999999.1", "100000000000000000000.0")]
        for a, b in pairs:
            for left, right in ((a, b), (b, a)):
                with self.subTest(left=left, right=right):
                    order = subprocess.run([checker, "--compare", left, right], capture_output=True, text=True)
                    self.assertEqual(order.returncode, 0)
                    l, r = versions.parse_version(left), versions.parse_version(right)
                    mine = 1 if versions.components_above(l, r) else -1 if versions.components_above(r, l) else 0
                    self.assertEqual(int(order.stdout), mine)
        digest = "ab" * 32
        data = f"T\n1.0.0\n,expires,1000,\nentry,a.txt,1.0.0,,,{digest},5,\n".encode()
        write(self.path("expiring.lst"), data)
        for now in (999, 1000, 1001):
            with self.subTest(now=now):
                verdict = subprocess.run([checker, self.path("expiring.lst"), "--keyed", "--expired-at", str(now)],
                                         capture_output=True).returncode
                self.assertIn(verdict, (0, 1))
                self.assertEqual(verdict == 1, listrules.Release(data).expires <= now)

    def test_output_passes_the_updaters_check_and_increments_by_default(self):
        self.build("1.0.0")
        write(os.path.join(self.product, "doc", "readme.txt"), b"readme 2")
        self.build("1.0.1", "tree", "--expires", "3")
        self.assertTrue(check_list(store.list_path(self.path("tree")), keyed=True))
        lines = read(store.list_path(self.path("tree"))).split(b"\n")
        expires = int(lines[2].split(b",")[2])
        self.assertAlmostEqual(expires, time.time() + 3 * 86400, delta=600)
        _, entries = self.listed()
        self.assertEqual({p: (e.version, e.size) for p, e in entries.items() if p.startswith("doc")},
                         {"doc/readme.txt": ("1.0.1", 8)})
        self.assertEqual(entries["nuvra.ini"].version, "1.0.0")
        self.assertEqual(checks.verify_update_folder(self.path("tree", "update"), keys.load_public_key(self.pub)), [])
        later = checks.verify_update_folder(self.path("tree", "update"), None, now=expires + 1)
        self.assertTrue(any("expired" in p for p in later), later)


class ServedTreeTest(PublishFixture):
    """The served link, the kept releases, rollback, the earlier layout and failures mid-way."""

    def served_version(self, out="tree"):
        return self.listed(out)[0]

    def test_keep_rollback_and_withdrawn_versions(self):
        for version in ("1.0.0", "1.1.0", "1.2.0"):
            write(os.path.join(self.product, "doc", "readme.txt"), version.encode())
            self.build(version)
        self.assertEqual(sorted(os.listdir(self.path("tree", "releases"))), ["1.1.0", "1.2.0"])
        self.assertEqual(self.run_tool("rollback", "--out", self.path("tree"), "--key", self.key)[0], 0)
        self.assertEqual(self.served_version(), "1.1.0")
        code, text = self.run_tool("build", "--product", self.product, "--version", "1.2.0", "--title", "T",
                                   "--key", self.key, "--out", self.path("tree"))
        self.assertEqual(code, 2, text)
        self.assertIn("withdrawn", text)
        self.build("1.3.0")
        self.assertEqual(self.served_version(), "1.3.0")

    def write_earlier_layout(self, out):
        """A plain update folder with a list without hashes, as earlier tools wrote them."""
        tree = os.path.join(out, "update")
        lines = ["Morvel Nuvra", "1.0.0"]
        for name, data in self.files.items():
            write(os.path.join(tree, "Nuvra", *name.split("/")), data)
            folder, _, base = name.rpartition("/")
            lines.append(f"entry,{base},1.0.0,{folder},,")
        write(os.path.join(tree, "Nuvra", common.LIST_NAME), "\n".join(lines + [""]).encode())
        write(os.path.join(tree, "version.txt"), b"0,1.0.0,,,yes,\n")

    def test_earlier_layout_is_taken_over_and_its_versions_kept(self):
        self.ship_unkeyed_updater()
        tree = self.path("tree", "update")
        self.write_earlier_layout(self.path("tree"))
        write(os.path.join(self.product, "nuvra.ini"), b"[nuvra] 2")
        self.build("1.1.0", key=False)
        self.assertTrue(os.path.islink(tree))
        _, entries = self.listed()
        self.assertEqual({p for p, e in entries.items() if e.version == "1.1.0"}, {"nuvra.ini"})
        self.assertEqual(self.run_tool("rollback", "--out", self.path("tree"))[0], 0)
        self.assertEqual(self.served_version(), "1.0.0")

    def test_a_takeover_killed_at_any_step_serves_a_whole_release_and_the_rerun_finishes_it(self):
        self.ship_unkeyed_updater()
        write(os.path.join(self.product, "nuvra.ini"), b"[nuvra] 2")
        self.write_earlier_layout(self.path("earlier"))

        def publish(out, kill_at):
            env = dict(os.environ, NUVRA_PUBLISH_KILL_AT=str(kill_at))
            return subprocess.run([sys.executable, TOOL, "build", "--product", self.product, "--version", "1.1.0",
                                   "--title", "Morvel Nuvra", "--out", out], env=env, capture_output=True, text=True)

        shutil.copytree(self.path("earlier"), self.path("counted"), symlinks=True)
        counted = publish(self.path("counted"), 0)
        self.assertEqual(counted.returncode, 0, counted.stderr)
        steps = int(re.search(r"steps: (\d+)", counted.stderr).group(1))
        for point in range(1, steps + 1):
            with self.subTest(kill_at=point):
                out = self.path(f"killed-{point}")
                shutil.copytree(self.path("earlier"), out, symlinks=True)
                self.assertEqual(publish(out, point).returncode, -signal.SIGKILL)
                self.assertIn(self.served_version(f"killed-{point}"), ("1.0.0", "1.1.0"))
                self.assertEqual([p for p in checks.verify(out).problems if "no hash" not in p], [])
                self.assertEqual(publish(out, -1).returncode, 0)
                self.assertEqual(self.served_version(f"killed-{point}"), "1.1.0")
                self.assertEqual(checks.verify(out).problems, [])
                self.assertEqual(self.run_tool("rollback", "--out", out)[0], 0)
                self.assertEqual(self.served_version(f"killed-{point}"), "1.0.0")

    def test_a_full_disk_changes_nothing_served(self):
        self.build("1.0.0")
        before = snapshot(self.path("tree"))
        write(os.path.join(self.product, "doc", "readme.txt"), b"readme 2")

        def full(source, target):
            raise OSError(errno.ENOSPC, "No space left on device", target)

        with mock.patch.object(files, "copy_file", full):
            code, text = self.run_tool("build", "--product", self.product, "--version", "1.1.0", "--title", "T",
                                       "--key", self.key, "--out", self.path("tree"))
        self.assertEqual(code, 2)
        self.assertIn("disk is full", text)
        self.assertEqual(snapshot(self.path("tree")), before)

    def test_authenticode_signs_programs_and_verify_checks_them(self):
        programs = [p for p in ("/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/hostname.exe",
                                "/usr/lib/wine/x86_64-windows/hostname.exe") if os.path.exists(p)]
        if not shutil.which("osslsigncode") or not programs:
            self.skipTest("needs osslsigncode and a Windows program to sign")
        write(os.path.join(self.product, "Nuvra.exe"), read(programs[0]))
        cert, key = self.path("sign-cert.pem"), self.path("sign-key.pem")
        make_certificate(cert, key)
        self.build("1.0.0", "tree", "--sign-cert", cert, "--sign-key", key)
        self.assertEqual(read(os.path.join(self.product, "Nuvra.exe")), read(programs[0]))
        self.assertEqual(self.run_tool("verify", self.path("tree"), "--key", self.pub, "--sign-cert", cert)[0], 0)
        # A second later a fresh signature would differ; an unchanged program keeps its version.
        time.sleep(1.1)
        write(os.path.join(self.product, "doc", "readme.txt"), b"readme 2")
        self.build("1.0.1", "tree", "--sign-cert", cert, "--sign-key", key)
        self.assertEqual(self.listed()[1]["Nuvra.exe"].version, "1.0.0")
        self.build("1.0.0", "unsigned")
        code, text = self.run_tool("verify", self.path("unsigned"), "--sign-cert", cert)
        self.assertEqual(code, 1)
        self.assertIn("Nuvra.exe: no Authenticode signature", text)


def make_certificate(cert_path, key_path):
    """A throw-away code-signing certificate, self-signed."""
    from cryptography import x509
    from cryptography.hazmat.primitives.asymmetric import rsa
    from cryptography.x509.oid import ExtendedKeyUsageOID, NameOID
    key = rsa.generate_private_key(public_exponent=65537, key_size=2048)
    name = x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, "Nuvra test maker")])
    now = datetime.datetime.now(datetime.timezone.utc)
    cert = (x509.CertificateBuilder().subject_name(name).issuer_name(name).public_key(key.public_key())
            .serial_number(x509.random_serial_number()).not_valid_before(now - datetime.timedelta(days=1))
            .not_valid_after(now + datetime.timedelta(days=2))
            .add_extension(x509.BasicConstraints(ca=True, path_length=None), critical=True)
            .add_extension(x509.ExtendedKeyUsage([ExtendedKeyUsageOID.CODE_SIGNING]), critical=False)
            .sign(key, hashes.SHA256()))
    write(cert_path, cert.public_bytes(serialization.Encoding.PEM))
    write(key_path, key.private_bytes(serialization.Encoding.PEM, serialization.PrivateFormat.PKCS8,
                                      serialization.NoEncryption()))


class KillTest(unittest.TestCase):
    """SIGKILL at many points of a 100 MB publish while a server serves the tree."""

    def test_a_kill_at_any_point_leaves_a_whole_release_served_and_the_rerun_works(self):
        # In memory where there is some: the test writes a 100 MB release about fifty times.
        shm = "/dev/shm" if os.access("/dev/shm", os.W_OK) else None
        tmp = tempfile.TemporaryDirectory(dir=shm)
        self.addCleanup(tmp.cleanup)
        root = tmp.name
        subprocess.run([sys.executable, TOOL, "keygen", "--out", os.path.join(root, "keys")], check=True,
                       capture_output=True)
        key, pub = (os.path.join(root, "keys", name) for name in (keys.PRIVATE_KEY_NAME, keys.PUBLIC_KEY_NAME))
        product = os.path.join(root, "product")
        for name in ("Nuvra.exe", "nuvra.ini", "doc/readme.txt"):
            write(os.path.join(product, *name.split("/")), b"MZ " + name.encode())
        write(os.path.join(product, "NuvraUpdater.exe"), fake_updater(keys.raw_public_key(keys.load_public_key(pub))))

        def release_files(version):
            # A sparse 100 MB file, quick to make, whose bytes differ per release.
            with open(os.path.join(product, "big.dat"), "wb") as f:
                f.truncate(100 << 20)
                f.write(version.encode())
            write(os.path.join(product, "doc", "readme.txt"), version.encode())

        def publish(out, version, kill_at=None):
            env = dict(os.environ)
            env.pop("NUVRA_PUBLISH_KILL_AT", None)
            if kill_at is not None:
                env["NUVRA_PUBLISH_KILL_AT"] = str(kill_at)
            return subprocess.run([sys.executable, TOOL, "build", "--product", product, "--version", version,
                                   "--title", "Morvel Nuvra", "--key", key, "--out", out], env=env,
                                  capture_output=True, text=True)

        base = os.path.join(root, "base")
        for version in ("1.0.0", "1.1.0"):
            release_files(version)
            self.assertEqual(publish(base, version).returncode, 0)
        release_files("1.2.0")
        counted = os.path.join(root, "counted")
        subprocess.run(["cp", "-al", base, counted], check=True)
        done = publish(counted, "1.2.0", kill_at=0)
        self.assertEqual(done.returncode, 0, done.stderr)
        steps = int(re.search(r"steps: (\d+)", done.stderr).group(1))
        lists = {read(store.list_path(tree)): version for tree, version in ((base, "1.1.0"), (counted, "1.2.0"))}

        served = {"tree": base}

        class Handler(http.server.SimpleHTTPRequestHandler):
            def __init__(self, *args, **kwargs):
                super().__init__(*args, directory=served["tree"], **kwargs)

            def log_message(self, *args):
                pass  # the test reads what it fetched, not the log

        server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        threading.Thread(target=server.serve_forever, daemon=True).start()
        self.addCleanup(server.server_close)
        self.addCleanup(server.shutdown)
        url = f"http://127.0.0.1:{server.server_address[1]}/update/Nuvra/"

        def served_release(tree):
            served["tree"] = tree
            with urllib.request.urlopen(url + common.LIST_NAME) as answer:
                data = answer.read()
            with urllib.request.urlopen(url + common.SIGNATURE_NAME) as answer:
                signature = answer.read().decode()
            self.assertTrue(keys.signature_verifies(keys.load_public_key(pub), data, signature))
            self.assertEqual(checks.verify(tree, pub).problems, [])
            return lists.get(data, "neither release")

        points = sorted({1 + round(i * (steps - 1) / 23) for i in range(24)})
        self.assertGreaterEqual(len(points), 20)
        seen = set()
        for point in points:
            with self.subTest(kill_at=point):
                tree = os.path.join(root, f"killed-{point}")
                subprocess.run(["cp", "-al", base, tree], check=True)
                self.assertEqual(publish(tree, "1.2.0", kill_at=point).returncode, -signal.SIGKILL)
                seen.add(served_release(tree))
                again = publish(tree, "1.2.0")
                self.assertEqual(again.returncode, 0, again.stderr)
                self.assertEqual(served_release(tree), "1.2.0")
                shutil.rmtree(tree)
        self.assertEqual(seen, {"1.1.0", "1.2.0"})


if __name__ == "__main__":
    unittest.main()
