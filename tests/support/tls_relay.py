#!/usr/bin/env python3
"""A TLS front for the test HTTP server, on loopback only.

  tls_relay.py certs DIR
      makes a test CA (ca.der, to be trusted inside a test's Wine prefix only) and four server
      certificates in DIR: good (localhost, by the CA), expired (localhost, by the CA, its time
      over), wrongname (another name, by the CA) and untrusted (localhost, self-signed).
  tls_relay.py relay DIR KIND BACKEND_PORT PORT_FILE STOP_FILE
      listens on 127.0.0.1 with the KIND certificate, writes its port to PORT_FILE and passes each
      connection's bytes, decrypted, to 127.0.0.1:BACKEND_PORT and back. It ends when STOP_FILE is
      gone, or when nothing listens on BACKEND_PORT any more (the test that started it has ended).
"""
import datetime
import os
import select
import socket
import ssl
import sys
import threading
import time

KINDS = ("good", "expired", "wrongname", "untrusted")


def make_certs(folder):
    from cryptography import x509
    from cryptography.hazmat.primitives import hashes, serialization
    from cryptography.hazmat.primitives.asymmetric import ec
    from cryptography.x509.oid import NameOID

    os.makedirs(folder, exist_ok=True)
    now = datetime.datetime.now(datetime.timezone.utc)

    def name(text):
        return x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, text)])

    def ca(title):
        key = ec.generate_private_key(ec.SECP256R1())
        cert = (x509.CertificateBuilder().subject_name(name(title)).issuer_name(name(title))
                .public_key(key.public_key()).serial_number(x509.random_serial_number())
                .not_valid_before(now - datetime.timedelta(days=1)).not_valid_after(now + datetime.timedelta(days=3650))
                .add_extension(x509.BasicConstraints(ca=True, path_length=None), critical=True)
                .add_extension(x509.KeyUsage(digital_signature=True, content_commitment=False, key_encipherment=False,
                                             data_encipherment=False, key_agreement=False, key_cert_sign=True,
                                             crl_sign=True, encipher_only=False, decipher_only=False), critical=True)
                .sign(key, hashes.SHA256()))
        return key, cert

    def server(kind, issuer_key, issuer_cert, host, begin, end):
        key = ec.generate_private_key(ec.SECP256R1())
        if issuer_key is None:  # self-signed
            issuer_key, issuer_name = key, name(host)
        else:
            issuer_name = issuer_cert.subject
        cert = (x509.CertificateBuilder().subject_name(name(host)).issuer_name(issuer_name)
                .public_key(key.public_key()).serial_number(x509.random_serial_number())
                .not_valid_before(begin).not_valid_after(end)
                .add_extension(x509.SubjectAlternativeName([x509.DNSName(host)]), critical=False)
                .add_extension(x509.ExtendedKeyUsage([x509.oid.ExtendedKeyUsageOID.SERVER_AUTH]), critical=False)
                .sign(issuer_key, hashes.SHA256()))
        with open(os.path.join(folder, kind + ".pem"), "wb") as out:
            out.write(cert.public_bytes(serialization.Encoding.PEM))
            out.write(key.private_bytes(serialization.Encoding.PEM, serialization.PrivateFormat.PKCS8,
                                        serialization.NoEncryption()))

    ca_key, ca_cert = ca("Nuvra test CA")
    year = datetime.timedelta(days=365)
    server("good", ca_key, ca_cert, "localhost", now - datetime.timedelta(days=1), now + year)
    server("expired", ca_key, ca_cert, "localhost", now - 2 * year, now - year)
    server("wrongname", ca_key, ca_cert, "nuvra-other.invalid", now - datetime.timedelta(days=1), now + year)
    server("untrusted", None, None, "localhost", now - datetime.timedelta(days=1), now + year)
    # Written last: its presence says the folder is complete.
    with open(os.path.join(folder, "ca.der"), "wb") as out:
        out.write(ca_cert.public_bytes(serialization.Encoding.DER))


def pump(client, backend_port):
    try:
        with client, socket.create_connection(("127.0.0.1", backend_port)) as backend:
            sockets = [client, backend]
            while True:
                # A TLS socket may hold decrypted bytes that select cannot see.
                readable = [client] if client.pending() else select.select(sockets, [], [], 1.0)[0]
                for source in readable:
                    data = source.recv(65536)
                    if not data:
                        return
                    (backend if source is client else client).sendall(data)
    except (OSError, ssl.SSLError):
        return  # a refused certificate or a closed side ends this connection only


def backend_listens(port):
    try:
        socket.create_connection(("127.0.0.1", port), timeout=1).close()
        return True
    except OSError:
        return False


def relay(folder, kind, backend_port, port_file, stop_file):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(os.path.join(folder, kind + ".pem"))
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    listener.settimeout(0.2)
    with open(port_file + ".tmp", "w") as out:
        out.write(str(listener.getsockname()[1]))
    os.replace(port_file + ".tmp", port_file)
    idle = 0
    while os.path.exists(stop_file):
        try:
            raw, _ = listener.accept()
        except socket.timeout:
            # A test process that died cannot delete the stop file; its server's port closed too.
            idle += 1
            if idle % 10 == 0 and not backend_listens(backend_port):
                return
            continue
        idle = 0
        raw.settimeout(None)

        def serve(raw=raw):
            try:
                client = context.wrap_socket(raw, server_side=True)
            except (OSError, ssl.SSLError):
                raw.close()  # the client refused the certificate: what the tests want to see
                return
            pump(client, backend_port)

        threading.Thread(target=serve, daemon=True).start()


def main(argv):
    if len(argv) == 3 and argv[1] == "certs":
        make_certs(argv[2])
        return 0
    if len(argv) == 7 and argv[1] == "relay" and argv[3] in KINDS:
        relay(argv[2], argv[3], int(argv[4]), argv[5], argv[6])
        return 0
    sys.stderr.write(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
