"""The served tree: releases/<version>/ folders, the update link that serves one of them, the
switch that changes it in one atomic rename, withdrawn releases and the ones kept for rollback.

    TREE/update -> releases/V        the served release (a symbolic link)
    TREE/releases/V/                 version.txt and Nuvra/ (the list, its signature, the files)
    TREE/releases/V.withdrawn        V was rolled back: never served again
"""

import ctypes
import errno
import fcntl
import os
import shutil

from .common import LIST_NAME, PRODUCT_FOLDER, SIGNATURE_NAME, PublishError, critical, step
from .files import folder_file, fsync_path
from .listrules import Release
from .versions import components_above, parse_version

SERVED_LINK = "update"
RELEASES = "releases"
LOCK_NAME = ".nuvra-publish.lock"
SWITCH_NAME = ".update.switch"  # the link being switched in; after a takeover, the old folder
PARTIAL_SUFFIX = ".partial"
WITHDRAWN_SUFFIX = ".withdrawn"


def releases_dir(out):
    return os.path.join(out, RELEASES)


def served_path(out):
    return os.path.join(out, SERVED_LINK)


def folder_list_path(update_dir):
    return os.path.join(update_dir, PRODUCT_FOLDER, LIST_NAME)


def folder_signature_path(update_dir):
    return os.path.join(update_dir, PRODUCT_FOLDER, SIGNATURE_NAME)


def list_path(tree):
    return folder_list_path(served_path(tree))


def server_file(tree, path):
    """Where the served release keeps a listed file below a server tree."""
    return folder_file(served_path(tree), path)


def read_release(update_dir):
    """The Release an update folder serves, or None when it has no list."""
    try:
        with open(folder_list_path(update_dir), "rb") as f:
            return Release(f.read())
    except FileNotFoundError:
        return None


def read_signature(update_dir):
    """The signature's text, or None when the release has none."""
    try:
        with open(folder_signature_path(update_dir), encoding="ascii", errors="replace") as f:
            return f.read()
    except FileNotFoundError:
        return None


def served_name(out):
    """The release folder name the link serves; None for a plain folder or nothing."""
    link = served_path(out)
    if not os.path.islink(link):
        return None
    return os.path.basename(os.readlink(link).rstrip("/"))


def kept_releases(out):
    """[(version components, name, version)] of every complete release folder, newest first."""
    found = []
    try:
        names = os.listdir(releases_dir(out))
    except FileNotFoundError:
        return found
    for name in names:
        full = os.path.join(releases_dir(out), name)
        if name.startswith(".") or not os.path.isdir(full) or os.path.islink(full):
            continue
        release = read_release(full)
        version = release.version if release else None
        found.append(((parse_version(version) if version else None) or (), name, version))
    found.sort(key=lambda item: item[0], reverse=True)
    return found


def withdrawn_versions(out):
    try:
        return [n[:-len(WITHDRAWN_SUFFIX)] for n in os.listdir(releases_dir(out)) if n.endswith(WITHDRAWN_SUFFIX)]
    except FileNotFoundError:
        return []


def rollback_candidates(out):
    """[(components, name, version)] rollback may serve, newest first: kept, below the served
    release, never withdrawn."""
    served = served_name(out)
    current = read_release(served_path(out))
    below = parse_version(current.version) if current else None
    withdrawn = set(withdrawn_versions(out))
    return [(c, n, v) for c, n, v in kept_releases(out)
            if n != served and c and v not in withdrawn and (below is None or components_above(below, c))]


def free_name(folder, name):
    candidate, n = name, 1
    while os.path.lexists(os.path.join(folder, candidate)):
        candidate, n = f"{name}-{n}", n + 1
    return candidate


