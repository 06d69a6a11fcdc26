"""Per-run certificate authorities and server certificates, made with the openssl command."""

import subprocess
from dataclasses import dataclass
from pathlib import Path

SERVER_EXTENSIONS = """\
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = IP:127.0.0.1, DNS:localhost
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid, issuer
"""


@dataclass
class ServerIdentity:
    ca_file: Path
    certificate_file: Path
    key_file: Path


def _openssl(*args: str):
    result = subprocess.run(["openssl", *args], capture_output=True, text=True)
    if result.returncode != 0:
        raise RuntimeError(f"openssl {args[0]} failed: {result.stderr.strip()}")


def make_identity(directory: Path, ca_name: str, server_name: str, ca_subject: str) -> ServerIdentity:
    """A fresh CA (ca_name.pem/.key) and a server certificate for 127.0.0.1 and localhost
    (server_name.pem/.key) signed by it."""
    ca_pem, ca_key = directory / f"{ca_name}.pem", directory / f"{ca_name}.key"
    cert_pem, cert_key = directory / f"{server_name}.pem", directory / f"{server_name}.key"
    csr = directory / f"{server_name}.csr"
    extensions = directory / f"{server_name}.ext"
    _openssl(
        "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-sha256", "-days", "30",
        "-keyout", str(ca_key), "-out", str(ca_pem), "-subj", f"/CN={ca_subject}",
        "-addext", "basicConstraints=critical,CA:TRUE",
        "-addext", "keyUsage=critical,keyCertSign,cRLSign",
    )
    _openssl(
        "req", "-newkey", "rsa:2048", "-nodes", "-sha256",
        "-keyout", str(cert_key), "-out", str(csr), "-subj", "/CN=127.0.0.1",
    )
    extensions.write_text(SERVER_EXTENSIONS)
    _openssl(
        "x509", "-req", "-in", str(csr), "-CA", str(ca_pem), "-CAkey", str(ca_key),
        "-CAcreateserial", "-sha256", "-days", "30", "-out", str(cert_pem),
        "-extfile", str(extensions),
    )
    csr.unlink()
    extensions.unlink()
    return ServerIdentity(ca_pem.resolve(), cert_pem.resolve(), cert_key.resolve())


def make_certificates(directory: Path) -> tuple[ServerIdentity, ServerIdentity]:
    """The trusted identity (ca.pem) and the untrusted one (untrusted-ca.pem)."""
    trusted = make_identity(directory, "ca", "server", "tilvane fake service CA")
    untrusted = make_identity(directory, "untrusted-ca", "untrusted-server", "tilvane untrusted CA")
    return trusted, untrusted
