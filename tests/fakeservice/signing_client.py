"""A client for the fake service written independently of it: OAuth 1.0a signing by hand,
and raw HTTP/1.0 exchanges that read until the server closes, as the application does."""

import base64
import hashlib
import hmac
import json
import random
import socket
import ssl
import string
import time
import urllib.request
from urllib.parse import urlsplit

UNRESERVED = set(string.ascii_letters + string.digits + "-._~")


def encode(value) -> str:
    data = value.encode("utf-8") if isinstance(value, str) else bytes(value)
    return "".join(chr(b) if chr(b) in UNRESERVED else "%{:02X}".format(b) for b in data)


def make_nonce() -> str:
    return "".join(random.choice(string.ascii_letters + string.digits) for _ in range(24))


def oauth_parameters(
    method, url, params, consumer_key, consumer_secret, token=None, token_secret="",
    timestamp=None, nonce=None, corrupt_signature=False, extra=None,
):
    """Returns the complete parameter list (name, value) including oauth_signature."""
    protocol = [
        ("oauth_consumer_key", consumer_key),
        ("oauth_nonce", nonce or make_nonce()),
        ("oauth_signature_method", "HMAC-SHA1"),
        ("oauth_timestamp", str(int(time.time()) if timestamp is None else timestamp)),
        ("oauth_version", "1.0"),
    ]
    if token is not None:
        protocol.append(("oauth_token", token))
    everything = list(params) + protocol + list(extra or [])
    pairs = sorted((encode(k), encode(v)) for k, v in everything)
    normalized = "&".join(k + "=" + v for k, v in pairs)
    parts = urlsplit(url)
    base_url = f"{parts.scheme}://{parts.netloc}{parts.path}"
    base = "&".join(encode(x) for x in (method, base_url, normalized))
    key = encode(consumer_secret) + "&" + encode(token_secret or "")
    signature = base64.b64encode(hmac.new(key.encode(), base.encode(), hashlib.sha1).digest()).decode()
    if corrupt_signature:
        signature = ("A" if signature[0] != "A" else "B") + signature[1:]
    return everything + [("oauth_signature", signature)]


def form(params) -> str:
    return "&".join(encode(k) + "=" + encode(v) for k, v in params)


class RawReply:
    def __init__(self, raw: bytes, pieces=0, reset=False):
        self.raw = raw
        self.pieces = pieces
        self.reset = reset
        head, sep, self.body = raw.partition(b"\r\n\r\n")
        lines = head.split(b"\r\n") if sep else []
        self.status_line = lines[0].decode("latin-1") if lines else ""
        parts = self.status_line.split(" ")
        self.status = int(parts[1]) if len(parts) > 1 and parts[1].isdigit() else None
        self.headers = {}
        for line in lines[1:]:
            name, _, value = line.decode("latin-1").partition(":")
            self.headers[name.strip().lower()] = value.strip()

    def json(self):
        return json.loads(self.body.decode("utf-8"))


def exchange(url, method="GET", body=None, ca_file=None, host_header=None, read_timeout=30,
             extra_headers=()):
    """Sends one HTTP/1.0 request and reads until the server closes the connection."""
    parts = urlsplit(url)
    target = parts.path + ("?" + parts.query if parts.query else "")
    lines = [f"{method} {target} HTTP/1.0", f"Host: {host_header or parts.hostname}",
             "User-Agent: Generic Web Client", "Accept: */*", "Connection: close", *extra_headers]
    payload = b""
    if body is not None:
        payload = body.encode("latin-1") if isinstance(body, str) else body
        lines += [f"Content-Length: {len(payload)}", "Content-Type: application/x-www-form-urlencoded"]
    request = ("\r\n".join(lines) + "\r\n\r\n").encode("latin-1") + payload
    sock = socket.create_connection((parts.hostname, parts.port), timeout=read_timeout)
    try:
        if parts.scheme == "https":
            context = ssl.create_default_context(cafile=ca_file) if ca_file else ssl._create_unverified_context()
            sock = context.wrap_socket(sock, server_hostname=parts.hostname)
        sock.sendall(request)
        chunks, reset = [], False
        while True:
            try:
                chunk = sock.recv(65536)
            except (ConnectionResetError, ssl.SSLError):
                reset = True
                break
            if not chunk:
                break
            chunks.append(chunk)
        return RawReply(b"".join(chunks), len(chunks), reset)
    finally:
        sock.close()


def signed_search(service, keyword, count, **signing):
    url = service["api_url"] + "/1.1/search/tweets.json"
    params = [("q", keyword), ("count", str(count))]
    signed = oauth_parameters(
        "GET", url, params, service["consumer_key"], service["consumer_secret"],
        signing.pop("token", service["access_token"]), signing.pop("token_secret", service["access_token_secret"]),
        **signing)
    return exchange(url + "?" + form(signed), ca_file=service["ca_file"])


def urlopen(url, ca_file, data=None):
    context = ssl.create_default_context(cafile=ca_file) if url.startswith("https") else None
    return urllib.request.urlopen(url, data=data, context=context, timeout=30)
