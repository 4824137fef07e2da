#!/usr/bin/env python3
"""Release history: a withdrawn release is never served again, --keep keeps what rollback needs,
and rollback serves only releases the given key signed."""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from test_nuvra_publish import PublishFixture, fake_updater, keys, snapshot, write  # noqa: E402


class HistoryTest(PublishFixture):
    def served(self):
        return self.listed()[0]

    def release(self, version, key=None, *extra):
        write(os.path.join(self.product, "doc", "readme.txt"), version.encode())
        code, text = self.run_tool("build", "--product", self.product, "--version", version, "--title", "T",
                                   "--key", key or self.key, "--out", self.path("tree"), *extra)
        self.assertEqual(code, 0, text)

    def rollback(self, *extra):
        return self.run_tool("rollback", "--out", self.path("tree"), *extra)

    def test_rollback_build_keep_rollback_never_serves_the_withdrawn_release(self):
        self.release("1.0.0")
        self.release("1.1.0")
        self.assertEqual(self.rollback("--key", self.key)[0], 0)
        self.assertEqual(self.served(), "1.0.0")
        self.release("1.2.0")
        self.assertEqual(sorted(os.listdir(self.path("tree", "releases"))), ["1.0.0", "1.1.0.withdrawn", "1.2.0"])
        self.assertEqual(self.rollback("--key", self.key)[0], 0)
        self.assertEqual(self.served(), "1.0.0")
        before = snapshot(self.path("tree"))
        for extra in ([], ["--to", "1.1.0"], ["--to", "1.2.0"]):
            with self.subTest(extra=extra):
                code, text = self.rollback("--key", self.key, *extra)
                self.assertEqual(code, 2, text)
                self.assertEqual(snapshot(self.path("tree")), before)

    def test_rollback_takes_the_key_and_serves_nothing_signed_with_the_old_one(self):
        self.release("1.0.0")
        self.assertEqual(self.run_tool("keygen", "--out", self.path("new"))[0], 0)
        new_key = self.path("new", keys.PRIVATE_KEY_NAME)
        write(os.path.join(self.product, "NuvraUpdater.exe"),
              fake_updater(keys.raw_public_key(keys.load_private_key(new_key).public_key())))
        self.release("1.1.0", new_key, "--new-key")
        before = snapshot(self.path("tree"))
        for name, extra, expected in [("no key", [], "give --key"),
                                      ("the old key", ["--key", self.key], "not the key that signed"),
                                      ("the new key", ["--key", new_key], "not signed with --key")]:
            with self.subTest(name):
                code, text = self.rollback(*extra)
                self.assertEqual(code, 2, text)
                self.assertIn(expected, text)
                self.assertEqual(snapshot(self.path("tree")), before)


if __name__ == "__main__":
    unittest.main()
