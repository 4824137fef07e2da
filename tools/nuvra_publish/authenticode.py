"""Authenticode signatures of the release's programs, made and checked with osslsigncode."""

import calendar
import os
import re
import subprocess
import time

from .common import PublishError, step
from .files import fsync_path


def signs_authenticode(path):
    return path.lower().endswith((".exe", ".dll"))


def authenticode_sign(source, target, cert, key, when=None):
    """Signs a copy of a program; the source stays as it is. The signature carries its signing
    time (`when`, seconds since 1970, or now)."""
    if os.path.lexists(target):
        os.unlink(target)
    result = subprocess.run(["osslsigncode", "sign", "-certs", cert, "-key", key] +
                            (["-time", str(when)] if when is not None else []) +
                            ["-in", source, "-out", target], capture_output=True, text=True)
    if result.returncode != 0:
        last = (result.stderr.strip() or result.stdout.strip()).splitlines()[-1:] or ["failed"]
        raise PublishError(f"{source}: osslsigncode could not sign it: {last[0]}")
    fsync_path(target)
    step()


def signing_time(path):
    """The signing time in a program's Authenticode signature, or None."""
    result = subprocess.run(["osslsigncode", "verify", "-in", path], capture_output=True, text=True)
    found = re.search(r"Signing time: (\w+ +\d+ [\d:]+ \d+) GMT", result.stdout)
    return calendar.timegm(time.strptime(found.group(1), "%b %d %H:%M:%S %Y")) if found else None


def authenticode_problem(path, cert):
    result = subprocess.run(["osslsigncode", "verify", "-in", path, "-CAfile", cert],
                            capture_output=True, text=True)
    if result.returncode == 0:
        return None
    if "No signature found" in result.stdout + result.stderr:
        return "no Authenticode signature"
    return "its Authenticode signature does not verify"
