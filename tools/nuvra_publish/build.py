"""build: writes a release beside the served one, verifies it, then switches it in."""

import os
import shutil
import sys
import time

from . import files
from .authenticode import authenticode_sign, signing_time, signs_authenticode
from .common import ENCODING, PRODUCT_EXE, UPDATER_EXE, VERSION_LIST_NAME, PublishError, read_input, step
from .files import folder_file, hash_file, inside, product_files, read_config, release_order, write_file
from .keys import fingerprint, load_private_key, raw_public_key, sign, signature_verifies
from .listrules import Entry, Release, check_field, list_problems, name_problem, old_updaters_cannot_fetch
from .store import (folder_list_path, folder_signature_path, hold_lock, is_disk_full, put_back_taken_over_folder,
                    read_release, read_signature, releases_dir, remove_old_releases, remove_partial_releases,
                    served_path, switch_to, withdrawn_versions, PARTIAL_SUFFIX)
from .updater import updater_release_key
from .verify import verify_update_folder
from .versions import check_version, version_problem

DEFAULT_KEEP = 2


def gather(args):
    """Everything build needs, checked before anything is written: {relative path: source}."""
    if args.keep < 1:
        raise PublishError("--keep must be at least 1 (the served release)")
    check_version(args.version)
    check_field("--version", args.version)
    check_field("--title", args.title)
    if bool(args.sign_cert) != bool(args.sign_key):
        raise PublishError("--sign-cert and --sign-key go together")
    if args.sign_cert:
        for path, what in ((args.sign_cert, "--sign-cert"), (args.sign_key, "--sign-key")):
            read_input(path, what)
        if shutil.which("osslsigncode") is None:
            raise PublishError("Authenticode signing needs osslsigncode (Debian package osslsigncode)")
    if args.expires is not None and args.expires < 1:
        raise PublishError("--expires must be a number of days, 1 or more")
    if args.updater and args.no_updater:
        raise PublishError("--updater and --no-updater exclude each other")
    if os.path.exists(args.product):
        if inside(args.out, args.product):
            raise PublishError(f"--product {args.product} holds the output tree {args.out}; "
                               "keep the tree outside it")
        if inside(args.product, args.out):
            raise PublishError(f"--product {args.product} lies inside the output tree {args.out}")
    if os.path.exists(args.out) and not os.path.isdir(args.out):
        raise PublishError(f"--out {args.out}: not a folder")
    found = product_files(args.product, [args.config] if args.config else [], args.follow_links)
    if args.updater:
        updater_release_key(args.updater, "--updater")
        if UPDATER_EXE in found:
            raise PublishError(f"--updater given, but {args.product} holds {UPDATER_EXE} too; keep one")
        found[UPDATER_EXE] = args.updater
    elif UPDATER_EXE not in found and not args.no_updater:
        raise PublishError(f"no updater in the release: give --updater PATH (the built {UPDATER_EXE}) so "
                           "that the product's update button works, or --no-updater")
    if PRODUCT_EXE not in found:
        raise PublishError(f"--product {args.product} holds no {PRODUCT_EXE}, the program every installation "
                           "starts")
    # Windows does not tell names apart by case: one would overwrite the other.
    seen = {}
    for path in found:
        problem = name_problem(path)
        if problem:
            raise PublishError(problem)
        if path.lower() in seen:
            raise PublishError(f"{path} and {seen[path.lower()]} are the same file on Windows")
        seen[path.lower()] = path
    return found


def check_updater(args, found, key, served_dir, served):
    """The shipped updater must trust the key this list is signed with (or carry none when the
    list is unsigned). With --new-key, a migration release signed with the old key may ship an
    updater that carries a new one."""
    if UPDATER_EXE not in found:
        return
    what = "--updater" if args.updater else UPDATER_EXE
    carried = updater_release_key(found[UPDATER_EXE], what)
    path = found[UPDATER_EXE]
    if key is None:
        if carried is not None:
            raise PublishError(f"{what} {path} trusts release key {fingerprint(carried)} and would refuse this "
                               "unsigned list: give --key")
        return
    signing = raw_public_key(key.public_key())
    if carried == signing:
        return
    if carried is None:
        raise PublishError(f"{what} {path} carries no release key; it would take unsigned lists from anyone: "
                           "ship an updater built with the release key")
    signature = read_signature(served_dir) if served else None
    migrating = args.new_key and signature is not None and signature_verifies(key.public_key(), served.data, signature)
    if migrating:
        # The served key signs this list; the updater it ships moves users to the new key.
        print(f"nuvra-publish: the shipped updater trusts the new key {fingerprint(carried)}; publish later "
              "releases with that key and --new-key", file=sys.stderr)
        return
    raise PublishError(f"{what} {path} trusts release key {fingerprint(carried)}, not the key {fingerprint(signing)} "
                       "this list is signed with; it would refuse every later release")


