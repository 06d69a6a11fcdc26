"""What the fake service remembers during one run: its registration, the tokens it issued,
the nonces it saw, the armed misbehaviours and the request log."""

import secrets
import string
import threading
from dataclasses import dataclass

import search_results
from misbehaviour import MisbehaviourTable
from oauth_check import NonceRegistry
from request_log import RequestLog

DEFAULT_CONSUMER_KEY = "tilvaneDemoConsumer22K"
DEFAULT_CONSUMER_SECRET = "tilvaneDemoConsumerSecretPlaceholder00041"

ALPHANUMERIC = string.ascii_letters + string.digits


def random_text(length: int) -> str:
    return "".join(secrets.choice(ALPHANUMERIC) for _ in range(length))


@dataclass
class RequestToken:
    token: str
    secret: str
    pin: str
    used: bool = False


@dataclass
class AccessToken:
    token: str
    secret: str
    user_id: int
    screen_name: str


class ServiceState:
    def __init__(self, *, consumer_key, consumer_secret, log: RequestLog, stopping: threading.Event):
        self.consumer_key = consumer_key
        self.consumer_secret = consumer_secret
        self.log = log
        self.stopping = stopping
        self.nonces = NonceRegistry()
        self.misbehaviours = MisbehaviourTable()
        self.image_base = ""
        self.secure_base = ""
        self._lock = threading.Lock()
        self._request_tokens: dict[str, RequestToken] = {}
        self._access_tokens: dict[str, AccessToken] = {}
        self._next_user_id = 4000001
        self._latest_request_token: RequestToken | None = None
        self._rotation = 0
        self._photos_served = 0
        # The pictures of the "photos" feed; the committed default set unless a directory
        # of photographs was given.
        self.photos: list[str] = []
        self.photo_fresh = 8
        self.timeline_token = None
        # {"local": ..., "remote": ...} of a server that limits its hashtag feeds, else None.
        self.hashtag_feeds = None
        self._timeline_requests = 0
        self._timeline_photo_requests = 0

    def issue_request_token(self) -> RequestToken:
        with self._lock:
            issued = RequestToken(
                token=random_text(27),
                secret=random_text(32),
                pin=str(1000000 + secrets.randbelow(9000000)),
            )
            self._request_tokens[issued.token] = issued
            self._latest_request_token = issued
            return issued

    def request_token(self, token: str | None) -> RequestToken | None:
        with self._lock:
            return self._request_tokens.get(token or "")

    def latest_request_token(self) -> RequestToken | None:
        with self._lock:
            return self._latest_request_token

    def next_rotation(self, count: int) -> int:
        """Where the next rotating search starts: each one moves on by its count."""
        with self._lock:
            offset = self._rotation
            self._rotation += count
            return offset

    def next_photo_feed(self, count: int) -> list[str]:
        """The names of the next "photos" search; moves the feed on by what it brought."""
        with self._lock:
            names = self.photos or search_results.DEFAULT
            chosen, new = search_results.rolling_feed(names, count, self._photos_served,
                                                      self.photo_fresh)
            self._photos_served += new
            return chosen

    def take_rate_limit(self) -> int:
        """Counts one timeline request; what is left of the limit (never below 1, since only
        an armed misbehaviour exhausts it)."""
        with self._lock:
            self._timeline_requests += 1
            return max(1, 300 - self._timeline_requests)

    def timeline_photos(self) -> list[str] | None:
        """The photographs posted to the "photos" timeline so far, oldest first: 40 at first,
        `photo_fresh` more with every request; None without photographs."""
        with self._lock:
            if not self.photos:
                return None
            shown = 40 + self.photo_fresh * self._timeline_photo_requests
            self._timeline_photo_requests += 1
            return self.photos[:shown]

    def redeem_request_token(self, token: str, verifier: str) -> tuple[AccessToken | None, str]:
        """Exchanges a request token and its PIN, once, for a new access token."""
        with self._lock:
            pending = self._request_tokens.get(token)
            if pending is None:
                return None, "unknown request token"
            if pending.used:
                return None, "request token already exchanged"
            if verifier != pending.pin:
                return None, "wrong oauth_verifier"
            pending.used = True
        return self.issue_access_token(), "ok"

    def issue_access_token(self, token: str | None = None, secret: str | None = None) -> AccessToken:
        with self._lock:
            user_id = self._next_user_id
            self._next_user_id += 1
            issued = AccessToken(
                token=token or f"{user_id}-{random_text(40)}",
                secret=secret or random_text(45),
                user_id=user_id,
                screen_name=f"tilvane_user_{user_id}",
            )
            self._access_tokens[issued.token] = issued
            return issued

    def revoke_access_tokens(self, token: str | None = None) -> int:
        """Revokes one access token, or all of them when none is named; returns how many."""
        with self._lock:
            doomed = [token] if token is not None else list(self._access_tokens)
            return sum(self._access_tokens.pop(t, None) is not None for t in doomed)

    def access_token_secret(self, token: str | None) -> str | None:
        with self._lock:
            found = self._access_tokens.get(token or "")
            return found.secret if found else None
