"""The file list as the updater reads it: lines, fields, names, title and version text.

Each rule mirrors the updater's own check of the same name, byte for byte, so that the tool never
writes what the updater refuses; tests/tools compare both on the same lists. The one written
statement of these rules on the tool's side is here.
"""

import re

from .common import ENCODING, PRODUCT_EXE, PRODUCT_FOLDER, PublishError

# The updater refuses a list larger than this before reading it.
MAX_LIST_BYTES = 16 << 20
INT_MAX = 2 ** 31 - 1
# The first start's command line must fit 267 bytes with the title and version in it. The tool
# cannot know the folder the user picks; this is the longest default one (the per-user programs
# folder of a 20-character user name).
REFERENCE_FOLDER = "C:\\Users\\" + "u" * 20 + "\\AppData\\Local\\Programs\\Morvel\\Nuvra"
MAX_FIRST_START_COMMAND_LINE = 267
HASH_PATTERN = rb"[0-9a-fA-F]{64}"
# Updaters before the escaped request paths sent names as they are: nginx answers 400 to a raw
# blank or "%", and a raw "#" ends the path.
OLD_UPDATERS_CANNOT_FETCH = b" #%"
# The updater escapes every ASCII byte of a request path but these, as three bytes each, and
# sends no path longer than MAX_REQUEST_PATH.
UNESCAPED = frozenset(b"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-._~/")
MAX_REQUEST_PATH = 2048


def trimmed(data):
    return data.strip(b" \t\r\n\v\f")


def fields_of(line, count):
    """The first `count` fields as the updater's field cursor reads them (trimmed): a field with
    no comma after it reads as empty and the cursor starts the line again."""
    out, pos = [], 0
    for _ in range(count):
        comma = line.find(b",", pos)
        if comma < 0:
            out.append(b"")
            pos = 0
        else:
            out.append(trimmed(line[pos:comma]))
            pos = comma + 1
    return out


def list_lines(data):
    """The lines as the updater's reader cuts them: a UTF-8 mark skipped, LF ends, CR dropped."""
    if data.startswith(b"\xef\xbb\xbf"):
        data = data[3:]
    lines, start = [], 0
    while start < len(data):
        stop = data.find(b"\n", start)
        if stop < 0:
            lines.append(data[start:])
            break
        line = data[start:stop]
        lines.append(line[:-1] if line.endswith(b"\r") else line)
        start = stop + 1
    return lines


def is_dotted_number(text):
    text = trimmed(text)
    return any(48 <= c <= 57 for c in text) and all(48 <= c <= 57 or c == 46 for c in text)


def is_plain_list_text(text):
    return all(c >= 0x20 and c != 0x7F and c != 0x22 for c in text)


def leading_number(text):
    i = 0
    while i < len(text) and (text[i] == 32 or 9 <= text[i] <= 13):
        i += 1
    negative = i < len(text) and text[i] == 45
    if i < len(text) and text[i] in b"+-":
        i += 1
    limit = INT_MAX + 1 if negative else INT_MAX
    value = 0
    while i < len(text) and 48 <= text[i] <= 57:
        value = min(limit, value * 10 + text[i] - 48)
        i += 1
    return -value if negative else value


def version_number(dotted):
    """What updaters before the component order compare: the dots removed, read like atoi, clamped
    to an int."""
    return leading_number(dotted.replace(b".", b""))


def dotless_value(dotted):
    """The dot-less number unclamped, to tell whether older updaters can still order it."""
    digits = dotted.replace(b".", b"")
    return int(digits) if digits.isdigit() else None


RESERVED_DEVICES = {b"CON", b"PRN", b"AUX", b"NUL", b"CONIN$", b"CONOUT$"}
SUPERSCRIPTS = {b"\xa9\xf6", b"\xa9\xf7", b"\xa9\xf8", b"\xb9", b"\xb2", b"\xb3"}


def is_reserved_device(component):
    base = component.split(b".", 1)[0].rstrip(b" ").upper()
    if base in RESERVED_DEVICES:
        return True
    if len(base) < 4 or base[:3] not in (b"COM", b"LPT"):
        return False
    number = base[3:]
    return (len(number) == 1 and 49 <= number[0] <= 57) or number in SUPERSCRIPTS


def has_whole_characters(component):
    i = 0
    while i < len(component):
        if 0x81 <= component[i] <= 0xFE:
            if i + 1 >= len(component):
                return False
            trail = component[i + 1]
            if not (0x41 <= trail <= 0x5A or 0x61 <= trail <= 0x7A or 0x81 <= trail <= 0xFE):
                return False
            i += 1
        i += 1
    return True


def is_safe_component(component):
    if component in (b"", b".", b".."):
        return False
    if any(c < 0x20 or c in b'<>:"|?*\\/' for c in component):
        return False
    if component[-1:] in (b".", b" "):
        return False
    return has_whole_characters(component) and not is_reserved_device(component)


def is_safe_entry_path(folder, name):
    return is_safe_component(name) and (not folder or all(is_safe_component(c) for c in folder.split(b"/")))


