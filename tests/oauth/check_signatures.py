#!/usr/bin/env python3
"""Recomputes the OAuth 1.0a HMAC-SHA1 signatures of requests signed by the sign_request
driver with Python's own hmac, hashlib and urllib.parse (RFC 5849, section 3.4), and checks
where each parameter landed. Usage: check_signatures.py <path to sign_request>"""

import base64
import hashlib
import hmac
import re
import subprocess
import sys
import time
import urllib.parse

BUILTIN_KEY = "tilvaneDemoConsumer22K"
BUILTIN_SECRET = "tilvaneDemoConsumerSecretPlaceholder00041"
WIRE_TEXT = re.compile(rb"^(?:[A-Za-z0-9_.~-]|%[0-9A-F]{2})*$")
NONCE = re.compile(rb"^[A-Za-z0-9_]{15,30}$")

# (method, url, consumer key, consumer secret, token, token secret, expected parameters)
# A key or secret of "@builtin" is the program's built-in registration; None is absent.
CASES = [
    ("GET", "https://api.example.test/1.1/search/tweets.json?q=%E7%8C%AB%20cat%2Bdog%26more&count=20",
     "@builtin", "@builtin", "1234-AbC_xyz", "s3cr3t/+=&~",
     {b"q": "猫 cat+dog&more".encode(), b"count": b"20"}),
    ("GET", "https://h.example/search?q=a+b&x=%7E%21%2a",
     "key", "secret", "tok", "tsec", {b"q": b"a b", b"x": b"~!*"}),
    ("POST", "https://api.example.test/oauth/request_token",
     "@builtin", "@builtin", None, None, {}),
    ("POST", "https://api.example.test/oauth/access_token?oauth_token=Req-Token_9&oauth_verifier=4567890",
     "@builtin", "@builtin", None, None,
     {b"oauth_token": b"Req-Token_9", b"oauth_verifier": b"4567890"}),
    ("POST", "http://127.0.0.1:8080/form?name=J%C3%BCrgen+X&empty=",
     "k&y", "s e/c", "t", "ts%", {b"name": "Jürgen+X".encode(), b"empty": b""}),
    ("GET", "http://api.example.test:80/p?a=1", "key", "secret", None, None, {b"a": b"1"}),
    ("POST", "https://api.example.test:80/oauth/request_token", "key", "secret", None, None, {}),
    ("GET", "https://h.example/t?z=last", "key", "secret", "", "only-secret", {b"z": b"last"}),
]


def encode(data: bytes) -> bytes:
    return urllib.parse.quote(data, safe="~").encode("ascii")


def expected_base_url(url: str) -> bytes:
    parts = urllib.parse.urlsplit(url)
    netloc = parts.netloc
    if netloc.endswith(":80"):
        netloc = netloc[:-3]
    return f"{parts.scheme}://{netloc}{parts.path or '/'}".encode()


def parse_pairs(text: bytes):
    pairs = []
    for piece in text.split(b"&"):
        name, equals, value = piece.partition(b"=")
        if not equals:
            raise AssertionError(f"pair without '=': {piece!r}")
        for part in (name, value):
            if not WIRE_TEXT.match(part):
                raise AssertionError(f"not percent-encoded per RFC 3986: {part!r}")
        pairs.append((urllib.parse.unquote_to_bytes(name), urllib.parse.unquote_to_bytes(value)))
    return pairs


def signature(method: bytes, base_url: bytes, params, consumer_secret: bytes,
              token_secret: bytes) -> bytes:
    encoded = sorted((encode(n), encode(v)) for n, v in params)
    normalised = b"&".join(n + b"=" + v for n, v in encoded)
    base_string = b"&".join([method, encode(base_url), encode(normalised)])
    key = encode(consumer_secret) + b"&" + encode(token_secret)
    return base64.b64encode(hmac.new(key, base_string, hashlib.sha1).digest())


def check(tool, case):
    method, url, key, secret, token, token_secret, expected = case
    args = [tool, method, url, key, secret]
    if token is not None:
        args.append(token)
        if token_secret is not None:
            args.append(token_secret)
    output = subprocess.run(args, check=True, capture_output=True).stdout
    signed_url, body, rest = output.split(b"\n", 2)
    assert rest == b"", f"unexpected output after the body: {rest!r}"

    base_url = expected_base_url(url)
    if method == "GET":
        assert body == b"", "a GET has no body"
        assert signed_url.startswith(base_url + b"?"), signed_url
        wire = signed_url[len(base_url) + 1:]
    else:
        assert signed_url == base_url, f"a POST is sent to the bare base URL: {signed_url!r}"
        wire = body
    pairs = parse_pairs(wire)

    names = [n for n, _ in pairs]
    assert names[-1] == b"oauth_signature" and names.count(b"oauth_signature") == 1, names
    given = pairs[-1][1]
    params = pairs[:-1]
    values = dict(params)
    assert len(values) == len(params), f"duplicate names: {names}"

    consumer_key = BUILTIN_KEY if key == "@builtin" else key
    consumer_secret = BUILTIN_SECRET if secret == "@builtin" else secret
    assert values[b"oauth_consumer_key"] == consumer_key.encode()
    assert values[b"oauth_signature_method"] == b"HMAC-SHA1"
    assert values[b"oauth_version"] == b"1.0"
    assert NONCE.match(values[b"oauth_nonce"]), values[b"oauth_nonce"]
    assert abs(int(values[b"oauth_timestamp"]) - time.time()) < 600
    if token is None:
        assert b"oauth_token" in expected or b"oauth_token" not in values
    else:
        assert values[b"oauth_token"] == token.encode()
    for name, value in expected.items():
        assert values.get(name) == value, f"{name!r}: {values.get(name)!r} != {value!r}"

    secret_bytes = consumer_secret.encode()
    token_secret_bytes = (token_secret or "").encode()
    recomputed = signature(method.encode(), base_url, params, secret_bytes, token_secret_bytes)
    assert given == recomputed, f"signature {given!r}, recomputed {recomputed!r}"
    # The comparison above must be able to fail: a different secret gives another value.
    assert given != signature(method.encode(), base_url, params, secret_bytes + b"x",
                              token_secret_bytes)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    failures = 0
    for number, case in enumerate(CASES, 1):
        try:
            check(sys.argv[1], case)
            print(f"case {number} ({case[0]} {case[1]}): signature recomputed and equal")
        except AssertionError as error:
            failures += 1
            print(f"case {number} ({case[0]} {case[1]}): FAILED: {error}")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
