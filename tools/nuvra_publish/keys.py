"""Release keys: the pair keygen makes, the list's signature as the updater checks it, the raw
form the updater carries, and where a private key must not lie."""

import hashlib
import os
import subprocess
import sys

from cryptography.exceptions import InvalidSignature, UnsupportedAlgorithm
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import ec
from cryptography.hazmat.primitives.asymmetric.utils import decode_dss_signature, encode_dss_signature

from .common import PublishError, read_input

PRIVATE_KEY_NAME = "release-key.pem"
PUBLIC_KEY_NAME = "release-key.pub.pem"
COORDINATE_BYTES = 32


def load_private_key(path, option="--key"):
    data = read_input(path, option)
    try:
        key = serialization.load_pem_private_key(data, password=None)
    except (ValueError, TypeError, UnsupportedAlgorithm):
        try:
            serialization.load_pem_public_key(data)
        except (ValueError, UnsupportedAlgorithm):
            raise PublishError(f"{option} {path}: not a PEM private key without a password") from None
        raise PublishError(f"{option} {path} is a public key; publishing signs with the private one "
                           f"({PRIVATE_KEY_NAME})") from None
    if not isinstance(key, ec.EllipticCurvePrivateKey) or key.curve.name != "secp256r1":
        raise PublishError(f"{option} {path}: not an ECDSA P-256 private key")
    warn_if_in_work_tree(path)
    return key


def load_public_key(path):
    data = read_input(path, "--key")
    try:
        key = serialization.load_pem_public_key(data)
    except (ValueError, UnsupportedAlgorithm):
        try:
            # A private key file holds the public half as well.
            key = serialization.load_pem_private_key(data, password=None).public_key()
        except (ValueError, TypeError, UnsupportedAlgorithm):
            raise PublishError(f"--key {path}: not a PEM public key") from None
    if not isinstance(key, ec.EllipticCurvePublicKey) or key.curve.name != "secp256r1":
        raise PublishError(f"--key {path}: not an ECDSA P-256 public key")
    return key


def raw_public_key(public_key):
    """X then Y, 32 bytes each, big-endian: the form the updater carries and CNG imports."""
    numbers = public_key.public_numbers()
    return numbers.x.to_bytes(COORDINATE_BYTES, "big") + numbers.y.to_bytes(COORDINATE_BYTES, "big")


def fingerprint(raw):
    """A short name for a public key in raw form: the start of its SHA-256."""
    digest = hashlib.sha256(raw).hexdigest()[:16]
    return ":".join(digest[i:i + 4] for i in range(0, 16, 4))


def sign(key, data):
    """The list's signature as the updater reads it: r and s, 32 bytes each, in hex."""
    r, s = decode_dss_signature(key.sign(data, ec.ECDSA(hashes.SHA256())))
    return (r.to_bytes(COORDINATE_BYTES, "big") + s.to_bytes(COORDINATE_BYTES, "big")).hex()


def signature_verifies(public_key, data, text):
    try:
        raw = bytes.fromhex(text.strip())
    except ValueError:
        return False
    if len(raw) != 2 * COORDINATE_BYTES:
        return False
    der = encode_dss_signature(int.from_bytes(raw[:COORDINATE_BYTES], "big"),
                               int.from_bytes(raw[COORDINATE_BYTES:], "big"))
    try:
        public_key.verify(der, data, ec.ECDSA(hashes.SHA256()))
        return True
    except InvalidSignature:
        return False


def work_tree_of(path):
    """The git work tree holding `path`, or None."""
    folder = os.path.dirname(os.path.abspath(path))
    while True:
        if os.path.exists(os.path.join(folder, ".git")):
            return folder
        parent = os.path.dirname(folder)
        if parent == folder:
            return None
        folder = parent


def ignored_by_git(path, tree):
    try:
        return subprocess.run(["git", "-C", tree, "check-ignore", "-q", os.path.abspath(path)],
                              capture_output=True).returncode == 0
    except OSError:
        return False  # no git to ask: warned as if not ignored


def warn_if_in_work_tree(path):
    """A private key in a git work tree is one 'git add .' from the repository, unless ignored."""
    tree = work_tree_of(path)
    if tree and not ignored_by_git(path, tree):
        print(f"nuvra-publish: warning: the private key {path} lies inside the git work tree {tree} and git "
              "does not ignore it; keep it elsewhere or in an ignored folder such as keys/", file=sys.stderr)


def keygen(out):
    os.makedirs(out, exist_ok=True)
    private_path = os.path.join(out, PRIVATE_KEY_NAME)
    public_path = os.path.join(out, PUBLIC_KEY_NAME)
    # Overwriting a release key would orphan every updater built with it.
    for path in (private_path, public_path):
        if os.path.exists(path):
            raise PublishError(f"{path} exists already; remove it first to make a new key")
    key = ec.generate_private_key(ec.SECP256R1())
    private_pem = key.private_bytes(serialization.Encoding.PEM, serialization.PrivateFormat.PKCS8,
                                    serialization.NoEncryption())
    # Created with mode 600 from the start, so the key is never readable by others.
    fd = os.open(private_path, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o600)
    with os.fdopen(fd, "wb") as f:
        f.write(private_pem)
    os.chmod(private_path, 0o600)
    with open(public_path, "wb") as f:
        f.write(key.public_key().public_bytes(serialization.Encoding.PEM,
                                              serialization.PublicFormat.SubjectPublicKeyInfo))
    warn_if_in_work_tree(private_path)
    return private_path, public_path
