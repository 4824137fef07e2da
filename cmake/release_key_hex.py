#!/usr/bin/env python3
"""Prints a P-256 key from a PEM file as the build compiles it in: X and Y in hex (128 digits).

With --private (a private key file): X, Y and then the private scalar d (192 digits), which the
tests of keyed builds use to sign lists with CNG.

With --write-resource OUT HEX: writes the updater's key resource, the key's 64 bytes (or, for an
empty HEX, the text "unsigned"), leaving OUT untouched when it holds those bytes already.
"""
import sys

from cryptography.hazmat.primitives import serialization
from cryptography.hazmat.primitives.asymmetric import ec


def write_resource(path, text):
    data = bytes.fromhex(text) if text else b"unsigned"
    if text and len(data) != 64:
        print(f"the release key is X and Y, 64 bytes, not {len(data)}", file=sys.stderr)
        return 1
    try:
        with open(path, "rb") as f:
            if f.read() == data:
                return 0
    except FileNotFoundError:
        pass  # written below
    with open(path, "wb") as f:
        f.write(data)
    return 0


def main(argv):
    if argv[:1] == ["--write-resource"] and len(argv) == 3:
        return write_resource(argv[1], argv[2])
    private = "--private" in argv
    paths = [a for a in argv if a != "--private"]
    if len(paths) != 1:
        print("usage: release_key_hex.py [--private] KEY.pem", file=sys.stderr)
        return 2
    with open(paths[0], "rb") as f:
        data = f.read()
    try:
        key = serialization.load_pem_private_key(data, password=None) if private else \
            serialization.load_pem_public_key(data)
    except ValueError as e:
        print(f"{paths[0]}: {e}", file=sys.stderr)
        return 1
    public = key.public_key() if private else key
    if not isinstance(public, ec.EllipticCurvePublicKey) or public.curve.name != "secp256r1":
        print(f"{paths[0]}: not an ECDSA P-256 key", file=sys.stderr)
        return 1
    numbers = public.public_numbers()
    text = numbers.x.to_bytes(32, "big").hex() + numbers.y.to_bytes(32, "big").hex()
    if private:
        text += key.private_numbers().private_value.to_bytes(32, "big").hex()
    print(text)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
