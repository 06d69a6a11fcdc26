"""OAuth 1.0a (HMAC-SHA1) verification of requests that carry their protocol
parameters in the query or in a form body."""

import base64
import hashlib
import hmac
import threading
import time
from dataclasses import dataclass, field
from urllib.parse import parse_qsl, quote

TIMESTAMP_WINDOW_SECONDS = 300

# Error codes of the service's JSON error bodies.
CODE_COULD_NOT_AUTHENTICATE = 32
CODE_INVALID_TOKEN = 89

REQUIRED_PROTOCOL_PARAMETERS = (
    "oauth_consumer_key",
    "oauth_nonce",
    "oauth_signature",
    "oauth_signature_method",
    "oauth_timestamp",
)


def percent_encode(text: str) -> str:
    """RFC 3986 encoding of a byte text (one character per byte, latin-1)."""
    return quote(text.encode("latin-1"), safe="")


def parse_form(text: str) -> list[tuple[str, str]]:
    """Splits a query or x-www-form-urlencoded body into decoded (name, value) pairs.

    Names and values stay byte texts (latin-1), so that re-encoding gives back the
    exact bytes the client signed, whatever their character encoding."""
    return parse_qsl(text, keep_blank_values=True, encoding="latin-1", errors="strict")


def as_utf8(byte_text: str) -> str:
    return byte_text.encode("latin-1").decode("utf-8", "replace")


def signature_base_url(scheme: str, host_header: str | None, port: int, path: str) -> str:
    host = (host_header or "127.0.0.1").strip().lower()
    if host.startswith("["):
        host = host[: host.find("]") + 1]
    else:
        host = host.partition(":")[0]
    scheme = scheme.lower()
    default_port = {"http": 80, "https": 443}.get(scheme)
    authority = host if port == default_port else f"{host}:{port}"
    return f"{scheme}://{authority}{path}"


def signature_base_string(method: str, base_url: str, params: list[tuple[str, str]]) -> str:
    pairs = sorted(
        (percent_encode(name), percent_encode(value))
        for name, value in params
        if name != "oauth_signature"
    )
    normalized = "&".join(f"{name}={value}" for name, value in pairs)
    return "&".join(
        percent_encode(part) for part in (method.upper(), base_url, normalized)
    )


def hmac_sha1_signature(base_string: str, consumer_secret: str, token_secret: str) -> str:
    key = percent_encode(consumer_secret) + "&" + percent_encode(token_secret)
    digest = hmac.new(key.encode("latin-1"), base_string.encode("latin-1"), hashlib.sha1)
    return base64.b64encode(digest.digest()).decode("ascii")


@dataclass
class Verdict:
    ok: bool
    reason: str
    error_code: int = CODE_COULD_NOT_AUTHENTICATE
    protocol: dict = field(default_factory=dict)


# The nonces and timestamps the tally keeps, whatever their age; a longer run is counted
# but no longer told apart.
MAX_TALLIED = 200_000


class NonceTally:
    """Every nonce and timestamp of a correctly signed request since the start, so tests can
    see whether a client ever sent a nonce twice, even outside the replay window and with
    another timestamp (which the service itself accepts)."""

    def __init__(self):
        self.signed_requests = 0
        self.reused_nonces = 0
        self.replays = 0
        self.backwards_timestamps = 0
        self._nonces: set[str] = set()
        self._timestamps: set[int] = set()
        self._latest: int | None = None
        self._earliest: int | None = None

    def note(self, nonce: str, timestamp: int, replay: bool):
        self.signed_requests += 1
        self.replays += replay
        if nonce in self._nonces:
            self.reused_nonces += 1
        elif len(self._nonces) < MAX_TALLIED:
            self._nonces.add(nonce)
        if len(self._timestamps) < MAX_TALLIED:
            self._timestamps.add(timestamp)
        if self._latest is not None and timestamp < self._latest:
            self.backwards_timestamps += 1
        self._latest = timestamp if self._latest is None else max(self._latest, timestamp)
        self._earliest = timestamp if self._earliest is None else min(self._earliest, timestamp)

    def describe(self) -> dict:
        return {
            "signed_requests": self.signed_requests,
            "distinct_nonces": len(self._nonces),
            "reused_nonces": self.reused_nonces,
            "replays": self.replays,
            "distinct_timestamps": len(self._timestamps),
            "earliest_timestamp": self._earliest,
            "latest_timestamp": self._latest,
            "backwards_timestamps": self.backwards_timestamps,
            "full": len(self._nonces) >= MAX_TALLIED,
        }


