"""Replies shaped like the open sources' public read endpoints, from their documentation:
Misskey's POST /api/notes/search-by-tag, Flickr's public photo feed (with its \\' escapes)
and Bluesky's getAuthorFeed, getFeed and resolveHandle. Every source shows the pictures of
search_results' image sets, named so that the media server finds them:
  Misskey  thumbnailUrl /media/NAME, url /media/original/NAME
  Flickr   /media/flickr/STEM_m.jpg (and _z, _b: the large size is the ":orig" variant)
  Bluesky  /media/bsky/thumb/NAME[@jpeg], /media/bsky/fullsize/NAME[@jpeg] (the ":orig")"""

import json
import time

import search_results

MISSKEY_PATH = "/api/notes/search-by-tag"
FLICKR_PATH = "/services/feeds/photos_public.gne"
BSKY_AUTHOR_FEED = "/xrpc/app.bsky.feed.getAuthorFeed"
BSKY_FEED = "/xrpc/app.bsky.feed.getFeed"
BSKY_RESOLVE = "/xrpc/com.atproto.identity.resolveHandle"
PATHS = (MISSKEY_PATH, FLICKR_PATH, BSKY_AUTHOR_FEED, BSKY_FEED, BSKY_RESOLVE)
MISSKEY_MAX_LIMIT = 100
BSKY_MAX_LIMIT = 100
FLICKR_ITEMS = 20
DEFAULT_LIMIT = 10
# Misskey's "aid" ids: ten base-36 digits that sort by time.
FIRST_NOTE_ID = int("9k00000000", 36)
BSKY_DID_PREFIX = "did:plc:fake"
FEED_GENERATOR = "/app.bsky.feed.generator/"


def _limit(text, maximum):
    return max(1, min(maximum, int(text))) if str(text).isdigit() else DEFAULT_LIMIT


def _base36(number):
    digits = "0123456789abcdefghijklmnopqrstuvwxyz"
    text = ""
    while number:
        number, rest = divmod(number, 36)
        text = digits[rest] + text
    return text or "0"


def _is_newer(an_id, than):
    return (len(an_id), an_id) > (len(than), than)


def as_json(obj):
    return json.dumps(obj, separators=(",", ":"), ensure_ascii=False).encode("utf-8")


def _now():
    return time.strftime("%Y-%m-%dT%H:%M:%S.000Z", time.gmtime())


# --- Misskey ---------------------------------------------------------------------------------

def _misskey_note(note_id, number, files, tag, text, cw=None, renote=None):
    remote = number % 3 == 1
    return {
        "id": note_id, "createdAt": _now(), "userId": f"9u{number % 7:08d}",
        "user": {"id": f"9u{number % 7:08d}", "name": f"Fake {tag} fan",
                 "username": f"fan{number % 7}", "host": "remote.invalid" if remote else None,
                 "avatarUrl": None, "isBot": False, "isCat": True},
        "text": text, "cw": cw, "visibility": "public", "localOnly": False,
        "renoteId": renote["id"] if renote else None, "replyId": None,
        "renoteCount": 0, "repliesCount": 0, "reactions": {}, "tags": [tag],
        "fileIds": [f["id"] for f in files], "files": files,
        **({"renote": renote} if renote else {}),
    }


def _misskey_file(image_base, name, file_id, sensitive=False):
    kind = "image/png" if name.endswith(".png") else "image/jpeg"
    if name.endswith(".mp4"):
        kind = "video/mp4"
    return {"id": file_id, "createdAt": _now(), "name": name, "type": kind,
            "md5": "0" * 32, "size": 1000, "isSensitive": sensitive, "blurhash": None,
            "properties": {"width": 640, "height": 480},
            "url": f"{image_base}/media/original/{name}",
            "thumbnailUrl": None if kind == "image/png" else f"{image_base}/media/{name}",
            "comment": None, "folderId": None, "folder": None, "userId": None, "user": None}


