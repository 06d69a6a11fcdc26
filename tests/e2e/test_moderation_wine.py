"""What the user keeps off the wall, through tilvane.exe under Wine against the fake service's
growing "photos" hashtag timeline: a hidden picture leaves at once, is listed in hidden.txt
and its re-encoded copy under another address stays off while new pictures come; a hidden
author's tiles leave together and the author's next post is not even fetched; "投稿を開く"
hands the post's page to the browser; with "似た画像を並べない" on, a copy of a picture on the
wall is not placed, with it off it is.

With TILVANE_E2E_DOCS=1 the test also renders docs/context-menu-moderation.png."""

import re
import subprocess
import sys
import unittest
import urllib.parse

import harness
import menu_driving as menu
import service_programs
from harness import DEFAULT_OPTIONS
from test_fediverse_wall import timeline_requests
from wall_pixels import COLUMNS, ROWS, WallLayout, close_colours

sys.path.insert(0, str(harness.SOURCE_DIR / "tools" / "fakeservice"))
import timeline_results  # noqa: E402

LAYOUT = WallLayout(755, 380)
OPTIONS = dict(DEFAULT_OPTIONS, kensaku_word="#photos", serch_ken=5,
               window_wid=LAYOUT.client_width, window_hei=LAYOUT.client_height,
               window_kotei=1, window_zzahyo=1, window_x=40, window_y=50)
IDM_HIDE_PICTURE, IDM_HIDE_AUTHOR, IDM_OPEN_POST = 40026, 40027, 40028
# Photograph-like pictures, fractal plasma between two colours (the drawn test pictures are
# symmetric, which a perceptual hash holds badly). The feed shows the newest five of the first
# forty at first (m35 to m39), then one more with every search: two new pictures, a copy of
# m39, a copy of m38, a last new picture.
PLASMA = {35: "green-lime", 36: "purple-pink", 37: "navy-white", 38: "blue-cyan",
          39: "red-yellow", 40: "olive-khaki", 41: "teal-silver", 44: "black-gray"}
COPIES = {42: (39, ["-resize", "150%", "-quality", "70"]), 43: (38, ["-quality", "55"])}
FILLER = "orange-brown"
FEED_LENGTH = 45
HIDDEN, KEPT, LAST = "m39.jpg", "m38.jpg", "m44.jpg"
# The fake names post k's author fan<k % 7>: m36 and m43 are fan1's, m37 and m44 fan2's.
FAN1, FAN2 = "m36.jpg", "m37.jpg"


def post_page(name):
    """The page of the fake timeline's post that shows the photograph (not a boost)."""
    number = int(name[1:3])
    return "https://fake.invalid/@fan/%d" % (timeline_results.FIRST_POST_ID + 1000 * (number + 1))


def convert(*arguments):
    subprocess.run(["convert"] + [str(a) for a in arguments], check=True, timeout=60)


def photo_feed(folder):
    """The feed's FEED_LENGTH pictures m00.jpg on, the copies re-encoded by ImageMagick."""
    folder.mkdir(parents=True, exist_ok=True)
    for index in range(FEED_LENGTH):
        if index not in COPIES:
            convert("-size", "320x240", "-seed", index if index in PLASMA else 1,
                    "plasma:" + PLASMA.get(index, FILLER), "-quality", "90",
                    folder / ("m%02d.jpg" % index))
    for index, (source, options) in COPIES.items():
        convert(folder / ("m%02d.jpg" % source), *options, folder / ("m%02d.jpg" % index))
    return folder


