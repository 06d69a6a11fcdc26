"""The public hashtag timeline: posts, boosts, sensitive posts, videos, PNGs, both image
sizes, since_id, the rate-limit headers and the refusals."""

import json
import ssl
import unittest
import urllib.error
import urllib.request

import signing_client as client
from service_process import ServiceTestCase

TIMELINE = "/api/v1/timelines/tag/"


def fetch(service, path, headers=None):
    """(status, headers, decoded JSON) of a GET to the API server."""
    context = ssl.create_default_context(cafile=service["ca_file"])
    request = urllib.request.Request(service["api_url"] + path, headers=headers or {})
    try:
        with urllib.request.urlopen(request, context=context, timeout=30) as reply:
            return reply.status, reply.headers, json.loads(reply.read())
    except urllib.error.HTTPError as error:
        return error.code, error.headers, json.loads(error.read())


def images_of(post):
    shown = post["reblog"] or post
    return [(a["type"], a["preview_url"], a["url"]) for a in shown["media_attachments"]]


class TimelineTest(ServiceTestCase):
    def test_posts_come_newest_first_with_boosts_sensitive_posts_videos_and_pngs(self):
        status, headers, posts = fetch(self.service, TIMELINE + "cats?limit=40&only_media=true")
        self.assertEqual(status, 200)
        self.assertEqual(len(posts), 12)
        ids = [int(p["id"]) for p in posts]
        self.assertEqual(ids, sorted(ids, reverse=True))
        boosts = [p for p in posts if p["reblog"]]
        self.assertTrue(boosts)
        for boost in boosts:
            self.assertEqual(boost["media_attachments"], [])
            self.assertTrue(boost["reblog"]["media_attachments"])
        self.assertTrue(any((p["reblog"] or p)["sensitive"] for p in posts))
        kinds = {kind for p in posts for kind, _, _ in images_of(p)}
        self.assertEqual(kinds, {"image", "video"})
        for ending in (".png", ".webp"):
            self.assertTrue(any(url.endswith(ending) for p in posts for _, _, url in images_of(p)))
        self.assertIsNotNone(headers["X-RateLimit-Reset"])
        self.assertGreater(int(headers["X-RateLimit-Remaining"]), 0)

        entry = self.last_entry(TIMELINE + "cats")
        self.assertEqual((entry["tag"], entry["limit"], entry["image_set"]), ("cats", 40, "cats"))

    def test_both_image_sizes_are_served(self):
        _, _, posts = fetch(self.service, TIMELINE + "cats?limit=40")
        oldest = images_of(posts[-1])[0]
        self.assertTrue(oldest[1].endswith("/media/a01.jpg"), oldest)
        self.assertTrue(oldest[2].endswith("/media/original/a01.jpg"), oldest)
        with client.urlopen(oldest[1], None) as small, client.urlopen(oldest[2], None) as large:
            small_bytes, large_bytes = small.read(), large.read()
        self.assertEqual(small_bytes[:2], b"\xff\xd8")
        self.assertEqual(large_bytes[:2], b"\xff\xd8")
        self.assertGreater(len(large_bytes), len(small_bytes))
        served = [e for e in self.running.log() if e.get("media") == "a01.jpg"]
        self.assertEqual([e["served"] for e in served], ["a01.jpg", "orig/a01.jpg"])

    def test_limit_since_id_and_further_tags(self):
        _, _, posts = fetch(self.service, TIMELINE + "dogs?limit=3")
        self.assertEqual(len(posts), 3)
        _, _, all_posts = fetch(self.service, TIMELINE + "dogs?limit=40")
        newer = fetch(self.service, TIMELINE + "dogs?limit=40&since_id=" + all_posts[2]["id"])[2]
        self.assertEqual([p["id"] for p in newer], [p["id"] for p in all_posts[:2]])
        self.assertEqual(fetch(self.service, TIMELINE + "dogs?since_id=" + all_posts[0]["id"])[2], [])
        self.assertEqual(len(fetch(self.service, TIMELINE + "dogs?limit=99")[2]), 12)

        fetch(self.service, TIMELINE + "%E3%81%AD%E3%81%93?limit=5&any[]=dogs&any[]=x",
              {"User-Agent": "tilvane/0.1.0"})
        entry = self.running.log()[-1]
        self.assertEqual(entry["tag"], "ねこ")
        self.assertEqual(entry["image_set"], "cats")
        self.assertEqual(entry["any"], ["dogs", "x"])
        self.assertEqual(entry["user_agent"], "tilvane/0.1.0")

    def test_armed_refusals_and_rate_limits(self):
        for mode, code in (("status401", 401), ("status403", 403)):
            self.running.misbehave(path=TIMELINE, mode=mode)
            status, _, body = fetch(self.service, TIMELINE + "cats")
            self.assertEqual(status, code)
            self.assertIn("error", body)
        self.running.misbehave(path=TIMELINE, mode="status429", seconds=40)
        status, headers, _ = fetch(self.service, TIMELINE + "cats")
        self.assertEqual(status, 429)
        self.assertEqual(headers["X-RateLimit-Remaining"], "0")
        self.running.misbehave(path=TIMELINE, mode="exhausted")
        status, headers, posts = fetch(self.service, TIMELINE + "cats")
        self.assertEqual((status, headers["X-RateLimit-Remaining"]), (200, "0"))
        self.assertTrue(posts)
        self.assertEqual(fetch(self.service, TIMELINE + "cats")[0], 200, "armed once")


class TimelineWithTokenTest(ServiceTestCase):
    service_arguments = ("--timeline-token", "t0ken")

    def test_only_the_bearer_token_opens_the_timeline(self):
        self.assertEqual(fetch(self.service, TIMELINE + "cats")[0], 401)
        self.assertEqual(fetch(self.service, TIMELINE + "cats", {"Authorization": "Bearer no"})[0], 401)
        status, _, posts = fetch(self.service, TIMELINE + "cats", {"Authorization": "Bearer t0ken"})
        self.assertEqual(status, 200)
        self.assertTrue(posts)
        self.assertEqual(self.running.log()[-1]["authorization"], "Bearer t0ken")


class TimelineWithClosedFeedsTest(ServiceTestCase):
    service_arguments = ("--hashtag-feeds", "public,disabled")

    def test_the_instance_names_its_feeds_and_only_the_local_one_answers(self):
        status, _, instance = fetch(self.service, "/api/v2/instance")
        self.assertEqual(status, 200)
        self.assertEqual(instance["configuration"]["timelines_access"]["hashtag_feeds"],
                         {"local": "public", "remote": "disabled"})
        self.assertEqual(fetch(self.service, TIMELINE + "cats")[0], 401)
        status, _, posts = fetch(self.service, TIMELINE + "cats?local=true")
        self.assertEqual(status, 200)
        self.assertTrue(posts)
        self.assertEqual(self.running.log()[-1]["local"], "true")


if __name__ == "__main__":
    unittest.main()