def misskey_notes(tag, image_base, names):
    """Every note of the tag, newest first. Note k (0 = oldest) shows the k-th picture; every
    fourth is a renote without text of another note, every sixth has a cw, every seventh's
    file is marked sensitive, every third also carries a video."""
    notes = []
    for k, name in enumerate(names):
        note_id = _base36(FIRST_NOTE_ID + 10 * (k + 1))
        files = [_misskey_file(image_base, name, f"f{note_id}", sensitive=k % 7 == 6)]
        if k % 3 == 2:
            files.append(_misskey_file(image_base, "v01.mp4", f"v{note_id}"))
        cw = "fake cw" if k % 6 == 5 else None
        if k % 4 == 3:
            original = _misskey_note(_base36(FIRST_NOTE_ID + 10 * (k + 1) - 5), k + 1, files,
                                     tag, f"picture {k} #{tag}", cw)
            notes.append(_misskey_note(note_id, k, [], tag, None, renote=original))
        else:
            notes.append(_misskey_note(note_id, k, files, tag, f"picture {k} #{tag}", cw))
    notes.reverse()
    return notes


def misskey_reply(request, image_base, names_for):
    """request: the JSON body as sent. (status, reply object)."""
    tag = request.get("tag") if isinstance(request, dict) else None
    if not isinstance(tag, str) or not tag:
        return 400, {"error": {"message": "Invalid param.", "code": "INVALID_PARAM",
                               "id": "3d81ceae-475f-4600-b2a8-2bc116157532"}}
    notes = misskey_notes(tag, image_base, names_for(tag))
    since = request.get("sinceId")
    if isinstance(since, str):
        notes = [n for n in notes if _is_newer(n["id"], since)]
    if request.get("withFiles"):
        notes = [n for n in notes if n["files"] or (n.get("renote") or {}).get("files")]
    return 200, notes[:_limit(request.get("limit"), MISSKEY_MAX_LIMIT)]


# --- Flickr ----------------------------------------------------------------------------------

def flickr_feed(tags, image_base, names):
    """The feed's newest FLICKR_ITEMS photos (JPEG only), as the real feed writes them: "/"
    as "\\/" and apostrophes as "\\'"."""
    items = []
    jpegs = [n for n in names if n.endswith(".jpg")]
    for k, name in reversed(list(enumerate(jpegs))[-FLICKR_ITEMS:]):
        stem = name[: -len(".jpg")]
        owner = f"{10000000 + k % 7}@N0{k % 3}"
        items.append({
            "title": f"Fan's picture {k}",
            "link": f"https://www.flickr.com/photos/{owner}/{53000000000 + k}/",
            "media": {"m": f"{image_base}/media/flickr/{stem}_m.jpg"},
            "date_taken": "2026-12-08T10:00:00-08:00",
            "description": f" <p><a href=\"https://www.flickr.com/people/{owner}/\">Fan's "
                           f"photos</a> posted a photo:</p> ",
            "published": _now()[:19] + "Z",
            "author": f"nobody@flickr.com (\"Fan {k % 7}'s camera\")",
            "author_id": owner,
            "tags": " ".join(tags),
        })
    feed = {"title": "Recent Uploads tagged " + ",".join(tags),
            "link": "https://www.flickr.com/photos/tags/" + ",".join(tags) + "/",
            "description": "", "modified": _now()[:19] + "Z",
            "generator": "https://www.flickr.com", "items": items}
    text = json.dumps(feed, indent="\t", ensure_ascii=False)
    return text.replace("/", "\\/").replace("'", "\\'").encode("utf-8")


# --- Bluesky ---------------------------------------------------------------------------------

def bsky_did(handle):
    return BSKY_DID_PREFIX + "".join(c for c in handle.lower() if c.isalnum())[:24]


