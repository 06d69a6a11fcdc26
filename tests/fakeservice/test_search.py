"""Signed searches: the shape of the reply, the image sets, and the signature checks."""

import json
import time
import unittest

import signing_client as client
from service_process import ServiceTestCase

SEARCH = "/1.1/search/tweets.json"
MEDIA_MARKER = b'"media_url":"'
SECURE_MARKER = b'"media_url_https":"'


def jpeg_links_as_the_application_scans_them(body: bytes) -> list[str]:
    """The application's scan: after each media marker, the URL up to the first ".jpg" if
    that lies before the next secure media marker; backslashes dropped."""
    links = []
    start = body.find(MEDIA_MARKER)
    while start != -1:
        start += len(MEDIA_MARKER)
        end, secure = body.find(b".jpg", start), body.find(SECURE_MARKER, start)
        if end != -1 and secure != -1 and secure > end:
            links.append(body[start:end + 4].replace(b"\\", b"").decode())
        start = body.find(MEDIA_MARKER, start)
    return links


def media_names(reply) -> list[str]:
    return [m["media_url"].rsplit("/", 1)[1]
            for s in reply.json()["statuses"] for m in s["entities"]["media"]]


class SearchReplyTest(ServiceTestCase):
    def test_reply_has_count_statuses_in_the_escaped_compact_shape(self):
        for count in (1, 7, 30):
            reply = client.signed_search(self.service, "cats", count)
            self.assertEqual(reply.status, 200)
            self.assertEqual(len(reply.json()["statuses"]), count)
            self.assertEqual(reply.json()["search_metadata"]["count"], count)
            self.assertNotIn(b"/", reply.body.replace(b"\\/", b""), "every slash is escaped")
            self.assertNotIn(b'": ', reply.body, "compact separators")
        image_url = self.service["image_url"].replace("/", "\\/").encode()
        self.assertIn(MEDIA_MARKER + image_url + b"\\/media\\/a01.jpg", reply.body)

    def test_media_url_precedes_its_secure_twin_and_both_name_one_file(self):
        reply = client.signed_search(self.service, "dogs", 5)
        for status in reply.json()["statuses"]:
            for media in status["entities"]["media"] + status["extended_entities"]["media"]:
                keys = list(media)
                self.assertLess(keys.index("media_url"), keys.index("media_url_https"))
                self.assertTrue(media["media_url"].startswith(self.service["image_url"] + "/media/"))
                self.assertTrue(media["media_url_https"].startswith(self.service["api_url"] + "/media/"))
                self.assertEqual(media["media_url"].rsplit("/", 1)[1], media["media_url_https"].rsplit("/", 1)[1])
                self.assertEqual(media["type"], "photo")

    def test_scanned_links_download_as_jpeg(self):
        reply = client.signed_search(self.service, "anything at all", 26)
        links = jpeg_links_as_the_application_scans_them(reply.body)
        # Each photo is written in entities and in extended_entities.
        self.assertEqual(len(links), 52)
        self.assertEqual(len(set(links)), 26)
        for link in sorted(set(links))[:3]:
            with client.urlopen(link, None) as image:
                data = image.read()
            self.assertEqual(image.headers["Content-Type"], "image/jpeg")
            self.assertEqual(data[:2], b"\xff\xd8")

    def test_keyword_chooses_the_image_set(self):
        cats = media_names(client.signed_search(self.service, "cats", 12))
        self.assertEqual(cats, [f"a{n:02d}.jpg" for n in range(1, 13)])
        self.assertEqual(media_names(client.signed_search(self.service, "CATS", 12)), cats)
        self.assertEqual(media_names(client.signed_search(self.service, "猫", 12)), cats)
        dogs = media_names(client.signed_search(self.service, "dogs", 3))
        self.assertEqual(dogs, ["b01.jpg", "b02.jpg", "b03.jpg"])
        self.assertEqual(client.signed_search(self.service, "empty", 20).json()["statuses"], [])

    def test_a_set_smaller_than_count_repeats_its_links(self):
        names = media_names(client.signed_search(self.service, "dupes", 10))
        self.assertEqual(len(names), 10)
        self.assertEqual(names[:4], ["d01.jpg", "d02.jpg", "d03.jpg", "d04.jpg"])
        self.assertEqual(names[4:8], names[:4])

    def test_png_and_multi_photo_sets_as_the_scan_sees_them(self):
        png = client.signed_search(self.service, "png", 6)
        self.assertEqual(len(png.json()["statuses"]), 6)
        self.assertEqual(jpeg_links_as_the_application_scans_them(png.body), [])
        multi = client.signed_search(self.service, "multi", 2)
        statuses = multi.json()["statuses"]
        self.assertEqual([len(s["entities"]["media"]) for s in statuses], [1, 1])
        self.assertEqual([len(s["extended_entities"]["media"]) for s in statuses], [3, 3])
        self.assertEqual(len(set(jpeg_links_as_the_application_scans_them(multi.body))), 6)

    def test_rotating_searches_move_on_through_the_default_set(self):
        first = media_names(client.signed_search(self.service, "rotate", 10))
        second = media_names(client.signed_search(self.service, "rotate", 10))
        third = media_names(client.signed_search(self.service, "rotate", 10))
        self.assertEqual(len(set(first + second)), 20)
        self.assertEqual(first[0], "a01.jpg")
        self.assertEqual((second[0], third[0]), ("a11.jpg", "b09.jpg"))
        self.assertEqual(third[6:], first[:4], "after 26 pictures it starts again")

    def test_keyword_that_is_not_utf8_is_flagged(self):
        url = self.service["api_url"] + SEARCH
        params = [("q", b"\x94\x4c"), ("count", "2")]  # a cat in Shift_JIS
        signed = client.oauth_parameters("GET", url, params, self.service["consumer_key"],
                                         self.service["consumer_secret"], self.service["access_token"],
                                         self.service["access_token_secret"])
        reply = client.exchange(url + "?" + client.form(signed), ca_file=self.service["ca_file"])
        self.assertEqual(reply.status, 200)
        self.assertEqual(self.last_entry(SEARCH)["keyword_not_utf8"], "944c")
        client.signed_search(self.service, "猫", 2)
        self.assertNotIn("keyword_not_utf8", self.last_entry(SEARCH))

    def test_japanese_keyword_is_decoded_as_utf8(self):
        reply = client.signed_search(self.service, "東京タワー", 2)
        self.assertEqual(reply.status, 200)
        self.assertTrue(reply.json()["statuses"][0]["text"].startswith("東京タワー"))
        self.assertIn(b"\\u6771", reply.body, "non-ASCII text is written as \\u escapes")
        entry = self.last_entry(SEARCH)
        self.assertEqual(entry["keyword"], "東京タワー")
        self.assertEqual(entry["image_set"], "default")

    def test_count_bounds_and_missing_keyword(self):
        def statuses(count):
            return len(client.signed_search(self.service, "cats", count).json()["statuses"])
        self.assertEqual(statuses(0), 1)
        self.assertEqual(statuses(500), 100)
        self.assertEqual(statuses("x"), 15)
        reply = client.signed_search(self.service, "", 5)
        self.assertEqual(reply.status, 400)
        self.assertEqual(reply.json()["errors"][0]["code"], 25)


