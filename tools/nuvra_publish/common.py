"""What every module shares: the one error the maker sees, input reading, fixed names, and the
points where tests stop the tool."""

import os
import signal
from contextlib import contextmanager

PRODUCT_FOLDER = "Nuvra"
PRODUCT_EXE = "Nuvra.exe"
UPDATER_EXE = "NuvraUpdater.exe"
LIST_NAME = "_nuvr_file_list.lst"
SIGNATURE_NAME = LIST_NAME + ".sig"
VERSION_LIST_NAME = "version.txt"
ENCODING = "cp949"
CHUNK = 4 << 20


class PublishError(Exception):
    """A problem with the maker's input; reported as one line, without a trace."""


class Interrupted(Exception):
    """Ctrl-C, taken where it changes nothing served."""


def read_input(path, what):
    try:
        with open(path, "rb") as f:
            return f.read()
    except FileNotFoundError:
        raise PublishError(f"{what} {path}: no such file") from None
    except IsADirectoryError:
        raise PublishError(f"{what} {path}: a folder, not a file") from None
    except OSError as e:
        raise PublishError(f"{what} {path}: cannot be read ({e.strerror})") from None


# --- the test hook --------------------------------------------------------------------------

_steps = 0


def step():
    """One step of writing. NUVRA_PUBLISH_KILL_AT=N sends the tool signal NUVRA_PUBLISH_KILL_SIGNAL
    (default KILL, as a power cut; INT, as Ctrl-C) at step N, so tests can stop it at exact points;
    nothing else reads the variables."""
    global _steps
    _steps += 1
    if os.environ.get("NUVRA_PUBLISH_KILL_AT") == str(_steps):
        name = os.environ.get("NUVRA_PUBLISH_KILL_SIGNAL", "KILL")
        os.kill(os.getpid(), getattr(signal, "SIG" + name))


def steps_taken():
    return _steps


# --- Ctrl-C ---------------------------------------------------------------------------------

_critical = 0
_pending = False


def _on_interrupt(signum, frame):
    global _pending
    if _critical:
        _pending = True  # taken once the served tree is consistent again
        return
    raise Interrupted()


def catch_interrupts():
    """Ctrl-C raises Interrupted, except inside critical(). A SIGINT that the caller ignores (a
    background job) stays ignored."""
    if signal.getsignal(signal.SIGINT) is not signal.SIG_IGN:
        signal.signal(signal.SIGINT, _on_interrupt)


@contextmanager
def critical():
    """Steps that must run to their end once begun (the switch and what it makes stale)."""
    global _critical, _pending
    _critical += 1
    try:
        yield
    finally:
        _critical -= 1
    if not _critical and _pending:
        _pending = False
        raise Interrupted()
