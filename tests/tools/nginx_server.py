"""nginx for the publishing tool's tests: run as the user running the tests, on a loopback port
the system picks, with its configuration, logs and temporary files in a scratch folder."""

import os
import shutil
import socket
import subprocess
import tempfile
import time


class Nginx:
    def __init__(self, root, disable_symlinks=False):
        if not shutil.which("nginx") and not os.path.exists("/usr/sbin/nginx"):
            raise FileNotFoundError("nginx (scripts/setup-deps.sh installs it)")
        self.scratch = tempfile.TemporaryDirectory()
        folder = self.scratch.name
        probe = socket.socket()
        probe.bind(("127.0.0.1", 0))
        self.port = probe.getsockname()[1]
        probe.close()
        user = "user root root;\n" if os.geteuid() == 0 else ""  # workers read what the tests wrote
        temp = "".join(f"  {kind}_temp_path {folder}/{kind};\n" for kind in
                       ("client_body", "proxy", "fastcgi", "uwsgi", "scgi"))
        config = os.path.join(folder, "nginx.conf")
        with open(config, "w") as f:
            f.write(f"{user}daemon off;\nworker_processes 1;\npid {folder}/nginx.pid;\nerror_log {folder}/error.log;\n"
                    f"events {{ worker_connections 64; }}\nhttp {{\n  access_log {folder}/access.log;\n{temp}"
                    f"  server {{\n    listen 127.0.0.1:{self.port};\n    root {root};\n"
                    f"    disable_symlinks {'on' if disable_symlinks else 'off'};\n    open_file_cache off;\n"
                    f"  }}\n}}\n")
        nginx = shutil.which("nginx") or "/usr/sbin/nginx"
        self.process = subprocess.Popen([nginx, "-p", folder, "-e", f"{folder}/error.log", "-c", config],
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 20
        while True:
            try:
                socket.create_connection(("127.0.0.1", self.port), timeout=1).close()
                break
            except OSError:
                if self.process.poll() is not None or time.monotonic() > deadline:
                    self.stop()
                    raise RuntimeError("nginx did not start: " + self.log())
                time.sleep(0.05)

    def log(self):
        try:
            with open(os.path.join(self.scratch.name, "error.log")) as f:
                return f.read()
        except OSError:
            return ""

    def request_lines(self):
        with open(os.path.join(self.scratch.name, "access.log")) as f:
            return f.read().splitlines()

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            self.process.wait(10)
        self.scratch.cleanup()
