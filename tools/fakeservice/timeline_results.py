"""Public hashtag timelines shaped like a Mastodon-compatible server's
GET /api/v1/timelines/tag/:hashtag reply, with the image sets of search_results."""

import json
import time

import search_results

TIMELINE_PREFIX = "/api/v1/timelines/tag/"
INSTANCE_PATH = "/api/v2/instance"
MAX_LIMIT = 40
DEFAULT_LIMIT = 20
FIRST_POST_ID = 113_600_000_000_000_000
VIDEO_NAME = "v01.mp4"


def parse_limit(text):
    if text is None or not text.strip().isdigit():
        return DEFAULT_LIMIT
    return max(1, min(MAX_LIMIT, int(text)))


def _attachment(kind, name, image_base, media_id):
    if kind == "image":
        url = f"{image_base}/media/original/{name}"
    else:
        url = f"{image_base}/media/{name}"
    preview = f"{image_base}/media/{name}" if kind == "image" else f"{image_base}/media/{name}.jpg"
    return {
        "id": str(media_id),
        "type": kind,
        "url": url,
        "preview_url": preview,
        "remote_url": None,
        "preview_remote_url": None,
        "text_url": None,
        "meta": {},
        "description": f"fake {kind} {name}",
        "blurhash": "UBL_:rOpGG-;~qRjWBay",
    }


def _post(post_id, tag, number, attachments, sensitive, created, reblog=None):
    return {
        "id": str(post_id),
        "created_at": created,
        "in_reply_to_id": None,
        "sensitive": sensitive,
        "spoiler_text": "fake spoiler" if sensitive else "",
        "visibility": "public",
        "language": "ja",
        "uri": f"https://fake.invalid/users/fan/statuses/{post_id}",
        "url": f"https://fake.invalid/@fan/{post_id}",
        "content": f"<p>{tag} picture {number} #{tag}</p>",
        "reblog": reblog,
        "account": {"id": str(1000 + number % 7), "username": f"fan{number % 7}",
                    "acct": f"fan{number % 7}", "display_name": f"Fake {tag} fan"},
        "media_attachments": attachments if reblog is None else [],
        "mentions": [],
        "tags": [{"name": tag, "url": f"https://fake.invalid/tags/{tag}"}],
        "emojis": [],
        "card": None,
        "poll": None,
    }


def timeline_posts(tag, image_base, names=None):
    """Every post of the tag's timeline, newest first. Post k (0 = oldest) shows the k-th
    picture of `names` (default: the tag's image set); every fourth is a boost of another
    account's post, every sixth is marked sensitive, every third also carries a video, every
    fifth also a PNG, every seventh also a WebP."""
    if names is None:
        names, _ = search_results.IMAGE_SETS[search_results.image_set_for(tag)]
    created = time.strftime("%Y-%m-%dT%H:%M:%S.000Z", time.gmtime())
    posts = []
    for k, name in enumerate(names):
        post_id = FIRST_POST_ID + 1000 * (k + 1)
        attachments = [_attachment("image", name, image_base, post_id + 1)]
        if k % 3 == 2:
            attachments.insert(0, _attachment("video", VIDEO_NAME, image_base, post_id + 2))
        if k % 5 == 4:
            attachments.append(_attachment("image", "p01.png", image_base, post_id + 3))
        if k % 7 == 6:
            attachments.append(_attachment("image", "p04.webp", image_base, post_id + 4))
        sensitive = k % 6 == 5
        if k % 4 == 3:
            boosted = _post(post_id - 500, tag, k, attachments, sensitive, created)
            posts.append(_post(post_id, tag, k, [], False, created, reblog=boosted))
        else:
            posts.append(_post(post_id, tag, k, attachments, sensitive, created))
    posts.reverse()
    return posts


def build_timeline_reply(tag, image_base, limit, since_id=None, only_media=False, names=None):
    posts = timeline_posts(tag, image_base, names)
    if since_id is not None and since_id.isdigit():
        posts = [p for p in posts if int(p["id"]) > int(since_id)]
    if only_media:
        posts = [p for p in posts if p["media_attachments"] or (p["reblog"] or {}).get("media_attachments")]
    return json.dumps(posts[:limit], separators=(",", ":"), ensure_ascii=False).encode("utf-8")


def build_instance_reply(hashtag_feeds=None):
    """GET /api/v2/instance, trimmed to what a reader of the feeds looks at; the
    timelines_access part only for a server that names it (Mastodon 4.5 and later)."""
    configuration = {"statuses": {"max_characters": 500, "max_media_attachments": 4},
                     "media_attachments": {"image_size_limit": 16777216}}
    if hashtag_feeds is not None:
        configuration["timelines_access"] = {
            "live_feeds": {"local": "public", "remote": "public"},
            "hashtag_feeds": dict(hashtag_feeds),
            "trending_link_feeds": {"local": "public", "remote": "public"},
        }
    reply = {"domain": "fake.invalid", "title": "Fake social", "version": "4.5.0",
             "source_url": "https://fake.invalid/source", "configuration": configuration}
    return json.dumps(reply).encode("utf-8")