def check_key_continuity(args, key, served):
    signature = read_signature(served_path(args.out))
    if served is None or signature is None:
        return
    if key is None:
        raise PublishError(f"{args.out} serves a signed release: give --key (the release key), or keyed "
                           "updaters refuse the new one")
    if not signature_verifies(key.public_key(), served.data, signature) and not args.new_key:
        raise PublishError(f"--key {args.key} is not the key that signed the served release; updaters "
                           "built with that key would refuse this one (--new-key if that is meant)")


def previous_release(args, served):
    """(update folder, Release) whose file versions carry over; checks --previous."""
    if not args.previous:
        return (served_path(args.out), served) if served else (None, None)
    if not os.path.isdir(args.previous):
        raise PublishError(f"--previous {args.previous}: no such folder")
    folder = served_path(args.previous)
    release = read_release(folder)
    if release is None:
        raise PublishError(f"--previous {args.previous}: no file list of an earlier release there")
    problem = version_problem(args.version, release.version, "the --previous release")
    if problem:
        raise PublishError(problem)
    if served and served.version != release.version:
        raise PublishError(f"--previous is release {release.version}, but {args.out} serves {served.version}: "
                           "the served release is the previous one (leave --previous out)")
    return folder, release


def warn_names_older_updaters_miss(found, earlier):
    """Updaters before escaped request paths cannot fetch a name with a blank, "#" or "%"."""
    for path in sorted(found):
        if path not in earlier and old_updaters_cannot_fetch(path):
            print(f"nuvra-publish: warning: {path}: updaters and installers that send names unescaped (those "
                  "made before escaped request paths) cannot fetch a name with a blank, '#' or '%': their update "
                  "stops at this file once, after replacing themselves with the updater this release ships, "
                  "and their installation fails", file=sys.stderr)


