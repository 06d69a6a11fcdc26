"""Search results shaped like the service's v1.1 search reply, with image sets chosen by
keyword."""

import json
import time
from urllib.parse import quote

CATS = [f"a{n:02d}.jpg" for n in range(1, 13)]
DOGS = [f"b{n:02d}.jpg" for n in range(1, 13)]
LARGE = ["c01.jpg", "c02.jpg"]
DUPLICATES = ["d01.jpg", "d02.jpg", "d03.jpg", "d04.jpg"]
PNGS = ["p01.png", "p02.png", "p03.png"]
WEBPS = ["p04.webp"]  # served to the hashtag timeline only
BROKEN = ["x01.jpg", "x02.jpg", "x03.jpg", "x04.jpg"]
MIXED = ["a01.jpg", "p01.png", "x01.jpg", "b01.jpg", "p02.png", "x02.jpg", "a02.jpg", "b02.jpg"]
DEFAULT = CATS + DOGS + LARGE

# Each entry: media names used in turn, photos per status.
IMAGE_SETS = {
    "cats": (CATS, 1),
    "dogs": (DOGS, 1),
    "png": (PNGS, 1),
    "empty": ([], 1),
    "broken": (BROKEN, 1),
    "dupes": (DUPLICATES, 1),
    "mixed": (MIXED, 1),
    "multi": (DEFAULT, 3),
    "rotate": (DEFAULT, 1),
    "photos": (DEFAULT, 1),
    "default": (DEFAULT, 1),
}

KEYWORD_ALIASES = {"猫": "cats", "ねこ": "cats", "犬": "dogs", "いぬ": "dogs"}

MAX_COUNT = 100
DEFAULT_COUNT = 15
FIRST_STATUS_ID = 1_400_000_000_000_000_000
FIRST_MEDIA_ID = 1_300_000_000_000_000_000


def media_files() -> list[str]:
    names = set(DEFAULT + DUPLICATES + PNGS + WEBPS + BROKEN)
    return sorted(names)


def image_set_for(keyword: str) -> str:
    """Exact keyword first, then the first word of it that names a set."""
    words = [keyword.strip()] + keyword.split()
    for word in words:
        word = KEYWORD_ALIASES.get(word, word.lower())
        if word in IMAGE_SETS:
            return word
    return "default"


def parse_count(text: str | None) -> int:
    if text is None or not text.strip().isdigit():
        return DEFAULT_COUNT
    return max(1, min(MAX_COUNT, int(text)))


def escape_slashes(json_text: str) -> str:
    # The service writes every "/" inside strings as "\/"; outside strings JSON has none.
    return json_text.replace("/", "\\/")


def _media_entity(name: str, image_base: str, secure_base: str, media_id: int, index: int) -> dict:
    path = f"/media/{name}"
    short = f"https://t.co/m{media_id % 100000:05d}"
    return {
        "id": media_id,
        "id_str": str(media_id),
        "indices": [index, index + len(short)],
        "media_url": image_base + path,
        "media_url_https": secure_base + path,
        "url": short,
        "display_url": f"pic.twitter.com/m{media_id % 100000:05d}",
        "expanded_url": f"https://twitter.com/fake/status/{media_id}/photo/1",
        "type": "photo",
        "sizes": {
            "thumb": {"w": 150, "h": 150, "resize": "crop"},
            "large": {"w": 1024, "h": 768, "resize": "fit"},
            "medium": {"w": 1024, "h": 768, "resize": "fit"},
            "small": {"w": 680, "h": 510, "resize": "fit"},
        },
    }


def _status(keyword, set_name, position, photos, image_base, secure_base, created):
    status_id = FIRST_STATUS_ID - position
    prefix = f"{keyword} photo {position + 1} "
    media = [
        _media_entity(name, image_base, secure_base, FIRST_MEDIA_ID + position * 10 + k, len(prefix))
        for k, name in enumerate(photos)
    ]
    user_id = 1000 + position % 7
    status = {
        "created_at": created,
        "id": status_id,
        "id_str": str(status_id),
        "text": prefix + (media[0]["url"] if media else ""),
        "truncated": False,
        "entities": {
            "hashtags": [],
            "symbols": [],
            "user_mentions": [],
            "urls": [],
            "media": media[:1],
        },
        "extended_entities": {"media": media},
        "metadata": {"iso_language_code": "ja", "result_type": "recent"},
        "source": '<a href="https://example.invalid" rel="nofollow">fake client</a>',
        "user": {
            "id": user_id,
            "id_str": str(user_id),
            "name": f"Fake {set_name} fan",
            "screen_name": f"fake_{set_name}_{user_id}",
            "profile_image_url": f"{image_base}/profile_images/{user_id}/avatar_normal.jpg",
            "profile_image_url_https": f"{secure_base}/profile_images/{user_id}/avatar_normal.jpg",
        },
        "geo": None,
        "retweet_count": position % 5,
        "favorite_count": position % 11,
        "lang": "ja",
    }
    return status


# Posts carry the time the service started, so that two replies of one run to the same
# search are the same bytes (tests compare a cut reply with a whole one).
_STARTED = time.gmtime()


def rolling_feed(names: list[str], count: int, served: int, fresh: int) -> tuple[list[str], int]:
    """One search of a feed that brings a few new pictures each time, like a busy hashtag:
    the first search (nothing `served` yet) brings `count` new ones, later ones the next
    `fresh`, followed by the latest earlier ones, which a wall already shows. Returns the
    names, newest first, and how many of them are new."""
    if not names or count <= 0:
        return [], 0
    new = count if served == 0 else min(fresh, count)
    chosen = [names[(served + k) % len(names)] for k in range(new)]
    chosen += [names[(served - 1 - k) % len(names)] for k in range(count - new)]
    return chosen, new


def build_search_reply(keyword: str, count: int, image_base: str, secure_base: str,
                       offset: int = 0, chosen: list[str] | None = None) -> bytes:
    """The reply body for a search: `count` statuses whose photos cycle through the set that
    the keyword names (no statuses for "empty"), starting `offset` photos into the set; or,
    when `chosen` is given, one status for each of those names."""
    set_name = image_set_for(keyword)
    names, per_status = IMAGE_SETS[set_name]
    if chosen is not None:
        names, per_status, offset, count = chosen, 1, 0, len(chosen)
    created = time.strftime("%a %b %d %H:%M:%S +0000 %Y", _STARTED)
    statuses = []
    if names:
        for position in range(count):
            start = offset + position * per_status
            photos = [names[(start + k) % len(names)] for k in range(per_status)]
            statuses.append(
                _status(keyword, set_name, position, photos, image_base, secure_base, created)
            )
    max_id = FIRST_STATUS_ID if statuses else 0
    encoded_query = quote(keyword, safe="")
    metadata = {
        "completed_in": 0.012,
        "max_id": max_id,
        "max_id_str": str(max_id),
        "next_results": f"?max_id={max_id - count}&q={encoded_query}&count={count}&include_entities=1",
        "query": keyword,
        "refresh_url": f"?since_id={max_id}&q={encoded_query}&include_entities=1",
        "count": count,
        "since_id": 0,
        "since_id_str": "0",
    }
    text = json.dumps({"statuses": statuses, "search_metadata": metadata}, separators=(",", ":"))
    return escape_slashes(text).encode("ascii")
