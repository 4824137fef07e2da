#!/usr/bin/env python3
"""What build takes and refuses: the shipped updater, links, the config file, versions, names,
Ctrl-C, and what verify and a key inside a git work tree tell the maker."""

import os
import re
import shutil
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from test_nuvra_publish import TOOL, PublishFixture, checks, fake_updater, keys, read, snapshot, write  # noqa: E402


class InputsTest(PublishFixture):
    def build_args(self, *extra, product=None, version="1.1.0", out="tree"):
        return ["build", "--product", product or self.product, "--version", version, "--title", "T",
                "--out", self.path(out), "--key", self.key, *extra]

    def assert_refused(self, argv, expected):
        before = snapshot(self.path("tree"))
        code, text = self.run_tool(*argv)
        self.assertEqual(code, 2, text)
        self.assertIn(expected, text)
        self.assertEqual(text.count("\n"), 1, text)
        self.assertEqual(snapshot(self.path("tree")), before)

    def test_the_shipped_updater_must_trust_the_lists_key(self):
        self.build("1.0.0")
        os.remove(os.path.join(self.product, "NuvraUpdater.exe"))
        other = keys.raw_public_key(keys.load_public_key(self.pub))[::-1]
        updaters = {"text.exe": b"just text", "product.exe": fake_updater(self.raw_key, resource_id=1),
                    "x86.exe": fake_updater(self.raw_key, machine=0x14C), "library.exe": fake_updater(self.raw_key, dll=True),
                    "other.exe": fake_updater(other), "unkeyed.exe": fake_updater(None), "good.exe": fake_updater(self.raw_key)}
        for name, data in updaters.items():
            write(self.path("updaters", name), data)
        cases = [("text.exe", [], "not a Windows program"), ("product.exe", [], "no release key resource"),
                 ("x86.exe", [], "not a 64-bit"), ("library.exe", [], "a library"),
                 ("other.exe", [], "would refuse every later release"),
                 ("unkeyed.exe", [], "carries no release key"),
                 ("good.exe", [], None)]
        for name, extra, expected in cases:
            with self.subTest(name, extra=extra):
                argv = self.build_args("--updater", self.path("updaters", name), *extra)
                if expected:
                    self.assert_refused(argv, expected)
                else:
                    self.assertEqual(self.run_tool(*argv)[0], 0)
        # A release signed with the served key may ship an updater that trusts a new one, when meant.
        self.assertEqual(self.run_tool(*self.build_args("--updater", self.path("updaters", "other.exe"), "--new-key",
                                                        version="1.2.0"))[0], 0)
        # An unsigned list needs an updater without a key; an empty product has no Nuvra.exe.
        self.assert_refused(["build", "--product", self.product, "--version", "1.0.0", "--title", "T", "--out",
                             self.path("plain"), "--updater", self.path("updaters", "good.exe")], "give --key")
        os.makedirs(self.path("empty"))
        self.assert_refused(self.build_args("--updater", self.path("updaters", "good.exe"), product=self.path("empty")),
                            "holds no Nuvra.exe")

    def test_links_are_refused_unless_followed_and_never_followed_out(self):
        self.build("1.0.0")
        write(self.path("outside.txt"), b"secret")
        os.symlink(self.path("outside.txt"), os.path.join(self.product, "out.txt"))
        self.assert_refused(self.build_args("--follow-links"), "outside the product folder")
        os.remove(os.path.join(self.product, "out.txt"))
        os.symlink("nuvra.ini", os.path.join(self.product, "copy.ini"))
        self.assert_refused(self.build_args(), "--follow-links")
        self.assertEqual(self.run_tool(*self.build_args("--follow-links"))[0], 0)
        self.assertEqual(self.listed()[1]["copy.ini"].sha256, self.listed()[1]["nuvra.ini"].sha256)

    def test_config_faults_are_refused_with_their_line(self):
        self.build("1.0.0")
        cases = [(b"nuvra.ini flag=B\n", ":1: flag=B"), (b"# c\n\nnuvra.ini flag=A\nnuvra.ini marker=x\n", ":4:"),
                 (b"*\tmarker=\n", ":1: the marker must not be empty"), (b"nuvra.ini\n", ":1: nuvra.ini has no"),
                 (b"\nmissing.txt flag=A\n", ":2: missing.txt is not a file"), (b"a \xff flag=A\n", ":1: not UTF-8"),
                 (b"nuvra.ini colour=red\n", ":1: expected")]
        for text, expected in cases:
            with self.subTest(text):
                write(self.path("c.conf"), text)
                self.assert_refused(self.build_args("--config", self.path("c.conf")), "c.conf" + expected)

    def test_versions_must_fit_what_updaters_compare_and_names_what_they_fetch(self):
        self.build("1.0.0")
        self.assert_refused(["build", "--product", self.product, "--version", "99999999999.0", "--title", "T",
                             "--key", self.key, "--out", self.path("tree")], "at most 2147483647")
        write(os.path.join(self.product, "what?.txt"), b"x")
        self.assert_refused(self.build_args(), "what?.txt: a name Windows cannot store")
        os.remove(os.path.join(self.product, "what?.txt"))
        for name in ("a b.txt", "100%.txt", "#1.txt", "공지.txt"):
            write(os.path.join(self.product, "doc", name), b"x")
        code, text = self.run_tool(*self.build_args())
        self.assertEqual(code, 0, text)
        self.assertEqual(sorted(re.findall(r"warning: (doc/[^:]+):", text)), ["doc/#1.txt", "doc/100%.txt", "doc/a b.txt"])
        code, text = self.run_tool("build", "--product", self.product, "--version", "1.2.0", "--title", "T",
                                   "--key", self.key, "--out", self.path("tree"))
        self.assertEqual(code, 0, text)
        self.assertNotIn("warning", text)  # only when a name first appears

    def test_ctrl_c_ends_with_one_line_and_130_and_a_whole_release_served(self):
        self.build("1.0.0")
        write(os.path.join(self.product, "doc", "readme.txt"), b"readme 2")
        tree = self.path("tree")

        def publish(at):
            env = dict(os.environ, NUVRA_PUBLISH_KILL_AT=str(at), NUVRA_PUBLISH_KILL_SIGNAL="INT")
            # A background job starts with SIGINT ignored; a terminal's Ctrl-C finds it handled.
            return subprocess.run(["env", "--default-signal=INT", sys.executable, TOOL, *self.build_args()],
                                  env=env, capture_output=True, text=True)

        shutil.copytree(tree, self.path("counted"), symlinks=True)
        counted = subprocess.run([sys.executable, TOOL, *self.build_args(out="counted")],
                                 env=dict(os.environ, NUVRA_PUBLISH_KILL_AT="0"),
                                 capture_output=True, text=True)
        self.assertEqual(counted.returncode, 0, counted.stderr)
        steps = int(re.search(r"steps: (\d+)", counted.stderr).group(1))
        for at in sorted({1, steps // 3, steps // 2, steps - 2, steps}):
            with self.subTest(at=at):
                result = publish(at)
                lines = [line for line in result.stderr.splitlines() if not line.startswith("steps:")]
                self.assertEqual(result.returncode, 130, result.stderr)
                self.assertEqual(len(lines), 1, result.stderr)
                self.assertRegex(lines[0], r"^nuvra-publish: interrupted; serving 1\.[01]\.0$")
                self.assertEqual(checks.verify(tree, self.pub).problems, [])
                self.assertIn(self.listed()[0], lines[0])
                if self.listed()[0] == "1.1.0":
                    self.assertEqual(self.run_tool("rollback", "--out", tree, "--key", self.key)[0], 0)
                    shutil.rmtree(self.path("tree"))
                    self.build("1.0.0")

    def test_verify_tells_what_it_checked(self):
        self.build("1.0.0", "tree", "--expires", "30")
        code, text = self.run_tool("verify", self.path("tree"), "--key", self.pub)
        self.assertEqual(code, 0, text)
        total = sum(len(data) for data in self.files.values())
        fingerprint = keys.fingerprint(self.raw_key)
        for expected in ("release 1.0.0", f"files: {len(self.files)}, {total} bytes", f"verifies with key {fingerprint}",
                         "expiry: 20", "(in 30 days)", "\nok\n"):
            self.assertIn(expected, text)

    def test_a_private_key_in_a_git_work_tree_is_warned_about_unless_ignored(self):
        if not shutil.which("git"):
            self.skipTest("needs git")
        repo = self.path("repo")
        self.assertEqual(subprocess.run(["git", "init", "-q", repo]).returncode, 0)
        write(os.path.join(repo, ".gitignore"), b"keys/\n")
        for folder, warned in (("keys", False), ("secrets", True)):
            with self.subTest(folder):
                code, text = self.run_tool("keygen", "--out", os.path.join(repo, folder))
                self.assertEqual(code, 0, text)
                self.assertEqual("warning" in text, warned, text)
        ignored = read(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", ".gitignore"))
        self.assertIn(b"/keys/", ignored.splitlines())

if __name__ == "__main__":
    unittest.main()
