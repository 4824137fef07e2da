"""Release versions: dotted numbers, ordered as every installed updater orders them.

This updater compares component by component as numbers of any length (release/VersionOrder).
Updaters before it compared the dot-less number read as an int. A release must be above the one
before in both orders, and its dot-less number must fit an int, or those updaters never see a
later release as newer.
"""

import re

from .common import PublishError
from .listrules import INT_MAX, dotless_value, version_number


def parse_version(text):
    """The components of a dotted number such as 1.2.10; None for anything else."""
    if not re.fullmatch(r"[0-9]+(\.[0-9]+)*", text):
        return None
    return tuple(int(p) for p in text.split("."))


def components_above(new, old):
    width = max(len(new), len(old))
    return new + (0,) * (width - len(new)) > old + (0,) * (width - len(old))


def check_version(text):
    """Refuses a version that is no dotted number or that older updaters cannot order."""
    if parse_version(text) is None:
        raise PublishError(f"--version {text!r} is not a dotted number such as 1.2.0")
    value = dotless_value(text.encode())
    if value > INT_MAX:
        raise PublishError(f"--version {text} reads as {value} for installed updaters, which compare the dots "
                           f"removed, as an int; keep it at most {INT_MAX} (for example 1.2.10 reads as 1210)")


def version_problem(new, old, what):
    """Why installed updaters would not take `new` after `old`, or None."""
    new_c, old_c = parse_version(new), parse_version(old)
    if old_c is None:
        return None  # a release the updater would not have taken either
    if not components_above(new_c, old_c):
        return f"version {new} is not above {what} {old}"
    n, o = version_number(new.encode()), version_number(old.encode())
    if n <= o:
        return (f"version {new} reads as {n} for installed updaters, which compare the dots removed, "
                f"and that is not above {what} {old} ({o}); choose one above both ways")
    return None