def _bsky_post(number, handle, image_base, names, labels, with_record=False):
    rkey = f"3kfake{number:06d}"
    did = bsky_did(handle)
    # Every other picture's address names no format, as older records do.
    suffix = "@jpeg" if number % 2 == 0 else ""
    images = {"$type": "app.bsky.embed.images#view", "images": [
        {"thumb": f"{image_base}/media/bsky/thumb/{name}{suffix}",
         "fullsize": f"{image_base}/media/bsky/fullsize/{name}{suffix}",
         "alt": f"picture {number}", "aspectRatio": {"width": 640, "height": 480}}
        for name in names]}
    embed = images
    if with_record:
        embed = {"$type": "app.bsky.embed.recordWithMedia#view", "media": images,
                 "record": {"record": {"$type": "app.bsky.embed.record#viewRecord",
                                       "uri": f"at://{did}/app.bsky.feed.post/3kquoted",
                                       "author": {"did": did, "handle": handle}}}}
    return {
        "uri": f"at://{did}/app.bsky.feed.post/{rkey}", "cid": f"bafyfake{number}",
        "author": {"did": did, "handle": handle, "displayName": handle.split(".")[0],
                   "labels": []},
        "record": {"$type": "app.bsky.feed.post", "text": f"picture {number}",
                   "createdAt": _now()},
        "embed": embed, "replyCount": 0, "repostCount": 0, "likeCount": 0,
        "indexedAt": _now(),
        "labels": [{"src": "did:plc:fakelabeler", "uri": f"at://{did}/app.bsky.feed.post/{rkey}",
                    "val": value, "cts": _now()} for value in labels],
    }


def bsky_feed(handle, image_base, names, limit):
    """Newest first. Item k shows the k-th picture; every fourth is a repost of another
    account's post, every fifth quotes a post beside its picture, every sixth is labelled
    "porn", every seventh carries a label that is no concern ("bridged")."""
    feed = []
    for k, name in enumerate(names):
        labels = (["porn"] if k % 6 == 5 else []) + (["bridged"] if k % 7 == 6 else [])
        author = f"friend{k % 3}.fake.invalid" if k % 4 == 3 else handle
        item = {"post": _bsky_post(k, author, image_base, [name], labels, k % 5 == 4)}
        if k % 4 == 3:
            item["reason"] = {"$type": "app.bsky.feed.defs#reasonRepost",
                              "by": {"did": bsky_did(handle), "handle": handle},
                              "indexedAt": _now()}
        feed.append(item)
    feed.reverse()
    return {"feed": feed[:limit], "cursor": _now()}


def bsky_reply(path, values, image_base, names_for):
    """(status, reply object) of an xrpc GET."""
    bad = {"error": "InvalidRequest", "message": "Error: Params must have the property"}
    limit = _limit(values.get("limit"), BSKY_MAX_LIMIT)
    if path == BSKY_RESOLVE:
        handle = values.get("handle") or ""
        if not handle or handle.endswith(".invalid") and handle.startswith("nobody"):
            return 400, {"error": "InvalidRequest", "message": "Unable to resolve handle"}
        return 200, {"did": bsky_did(handle)}
    if path == BSKY_AUTHOR_FEED:
        actor = values.get("actor") or ""
        if not actor or values.get("filter") not in (None, "posts_with_media",
                                                    "posts_no_replies", "posts_with_replies"):
            return 400, bad
        return 200, bsky_feed(actor, image_base, names_for(actor.split(".")[0]), limit)
    feed = values.get("feed") or ""
    if not feed.startswith("at://" + BSKY_DID_PREFIX) or FEED_GENERATOR not in feed:
        return 400, {"error": "UnknownFeed", "message": "could not find feed"}
    name = feed.rsplit("/", 1)[1]
    return 200, bsky_feed("feeds.fake.invalid", image_base, names_for(name), limit)


def media_name(name):
    """The committed or photographed file a source's picture address names, and whether the
    large variant is asked for; None when the address is no source's."""
    if name.startswith("flickr/") and name[-6:] in ("_m.jpg", "_z.jpg", "_b.jpg"):
        return name[len("flickr/"):-6] + ".jpg", name.endswith("_b.jpg")
    for size in ("thumb/", "fullsize/"):
        if name.startswith("bsky/" + size):
            return name[len("bsky/" + size):].split("@", 1)[0], size == "fullsize/"
    return None
