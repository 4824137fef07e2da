#!/usr/bin/env python3
"""Tests of the demo's publishing: demo/sample_release.py writes a release's files, the maker's
tool tools/nuvra-publish turns them into the server tree; read the way the updater reads it."""

import contextlib
import io
import os
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "demo"))
import sample_release  # noqa: E402

sys.path[:0] = [os.path.join(HERE, "..", "tools"), os.path.join(HERE, "..", "..", "tools")]
from fake_updater import fake_updater  # noqa: E402
from nuvra_publish import cli  # noqa: E402
from nuvra_publish.common import ENCODING  # noqa: E402

FAKE_EXE = b"MZ" + bytes(range(256)) * 4


def read_tree(root):
    """Every file below root as {relative path bytes: content}."""
    tree = {}
    root_b = os.fsencode(root)
    for folder, _, names in os.walk(root_b):
        for name in names:
            path = os.path.join(folder, name)
            with open(path, "rb") as f:
                tree[os.path.relpath(path, root_b)] = f.read()
    return tree


def entries(list_bytes):
    """The file list's entries as (name, version, folder, flag), checking each has 7 fields."""
    lines = list_bytes.decode(ENCODING).splitlines()
    out = []
    for line in lines[2:]:
        fields = line.split(",")
        assert len(fields) == 8 and fields[7] == "" and len(fields[5]) == 64 and fields[6].isdigit(), line
        out.append(tuple(fields[1:5]))
    return lines[:2], out


class PublishTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.addCleanup(self.tmp.cleanup)
        self.exe = os.path.join(self.tmp.name, "Nuvra.exe")
        with open(self.exe, "wb") as f:
            f.write(FAKE_EXE)
        self.updater = os.path.join(self.tmp.name, "NuvraUpdater.exe")
        with open(self.updater, "wb") as f:
            f.write(fake_updater(None))

    def run_publish(self, out, *extra, version="1.0.0", title="Morvel Nuvra", publish_args=()):
        """The demo's two steps: the release's files, then the tree (over the earlier one)."""
        product = out + ".product"
        argv = ["--exe", self.exe, "--version", version, "--title", title, "--out", product, *extra]
        with contextlib.redirect_stdout(io.StringIO()):
            self.assertEqual(sample_release.main(argv), 0)
            previous = ["--previous", out] if os.path.isdir(os.path.join(out, "update")) else []
            self.assertEqual(cli.main(["build", "--product", product, "--version", version, "--title", title,
                                        "--out", out, "--updater", self.updater, *previous, *publish_args]), 0)
        return read_tree(os.path.join(out, "update"))

    def out(self, name):
        return os.path.join(self.tmp.name, name)

    def test_base_release_layout_and_lists(self):
        tree = self.run_publish(self.out("s"))
        self.assertEqual(tree[b"version.txt"].splitlines()[1], b"0,1.0.0,,,yes,")
        self.assertTrue(tree[b"version.txt"].startswith(b"#"))
        head, listed = entries(tree[b"Nuvra/_nuvr_file_list.lst"])
        self.assertEqual(head, ["Morvel Nuvra", "1.0.0"])
        self.assertEqual(listed[0], ("Nuvra.exe", "1.0.0", "", ""))
        self.assertIn(("main.bmp", "1.0.0", "res/skin", ""), listed)
        self.assertIn(("readme.txt", "1.0.0", "doc", ""), listed)
        # Every listed file is where the updater will ask for it, and nothing else is there.
        expected = {b"version.txt", b"Nuvra/_nuvr_file_list.lst"}
        for name, _, folder, _ in listed:
            expected.add(("Nuvra/" + (folder + "/" if folder else "") + name).encode())
        self.assertEqual(set(tree), expected)
        self.assertEqual(tree[b"Nuvra/Nuvra.exe"], FAKE_EXE)
        bmp = tree[b"Nuvra/res/skin/main.bmp"]
        self.assertEqual(bmp[:2], b"BM")
        self.assertEqual(int.from_bytes(bmp[2:6], "little"), len(bmp))
        self.assertNotIn(b"\r\n", tree[b"Nuvra/_nuvr_file_list.lst"])

    def test_same_arguments_give_same_bytes_and_seed_changes_content(self):
        a = self.run_publish(self.out("a"))
        b = self.run_publish(self.out("b"))
        self.assertEqual(a, b)
        c = self.run_publish(self.out("c"), "--seed", "2")
        self.assertNotEqual(a[b"Nuvra/res/pack.dat"], c[b"Nuvra/res/pack.dat"])

    def test_newer_release_raises_and_changes_only_named_files(self):
        base = self.run_publish(self.out("s"))
        new = self.run_publish(self.out("s"), "--changed", "res/skin/main.bmp,doc/readme.txt,Nuvra.exe",
                               version="1.1.0")
        head, listed = entries(new[b"Nuvra/_nuvr_file_list.lst"])
        self.assertEqual(head[1], "1.1.0")
        versions = {(folder + "/" if folder else "") + name: v for name, v, folder, _ in listed}
        changed = {"res/skin/main.bmp", "doc/readme.txt", "Nuvra.exe"}
        for path, version in versions.items():
            key = b"Nuvra/" + path.encode()
            if path in changed:
                self.assertEqual(version, "1.1.0", path)
                self.assertNotEqual(new[key], base[key], path)
            else:
                self.assertEqual(version, "1.0.0", path)
                self.assertEqual(new[key], base[key], path)
        # The changed program still starts with the original image.
        self.assertTrue(new[b"Nuvra/Nuvra.exe"].startswith(FAKE_EXE))

    def test_options_for_refusal_crlf_and_flag(self):
        config = self.out("flags.conf")
        with open(config, "w") as f:
            f.write("nuvra.ini flag=A\n")
        tree = self.run_publish(self.out("s"), publish_args=("--refuse", "--crlf", "--config", config))
        self.assertEqual(tree[b"version.txt"].split(b"\r\n")[1], b"0,1.0.0,,,no,")
        for text in (tree[b"version.txt"], tree[b"Nuvra/_nuvr_file_list.lst"]):
            self.assertTrue(text.endswith(b"\r\n"))
            self.assertEqual(text.count(b"\n"), text.count(b"\r\n"))
        _, listed = entries(tree[b"Nuvra/_nuvr_file_list.lst"].replace(b"\r\n", b"\n"))
        flags = {name: flag for name, _, _, flag in listed}
        self.assertEqual(flags["nuvra.ini"], "A")
        self.assertEqual(flags["Nuvra.exe"], "")

    def test_korean_name_is_cp949_in_list_and_on_disk(self):
        tree = self.run_publish(self.out("s"), "--korean", title="모르벨 누브라")
        raw_list = tree[b"Nuvra/_nuvr_file_list.lst"]
        self.assertTrue(raw_list.startswith("모르벨 누브라\n".encode("cp949")))
        self.assertIn("entry,공지.txt,1.0.0,doc,,".encode("cp949"), raw_list)
        self.assertIn(b"Nuvra/doc/" + "공지.txt".encode("cp949"), tree)

    def test_republishing_removes_files_of_the_previous_release(self):
        self.run_publish(self.out("s"), "--korean")
        tree = self.run_publish(self.out("s"), version="1.1.0")
        self.assertNotIn(b"Nuvra/doc/" + "공지.txt".encode("cp949"), tree)

    def test_bad_arguments_are_refused(self):
        cases = [
            (["--changed", "no/such.file"], []),
            (["--changed", "missing.txt"], []),
            ([], ["--title", "Morvel, Nuvra"]),
            ([], ["--version", "1.0\n"]),
        ]
        for release_extra, publish_extra in cases:
            with self.subTest(release=release_extra, publish=publish_extra):
                with contextlib.redirect_stderr(io.StringIO()), contextlib.redirect_stdout(io.StringIO()):
                    if release_extra:
                        with self.assertRaises(SystemExit):
                            sample_release.main(["--exe", self.exe, "--version", "1.0.0",
                                                 "--out", self.out("bad.product"), *release_extra])
                    else:
                        self.assertEqual(sample_release.main(["--exe", self.exe, "--version", "1.0.0",
                                                              "--out", self.out("bad.product")]), 0)
                        self.assertEqual(cli.main(["build", "--product", self.out("bad.product"),
                                                    "--version", "1.0.0", "--title", "T",
                                                    "--out", self.out("bad"), *publish_extra]), 2)
        self.assertFalse(os.path.exists(self.out("bad")))


if __name__ == "__main__":
    unittest.main()
