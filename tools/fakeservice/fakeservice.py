#!/usr/bin/env python3
"""A local stand-in for the social network's REST service: OAuth 1.0a endpoints, keyword
search and image hosting on 127.0.0.1, with switchable misbehaviour for tests.

Usage: fakeservice.py --state-dir DIR [--keep-running-seconds N] [--misbehave JSON]...
See README.md beside this file for the contract."""

import argparse
import json
import os
import signal
import ssl
import sys
import threading
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import misbehaviour  # noqa: E402
from certificates import make_certificates  # noqa: E402
from http_handlers import FakeServer, load_media  # noqa: E402
from request_log import RequestLog  # noqa: E402
from service_state import DEFAULT_CONSUMER_KEY, DEFAULT_CONSUMER_SECRET, ServiceState  # noqa: E402

HERE = Path(__file__).resolve().parent


def parse_arguments(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--state-dir", required=True, type=Path,
                        help="directory for certificates, service.json, service.txt and the log")
    parser.add_argument("--keep-running-seconds", type=float, default=3600.0,
                        help="exit after this many seconds at the latest (default 3600)")
    parser.add_argument("--consumer-key", default=DEFAULT_CONSUMER_KEY)
    parser.add_argument("--consumer-secret", default=DEFAULT_CONSUMER_SECRET)
    parser.add_argument("--access-token", help="preissue this access token instead of a random one")
    parser.add_argument("--access-token-secret", help="secret of the preissued access token")
    parser.add_argument("--timeline-token",
                        help="the hashtag timeline answers only requests with this bearer token")
    parser.add_argument("--hashtag-feeds", metavar="LOCAL,REMOTE",
                        help="the instance description names these hashtag feed accesses "
                        "(public, authenticated or disabled) and the timeline keeps to them")
    parser.add_argument("--misbehave", action="append", default=[], metavar="JSON",
                        help="arm a misbehaviour at start (repeatable), as for POST /_test/misbehave")
    parser.add_argument("--media-dir", type=Path, default=HERE / "media")
    parser.add_argument("--photo-dir", type=Path,
                        help='JPEG photographs that the "photos" search hands out in turn')
    parser.add_argument("--photo-fresh", type=int, default=8, metavar="N",
                        help='new photographs per "photos" search after the first (default 8)')
    args = parser.parse_args(argv)
    try:
        args.armed = []
        for text in args.misbehave:
            decoded = json.loads(text)
            for item in decoded if isinstance(decoded, list) else [decoded]:
                args.armed.append(misbehaviour.parse_misbehaviour(item))
    except ValueError as error:
        parser.error(f"--misbehave: {error}")
    if args.keep_running_seconds <= 0:
        parser.error("--keep-running-seconds must be positive")
    if args.photo_fresh <= 0:
        parser.error("--photo-fresh must be positive")
    if args.photo_dir is not None and not args.photo_dir.is_dir():
        parser.error(f"--photo-dir: {args.photo_dir} is not a directory")
    return args


def write_atomically(path: Path, text: str):
    temporary = path.with_name(path.name + f".tmp{os.getpid()}")
    temporary.write_text(text, encoding="utf-8")
    os.replace(temporary, path)


def server_context(identity) -> ssl.SSLContext:
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(str(identity.certificate_file), str(identity.key_file))
    return context


def main(argv=None) -> int:
    args = parse_arguments(sys.argv[1:] if argv is None else argv)
    state_dir = args.state_dir.resolve()
    state_dir.mkdir(parents=True, exist_ok=True)
    service_json, service_txt = state_dir / "service.json", state_dir / "service.txt"
    for stale in (service_json, service_txt):
        stale.unlink(missing_ok=True)

    stopping = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stopping.set())
    signal.signal(signal.SIGINT, lambda *_: stopping.set())

    trusted, untrusted = make_certificates(state_dir)
    media = load_media(args.media_dir, args.photo_dir)
    log = RequestLog(state_dir / "requests.jsonl")
    service = ServiceState(consumer_key=args.consumer_key, consumer_secret=args.consumer_secret,
                           log=log, stopping=stopping)
    service.photos = media[2]
    service.photo_fresh = args.photo_fresh
    preissued = service.issue_access_token(args.access_token, args.access_token_secret)
    service.timeline_token = args.timeline_token
    if args.hashtag_feeds:
        local, _, remote = args.hashtag_feeds.partition(",")
        service.hashtag_feeds = {"local": local, "remote": remote or local}
    for item in args.armed:
        service.misbehaviours.arm(item)

    api = FakeServer("api", service, media, server_context(trusted))
    images = FakeServer("image", service, media)
    untrusted_api = FakeServer("untrusted", service, media, server_context(untrusted))
    servers = (api, images, untrusted_api)
    service.image_base = images.url
    service.secure_base = api.url
    threads = [threading.Thread(target=s.serve_forever, kwargs={"poll_interval": 0.2}, daemon=True)
               for s in servers]
    for thread in threads:
        thread.start()

    description = {
        "api_url": api.url,
        "image_url": images.url,
        "ca_file": str(trusted.ca_file),
        "untrusted_api_url": untrusted_api.url,
        "untrusted_ca_file": str(untrusted.ca_file),
        "consumer_key": args.consumer_key,
        "consumer_secret": args.consumer_secret,
        "access_token": preissued.token,
        "access_token_secret": preissued.secret,
        "log_file": str(state_dir / "requests.jsonl"),
        "pid": os.getpid(),
    }
    # service.json is the signal that everything is ready, so it comes last.
    write_atomically(
        service_txt,
        f"service_url={api.url}\nca_bundle={trusted.ca_file}\n"
        f"consumer_key={args.consumer_key}\nconsumer_secret={args.consumer_secret}\n",
    )
    write_atomically(service_json, json.dumps(description, indent=2) + "\n")
    print(f"fakeservice ready: {api.url} (images {images.url})", flush=True)

    stopping.wait(args.keep_running_seconds)
    stopping.set()
    for server in servers:
        server.shutdown()
        server.server_close()
    for stale in (service_json, service_txt):
        stale.unlink(missing_ok=True)
    log.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
