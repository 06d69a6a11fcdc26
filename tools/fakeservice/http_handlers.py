"""The three servers of the fake service and the handler that answers their requests."""

import html
import json
import socketserver
import ssl
import time
from dataclasses import dataclass
from email.utils import formatdate
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from pathlib import Path
from urllib.parse import unquote

import hostile_jpeg
import misbehaviour
import open_sources
import search_results
import timeline_results
from oauth_check import (
    CODE_COULD_NOT_AUTHENTICATE,
    as_utf8,
    parse_form,
    signature_base_url,
    verify_request,
)

SEARCH_PATH = "/1.1/search/tweets.json"
REQUEST_TOKEN_PATH = "/oauth/request_token"
ACCESS_TOKEN_PATH = "/oauth/access_token"
AUTHORIZE_PATH = "/oauth/authorize"
MAX_REQUEST_BODY = 1024 * 1024

REASONS = {200: "OK", 400: "Bad Request", 401: "Unauthorized", 403: "Forbidden",
           404: "Not Found", 429: "Too Many Requests",
           405: "Method Not Allowed", 413: "Payload Too Large", 500: "Internal Server Error"}
CONTENT_TYPES = {".jpg": "image/jpeg", ".png": "image/png", ".webp": "image/webp",
                 ".mp4": "video/mp4"}
RATE_LIMIT = 300
TIMELINE_REFUSALS = {"status401": 401, "status403": 403, "status429": 429}


@dataclass
class Reply:
    status: int
    body: bytes
    content_type: str
    extra_headers: tuple = ()

    @property
    def is_json(self) -> bool:
        return self.content_type.startswith("application/json")


def json_reply(status: int, obj) -> Reply:
    return Reply(status, json.dumps(obj, separators=(",", ":")).encode(), "application/json; charset=utf-8")


def service_error(status: int, code: int, message: str) -> Reply:
    return json_reply(status, {"errors": [{"code": code, "message": message}]})


def text_reply(status: int, text: str, content_type="text/plain; charset=utf-8") -> Reply:
    return Reply(status, text.encode("utf-8"), content_type)


def html_page(status: int, title: str, content: str) -> Reply:
    page = (f"<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>{html.escape(title)}"
            f"</title></head>\n<body>\n{content}\n</body></html>\n")
    return text_reply(status, page, "text/html; charset=utf-8")


def load_media(media_dir: Path, photo_dir: Path | None = None
               ) -> tuple[dict[str, bytes], dict[str, bytes], list[str]]:
    """The served files by name, the larger ":orig" variants by name, and the names of the
    photographs in photo_dir (its *.jpg, sorted; their ":orig" variants in photo_dir/orig)."""
    files = {name: (media_dir / name).read_bytes() for name in search_results.media_files()}
    orig_dir = media_dir / "orig"
    originals = {p.name: p.read_bytes() for p in orig_dir.glob("*") if p.is_file()}
    photos = []
    if photo_dir is not None:
        for path in sorted(photo_dir.glob("*.jpg")):
            if path.name in files:
                continue  # the committed files keep their names
            files[path.name] = path.read_bytes()
            photos.append(path.name)
        originals.update((p.name, p.read_bytes()) for p in (photo_dir / "orig").glob("*.jpg")
                         if p.name in photos)
    return files, originals, photos


class FakeServer(ThreadingHTTPServer):
    daemon_threads = True
    request_queue_size = 64

    def __init__(self, role: str, service, media, ssl_context: ssl.SSLContext | None = None):
        self.role = role
        self.service = service
        self.media = media
        self.ssl_context = ssl_context
        super().__init__(("127.0.0.1", 0), ServiceRequestHandler)

    @property
    def port(self) -> int:
        return self.server_address[1]

    @property
    def scheme(self) -> str:
        return "https" if self.ssl_context else "http"

    @property
    def url(self) -> str:
        return f"{self.scheme}://127.0.0.1:{self.port}"

    def server_bind(self):
        # Skips the reverse name lookup of HTTPServer.server_bind.
        socketserver.TCPServer.server_bind(self)
        self.server_name = "127.0.0.1"
        self.server_port = self.port

    def get_request(self):
        conn, address = self.socket.accept()
        if self.ssl_context is not None:
            # The handshake runs on the handler's thread, so a silent client blocks nobody.
            conn = self.ssl_context.wrap_socket(conn, server_side=True, do_handshake_on_connect=False)
        return conn, address

    def shutdown_request(self, request):
        try:
            if isinstance(request, ssl.SSLSocket) and request.fileno() >= 0:
                request.settimeout(2)
                request.unwrap()  # close_notify, as a real server sends
        except (OSError, ValueError):
            pass
        try:
            super().shutdown_request(request)
        except (OSError, ValueError):
            pass