def put_back_taken_over_folder(out):
    """A takeover killed between its exchange and its move leaves the old plain folder under the
    switch name: it goes among the releases. A leftover switch link just goes."""
    switch = os.path.join(out, SWITCH_NAME)
    if os.path.islink(switch):
        os.unlink(switch)
    elif os.path.isdir(switch):
        os.makedirs(releases_dir(out), exist_ok=True)
        release = read_release(switch)
        name = free_name(releases_dir(out), (release.version if release else "earlier") + "-taken-over")
        os.rename(switch, os.path.join(releases_dir(out), name))


def remove_partial_releases(out):
    """Folders of killed or failed runs; never served, so they go without a question."""
    try:
        names = os.listdir(releases_dir(out))
    except FileNotFoundError:
        return
    for name in names:
        if name.startswith(".") and name.endswith(PARTIAL_SUFFIX):
            shutil.rmtree(os.path.join(releases_dir(out), name))


_held_locks = []


def hold_lock(out):
    """One publish at a time per tree: a second would remove the first's half-written release.
    A killed process loses its lock with its files; the command line releases it at the end."""
    fd = os.open(os.path.join(out, LOCK_NAME), os.O_RDWR | os.O_CREAT, 0o644)
    try:
        fcntl.flock(fd, fcntl.LOCK_EX | fcntl.LOCK_NB)
    except BlockingIOError:
        os.close(fd)
        raise PublishError(f"another nuvra-publish is working on {out}; nothing changed") from None
    _held_locks.append(fd)
    return fd


def release_locks():
    while _held_locks:
        os.close(_held_locks.pop())


def exchange(a, b):
    """Swaps two names in one step (Linux renameat2 RENAME_EXCHANGE): a plain folder cannot be
    replaced by a link, nor a folder by another, with rename(2)."""
    libc = ctypes.CDLL(None, use_errno=True)
    renameat2 = getattr(libc, "renameat2", None)
    if renameat2 is None:
        raise PublishError("swapping folders in one step needs Linux's renameat2")
    if renameat2(-100, os.fsencode(a), -100, os.fsencode(b), 2) != 0:
        code = ctypes.get_errno()
        raise OSError(code, os.strerror(code), a)


def switch_to(out, name):
    """Serves releases/<name>: a new link renamed over the served one, the one atomic step."""
    with critical():
        switch = os.path.join(out, SWITCH_NAME)
        if os.path.lexists(switch):
            os.unlink(switch)
        os.symlink(os.path.join(RELEASES, name), switch)
        step()
        served = served_path(out)
        if os.path.isdir(served) and not os.path.islink(served):
            exchange(switch, served)
            step()
            fsync_path(out, directory=True)
            put_back_taken_over_folder(out)
        else:
            os.replace(switch, served)
        step()
        fsync_path(out, directory=True)


def remove_old_releases(out, keep):
    """Keeps `keep` releases that may be served, the served one included, and never removes the
    served release, the one rollback would serve, or one newer than the served one. Withdrawn
    releases are never served again, so they go first."""
    served = served_name(out)
    current = read_release(served_path(out))
    above = parse_version(current.version) if current else None
    candidates = rollback_candidates(out)
    protected = {served} | ({candidates[0][1]} if candidates else set())
    withdrawn = set(withdrawn_versions(out))
    removable = []
    for components, name, version in kept_releases(out):
        if name in protected or (above is not None and components and components_above(components, above)):
            continue
        removable.append((name, version in withdrawn))
    room = max(0, keep - len(protected))
    doomed = [name for name, gone in removable if gone]
    doomed += [name for name, gone in removable if not gone][room:]
    with critical():
        for name in doomed:
            shutil.rmtree(os.path.join(releases_dir(out), name))
            step()


def mark_withdrawn(out, version):
    path = os.path.join(releases_dir(out), version + WITHDRAWN_SUFFIX)
    with open(path, "wb") as f:
        os.fsync(f.fileno())
    fsync_path(releases_dir(out), directory=True)
    step()


def is_disk_full(error):
    return isinstance(error, OSError) and error.errno == errno.ENOSPC
