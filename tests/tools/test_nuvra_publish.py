#!/usr/bin/env python3
"""Tests of tools/nuvra-publish: keys, the server tree it builds, and what verify finds."""

import contextlib
import hashlib
import importlib.machinery
import io
import os
import stat
import tempfile
import types
import unittest

from cryptography.hazmat.primitives import hashes
from cryptography.hazmat.primitives.asymmetric import ec
from cryptography.hazmat.primitives.asymmetric.utils import encode_dss_signature

TOOL = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "nuvra-publish")
loader = importlib.machinery.SourceFileLoader("nuvra_publish", TOOL)
tool = types.ModuleType("nuvra_publish")
tool.__file__ = loader.path
loader.exec_module(tool)


def sha256_hex(data):
    return hashlib.sha256(data).hexdigest()


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def read(path):
    with open(path, "rb") as f:
        return f.read()


class NuvraPublishTest(unittest.TestCase):
    def setUp(self):
        tmp = tempfile.TemporaryDirectory()
        self.addCleanup(tmp.cleanup)
        self.root = tmp.name
        with contextlib.redirect_stdout(io.StringIO()):
            tool.main(["keygen", "--out", self.path("keys")])
        self.key = self.path("keys", tool.PRIVATE_KEY_NAME)
        self.pub = self.path("keys", tool.PUBLIC_KEY_NAME)
        self.product = self.path("product")
        self.files = {"Nuvra.exe": b"MZ program", "nuvra.ini": b"[nuvra]\r\n",
                      "doc/readme.txt": b"readme 1", "res/skin/main.bmp": b"BM" + bytes(300),
                      "NuvraUpdater.exe": b"MZ updater"}
        for name, data in self.files.items():
            write(os.path.join(self.product, *name.split("/")), data)

    def path(self, *parts):
        return os.path.join(self.root, *parts)

    def run_tool(self, *argv):
        out, err = io.StringIO(), io.StringIO()
        with contextlib.redirect_stdout(out), contextlib.redirect_stderr(err):
            code = tool.main(list(argv))
        return code, out.getvalue() + err.getvalue()

    def build(self, version, out="tree", *extra, key=True):
        argv = ["build", "--product", self.product, "--version", version, "--title", "Morvel Nuvra",
                "--out", self.path(out), *extra]
        code, text = self.run_tool(*argv, *(["--key", self.key] if key else []))
        self.assertEqual(code, 0, text)

    def listed(self, out="tree"):
        _, version, entries = tool.parse_list(read(tool.list_path(self.path(out))))
        return version, {e.path: e for e in entries}

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
            self.assertEqual(read(tool.server_file(self.path("tree"), name)), self.files[name])
        self.assertEqual(read(self.path("tree", "update", "version.txt")).splitlines()[1], b"0,1.0.0,,,yes,")
        # The signature is r||s over the list's exact bytes, as the updater checks it.
        raw = bytes.fromhex(read(self.path("tree", "update", "Nuvra", tool.SIGNATURE_NAME)).decode())
        self.assertEqual(len(raw), 64)
        public = tool.load_public_key(self.pub)
        public.verify(encode_dss_signature(int.from_bytes(raw[:32], "big"), int.from_bytes(raw[32:], "big")),
                      read(tool.list_path(self.path("tree"))), ec.ECDSA(hashes.SHA256()))

    def test_verify_reports_each_fault(self):
        def tamper_file(tree):
            write(tool.server_file(tree, "doc/readme.txt"), b"readme X")

        def tamper_list(tree):
            data = read(tool.list_path(tree))
            write(tool.list_path(tree), data.replace(b"Morvel Nuvra", b"Morvel Nuvrb"))

        def drop_signature(tree):
            os.remove(os.path.join(tree, "update", "Nuvra", tool.SIGNATURE_NAME))

        def sign_with_other_key(tree):
            other = ec.generate_private_key(ec.SECP256R1())
            write(os.path.join(tree, "update", "Nuvra", tool.SIGNATURE_NAME),
                  tool.sign(other, read(tool.list_path(tree))).encode())

        def drop_file(tree):
            os.remove(tool.server_file(tree, "nuvra.ini"))

        def drop_hash(tree):
            data = read(tool.list_path(tree))
            digest = sha256_hex(self.files["nuvra.ini"]).encode()
            write(tool.list_path(tree), data.replace(digest + b",", b""))

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
        config = self.path("publish.conf")
        write(config, b"# markers and flags\n*  marker=setup\nres/skin/main.bmp flag=A marker=skin\n")
        argv = ["build", "--product", self.product, "--version", "1.0.0", "--title", "모르벨 누브라",
                "--config", config, "--out", self.path("tree")]
        self.assertEqual(self.run_tool(*argv)[0], 0)
        data = read(tool.list_path(self.path("tree")))
        self.assertTrue(data.startswith("모르벨 누브라\n1.0.0\n".encode("cp949")))
        _, entries = self.listed()
        self.assertEqual((entries["res/skin/main.bmp"].marker, entries["res/skin/main.bmp"].flag), ("skin", "A"))
        self.assertEqual((entries["nuvra.ini"].marker, entries["nuvra.ini"].flag), ("setup", ""))
        self.assertFalse(os.path.exists(self.path("tree", "update", "Nuvra", tool.SIGNATURE_NAME)))

    def test_input_the_list_cannot_carry_is_refused(self):
        cases = [
            ("comma in title", ["--title", "Morvel, Nuvra"], None),
            ("line end in version", ["--version", "1.0\n"], None),
            ("comma in a file name", [], ("a,b.txt", b"x")),
            ("name Windows cannot store", [], ("nul.txt", b"x")),
            ("names differing only by case", [], ("NUVRA.ini", b"x")),
            ("config names no product file", ["--config", "bad.conf"], None),
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


if __name__ == "__main__":
    unittest.main()