class ServiceRequestHandler(BaseHTTPRequestHandler):
    server_version = "tilvane-fake/1.0"
    sys_version = ""
    protocol_version = "HTTP/1.0"
    timeout = 30

    # --- connection life ---------------------------------------------------------------

    def setup(self):
        super().setup()
        self.tls_ready = True
        if isinstance(self.connection, ssl.SSLSocket):
            try:
                self.connection.do_handshake()
            except (ssl.SSLError, OSError) as error:
                self.tls_ready = False
                self.record({"event": "tls_handshake_failed", "reason": str(error)})

    def handle(self):
        if not self.tls_ready:
            return
        try:
            super().handle()
        except (OSError, ssl.SSLError, ValueError):
            pass  # the client went away or the socket was closed on purpose

    def finish(self):
        try:
            super().finish()
        except (OSError, ValueError):
            pass

    def log_message(self, format, *args):
        pass

    def send_error(self, code, message=None, explain=None):
        self.record({"event": "malformed_request", "status": code, "reason": message,
                     "request_line": getattr(self, "requestline", "")})
        # The stdlib omits the status line for what it takes as HTTP/0.9; no client here is one.
        self.request_version = "HTTP/1.0"
        super().send_error(code, message, explain)

    def record(self, entry: dict) -> dict:
        return self.server.service.log.append({"server": self.server.role, **entry})

    do_GET = do_POST = do_HEAD = do_PUT = do_DELETE = lambda self: self.dispatch()

    # --- dispatch ------------------------------------------------------------------------

    def dispatch(self):
        target = self.path
        if target.startswith(("http://", "https://")):
            target = "/" + target.split("://", 1)[1].partition("/")[2]
        path, _, query = target.partition("?")
        body, body_problem = self.read_body()
        if body_problem:
            self.send_reply(text_reply(body_problem[0], body_problem[1]), None)
            return
        if path.startswith("/_test/") and self.server.role != "image":
            self.send_reply(self.test_control(path, query, body), None)
            return

        query_pairs = parse_form(query)
        content_type = self.headers.get("Content-Type", "")
        body_pairs = []
        if body and content_type.lower().startswith("application/x-www-form-urlencoded"):
            body_pairs = parse_form(body.decode("latin-1"))
        entry = {
            "method": self.command,
            "path": path,
            "query": query,
            "query_params": {as_utf8(k): as_utf8(v) for k, v in query_pairs},
            "body_params": {as_utf8(k): as_utf8(v) for k, v in body_pairs},
            "http_version": self.request_version,
            "headers": dict(self.headers.items()),
        }
        if body and not body_pairs:
            entry["body_note"] = f"{len(body)} body bytes not read as a form ({content_type or 'no Content-Type'})"
        params = query_pairs + body_pairs

        if self.server.role == "image" or path.startswith("/media/"):
            reply = self.media_reply(path, entry)
        elif path == SEARCH_PATH:
            reply = self.search_reply(path, params, entry)
        elif path.startswith(timeline_results.TIMELINE_PREFIX):
            reply = self.timeline_reply(path, query_pairs, entry)
        elif path == timeline_results.INSTANCE_PATH:
            reply = self.instance_reply(entry)
        elif path in open_sources.PATHS:
            reply = self.open_source_reply(path, query_pairs, body, entry)
        elif path == REQUEST_TOKEN_PATH:
            reply = self.request_token_reply(path, params, entry)
        elif path == ACCESS_TOKEN_PATH:
            reply = self.access_token_reply(path, params, entry)
        elif path == AUTHORIZE_PATH:
            reply = self.authorize_reply(params)
        else:
            reply = service_error(404, 34, "Sorry, that page does not exist.")

        armed = self.server.service.misbehaviours.take(self.server.role, path, entry.get("keyword"))
        entry["misbehaviour"] = armed.mode if armed else None
        if armed is not None and "tag" in entry:
            reply, armed = self.timeline_misbehaviour(reply, armed)
        entry["status"] = reply.status
        self.record(entry)
        self.send_reply(reply, armed)

    def read_body(self) -> tuple[bytes, tuple[int, str] | None]:
        length_text = self.headers.get("Content-Length")
        if length_text is None:
            return b"", None
        if not length_text.strip().isdigit():
            return b"", (400, "Content-Length is not a number")
        length = int(length_text)
        if length > MAX_REQUEST_BODY:
            return b"", (413, "request body too large")
        return self.rfile.read(length), None

    # --- signed endpoints ----------------------------------------------------------------

    def verify(self, path, params, token_secret_for):
        service = self.server.service
        return verify_request(
            method=self.command,
            base_url=signature_base_url(self.server.scheme, self.headers.get("Host"), self.server.port, path),
            params=params,
            consumer_key=service.consumer_key,
            consumer_secret=service.consumer_secret,
            token_secret_for=token_secret_for,
            nonces=service.nonces,
            authorization_header=self.headers.get("Authorization"),
        )

    def note_verdict(self, entry, verdict):
        entry["signature"] = "ok" if verdict.ok else "bad"
        entry["reason"] = verdict.reason

    def search_reply(self, path, params, entry) -> Reply:
        service = self.server.service
        values = dict(params)
        keyword = as_utf8(values.get("q", ""))
        entry["keyword"] = keyword
        if "\ufffd" in keyword:
            # Typically a keyword sent in a legacy code page instead of UTF-8.
            entry["keyword_not_utf8"] = values["q"].encode("latin-1").hex()
        verdict = self.verify(path, params, service.access_token_secret)
        self.note_verdict(entry, verdict)
        if not verdict.ok:
            if verdict.error_code == CODE_COULD_NOT_AUTHENTICATE:
                return service_error(401, 32, "Could not authenticate you.")
            return service_error(401, verdict.error_code, "Invalid or expired token.")
        if self.command not in ("GET", "HEAD"):
            return service_error(404, 34, "Sorry, that page does not exist.")
        if not keyword:
            return service_error(400, 25, "Query parameters are missing.")
        count = search_results.parse_count(as_utf8(values["count"]) if "count" in values else None)
        entry["image_set"] = search_results.image_set_for(keyword)
        entry["count"] = count
        offset = service.next_rotation(count) if entry["image_set"] == "rotate" else 0
        chosen = service.next_photo_feed(count) if entry["image_set"] == "photos" else None
        body = search_results.build_search_reply(keyword, count, service.image_base,
                                                 service.secure_base, offset, chosen)
        return Reply(200, body, "application/json;charset=utf-8")

    def request_token_reply(self, path, params, entry) -> Reply:
        verdict = self.verify(path, params, lambda token: "")
        self.note_verdict(entry, verdict)
        if not verdict.ok:
            return service_error(401, 32, "Could not authenticate you.")
        issued = self.server.service.issue_request_token()
        entry["request_token"] = issued.token
        return text_reply(
            200,
            f"oauth_token={issued.token}&oauth_token_secret={issued.secret}&oauth_callback_confirmed=true",
            "text/html; charset=utf-8",
        )

    def access_token_reply(self, path, params, entry) -> Reply:
        service = self.server.service
        verdict = self.verify(path, params, lambda token: "")
        request_token = service.request_token(verdict.protocol.get("oauth_token"))
        if not verdict.ok and request_token and verdict.reason.startswith("signature mismatch"):
            with_secret = self.verify(path, params, lambda token: request_token.secret)
            if with_secret.ok:
                verdict.reason = ("signed with the request token secret; "
                                  "this service expects the consumer secret alone")
        self.note_verdict(entry, verdict)
        if not verdict.ok:
            return service_error(401, 32, "Could not authenticate you.")
        token = verdict.protocol.get("oauth_token", "")
        verifier = verdict.protocol.get("oauth_verifier", "")
        issued, why = service.redeem_request_token(token, verifier)
        entry["exchange"] = why
        if issued is None:
            if why == "wrong oauth_verifier":
                message = "Error processing your OAuth request: Invalid oauth_verifier parameter"
            else:
                message = "Invalid request token."
            return text_reply(401, message, "text/html; charset=utf-8")
        entry["access_token"] = issued.token
        return text_reply(
            200,
            f"oauth_token={issued.token}&oauth_token_secret={issued.secret}"
            f"&user_id={issued.user_id}&screen_name={issued.screen_name}",
            "text/html; charset=utf-8",
        )

    def authorize_reply(self, params) -> Reply:
        pending = self.server.service.request_token(dict(params).get("oauth_token"))
        if pending is None:
            return html_page(404, "Authorise tilvane", "<p>This request token is not valid.</p>")
        return html_page(
            200,
            "Authorise tilvane",
            '<div style="font-family:sans-serif;text-align:center;margin-top:3em">\n'
            "<p>You have granted access to tilvane. Enter this PIN in the application:<br>\n"
            "tilvane へのアクセスを許可しました。このPINコードをアプリケーションに入力してください:</p>\n"
            '<p style="font-size:64px;font-weight:bold;letter-spacing:0.2em">'
            f'<kbd><code id="oauth_pin">{pending.pin}</code></kbd></p>\n</div>',
        )

    # --- hashtag timeline ------------------------------------------------------------------

    def timeline_reply(self, path, query_pairs, entry) -> Reply:
        service = self.server.service
        tag = as_utf8(unquote(path[len(timeline_results.TIMELINE_PREFIX):], encoding="latin-1"))
        values = {as_utf8(k): as_utf8(v) for k, v in query_pairs}
        entry["tag"] = tag
        entry["any"] = [as_utf8(v) for k, v in query_pairs if as_utf8(k) == "any[]"]
        entry["image_set"] = search_results.image_set_for(tag)
        entry["limit"] = timeline_results.parse_limit(values.get("limit"))
        entry["since_id"] = values.get("since_id")
        entry["local"] = values.get("local")
        entry["user_agent"] = self.headers.get("User-Agent")
        authorization = self.headers.get("Authorization")
        entry["authorization"] = authorization
        if self.command not in ("GET", "HEAD"):
            return json_reply(404, {"error": "Record not found"})
        if service.timeline_token and authorization != "Bearer " + service.timeline_token:
            return json_reply(401, {"error": "This method requires an authenticated user"})
        feeds = service.hashtag_feeds
        if feeds and feeds["local" if values.get("local") == "true" else "remote"] != "public":
            return json_reply(401, {"error": "This method requires an authenticated user"})
        # With photographs given, the "photos" tag is a timeline that grows with each request.
        names = service.timeline_photos() if entry["image_set"] == "photos" else None
        body = timeline_results.build_timeline_reply(
            tag, service.image_base, entry["limit"], entry["since_id"],
            values.get("only_media") == "true", names)
        remaining = service.take_rate_limit()
        entry["rate_limit_remaining"] = remaining
        return Reply(200, body, "application/json; charset=utf-8",
                     self.rate_limit_headers(remaining))

    def instance_reply(self, entry) -> Reply:
        """The server's description: with --hashtag-feeds, how open its hashtag feeds are;
        without, as a server older than the setting describes itself."""
        entry["user_agent"] = self.headers.get("User-Agent")
        body = timeline_results.build_instance_reply(self.server.service.hashtag_feeds)
        return Reply(200, body, "application/json; charset=utf-8")

    def rate_limit_headers(self, remaining, reset_seconds=300):
        reset = time.strftime("%Y-%m-%dT%H:%M:%S.000Z", time.gmtime(time.time() + reset_seconds))
        return (("X-RateLimit-Limit", str(RATE_LIMIT)), ("X-RateLimit-Remaining", str(remaining)),
                ("X-RateLimit-Reset", reset))

    def timeline_misbehaviour(self, reply, armed):
        """The timeline's own refusals: 401 and 403 (no public preview), 429 and an exhausted
        rate limit, until the reset `seconds` from now (default 300)."""
        seconds = armed.seconds if armed.mode in ("status429", "exhausted") else 300
        if armed.mode in TIMELINE_REFUSALS:
            status = TIMELINE_REFUSALS[armed.mode]
            text = "Too many requests" if status == 429 else "This method requires an authenticated user"
            refused = json_reply(status, {"error": text})
            if status == 429:
                refused.extra_headers = self.rate_limit_headers(0, seconds)
            return refused, None
        if armed.mode == "exhausted":
            reply.extra_headers = self.rate_limit_headers(0, seconds)
            return reply, None
        return reply, armed

    # --- Misskey, Flickr and Bluesky -----------------------------------------------------

    def names_for(self, tag):
        """The pictures a source shows for a tag: its image set, or the growing photographs."""
        image_set = search_results.image_set_for(tag)
        photos = self.server.service.timeline_photos() if image_set == "photos" else None
        return photos if photos is not None else search_results.IMAGE_SETS[image_set][0]

    def open_source_reply(self, path, query_pairs, body, entry) -> Reply:
        values = {as_utf8(k): as_utf8(v) for k, v in query_pairs}
        base = self.server.service.image_base
        entry["user_agent"] = self.headers.get("User-Agent")
        if path == open_sources.MISSKEY_PATH:
            return self.misskey_reply(body, entry)
        entry["tag"] = values.get("tags") or values.get("actor") or values.get("feed") or ""
        if self.command not in ("GET", "HEAD"):
            return json_reply(405, {"error": "MethodNotImplemented"})
        if path == open_sources.FLICKR_PATH:
            tags = [t for t in entry["tag"].split(",") if t]
            if values.get("format") != "json" or values.get("nojsoncallback") != "1":
                return text_reply(200, "jsonFlickrFeed({})", "application/javascript")
            return Reply(200, open_sources.flickr_feed(tags, base, self.names_for(tags[0] if tags else "")),
                         "application/json; charset=utf-8")
        status, reply = open_sources.bsky_reply(path, values, base, self.names_for)
        return json_reply(status, reply)

    def misskey_reply(self, body, entry) -> Reply:
        if self.command != "POST":
            return json_reply(405, {"error": {"message": "Method not allowed", "code": "METHOD_NOT_ALLOWED"}})
        if not self.headers.get("Content-Type", "").lower().startswith("application/json"):
            return json_reply(400, {"error": {"message": "Content-Type must be application/json",
                                              "code": "INVALID_PARAM"}})
        try:
            request = json.loads(body.decode("utf-8"))
        except (UnicodeDecodeError, ValueError):
            request = None
        entry["body_json"] = request
        entry["tag"] = request.get("tag") if isinstance(request, dict) else None
        entry["since_id"] = request.get("sinceId") if isinstance(request, dict) else None
        status, reply = open_sources.misskey_reply(request, self.server.service.image_base,
                                                   self.names_for)
        return Reply(status, open_sources.as_json(reply), "application/json; charset=utf-8")

    # --- media -----------------------------------------------------------------------------

    def media_reply(self, path, entry) -> Reply:
        files, originals = self.server.media[:2]
        name = unquote(path[len("/media/"):]) if path.startswith("/media/") else ""
        orig = name.lower().endswith(":orig")
        if orig:
            name = name[: -len(":orig")]
        source_name = open_sources.media_name(name)
        if source_name is not None:
            name, orig = source_name
            entry["source_path"] = True
        # A timeline names the full size as /media/original/NAME.
        elif name.startswith("original/"):
            name, orig = name[len("original/"):], True
            entry["original_path"] = True
        entry["media"] = name
        entry["orig"] = orig
        content = originals.get(name) if orig else None
        entry["served"] = ("orig/" + name) if content is not None else name
        if content is None:
            content = files.get(name)
        if content is None:
            entry["served"] = None
            return html_page(404, "Not Found", "<p>Sorry, that page does not exist.</p>")
        suffix = name[name.rfind("."):] if "." in name else ""
        return Reply(200, content, CONTENT_TYPES.get(suffix, "application/octet-stream"))

    # --- test control ----------------------------------------------------------------------

    def test_control(self, path, query, body) -> Reply:
        service = self.server.service
        if path == "/_test/pin":
            token = dict(parse_form(query)).get("oauth_token")
            pending = service.request_token(token) if token else service.latest_request_token()
            return text_reply(200, pending.pin) if pending else text_reply(404, "unknown request token")
        if path == "/_test/revoke" and self.command == "POST":
            try:
                requested = json.loads(body.decode("utf-8") or "{}")
            except (ValueError, UnicodeDecodeError) as error:
                return json_reply(400, {"error": str(error)})
            token = requested.get("access_token") if isinstance(requested, dict) else 0
            if token is not None and not isinstance(token, str):
                return json_reply(400, {"error": 'a JSON object with an optional text "access_token" is expected'})
            return json_reply(200, {"revoked": service.revoke_access_tokens(token)})
        if path == "/_test/log":
            return json_reply(200, service.log.entries())
        if path == "/_test/nonces":
            return json_reply(200, service.nonces.tally())
        if path == "/_test/misbehaviours":
            return json_reply(200, service.misbehaviours.describe())
        if path == "/_test/reset" and self.command == "POST":
            service.misbehaviours.clear()
            service.log.clear()
            return text_reply(200, "ok")
        if path == "/_test/misbehave" and self.command == "POST":
            try:
                requested = json.loads(body.decode("utf-8"))
                items = requested if isinstance(requested, list) else [requested]
                armed = [misbehaviour.parse_misbehaviour(item) for item in items]
            except (ValueError, UnicodeDecodeError) as error:
                return json_reply(400, {"error": str(error)})
            for item in armed:
                service.misbehaviours.arm(item)
            return json_reply(200, {"armed": service.misbehaviours.describe()})
        return text_reply(404, "unknown test control")

    # --- replies -----------------------------------------------------------------------------

    def head_bytes(self, status: int, content_type: str, length: int, extra=()) -> bytes:
        lines = [
            f"HTTP/1.1 {status} {REASONS.get(status, 'Status')}",
            f"Date: {formatdate(usegmt=True)}",
            f"Server: {self.server_version}",
            f"Content-Type: {content_type}",
            f"Content-Length: {length}",
            "Cache-Control: no-cache, no-store, must-revalidate",
            "Connection: close",
            *(f"{name}: {value}" for name, value in extra),
        ]
        return ("\r\n".join(lines) + "\r\n\r\n").encode("latin-1")

    def error_status_reply(self, reply: Reply, status: int) -> Reply:
        """The error status instead of the normal answer, with a body as the service or an
        image host writes one."""
        if self.server.role == "image" or not reply.is_json:
            title = REASONS[status]
            return html_page(status, title, f"<h1>{title}</h1>")
        if status == 401:
            return service_error(401, 32, "Could not authenticate you.")
        if status == 404:
            return service_error(404, 34, "Sorry, that page does not exist.")
        return service_error(500, 131, "Internal error")

    def send_reply(self, reply: Reply, armed):
        conn = self.connection
        with_body = self.command != "HEAD"
        if armed is not None and armed.mode in ("status401", "status404", "status500"):
            reply = self.error_status_reply(reply, int(armed.mode[-3:]))
            armed = None
        elif armed is not None and armed.mode == "manyscans":
            reply = Reply(200, hostile_jpeg.empty_scans(scans=armed.scans), "image/jpeg")
            armed = None
        head = self.head_bytes(reply.status, reply.content_type, len(reply.body), reply.extra_headers)
        body = reply.body if with_body else b""
        if armed is None:
            conn.sendall(head + body)
        elif armed.mode == "oversize" and not with_body:
            conn.sendall(self.head_bytes(reply.status, reply.content_type, armed.size))
        elif armed.mode == "oversize":
            filler = b"\0" if reply.content_type.startswith("image/") else b" "
            misbehaviour.send_oversize(
                conn, self.head_bytes(reply.status, reply.content_type, armed.size), body, armed.size, filler)
        else:
            misbehaviour.deliver(conn, self.rfile.close, head + body, len(head), armed,
                                 self.server.service.stopping)
