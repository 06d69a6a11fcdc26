"""Whole search cycles on Windows code paths: a signed search over verified TLS, WinINet
downloads and OLE decoding fill the grid, driven through programs/cycle_probe.cpp against
the fake service."""

import unittest

import harness
from harness import DEFAULT_OPTIONS
from test_download_wine import jpeg_size

MEDIA = harness.SOURCE_DIR / "tools" / "fakeservice" / "media"
SEARCH_PATH = "/1.1/search/tweets.json"
# A 750 × 375 client area gives cells of 75 × 75.
CELL = 75
CYCLE_OPTIONS = dict(DEFAULT_OPTIONS, window_wid=750, window_hei=375, serch_ken=20, original=0)


def expected_rect(index):
    column, row = index % 10, index // 10
    return [column * CELL, row * CELL, column * CELL + CELL, row * CELL + CELL]


def media_name(url):
    return url.rsplit("/", 1)[1]


class SearchCycleUnderWine(harness.ProbeTestCase):
    PROBE_EXE = harness.PROGRAMS_DIR / "cycle_probe.exe"

    def run_cycles(self, name, cycles=1, pin_count=0, **options):
        """(probe reply, log entries the run caused)."""
        workdir = self.session.workdir(name, options=dict(CYCLE_OPTIONS, **options),
                                       service=self.service_txt)
        before = max((e.get("seq", 0) for e in self.log_entries()), default=0)
        reply = self.session.run_json(
            self.PROBE_EXE, "--workdir", self.session.windows_path(workdir), "--cycles", cycles,
            "--pin-count", pin_count, "--token", self.info["access_token"],
            "--token-secret", self.info["access_token_secret"], timeout=120)
        self.assertTrue(reply["config_loaded"])
        return reply, [e for e in self.log_entries() if e.get("seq", 0) > before]

    def assert_one_signed_search(self, entries, keyword, count):
        searches = [e for e in entries if e.get("path") == SEARCH_PATH]
        self.assertEqual(len(searches), 1, searches)
        self.assertEqual(searches[0]["signature"], "ok", searches[0].get("reason"))
        self.assertEqual(searches[0]["keyword"], keyword)
        self.assertEqual(str(searches[0]["count"]), str(count))

    def image_requests(self, entries):
        return [e for e in entries if e.get("media")]

    def assert_grid(self, tiles, names, folder=MEDIA):
        self.assertEqual([media_name(t["name"]) for t in tiles], names)
        for index, tile in enumerate(tiles):
            path = folder / media_name(tile["name"])
            width, height = jpeg_size(path)
            with self.subTest(tile=tile["name"]):
                self.assertTrue(tile["name"].startswith(self.info["image_url"] + "/media/"))
                self.assertEqual(tile["rect"], expected_rect(index))
                self.assertEqual((tile["width"], tile["height"]), (width, height))
                self.assertEqual(tile["byte_size"], path.stat().st_size)
                self.assertEqual(tile["image_bytes"], path.stat().st_size)
                self.assertEqual(tile["replaceable"], 1)

    def test_cycle_fills_the_grid_in_order_and_a_repeat_brings_nothing(self):
        reply, entries = self.run_cycles("cycle-cats", cycles=2, kensaku_word="cats")
        cats = ["a%02d.jpg" % n for n in range(1, 13)]
        self.assertEqual(reply["cycles"], [{"queued": 12, "tiles_pending": 1},
                                           {"queued": 0, "tiles_pending": 0}])
        self.assert_grid(reply["tiles"], cats)
        self.assertTrue(all(t["new_mark"] == 255 for t in reply["tiles"]))
        self.assertEqual(reply["cursor"], [1, 1])

        searches = [e for e in entries if e.get("path") == SEARCH_PATH]
        self.assertEqual([(e["signature"], str(e["count"])) for e in searches],
                         [("ok", "20"), ("ok", "20")])
        # Twenty posts repeat the twelve links, each twice in a post: every image is still
        # fetched once, and the second cycle finds them all on the wall already.
        downloads = self.image_requests(entries)
        self.assertEqual(sorted(e["media"] for e in downloads), cats)
        self.assertTrue(all(e["server"] == "image" and not e["orig"] for e in downloads))

    def test_count_asked_is_capped_by_the_replaceable_cells(self):
        reply, entries = self.run_cycles("cycle-dogs", kensaku_word="dogs", serch_ken=30,
                                         pin_count=45)
        self.assertEqual(reply["replaceable_count"], 5)
        self.assert_one_signed_search(entries, "dogs", 5)
        self.assert_grid(reply["tiles"], ["b%02d.jpg" % n for n in range(1, 6)])

        reply, entries = self.run_cycles("cycle-dogs-30", kensaku_word="dogs", serch_ken=30,
                                         pin_count=12)
        self.assert_one_signed_search(entries, "dogs", 30)
        self.assert_grid(reply["tiles"], ["b%02d.jpg" % n for n in range(1, 13)])

    def test_original_fetches_the_full_size_pictures_under_the_plain_names(self):
        reply, entries = self.run_cycles("cycle-original", kensaku_word="cats", original=1)
        self.assert_one_signed_search(entries, "cats", 20)
        downloads = self.image_requests(entries)
        self.assertEqual(len(downloads), 12)
        for request in downloads:
            self.assertTrue(request["orig"], request)
            self.assertTrue(request["path"].endswith(":orig"), request)
        tiles = reply["tiles"]
        self.assertTrue(all(not t["name"].endswith(":orig") for t in tiles))
        # a01 to a04 have pictures twice their size; the rest are served as they are.
        self.assert_grid(tiles[:4], ["a01.jpg", "a02.jpg", "a03.jpg", "a04.jpg"],
                         folder=MEDIA / "orig")
        self.assertEqual([media_name(t["name"]) for t in tiles[4:]],
                         ["a%02d.jpg" % n for n in range(5, 13)])
        for index, tile in enumerate(tiles[4:], start=4):
            self.assertEqual(tile["rect"], expected_rect(index))
            self.assertEqual(tile["byte_size"], (MEDIA / media_name(tile["name"])).stat().st_size)

    def test_duplicate_pictures_are_queued_once(self):
        # d01 and d02 are the same bytes; d03 and d04 differ but share size and byte count.
        reply, entries = self.run_cycles("cycle-dupes", kensaku_word="dupes")
        self.assertEqual(reply["cycles"], [{"queued": 2, "tiles_pending": 1}])
        self.assert_grid(reply["tiles"], ["d01.jpg", "d03.jpg"])
        downloads = [e["media"] for e in self.image_requests(entries)]
        self.assertEqual(sorted(set(downloads)), ["d01.jpg", "d02.jpg", "d03.jpg", "d04.jpg"])
        # A queued link is known from then on, and a refused one is not fetched again in the
        # same cycle, however often the reply mentions it.
        for name in ("d01.jpg", "d02.jpg", "d03.jpg", "d04.jpg"):
            self.assertEqual(downloads.count(name), 1, name)

    def test_sets_without_usable_jpegs_queue_nothing(self):
        reply, entries = self.run_cycles("cycle-broken", kensaku_word="broken")
        self.assertEqual(reply["cycles"], [{"queued": 0, "tiles_pending": 0}])
        self.assertEqual(reply["tiles"], [])
        self.assertEqual(reply["cursor"], [-1, 0])
        self.assertEqual(sorted(e["media"] for e in self.image_requests(entries)),
                         ["x01.jpg", "x02.jpg", "x03.jpg", "x04.jpg"])

        reply, entries = self.run_cycles("cycle-png", kensaku_word="png")
        self.assertEqual(reply["cycles"], [{"queued": 0, "tiles_pending": 0}])
        self.assertEqual(reply["tiles"], [])
        self.assert_one_signed_search(entries, "png", 20)
        # Links that are not ".jpg" are never fetched.
        self.assertEqual(self.image_requests(entries), [])


if __name__ == "__main__":
    unittest.main()
