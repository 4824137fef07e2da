"""Checks a release as the updater will meet it: the list's shape, names, title and version,
every file's hash and size, the expiry, the signature and the Authenticode signatures."""

import os
import time

from .authenticode import authenticode_problem, signs_authenticode
from .common import LIST_NAME, PRODUCT_FOLDER, SIGNATURE_NAME, VERSION_LIST_NAME, PublishError
from .files import folder_file, hash_file
from .keys import fingerprint, load_public_key, raw_public_key, signature_verifies
from .listrules import MAX_LIST_BYTES, Release, list_problems
from .store import folder_list_path, folder_signature_path, served_path


class Findings:
    """What a check found: its problems, and what it checked, for the maker to read."""

    def __init__(self):
        self.problems = []
        self.checked = []


def when(seconds):
    return time.strftime("%Y-%m-%d %H:%M UTC", time.gmtime(seconds))


def check_update_folder(update_dir, public_key=None, sign_cert=None, now=None):
    found = Findings()
    problems = found.problems
    if not os.path.isfile(os.path.join(update_dir, VERSION_LIST_NAME)):
        problems.append(f"update/{VERSION_LIST_NAME} is missing")
    try:
        with open(folder_list_path(update_dir), "rb") as f:
            list_bytes = f.read(MAX_LIST_BYTES + 1)
    except OSError:
        problems.append(f"update/{PRODUCT_FOLDER}/{LIST_NAME} is missing")
        return found
    problems += list_problems(list_bytes, keyed=public_key is not None)
    if len(list_bytes) > MAX_LIST_BYTES:
        return found
    release = Release(list_bytes)
    found.checked.append(f"release {release.version}, title {release.title!r}")
    now = time.time() if now is None else now
    if release.expires is None:
        found.checked.append("expiry: none")
    elif release.expires <= now:
        problems.append("the list expired on " + when(release.expires))
    else:
        found.checked.append(f"expiry: {when(release.expires)} (in {-int((now - release.expires) // 86400)} days)")
    total = 0
    for entry in release.entries:
        try:
            sha256, size = hash_file(folder_file(update_dir, entry.path))
        except (OSError, UnicodeEncodeError):
            problems.append(f"{entry.path}: listed but missing")
            continue
        total += size
        if not entry.sha256:
            if public_key is None:
                problems.append(f"{entry.path}: no hash in the list")
        elif sha256 != entry.sha256:
            problems.append(f"{entry.path}: content does not match its hash")
        if entry.size is not None and entry.size != size:
            problems.append(f"{entry.path}: {size} bytes, the list says {entry.size}")
        if sign_cert and signs_authenticode(entry.path):
            problem = authenticode_problem(folder_file(update_dir, entry.path), sign_cert)
            if problem:
                problems.append(f"{entry.path}: {problem}")
    found.checked.append(f"files: {len(release.entries)}, {total} bytes, each hash and size checked"
                         + (", Authenticode checked" if sign_cert else ""))
    if public_key is not None:
        try:
            with open(folder_signature_path(update_dir), encoding="ascii") as f:
                text = f.read()
        except (OSError, UnicodeDecodeError):
            problems.append(f"{SIGNATURE_NAME} is missing")
        else:
            if not signature_verifies(public_key, list_bytes, text):
                problems.append(f"{SIGNATURE_NAME} does not verify with the key")
            else:
                found.checked.append(f"signature: verifies with key {fingerprint(raw_public_key(public_key))}")
    elif os.path.exists(folder_signature_path(update_dir)):
        found.checked.append("signature: present, not checked (no --key)")
    else:
        found.checked.append("signature: none")
    return found


def verify_update_folder(update_dir, public_key=None, sign_cert=None, now=None):
    """The problems found in an update folder, as lines of text; empty when it is sound."""
    return check_update_folder(update_dir, public_key, sign_cert, now).problems


def verify(tree, public_key_path=None, sign_cert=None):
    """Findings for the release a tree serves."""
    if not os.path.isdir(tree):
        raise PublishError(f"{tree}: no such folder")
    public_key = load_public_key(public_key_path) if public_key_path else None
    update_dir = served_path(tree)
    if not os.path.isdir(update_dir):
        raise PublishError(f"{tree}: serves no release (no update folder)")
    return check_update_folder(update_dir, public_key, sign_cert)
