"""Armed misbehaviours: which request gets a broken answer, and how the answer breaks."""

import os
import select
import socket
import struct
import threading
import time
from dataclasses import asdict, dataclass

MODES = (
    "stall",
    "reset",
    "truncate",
    "garbage",
    "status401",
    "status404",
    "status500",
    "dribble",
    "oversize",
    "close",
    "delay",
    "manyscans",
    "status401",
    "status403",
    "status429",
    "exhausted",
)
SERVERS = ("api", "image", "untrusted")
MAX_STALL_SECONDS = 60.0
DEFAULT_STALL_SECONDS = 30.0
DEFAULT_DELAY_SECONDS = 2.0
DEFAULT_OVERSIZE_BYTES = 20 * 1024 * 1024
DEFAULT_SCANS = 1000
MAX_SCANS = 1_000_000
MAX_OVERSIZE_BYTES = 64 * 1024 * 1024


@dataclass
class Misbehaviour:
    path: str
    mode: str
    keyword: str | None = None
    times: int = 1
    server: str | None = None
    seconds: float = DEFAULT_STALL_SECONDS
    bytes: int | None = None
    size: int = DEFAULT_OVERSIZE_BYTES
    chunk: int | None = None
    delay_ms: float = 5.0
    scans: int = DEFAULT_SCANS

    def matches(self, server: str, path: str, keyword: str | None) -> bool:
        if self.server is not None and self.server != server:
            return False
        if not (path == self.path or path.startswith(self.path)):
            return False
        return self.keyword is None or self.keyword == keyword


def parse_misbehaviour(obj) -> Misbehaviour:
    """Builds a Misbehaviour from decoded JSON; raises ValueError naming what is wrong."""
    if not isinstance(obj, dict):
        raise ValueError("a JSON object is expected")
    path, mode = obj.get("path"), obj.get("mode")
    if not isinstance(path, str) or not path.startswith("/"):
        raise ValueError('"path" must be a text starting with "/"')
    if mode not in MODES:
        raise ValueError('"mode" must be one of ' + ", ".join(MODES))
    keyword = obj.get("keyword")
    if keyword is not None and not isinstance(keyword, str):
        raise ValueError('"keyword" must be a text')
    server = obj.get("server")
    if server is not None and server not in SERVERS:
        raise ValueError('"server" must be one of ' + ", ".join(SERVERS))

    def number(name, default, low, high, kind=int):
        value = obj.get(name, default)
        if value is None:
            return None
        if isinstance(value, bool) or not isinstance(value, (int, float)):
            raise ValueError(f'"{name}" must be a number')
        if kind is int and value != int(value):
            raise ValueError(f'"{name}" must be a whole number')
        if not low <= value <= high:
            raise ValueError(f'"{name}" must lie within {low}..{high}')
        return kind(value)

    times = number("times", 1, -1, 1_000_000)
    if times == 0:
        raise ValueError('"times" must be -1 (always) or at least 1')
    return Misbehaviour(
        path=path,
        mode=mode,
        keyword=keyword,
        times=times,
        server=server,
        seconds=number("seconds", DEFAULT_DELAY_SECONDS if mode == "delay" else DEFAULT_STALL_SECONDS,
                       0, MAX_STALL_SECONDS, float),
        bytes=number("bytes", None, 0, MAX_OVERSIZE_BYTES),
        size=number("size", DEFAULT_OVERSIZE_BYTES, 0, MAX_OVERSIZE_BYTES),
        chunk=number("chunk", None, 1, 1 << 20),
        delay_ms=number("delay_ms", 5.0, 0, 1000, float),
        scans=number("scans", DEFAULT_SCANS, 0, MAX_SCANS),
    )


class MisbehaviourTable:
    def __init__(self):
        self._lock = threading.Lock()
        self._armed: list[Misbehaviour] = []

    def arm(self, misbehaviour: Misbehaviour):
        with self._lock:
            self._armed.append(misbehaviour)

    def clear(self):
        with self._lock:
            self._armed.clear()

    def describe(self) -> list[dict]:
        with self._lock:
            return [asdict(m) for m in self._armed]

    def take(self, server: str, path: str, keyword: str | None) -> Misbehaviour | None:
        """The first armed misbehaviour for this request, used up once."""
        with self._lock:
            for m in self._armed:
                if m.matches(server, path, keyword):
                    if m.times > 0:
                        m.times -= 1
                        if m.times == 0:
                            self._armed.remove(m)
                    return m
        return None


def _close_with_reset(conn: socket.socket):
    try:
        conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    except OSError:
        pass
    conn.close()


def _wait_for_peer_close(conn: socket.socket, seconds: float, stopping: threading.Event):
    deadline = time.monotonic() + seconds
    while not stopping.is_set():
        remaining = deadline - time.monotonic()
        if remaining <= 0:
            return
        try:
            readable, _, _ = select.select([conn], [], [], min(remaining, 0.25))
            if readable and not conn.recv(4096):
                return
        except (OSError, ValueError):
            return


def deliver(conn, close_files, reply: bytes, header_length: int, m: Misbehaviour,
            stopping: threading.Event) -> str:
    """Sends `reply` broken the way `m` says. Returns a short note for the log. For the
    modes that end the connection themselves, close_files() is called first so that the
    socket really closes."""
    body_length = len(reply) - header_length
    if m.mode == "stall":
        _wait_for_peer_close(conn, m.seconds, stopping)
        return f"stalled up to {m.seconds:g} s"
    if m.mode == "close":
        return "closed without answering"
    if m.mode == "delay":
        stopping.wait(m.seconds)
        conn.sendall(reply)
        return f"answered after {m.seconds:g} s"
    if m.mode == "reset":
        cut = len(reply) // 2 if m.bytes is None else min(m.bytes, len(reply))
        conn.sendall(reply[:cut])
        time.sleep(0.2)  # let the bytes reach the client before the reset
        close_files()
        _close_with_reset(conn)
        return f"sent {cut} of {len(reply)} bytes, then reset"
    if m.mode == "truncate":
        cut = body_length // 2 if m.bytes is None else min(m.bytes, max(body_length - 1, 0))
        conn.sendall(reply[: header_length + cut])
        return f"sent {cut} of {body_length} body bytes"
    if m.mode == "garbage":
        noise = b"\x00\xfe\x17" + os.urandom(max((1024 if m.bytes is None else m.bytes) - 3, 0))
        conn.sendall(noise)
        return f"sent {len(noise)} random bytes"
    if m.mode == "dribble":
        piece = m.chunk or max(5, -(-len(reply) // 400))
        try:
            conn.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        except OSError:
            pass
        for start in range(0, len(reply), piece):
            conn.sendall(reply[start : start + piece])
            if stopping.wait(m.delay_ms / 1000.0):
                break
        return f"dribbled {len(reply)} bytes in pieces of {piece}"
    raise ValueError(f"mode {m.mode} is not a delivery mode")


def send_oversize(conn, reply_head: bytes, body: bytes, size: int, filler: bytes):
    """Sends a reply whose body is `body` padded with `filler` to `size` bytes."""
    conn.sendall(reply_head)
    conn.sendall(body[:size])
    remaining = size - min(len(body), size)
    block = filler * (65536 // len(filler))
    while remaining > 0:
        part = block[: min(len(block), remaining)]
        conn.sendall(part)
        remaining -= len(part)
