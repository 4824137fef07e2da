#!/usr/bin/env python3
"""The maker's tool and the real keyed updater under Wine, through nginx: names with "#", "%",
blanks, other reserved characters and Korean letters are published, installed and updated, and an
export is installed and updated from an nginx that refuses symbolic links."""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
TOOL = os.path.join(HERE, "..", "..", "tools", "nuvra-publish")
sys.path.insert(0, HERE)
from nginx_server import Nginx  # noqa: E402

UPDATER = os.environ.get("NUVRA_UPDATER_EXE", "")
SAMPLE = os.environ.get("NUVRA_SAMPLE_EXE", "")
KEY = os.environ.get("NUVRA_TEST_KEY", "")
WINE_RUN = os.path.join(HERE, "..", "..", "scripts", "wine-run")
# Every name a release may carry that a request path must escape, and Korean letters beside them.
NAMES = ["a b.txt", "100%.txt", "#1.txt", "x&y+z=1;(2)[3]~.txt", "doc/공지 #2 100%.txt", "문서 폴더/읽기.txt"]


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


@unittest.skipUnless(UPDATER and SAMPLE and KEY and shutil.which("nginx") or os.path.exists("/usr/sbin/nginx"),
                     "needs the Windows build's NUVRA_UPDATER_EXE, NUVRA_SAMPLE_EXE, NUVRA_TEST_KEY and nginx")
class NginxUnderWineTest(unittest.TestCase):
    def setUp(self):
        scratch = tempfile.TemporaryDirectory()
        self.addCleanup(scratch.cleanup)
        self.root = scratch.name

    def publish(self, version, *extra, tree="tree"):
        product = os.path.join(self.root, "product-" + version)
        os.makedirs(product, exist_ok=True)
        shutil.copyfile(SAMPLE, os.path.join(product, "Nuvra.exe"))
        for name in NAMES:
            write(os.path.join(product, *name.split("/")), f"{name} in {version}\r\n".encode("utf-8"))
        result = subprocess.run([sys.executable, TOOL, "build", "--product", product, "--version", version,
                                 "--title", "Morvel Nuvra", "--updater", UPDATER, "--key", KEY,
                                 "--out", os.path.join(self.root, tree), *extra], capture_output=True, text=True)
        self.assertEqual(result.returncode, 0, result.stderr)
        return result

    def wine(self, suite, port, *argv):
        env = dict(os.environ, NUVRA_WINE_SUITE=suite, NUVRA_UPDATE_SERVER=f"127.0.0.1:{port}")
        with tempfile.TemporaryFile() as output:  # not a pipe: Wine's background processes keep it open
            return subprocess.run([WINE_RUN, *argv], env=env, stdin=subprocess.DEVNULL, stdout=output,
                                  stderr=output).returncode

    def installed(self, suite):
        folder = os.path.join(os.environ["NUVRA_WINE_DIR"], "prefixes", suite, "drive_c", "pub", "Nuvra")
        found = {}
        for name in NAMES:
            try:
                with open(os.path.join(folder, *name.split("/")), "rb") as f:
                    found[name] = f.read().decode("utf-8").split(" in ")[-1].strip()
            except FileNotFoundError:
                found[name] = None
        return found

    def install_then_update(self, suite, serve_root, republish, disable_symlinks):
        # A prefix left by an earlier run would hand this one its installation.
        cleaned = subprocess.run([WINE_RUN, "--clean", suite], env=dict(os.environ), capture_output=True)
        self.assertEqual(cleaned.returncode, 0, cleaned.stderr)
        server = Nginx(serve_root, disable_symlinks=disable_symlinks)
        self.addCleanup(server.stop)
        self.assertEqual(self.wine(suite, server.port, UPDATER, "/S", "/NOSHORTCUTS", "/D=C:\\pub"), 0,
                         server.request_lines())
        first = self.installed(suite)
        republish()
        # The product started by the installation records the installation; the update needs it.
        code = self.wine(suite, server.port, "C:\\pub\\Nuvra\\NuvraUpdater.exe", "-u", "/S")
        self.assertEqual(code, 0, server.request_lines())
        return first, self.installed(suite)

    def test_every_reserved_and_korean_name_is_installed_and_updated_through_nginx(self):
        self.publish("1.0.0")
        first, second = self.install_then_update("tools_nginx", os.path.join(self.root, "tree"), lambda: self.publish("1.1.0"), False)
        self.assertEqual(first, {name: "1.0.0" for name in NAMES})
        self.assertEqual(second, {name: "1.1.0" for name in NAMES})

    def test_an_export_is_installed_and_updated_from_a_server_that_refuses_links(self):
        dest = os.path.join(self.root, "static")

        def export():
            result = subprocess.run([sys.executable, TOOL, "export", "--out", os.path.join(self.root, "tree"), dest],
                                    capture_output=True, text=True)
            self.assertEqual(result.returncode, 0, result.stderr)

        self.publish("1.0.0")
        export()
        first, second = self.install_then_update("tools_nginx_export", dest,
                                                  lambda: (self.publish("1.1.0"), export()), True)
        self.assertEqual(first, {name: "1.0.0" for name in NAMES})
        self.assertEqual(second, {name: "1.1.0" for name in NAMES})


if __name__ == "__main__":
    unittest.main()