class NonceRegistry:
    """Remembers (nonce, timestamp) pairs long enough to refuse every replay inside the
    timestamp window, and tallies every nonce it is shown."""

    def __init__(self):
        self._lock = threading.Lock()
        self._seen: dict[tuple[str, str], float] = {}
        self._tally = NonceTally()

    def first_use(self, nonce: str, timestamp: str, now: float) -> bool:
        with self._lock:
            if len(self._seen) > 10000:
                horizon = now - 3 * TIMESTAMP_WINDOW_SECONDS
                self._seen = {k: t for k, t in self._seen.items() if t >= horizon}
            replay = (nonce, timestamp) in self._seen
            self._tally.note(nonce, int(timestamp), replay)
            if replay:
                return False
            self._seen[(nonce, timestamp)] = now
            return True

    def tally(self) -> dict:
        with self._lock:
            return self._tally.describe()


def verify_request(
    *,
    method: str,
    base_url: str,
    params: list[tuple[str, str]],
    consumer_key: str,
    consumer_secret: str,
    token_secret_for,
    nonces: NonceRegistry,
    authorization_header: str | None = None,
    now: float | None = None,
) -> Verdict:
    """Checks one request. token_secret_for(token) gives the secret that signs together
    with the consumer secret, or None when the token is not acceptable here; it is called
    with None when the request names no token."""
    now = time.time() if now is None else now
    if authorization_header and authorization_header.strip().lower().startswith("oauth"):
        return Verdict(False, "OAuth parameters sent in an Authorization header")

    protocol: dict[str, str] = {}
    for name, value in params:
        if name.startswith("oauth_"):
            if name in protocol:
                return Verdict(False, f"protocol parameter {name} given more than once")
            protocol[name] = value
    missing = [n for n in REQUIRED_PROTOCOL_PARAMETERS if n not in protocol]
    if missing:
        return Verdict(False, "missing " + ", ".join(missing), protocol=protocol)
    if protocol["oauth_consumer_key"] != consumer_key:
        return Verdict(False, "unknown consumer key", protocol=protocol)
    if protocol["oauth_signature_method"] != "HMAC-SHA1":
        return Verdict(False, "signature method is not HMAC-SHA1", protocol=protocol)
    if "oauth_version" in protocol and protocol["oauth_version"] != "1.0":
        return Verdict(False, "oauth_version is not 1.0", protocol=protocol)
    timestamp = protocol["oauth_timestamp"]
    if not timestamp.isdigit() or len(timestamp) > 12:
        return Verdict(False, "timestamp is not a number", protocol=protocol)
    if abs(int(timestamp) - now) > TIMESTAMP_WINDOW_SECONDS:
        return Verdict(False, f"stale timestamp {timestamp} (now {int(now)})", protocol=protocol)
    if not protocol["oauth_nonce"]:
        return Verdict(False, "empty nonce", protocol=protocol)

    token_secret = token_secret_for(protocol.get("oauth_token"))
    if token_secret is None:
        return Verdict(False, "unknown or unusable token", CODE_INVALID_TOKEN, protocol)

    base = signature_base_string(method, base_url, params)
    expected = hmac_sha1_signature(base, consumer_secret, token_secret)
    if not hmac.compare_digest(expected.encode(), protocol["oauth_signature"].encode("latin-1")):
        return Verdict(
            False,
            f"signature mismatch (expected {expected} over {base})",
            protocol=protocol,
        )
    if not nonces.first_use(protocol["oauth_nonce"], timestamp, now):
        return Verdict(False, "replayed nonce", protocol=protocol)
    return Verdict(True, "ok", protocol=protocol)
