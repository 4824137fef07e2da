"""rollback: serves the newest kept release below the served one again, never a withdrawn one,
and with a signed release only one that the given key signed."""

import os

from .common import PublishError, critical
from .keys import load_private_key, signature_verifies
from .store import (hold_lock, mark_withdrawn, read_release, read_signature, releases_dir, rollback_candidates,
                    served_name, served_path, switch_to, withdrawn_versions)
from .verify import verify_update_folder
from .versions import parse_version


def rollback(out, to=None, key_path=None):
    """Serves an earlier kept release again; returns its version."""
    if not os.path.isdir(out):
        raise PublishError(f"--out {out}: no such folder")
    hold_lock(out)
    served = served_name(out)
    if served is None:
        raise PublishError(f"{out} keeps no earlier release (its update folder is not a served link)")
    current = read_release(served_path(out))
    key = load_private_key(key_path) if key_path else None
    signature = read_signature(served_path(out))
    if current and signature is not None:
        if key is None:
            raise PublishError(f"{out} serves a signed release: give --key (the release key), so that no release "
                               "signed with another key is served")
        if not signature_verifies(key.public_key(), current.data, signature):
            raise PublishError(f"--key {key_path} is not the key that signed the served release {current.version}")
    if to and parse_version(to) is None:
        raise PublishError(f"--to {to!r} is not a dotted number")
    if to and to in withdrawn_versions(out):
        raise PublishError(f"release {to} was withdrawn; it is never served again")
    candidates = rollback_candidates(out)
    if to:
        candidates = [c for c in candidates if c[0] == parse_version(to)]
    if not candidates:
        raise PublishError(f"{out} keeps no release {to or 'below the served one'} that was not withdrawn")
    _, name, version = candidates[0]
    target = os.path.join(releases_dir(out), name)
    public = key.public_key() if key else None
    problems = [p for p in verify_update_folder(target, public) if public or "no hash" not in p]
    if problems:
        if public and any("does not verify with the key" in p or "is missing" in p for p in problems):
            raise PublishError(f"release {version} is not signed with --key {key_path} (a release from before a key "
                               "change?); updaters that trust this key would refuse it")
        raise PublishError(f"release {version} does not verify: {problems[0]}")
    # Marked and switched together: an interrupt between them would leave a withdrawn release served.
    with critical():
        if current:
            mark_withdrawn(out, current.version)
        switch_to(out, name)
    return read_release(target).version
