"""export: the release a tree serves as plain files and folders, for a host without links."""

import os
import shutil

from . import files
from .common import PublishError, step
from .files import inside
from .store import exchange, read_release, served_path
from .verify import verify_update_folder

EXPORT_FOLDER = "update"


def export(out, dest):
    """Writes DEST/update/ beside DEST, verifies it, then puts it in DEST's place whole. Returns
    (version, file count)."""
    source = served_path(out)
    release = read_release(source) if os.path.isdir(source) else None
    if release is None:
        raise PublishError(f"--out {out} serves no release")
    if inside(dest, out) or inside(out, dest):
        raise PublishError(f"{dest} and the tree {out} must lie outside each other")
    if os.path.lexists(dest) and (os.path.islink(dest) or not os.path.isdir(dest)):
        raise PublishError(f"{dest}: not a folder")
    parent = os.path.dirname(os.path.abspath(dest))
    base = os.path.basename(os.path.abspath(dest))
    staging = os.path.join(parent, f".{base}.export")
    old = os.path.join(parent, f".{base}.old")
    for leftover in (staging, old):
        if os.path.lexists(leftover):
            shutil.rmtree(leftover)  # a killed export's; never served
    try:
        count = copy_plain(source, os.path.join(staging, EXPORT_FOLDER))
        problems = [p for p in verify_update_folder(os.path.join(staging, EXPORT_FOLDER)) if "no hash" not in p]
        if problems:
            raise PublishError(f"the export does not verify: {problems[0]}")
        if os.path.isdir(dest):
            exchange(staging, dest)
            step()
            os.rename(staging, old)
            shutil.rmtree(old)
        else:
            os.rename(staging, dest)
            step()
    except BaseException:
        shutil.rmtree(staging, ignore_errors=True)  # what stays goes on the next run
        raise
    return release.version, count


def copy_plain(source, target):
    """Copies the tree below `source`, following its links, into plain folders and files."""
    count = 0
    source_b, target_b = os.fsencode(source), os.fsencode(target)
    for folder, dirs, names in os.walk(source_b, followlinks=True):
        here = os.path.join(target_b, os.path.relpath(folder, source_b))
        os.makedirs(here, exist_ok=True)
        for name in sorted(names):
            files.copy_file(os.path.join(folder, name), os.path.join(here, name))
            count += 1
    for folder, _, _ in os.walk(target_b):
        files.fsync_path(folder, directory=True)
    return count