def list_problems(data, keyed=True):
    """Why the updater would refuse these list bytes, as lines of text; empty when it accepts."""
    if len(data) > MAX_LIST_BYTES:
        return [f"the file list is larger than {MAX_LIST_BYTES >> 20} MiB"]
    lines = list_lines(data)
    problems = []
    if len(lines) < 3:
        return ["the file list has no title, version and entry lines"]
    title, version = lines[0], trimmed(lines[1])
    if not is_plain_list_text(lines[0]):
        problems.append("the title holds a '\"' or a control character")
    if not is_plain_list_text(lines[1]) or not is_dotted_number(lines[1]):
        problems.append(f"the version {lines[1].decode(ENCODING, 'replace')!r} is not a dotted number")
    entries = [fields_of(line, 6) for line in lines[2:]]
    entries = [e for e in entries if e[0]]
    if not entries:
        problems.append("the file list has no entry")
    for e in entries:
        if not is_safe_entry_path(e[3], e[1]):
            path = (e[3] + b"/" + e[1] if e[3] else e[1]).decode(ENCODING, "replace")
            problems.append(f"{path}: a name the updater refuses")
        elif keyed and not re.fullmatch(HASH_PATTERN, e[5]):
            problems.append(f"{e[1].decode(ENCODING, 'replace')}: no hash in the list")
    # The first start after an installation: "<folder>\Nuvra.exe" -d"<folder>" -v"V" -t"T".
    line = (f'"{REFERENCE_FOLDER}\\{PRODUCT_EXE}" -d"{REFERENCE_FOLDER}" -v"'.encode() + version +
            b'" -t"' + title + b'"')
    if b'"' not in version + title and len(line) > MAX_FIRST_START_COMMAND_LINE:
        problems.append(f"the title and version are {len(line) - MAX_FIRST_START_COMMAND_LINE} bytes "
                        "too long for the product's command line")
    return problems


def check_field(what, value):
    """A list field must survive the comma-separated, line-based list in code page 949."""
    if any(c in value for c in ",\r\n"):
        raise PublishError(f"{what} must not contain a comma or a line end: {value!r}")
    try:
        return value.encode(ENCODING)
    except UnicodeEncodeError:
        raise PublishError(f"{what} cannot be written in code page 949: {value!r}") from None


def name_problem(path):
    """Why the updater could not store or fetch the product file at `path` ("/" between folders),
    or None. Every name this accepts reaches the server escaped and is fetched."""
    folder, _, name = path.rpartition("/")
    folder_bytes, name_bytes = check_field(f"{path}: the folder", folder), check_field(f"{path}: the name", name)
    if not is_safe_entry_path(folder_bytes, name_bytes):
        return (f"{path}: a name Windows cannot store, which the updater refuses (device names, trailing "
                "dots or blanks, < > : \" | ? * \\ and control characters)")
    if any(trimmed(part) != part for part in folder_bytes.split(b"/") + [name_bytes]):
        # The updater trims the blanks around each field, so it would ask for another name.
        return f"{path}: a name or folder that starts or ends with a blank"
    request = f"/update/{PRODUCT_FOLDER}/".encode() + (folder_bytes + b"/" if folder_bytes else b"") + name_bytes
    length = sum(1 if c >= 0x80 or c in UNESCAPED else 3 for c in request)
    if length > MAX_REQUEST_PATH:
        return f"{path}: a request path of {length} bytes, longer than the {MAX_REQUEST_PATH} the updater sends"
    return None


def old_updaters_cannot_fetch(path):
    return any(c in OLD_UPDATERS_CANNOT_FETCH for c in path.encode(ENCODING, "replace"))


class Entry:
    def __init__(self, marker, name, version, folder, flag, sha256, size=None):
        self.marker, self.name, self.version = marker, name, version
        self.folder, self.flag, self.sha256, self.size = folder, flag, sha256, size

    @property
    def path(self):
        return f"{self.folder}/{self.name}" if self.folder else self.name

    def line(self):
        return (f"{self.marker},{self.name},{self.version},{self.folder},{self.flag},{self.sha256},"
                f"{self.size},")


class Release:
    """A file list as read: title, version, entries, and the expiry time (or None)."""

    def __init__(self, data):
        self.data = data
        lines = list_lines(data)
        if len(lines) < 2:
            raise PublishError("the file list has no title and version lines")
        self.title = lines[0].decode(ENCODING, "replace")
        self.version = trimmed(lines[1]).decode(ENCODING, "replace")
        self.expires = None
        self.entries = []
        for line in lines[2:]:
            f = fields_of(line, 7)
            if not f[0]:
                if f[1] == b"expires" and f[2].isdigit():
                    self.expires = int(f[2])
                continue
            sha256 = f[5].lower().decode() if re.fullmatch(HASH_PATTERN, f[5]) else ""
            size = int(f[6]) if f[6].isdigit() else None
            self.entries.append(Entry(*(x.decode(ENCODING, "replace") for x in f[:5]), sha256, size))

    def without_expiry(self):
        return [line for line in list_lines(self.data) if not line.startswith(b",expires,")]
