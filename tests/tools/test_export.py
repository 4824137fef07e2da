#!/usr/bin/env python3
"""export: the served release as plain files, replacing the destination whole, and served by an
nginx that refuses symbolic links where the linked tree is not."""

import os
import re
import signal
import subprocess
import sys
import unittest
import urllib.error
import urllib.parse
import urllib.request

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from nginx_server import Nginx  # noqa: E402
from test_nuvra_publish import TOOL, PublishFixture, checks, read, snapshot, write  # noqa: E402


class ExportTest(PublishFixture):
    def export(self, dest="static", **env):
        return subprocess.run([sys.executable, TOOL, "export", "--out", self.path("tree"), self.path(dest)],
                              env=dict(os.environ, **env), capture_output=True, text=True)

    def test_export_is_plain_files_replaced_whole_and_served_without_links(self):
        write(os.path.join(self.product, "doc", "a b#1%.txt"), b"reserved")
        self.build("1.0.0")
        done = self.export(NUVRA_PUBLISH_KILL_AT="0")
        self.assertEqual(done.returncode, 0, done.stderr)
        steps = int(re.search(r"steps: (\d+)", done.stderr).group(1))
        exported = snapshot(self.path("static"))
        self.assertFalse(any(os.path.islink(os.path.join(self.path("static"), p)) for p in exported))
        self.assertEqual(checks.verify(self.path("static"), self.pub).problems, [])
        # A kill at any step leaves one export whole, the earlier or the new; the next export finishes.
        write(os.path.join(self.product, "doc", "readme.txt"), b"readme 2")
        self.build("1.1.0")
        for at in range(1, steps + 1):
            with self.subTest(kill_at=at):
                self.assertEqual(self.export(NUVRA_PUBLISH_KILL_AT=str(at)).returncode, -signal.SIGKILL)
                self.assertEqual(checks.verify(self.path("static"), self.pub).problems, [])
        self.assertEqual(self.export().returncode, 0)
        self.assertEqual(read(os.path.join(self.path("static"), "update", "Nuvra", "doc", "readme.txt")), b"readme 2")

        try:
            linked, plain = Nginx(self.path("tree"), disable_symlinks=True), Nginx(self.path("static"), True)
        except (FileNotFoundError, RuntimeError) as e:
            self.skipTest(str(e))
        self.addCleanup(linked.stop)
        self.addCleanup(plain.stop)
        path = "/update/Nuvra/doc/" + urllib.parse.quote("a b#1%.txt")
        with urllib.request.urlopen(f"http://127.0.0.1:{plain.port}{path}") as answer:
            self.assertEqual(answer.read(), b"reserved")
        with self.assertRaises(urllib.error.HTTPError) as refused:
            urllib.request.urlopen(f"http://127.0.0.1:{linked.port}{path}")
        self.assertEqual(refused.exception.code, 404)


if __name__ == "__main__":
    unittest.main()
