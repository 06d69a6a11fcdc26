"""Each armed misbehaviour breaks the answer the way it says, for the chosen requests only."""

import json
import re
import unittest
import urllib.error

import signing_client as client
from service_process import RunningService, ServiceTestCase

SEARCH = "/1.1/search/tweets.json"


class MisbehaviourTest(ServiceTestCase):
    def search(self, keyword="cats", count=20):
        return client.signed_search(self.service, keyword, count)

    def image(self, name="a10.jpg"):
        return client.exchange(self.service["image_url"] + "/media/" + name)

    def test_stall_answers_nothing_and_closes_after_its_bound(self):
        self.running.misbehave(path=SEARCH, mode="stall", seconds=1)
        reply = self.search()
        self.assertEqual(reply.raw, b"")
        self.assertEqual(self.last_entry(SEARCH)["misbehaviour"], "stall")
        self.assertEqual(self.search().status, 200, "armed once by default")

    def test_reset_cuts_the_reply_with_a_tcp_reset(self):
        full = self.image().raw
        self.running.misbehave(path="/media/a10.jpg", mode="reset", bytes=300)
        cut = self.image()
        self.assertTrue(cut.reset)
        # The two replies may carry Date headers a second apart.
        self.assertEqual(len(cut.raw), 300)
        self.assertEqual(re.sub(rb"Date: [^\r]*", b"", cut.raw),
                         re.sub(rb"Date: [^\r]*", b"", full[: 300]))
        # Over TLS the cut reply is a prefix of the whole one as well.
        self.running.misbehave(path=SEARCH, mode="reset")
        partial = self.search()
        whole = self.search()
        self.assertLess(len(partial.raw), len(whole.raw))
        self.assertEqual(partial.status, 200)
        self.assertEqual(partial.body, whole.body[: len(partial.body)])

    def test_truncate_promises_more_than_it_sends(self):
        self.running.misbehave(path=SEARCH, mode="truncate")
        reply = self.search()
        self.assertFalse(reply.reset)
        self.assertEqual(reply.status, 200)
        self.assertGreater(int(reply.headers["content-length"]), len(reply.body))
        self.assertGreater(len(reply.body), 0)

    def test_garbage_is_not_http(self):
        self.running.misbehave(path=SEARCH, mode="garbage", bytes=500)
        reply = self.search()
        self.assertEqual(len(reply.raw), 500)
        self.assertFalse(reply.raw.startswith(b"HTTP/"))

    def test_error_statuses_carry_bodies(self):
        self.running.misbehave(path=SEARCH, mode="status404")
        reply = self.search()
        self.assertEqual(reply.status, 404)
        self.assertEqual(reply.json()["errors"][0]["code"], 34)
        self.running.misbehave(path=SEARCH, mode="status500")
        reply = self.search()
        self.assertEqual(reply.status, 500)
        self.assertIn("errors", reply.json())
        self.running.misbehave(path="/media/", mode="status500")
        reply = self.image()
        self.assertEqual(reply.status, 500)
        self.assertIn(b"<html>", reply.body)
        self.running.misbehave(path=SEARCH, mode="status401")
        reply = self.search()
        self.assertEqual(reply.status, 401)
        self.assertEqual(reply.json()["errors"][0]["code"], 32)
        self.running.misbehave(path="/media/", mode="status401", server="image")
        reply = self.image()
        self.assertEqual(reply.status, 401)
        self.assertIn(b"Unauthorized", reply.body)

    def test_manyscans_serves_a_progressive_header_with_empty_scans(self):
        self.running.misbehave(path="/media/a10.jpg", mode="manyscans", scans=500)
        reply = self.image()
        self.assertEqual(reply.status, 200)
        self.assertEqual(reply.headers["content-type"], "image/jpeg")
        self.assertTrue(reply.body.startswith(b"\xff\xd8") and reply.body.endswith(b"\xff\xd9"))
        self.assertEqual(reply.body.count(b"\xff\xda"), 500)
        self.assertIn(b"\xff\xc2\x00\x11\x08\x1f\x40\x1f\x40", reply.body, "8000 x 8000")
        self.assertEqual(self.last_entry("/media/a10.jpg")["misbehaviour"], "manyscans")
        self.assertNotEqual(self.image().body, reply.body, "armed once")

    def test_dribble_delivers_the_whole_reply_in_many_pieces(self):
        whole = self.image("c02.jpg")
        self.running.misbehave(path="/media/c02.jpg", mode="dribble", chunk=500, delay_ms=2)
        dribbled = self.image("c02.jpg")
        self.assertEqual(dribbled.body, whole.body)
        self.assertGreater(dribbled.pieces, 10)
        self.running.misbehave(path=SEARCH, mode="dribble")
        reply = self.search(count=5)
        self.assertEqual(len(reply.json()["statuses"]), 5)
        self.assertGreater(reply.pieces, 10)

    def test_oversize_sends_the_declared_twenty_mebibytes(self):
        normal = self.search(count=3)
        self.running.misbehave(path=SEARCH, mode="oversize")
        reply = self.search(count=3)
        self.assertEqual(reply.status, 200)
        self.assertEqual(int(reply.headers["content-length"]), 20 * 1024 * 1024)
        self.assertEqual(len(reply.body), 20 * 1024 * 1024)
        padded = json.loads(reply.body)
        self.assertEqual([s["id"] for s in padded["statuses"]], [s["id"] for s in normal.json()["statuses"]])

    def test_delay_answers_in_full_after_waiting(self):
        self.running.misbehave(path=SEARCH, mode="delay", seconds=0.5)
        reply = self.search(count=4)
        self.assertEqual(len(reply.json()["statuses"]), 4)
        self.assertEqual(self.last_entry(SEARCH)["misbehaviour"], "delay")

    def test_close_sends_nothing(self):
        self.running.misbehave(path=SEARCH, mode="close")
        self.assertEqual(self.search().raw, b"")

    def test_matching_by_keyword_server_path_prefix_and_times(self):
        self.running.misbehave(path=SEARCH, mode="status500", keyword="dogs", times=2)
        self.assertEqual(self.search("cats").status, 200)
        self.assertEqual([self.search("dogs").status for _ in range(3)], [500, 500, 200])

        self.running.misbehave(path="/media/", mode="status404", server="image", times=-1)
        self.assertEqual(self.image("a01.jpg").status, 404)
        self.assertEqual(client.exchange(self.service["image_url"] + "/media/b01.jpg:orig").status, 404)
        self.assertEqual(self.image("a01.jpg").status, 404, "times -1 never runs out")
        secure = client.exchange(self.service["api_url"] + "/media/a01.jpg", ca_file=self.service["ca_file"])
        self.assertEqual(secure.status, 200, "restricted to the image server")
        self.running.reset()
        self.assertEqual(self.image("a01.jpg").status, 200, "reset disarms")

    def test_bad_requests_to_arm_are_refused(self):
        for arming in ({"path": SEARCH, "mode": "explode"}, {"mode": "stall"},
                     {"path": SEARCH, "mode": "stall", "seconds": 61},
                     {"path": SEARCH, "mode": "stall", "times": 0}, "not an object"):
            with self.subTest(arming=arming):
                with self.assertRaises(urllib.error.HTTPError) as failure:
                    self.running.control("/_test/misbehave", arming)
                self.assertEqual(failure.exception.code, 400)
        self.assertEqual(json.loads(self.running.control("/_test/misbehaviours")), [])


class CommandLineMisbehaviourTest(unittest.TestCase):
    def test_misbehaviour_armed_at_start(self):
        running = RunningService("--misbehave", json.dumps({"path": SEARCH, "mode": "status404", "times": 1}))
        try:
            self.assertEqual(client.signed_search(running.info, "cats", 2).status, 404)
            self.assertEqual(client.signed_search(running.info, "cats", 2).status, 200)
        finally:
            self.assertEqual(running.stop(), 0)

    def test_malformed_misbehaviour_stops_the_start(self):
        with self.assertRaises(RuntimeError) as failure:
            RunningService("--misbehave", '{"path": "/x", "mode": "nonsense"}')
        self.assertIn("--misbehave", str(failure.exception))


if __name__ == "__main__":
    unittest.main()