class KeepingPicturesOffTheWall(service_programs.ProgramFixture, harness.WineTestCase):
    BASE_OPTIONS = OPTIONS

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.photos = photo_feed(cls.session.tmp / "moderation-photos")
        cls.browser_record = service_programs.install_browser_stand_in(cls.session)

    def start_feed(self, name, similar_skip):
        self.service = self.session.fake_service(
            arguments=("--photo-dir", str(self.photos), "--photo-fresh", "1"))
        self.addCleanup(self.service.stop)
        self.workdir = self.session.workdir(
            name, options=dict(self.BASE_OPTIONS), key=None,
            service="source=mastodon\nshow_sensitive=1\n" + self.service_config())
        (self.workdir / "txts" / "wall.txt").write_text("similar_skip=%d\n" % similar_skip)
        return self.start(self.workdir)

    def cells_like(self, image, name):
        expected = LAYOUT.expected_interior_mean(name, folder=self.photos)
        return [i for i in range(COLUMNS * ROWS)
                if close_colours(LAYOUT.interior_mean(image, i), expected, 20)]

    def wait_for_cells(self, program, name, count, timeout):
        return self.wait_for("%d cells showing %s" % (count, name), lambda: len(self.cells_like(
            self.session.capture(program.hwnd, "moderation"), name)) == count, timeout)

    def served(self, name):
        return any(e.get("media") == name and e.get("status") == 200
                   for e in self.service.log_entries())

    def wall_after_the_last_picture(self, program):
        """The wall once the feed's last picture is on it (its copies came before it)."""
        self.wait_for("the last picture served", lambda: self.served(LAST), 90)
        self.wait_for_cells(program, LAST, 1, 20)
        return self.session.capture(program.hwnd, "moderation-last")

    def choose_on(self, program, index, command, doc=None):
        left, top = self.session.probe("info", "--hwnd", program.hwnd)["client"][:2]
        x, y = LAYOUT.centre(index)
        report = menu.open_context_menu(self.session, left + x, top + y)
        if doc:
            self.write_doc(program, doc)
        menu.choose(self.session, command)
        return menu.items_by_id(report["menus"][-1]["items"])

    def hide_author_of(self, program, name):
        """Hides the author of the tile showing `name`; the wall once that tile has left."""
        cells = self.cells_like(self.session.capture(program.hwnd, "moderation-author"), name)
        self.assertEqual(len(cells), 1, name)
        self.choose_on(program, cells[0], IDM_HIDE_AUTHOR)
        self.wait_for("the author's tile black", lambda: close_colours(LAYOUT.interior_mean(
            self.session.capture(program.hwnd, "moderation-author-gone"), cells[0]),
            (0, 0, 0), 4), 5)
        return self.session.capture(program.hwnd, "moderation-author-gone")

    def listed_authors(self):
        return re.findall(r"^author=([^,\n]*),source=mastodon,$",
                          (self.workdir / "txts" / "hidden.txt").read_text(), re.MULTILINE)

    def test_a_hidden_picture_leaves_at_once_and_its_copy_stays_off(self):
        program = self.start_feed("moderation-hide", similar_skip=0)
        self.wait_for_cells(program, HIDDEN, 1, 60)
        image = self.session.capture(program.hwnd, "moderation-first")
        cell = self.cells_like(image, HIDDEN)[0]
        items = self.choose_on(program, cell, IDM_HIDE_PICTURE, doc="context-menu-moderation")
        # The timeline's posts name their author and page: all three commands are offered.
        self.assertEqual([(items[c]["text"], items[c]["grayed"]) for c in (
            IDM_HIDE_PICTURE, IDM_HIDE_AUTHOR, IDM_OPEN_POST)],
            [("この画像を表示しない", False), ("この投稿者を表示しない", False), ("投稿を開く", False)])

        self.wait_for("the hidden cell black", lambda: close_colours(LAYOUT.interior_mean(
            self.session.capture(program.hwnd, "moderation-hidden"), cell), (0, 0, 0), 4), 5)
        listed = (self.workdir / "txts" / "hidden.txt").read_text()
        address = "%s/media/%s" % (self.service.info["image_url"], HIDDEN)
        encoded = urllib.parse.quote(address, safe="")
        self.assertRegex(listed, r"^url=%s,hash=[0-9a-f]{16},\n$" % re.escape(encoded))

        image = self.wall_after_the_last_picture(program)
        self.assertTrue(self.served("m42.jpg"), "the copy was fetched and judged by its look")
        self.assertEqual(self.cells_like(image, HIDDEN), [])
        self.assertEqual(len(self.cells_like(image, KEPT)), 2, "box off: the copy is placed")

        # m43, the copy of m38, is fan1's post as m36 is: both leave, m38 (fan3's) stays.
        self.choose_on(program, self.cells_like(image, FAN1)[0], IDM_OPEN_POST)
        self.wait_for("the post's page opened", lambda: self.browser_record.exists() and
                      post_page(FAN1) in self.browser_record.read_text().split(), 20)
        self.assertEqual(len(self.cells_like(self.hide_author_of(program, FAN1), KEPT)), 1)
        self.assertEqual(self.listed_authors(), ["fan1"])
        program.exit_command()
        self.assertEqual(program.wait_exit(), 0)

    def test_with_similar_skip_a_copy_stays_off_and_a_hidden_authors_next_post_too(self):
        program = self.start_feed("moderation-similar", similar_skip=1)
        self.wait_for_cells(program, FAN2, 1, 60)
        self.hide_author_of(program, FAN2)
        self.assertEqual(self.listed_authors(), ["fan2"])

        # The feed's request after the one that first held m44 shows that reply read through.
        self.wait_for("the feed's last post offered and read", lambda: len(
            timeline_requests(self.service.log_entries())) > FEED_LENGTH - 40 + 1, 90)
        self.wait_for_cells(program, "m41.jpg", 1, 20)
        image = self.session.capture(program.hwnd, "moderation-similar-last")
        self.assertFalse(self.served(LAST), "a hidden author's post is not fetched")
        self.assertEqual(self.cells_like(image, LAST), [])
        self.assertEqual(len(self.cells_like(image, "m40.jpg")), 1)
        self.assertTrue(self.served("m43.jpg"))
        self.assertEqual(len(self.cells_like(image, KEPT)), 1)
        self.assertEqual(len(self.cells_like(image, HIDDEN)), 1)
        program.exit_command()
        self.assertEqual(program.wait_exit(), 0)


if __name__ == "__main__":
    unittest.main()
