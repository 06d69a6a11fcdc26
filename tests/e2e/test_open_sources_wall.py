"""The wall fed by Misskey, Flickr and Bluesky: tilvane.exe under Wine with source=misskey,
flickr or bluesky in service.txt, no key.txt and no PIN, against the fake service's stand-in
for each: the request each source sends, the pictures in reply order, and the two copy
commands giving the address the tile came from and the source's full-size address."""

import sys
import unittest

import harness
import menu_driving as menu
import service_programs
from harness import DEFAULT_OPTIONS
from wall_pixels import RED, WallLayout, close_colours

sys.path.insert(0, str(harness.SOURCE_DIR / "tools" / "fakeservice"))
import open_sources  # noqa: E402
import search_results  # noqa: E402

LAYOUT = WallLayout(755, 380)
OPTIONS = dict(DEFAULT_OPTIONS, serch_ken=20, kotei_render=1,
               window_wid=LAYOUT.client_width, window_hei=LAYOUT.client_height,
               window_kotei=1, window_zzahyo=1, window_x=40, window_y=50)
IDM_COPY_URL, IDM_COPY_ORIGINAL_URL = 40020, 40021
# The cats set's pictures, newest first: every source lists its posts in that order.
CATS = list(reversed(search_results.IMAGE_SETS["cats"][0]))
SHOWN = 6


class WallFromOpenSources(service_programs.ProgramFixture, harness.WineTestCase):
    BASE_OPTIONS = OPTIONS

    def fill_wall(self, source, keyword):
        """Starts a program reading `source` (sensitive posts shown, so every source's order
        is its reply's) and waits until its first SHOWN cells wear a red frame. The service's
        log entries and the program."""
        self.service = self.session.fake_service()
        self.addCleanup(self.service.stop)
        service_txt = "source=%s\nshow_sensitive=1\n%s" % (source, self.service_config())
        workdir = self.session.workdir(source, options=dict(OPTIONS, kensaku_word=keyword),
                                       key=None, service=service_txt)
        program = self.start(workdir)

        def filled():
            image = self.session.capture(program.hwnd, source)
            return image if all(LAYOUT.has_frame(image, i, RED) for i in range(SHOWN)) else None
        image = self.wait_for("the %s pictures" % source, filled, 60)
        self.session.screenshot("open-source-" + source)
        for index, name in enumerate(CATS[:SHOWN]):
            with self.subTest(source=source, cell=index, image=name):
                self.assertTrue(close_colours(LAYOUT.interior_mean(image, index),
                                              LAYOUT.expected_interior_mean(name), 24))
        entries = self.service.log_entries()
        self.assertFalse([e for e in entries if e.get("path", "").startswith("/oauth/")])
        return entries, program

    def assert_copies(self, program, tile_address, original_address):
        for command, address in ((IDM_COPY_URL, tile_address),
                                 (IDM_COPY_ORIGINAL_URL, original_address)):
            menu.set_clipboard(self.session, "before")
            menu.choose_on_cell(self.session, program.hwnd, LAYOUT, 0, command)
            self.wait_for("clipboard %r" % address,
                          lambda: menu.clipboard_text(self.session) == address, 10)
        program.exit_command()
        self.assertEqual(program.wait_exit(), 0)

    def requests(self, entries, path):
        found = [e for e in entries if e.get("path") == path]
        self.assertTrue(found, "no request for " + path)
        for entry in found:
            self.assertEqual(entry["user_agent"], "tilvane/" + harness.project_version())
            self.assertEqual(entry["status"], 200, entry)
        return found

    def test_misskey_posts_the_tag_and_copies_thumbnail_and_url(self):
        entries, program = self.fill_wall("misskey", "#cats ねこ")
        first = self.requests(entries, open_sources.MISSKEY_PATH)[0]
        self.assertEqual(first["method"], "POST")
        self.assertEqual(first["body_json"], {"tag": "cats", "withFiles": True, "limit": 20})
        self.assertTrue(first["headers"]["Content-Type"].startswith("application/json"))
        base = self.service.info["image_url"] + "/media/"
        self.assert_copies(program, base + CATS[0], base + "original/" + CATS[0])

    def test_flickr_reads_the_quirky_feed_and_copies_the_z_and_b_sizes(self):
        entries, program = self.fill_wall("flickr", "cats ねこ")
        first = self.requests(entries, open_sources.FLICKR_PATH)[0]
        self.assertEqual(first["query_params"],
                         {"tags": "cats,ねこ", "tagmode": "any", "format": "json",
                          "nojsoncallback": "1"})
        stem = self.service.info["image_url"] + "/media/flickr/" + CATS[0][:-len(".jpg")]
        self.assert_copies(program, stem + "_z.jpg", stem + "_b.jpg")

    def test_bluesky_reads_an_account_and_copies_thumb_and_fullsize_with_a_format(self):
        entries, program = self.fill_wall("bluesky", "https://bsky.app/profile/cats.fake.invalid")
        first = self.requests(entries, open_sources.BSKY_AUTHOR_FEED)[0]
        self.assertEqual(first["query_params"], {"actor": "cats.fake.invalid",
                                                 "filter": "posts_with_media", "limit": "20"})
        self.assertFalse([e for e in entries if "searchPosts" in e.get("path", "")])
        # The newest post's addresses name no format: the program adds "@jpeg".
        base = self.service.info["image_url"] + "/media/bsky/"
        self.assert_copies(program, base + "thumb/%s@jpeg" % CATS[0],
                           base + "fullsize/%s@jpeg" % CATS[0])


if __name__ == "__main__":
    unittest.main()