def build(args):
    """Writes and serves the release; returns [(path, file version, flag, size, changed)]."""
    found = gather(args)
    key = load_private_key(args.key) if args.key else None
    settings, default_marker, config_lines = read_config(args.config)
    for path in sorted(set(settings) - set(found), key=lambda p: config_lines[p]):
        raise PublishError(f"{args.config}:{config_lines[path]}: {path} is not a file of the product")

    out = args.out
    lock = hold_lock(out) if os.path.isdir(out) else None
    if os.path.isdir(out):
        put_back_taken_over_folder(out)
    served = read_release(served_path(out)) if os.path.isdir(served_path(out)) else None
    if os.path.isdir(served_path(out)) and served is None:
        raise PublishError(f"{served_path(out)} holds no file list; it is not a release this tool can follow")
    rerun = served is not None and served.version == args.version
    if served and not rerun:
        problem = version_problem(args.version, served.version, "the served release")
        if problem:
            raise PublishError(problem)
    for withdrawn in withdrawn_versions(out):
        problem = version_problem(args.version, withdrawn, "the withdrawn release")
        if problem and not rerun:
            raise PublishError(problem + " (installed copies may have it)")
    check_key_continuity(args, key, served)
    check_updater(args, found, key, served_path(out), served)
    previous_dir, previous = previous_release(args, served) if not rerun else (served_path(out), served)
    earlier = {e.path: e for e in previous.entries} if previous else {}
    warn_names_older_updaters_miss(found, earlier)
    for entry in earlier.values():
        if not entry.sha256:
            # Lists of earlier tools may lack hashes: the served bytes tell whether a file changed.
            try:
                entry.sha256 = hash_file(folder_file(previous_dir, entry.path))[0]
            except (OSError, UnicodeEncodeError):
                pass  # a file the earlier tree lacks counts as changed

    os.makedirs(releases_dir(out), exist_ok=True)
    if lock is None:
        lock = hold_lock(out)
    remove_partial_releases(out)
    staging = os.path.join(releases_dir(out), f".{args.version}{PARTIAL_SUFFIX}")
    try:
        entries = stage(args, found, settings, default_marker, earlier, previous_dir, staging)
        list_bytes = list_file_bytes(args, entries)
        problems = list_problems(list_bytes, keyed=key is not None)
        if problems:
            raise PublishError(problems[0])
        write_file(folder_list_path(staging), list_bytes)
        if key:
            write_file(folder_signature_path(staging), (sign(key, list_bytes) + "\n").encode())
        end = b"\r\n" if args.crlf else b"\n"
        write_file(os.path.join(staging, VERSION_LIST_NAME),
                   b"# Morvel update server: selector,version,reserved,reserved,install allowed," + end +
                   f"0,{args.version},,,{'no' if args.refuse else 'yes'},".encode() + end)
        for folder, _, _ in os.walk(staging):
            files.fsync_path(folder, directory=True)
        problems = verify_update_folder(staging, key.public_key() if key else None, args.sign_cert)
        if problems:
            raise PublishError(f"the new release does not verify: {problems[0]}")
        if rerun:
            if Release(list_bytes).without_expiry() != served.without_expiry():
                raise PublishError(f"{out} serves {args.version} already, with other files; publish a higher "
                                   "version")
            shutil.rmtree(staging)
            remove_old_releases(out, args.keep)
            return [(e.path, e.version, e.flag, e.size, False) for e in entries]
        final = os.path.join(releases_dir(out), args.version)
        if os.path.lexists(final):
            # Written by a run that ended before its switch: never served.
            shutil.rmtree(final)
        os.rename(staging, final)
        step()
        files.fsync_path(releases_dir(out), directory=True)
    except BaseException as error:
        # Nothing served changed; the half-written release is not left to fill the disk.
        shutil.rmtree(staging, ignore_errors=True)  # what stays goes on the next run
        if is_disk_full(error):
            raise PublishError(f"the disk is full ({error.filename or out}); nothing served changed") from None
        if isinstance(error, OSError):
            raise PublishError(f"{error.filename or out}: {error.strerror}; nothing served changed") from None
        raise
    switch_to(out, args.version)
    remove_old_releases(out, args.keep)
    return [(e.path, e.version, e.flag, e.size, e.version == args.version and
             (e.path not in earlier or earlier[e.path].sha256 != e.sha256)) for e in entries]


def stage(args, found, settings, default_marker, earlier, previous_dir, staging):
    """Writes every file into the staging folder; the entries, in list order."""
    entries = []
    for path in sorted(found, key=release_order):
        source = found[path]
        folder, _, name = path.rpartition("/")
        target = folder_file(staging, path)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        kept = earlier.get(path)
        if args.sign_cert and signs_authenticode(path):
            # Signed again at the earlier signature's time, an unchanged program gives the very
            # bytes served before, so it keeps its version; otherwise it is signed now.
            signed_at = None
            if kept and previous_dir and os.path.exists(folder_file(previous_dir, path)):
                signed_at = signing_time(folder_file(previous_dir, path))
            authenticode_sign(source, target, args.sign_cert, args.sign_key, signed_at)
            sha256, size = hash_file(target)
            if signed_at is not None and sha256 != kept.sha256:
                authenticode_sign(source, target, args.sign_cert, args.sign_key)
                sha256, size = hash_file(target)
        else:
            sha256, size = None, None
            if kept and previous_dir and os.path.realpath(previous_dir).startswith(
                    os.path.realpath(releases_dir(args.out))):
                # Unchanged bytes need no second copy: a link to the served file, which no run
                # ever writes again.
                digest = hash_file(source)
                if digest[0] == kept.sha256:
                    try:
                        os.link(folder_file(previous_dir, path), target)
                        step()
                        sha256, size = digest
                    except OSError:
                        pass  # a file system without hard links: the file is copied below
            if sha256 is None:
                sha256, size = files.copy_file(source, target)
        version = kept.version if kept and kept.sha256 == sha256 else args.version
        values = settings.get(path, {})
        entries.append(Entry(values.get("marker", default_marker), name, version, folder, values.get("flag", ""),
                             sha256, size))
    return entries


def list_file_bytes(args, entries):
    end = "\r\n" if args.crlf else "\n"
    lines = [args.title, args.version]
    if args.expires is not None:
        lines.append(f",expires,{int(time.time()) + args.expires * 86400},")
    lines += [e.line() for e in entries]
    return "".join(line + end for line in lines).encode(ENCODING)