class SignatureCheckTest(ServiceTestCase):
    def assert_refused(self, reply, code=32, reason=None):
        self.assertEqual(reply.status, 401)
        self.assertEqual(reply.json(), {"errors": [{"code": code, "message": reply.json()["errors"][0]["message"]}]})
        if code == 32:
            self.assertEqual(reply.json()["errors"][0]["message"], "Could not authenticate you.")
        entry = self.last_entry(SEARCH)
        self.assertEqual(entry["signature"], "bad")
        if reason:
            self.assertIn(reason, entry["reason"])

    def test_correct_signature_is_logged_as_ok(self):
        self.assertEqual(client.signed_search(self.service, "cats", 2).status, 200)
        entry = self.last_entry(SEARCH)
        self.assertEqual((entry["signature"], entry["reason"], entry["status"]), ("ok", "ok", 200))
        self.assertEqual(entry["http_version"], "HTTP/1.0")

    def test_bad_signature(self):
        self.assert_refused(client.signed_search(self.service, "cats", 2, corrupt_signature=True),
                            reason="signature mismatch")

    def test_wrong_secrets_and_keys(self):
        self.assert_refused(client.signed_search(self.service, "cats", 2, token_secret="wrong"),
                            reason="signature mismatch")
        bad_consumer = dict(self.service, consumer_key="someoneElse")
        self.assert_refused(client.signed_search(bad_consumer, "cats", 2), reason="consumer key")
        self.assert_refused(client.signed_search(self.service, "cats", 2, token="4000001-unknown"),
                            code=89, reason="token")

    def test_replayed_nonce(self):
        nonce, stamp = client.make_nonce(), int(time.time())
        self.assertEqual(client.signed_search(self.service, "cats", 2, nonce=nonce, timestamp=stamp).status, 200)
        self.assert_refused(client.signed_search(self.service, "cats", 2, nonce=nonce, timestamp=stamp),
                            reason="replayed nonce")
        # The same nonce with another timestamp is a new request.
        self.assertEqual(client.signed_search(self.service, "cats", 2, nonce=nonce, timestamp=stamp - 1).status, 200)

    def test_a_refused_request_does_not_use_up_its_nonce(self):
        nonce, stamp = client.make_nonce(), int(time.time())
        self.assert_refused(client.signed_search(self.service, "cats", 2, nonce=nonce, timestamp=stamp,
                                                 corrupt_signature=True))
        self.assertEqual(client.signed_search(self.service, "cats", 2, nonce=nonce, timestamp=stamp).status, 200)

    def test_stale_and_future_timestamps(self):
        now = int(time.time())
        self.assert_refused(client.signed_search(self.service, "cats", 2, timestamp=now - 1000), reason="stale")
        self.assert_refused(client.signed_search(self.service, "cats", 2, timestamp=now + 1000), reason="stale")
        self.assertEqual(client.signed_search(self.service, "cats", 2, timestamp=now - 200).status, 200)

    def test_protocol_parameter_rules(self):
        self.assert_refused(client.signed_search(self.service, "cats", 2, extra=[("oauth_version", "2.0")]),
                            reason="more than once")
        self.assert_refused(client.signed_search(self.service, "cats", 2, extra=[("oauth_nonce", "x")]),
                            reason="more than once")

    def test_other_methods_and_headers(self):
        url = self.service["api_url"] + SEARCH
        params = [("q", "cats"), ("count", "2")]
        signed = client.oauth_parameters("GET", url, params, self.service["consumer_key"],
                                         self.service["consumer_secret"], self.service["access_token"],
                                         self.service["access_token_secret"])
        reply = client.exchange(url + "?" + client.form(signed), ca_file=self.service["ca_file"],
                                extra_headers=['Authorization: OAuth oauth_consumer_key="x"'])
        self.assert_refused(reply, reason="Authorization header")
        # The base URL takes its host from the Host header: localhost signs as localhost.
        local = url.replace("127.0.0.1", "localhost")
        signed = client.oauth_parameters("GET", local, params, self.service["consumer_key"],
                                         self.service["consumer_secret"], self.service["access_token"],
                                         self.service["access_token_secret"])
        reply = client.exchange(local + "?" + client.form(signed), ca_file=self.service["ca_file"])
        self.assertEqual(reply.status, 200)


class RevocationTest(ServiceTestCase):
    def test_revoked_token_no_longer_searches(self):
        issued = self.running.control("/_test/revoke", {"access_token": "not-issued"})
        self.assertEqual(json.loads(issued), {"revoked": 0})
        for malformed in ([], {"access_token": 5}):
            with self.assertRaises(client.urllib.error.HTTPError) as failure:
                self.running.control("/_test/revoke", malformed)
            self.assertEqual(failure.exception.code, 400)
        self.assertEqual(client.signed_search(self.service, "cats", 2).status, 200)
        self.assertEqual(json.loads(self.running.control("/_test/revoke", {})), {"revoked": 1})
        reply = client.signed_search(self.service, "cats", 2)
        self.assertEqual(reply.status, 401)
        self.assertEqual(reply.json()["errors"][0]["code"], 89)


if __name__ == "__main__":
    unittest.main()
