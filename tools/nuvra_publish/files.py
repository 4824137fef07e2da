"""The product folder as published (its files, links and settings) and careful writing: each
write reaches the disk before the next step counts on it."""

import hashlib
import os

from .common import CHUNK, ENCODING, PRODUCT_EXE, PRODUCT_FOLDER, UPDATER_EXE, PublishError, read_input, step
from .listrules import check_field

DEFAULT_MARKER = "entry"
# The flag the updater knows: "A", replaced in place. Anything else would be ignored silently.
FLAGS = ("", "A")


def inside(path, folder):
    path, folder = os.path.realpath(path), os.path.realpath(folder)
    return path == folder or path.startswith(folder.rstrip(os.sep) + os.sep)


def product_files(product, skip, follow_links=False):
    """{relative "/" path: source path} of every file below the product folder. A symbolic link is
    refused unless follow_links, and then followed only to a target inside the folder."""
    if not os.path.exists(product):
        raise PublishError(f"--product {product}: no such folder")
    if not os.path.isdir(product):
        raise PublishError(f"--product {product}: not a folder")
    found = {}
    seen_folders = set()

    def walk_error(error):
        raise PublishError(f"{error.filename}: cannot be read ({error.strerror})")

    def check_link(full):
        target = os.readlink(full)
        if not follow_links:
            raise PublishError(f"{full}: a symbolic link (to {target}); give --follow-links to publish what it "
                               "points to inside the product folder")
        if not os.path.exists(full):
            raise PublishError(f"{full}: a symbolic link to {target}, which does not exist")
        if not inside(full, product):
            raise PublishError(f"{full}: a symbolic link to {target}, outside the product folder; it is never "
                               "followed out of it")

    for folder, dirs, names in os.walk(product, onerror=walk_error, followlinks=follow_links):
        real = os.path.realpath(folder)
        if real in seen_folders:
            raise PublishError(f"{folder}: the same folder as another one of the product (a link loop?)")
        seen_folders.add(real)
        dirs.sort()
        for name in dirs:
            if os.path.islink(os.path.join(folder, name)):
                check_link(os.path.join(folder, name))
        for name in names:
            full = os.path.join(folder, name)
            if any(os.path.realpath(full) == os.path.realpath(s) for s in skip):
                continue
            if os.path.islink(full):
                check_link(full)
            if not os.path.isfile(full):
                raise PublishError(f"{full}: not a plain file")
            if not os.access(full, os.R_OK):
                raise PublishError(f"{full}: cannot be read (permission denied)")
            found[os.path.relpath(full, product).replace(os.sep, "/")] = full
    return found


def read_config(path):
    """({product path: {setting: value}}, default marker, {product path: line number}) from the
    optional config file; every fault names its line."""
    settings, lines, marker = {}, {}, DEFAULT_MARKER
    if not path:
        return settings, marker, lines
    data = read_input(path, "--config")
    for number, raw in enumerate(data.split(b"\n"), 1):
        try:
            text = raw.decode("utf-8")
        except UnicodeDecodeError:
            raise PublishError(f"{path}:{number}: not UTF-8 text") from None
        words = text.split("#", 1)[0].split()
        if not words:
            continue
        values = {}
        for item in words[1:]:
            key, sep, value = item.partition("=")
            if not sep or key not in ("marker", "flag"):
                raise PublishError(f"{path}:{number}: expected marker=... or flag=..., got {item!r}")
            if key in values:
                raise PublishError(f"{path}:{number}: {key} given twice")
            check_field(f"{path}:{number}: {key}", value)
            if key == "flag" and value not in FLAGS:
                raise PublishError(f"{path}:{number}: flag={value}: the updater knows only flag=A (replaced in "
                                   "place)")
            if key == "marker" and not value:
                raise PublishError(f"{path}:{number}: the marker must not be empty (the updater skips such lines)")
            values[key] = value
        if words[0] == "*":
            if "flag" in values:
                raise PublishError(f"{path}:{number}: '*' sets only the marker")
            marker = values.get("marker", marker)
            continue
        name = words[0].strip("/")
        if not values:
            raise PublishError(f"{path}:{number}: {name} has no marker=... or flag=...")
        if name in settings:
            raise PublishError(f"{path}:{number}: {name} is set on line {lines[name]} already")
        settings[name], lines[name] = values, number
    return settings, marker, lines


def release_order(path):
    # The program first, as the product's lists have always had it, then the updater: an older
    # updater replaces itself before it meets a name it cannot fetch.
    return (path != PRODUCT_EXE, path != UPDATER_EXE, path.count("/"), path)


def folder_file(update_dir, path):
    """Where a listed file lives below an update folder; names on disk are code page 949."""
    parts = [p.encode(ENCODING) for p in path.split("/")]
    return os.path.join(os.fsencode(update_dir), PRODUCT_FOLDER.encode(), *parts)


def hash_file(path):
    digest, size = hashlib.sha256(), 0
    with open(path, "rb") as f:
        while True:
            block = f.read(CHUNK)
            if not block:
                return digest.hexdigest(), size
            digest.update(block)
            size += len(block)


def fsync_path(path, directory=False):
    fd = os.open(path, os.O_RDONLY | (os.O_DIRECTORY if directory else 0))
    try:
        os.fsync(fd)
    finally:
        os.close(fd)


def write_file(path, data):
    with open(path, "wb") as f:
        f.write(data)
        f.flush()
        os.fsync(f.fileno())
    step()


def copy_file(source, target):
    """Copies in pieces, hashing what is written; (sha256, size)."""
    digest, size = hashlib.sha256(), 0
    with open(source, "rb") as src, open(target, "wb") as dst:
        while True:
            block = src.read(CHUNK)
            if not block:
                break
            dst.write(block)
            digest.update(block)
            size += len(block)
            step()
        dst.flush()
        os.fsync(dst.fileno())
    step()
    return digest.hexdigest(), size
