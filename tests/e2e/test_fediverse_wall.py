"""The wall fed by a Mastodon-compatible server's public hashtag timeline: tilvane.exe under
Wine with source=mastodon in service.txt, no key.txt and no PIN, against the fake service:
previews and full-size pictures (JPEG, PNG and WebP), the copy commands, a pinned tile
through a restart, since_id, the refusal told once and a bearer token."""

import sys
import unittest

import harness
import menu_driving as menu
import service_programs
from harness import DEFAULT_OPTIONS
from wall_pixels import COLUMNS, RED, ROWS, WallLayout, close_colours

sys.path.insert(0, str(harness.SOURCE_DIR / "tools" / "fakeservice"))
import timeline_results  # noqa: E402

TIMELINE = "/api/v1/timelines/tag/"
LAYOUT = WallLayout(755, 380)
OPTIONS = dict(DEFAULT_OPTIONS, kensaku_word="#cats", serch_ken=20, kotei_render=1,
               window_wid=LAYOUT.client_width, window_hei=LAYOUT.client_height,
               window_kotei=1, window_zzahyo=1, window_x=40, window_y=50)
REFUSAL_CAPTION = "タイムライン取得失敗"
IDM_PIN_TILE, IDM_COPY_URL, IDM_COPY_ORIGINAL_URL = 40018, 40020, 40021


def expected_pictures(tag, limit):
    """The file names the wall should show, in reply order: pictures of the posts and of the
    posts they boost, not of sensitive posts, whatever the format (JPEG, PNG, WebP)."""
    names = []
    for post in timeline_results.timeline_posts(tag, "")[:limit]:
        shown = post["reblog"] or post
        if shown["sensitive"]:
            continue
        for attachment in shown["media_attachments"]:
            name = attachment["preview_url"].rsplit("/", 1)[1]
            if attachment["type"] == "image" and name not in names:  # no picture twice
                names.append(name)
    return names


def origin_of(tag, picture):
    """(author, post page) of the post (or the boosted post) showing the picture."""
    for post in timeline_results.timeline_posts(tag, ""):
        shown = post["reblog"] or post
        if any(a["preview_url"].endswith("/" + picture) for a in shown["media_attachments"]):
            return shown["account"]["acct"], shown["url"]
    raise AssertionError(picture)


def timeline_requests(entries):
    return [e for e in entries if e.get("path", "").startswith(TIMELINE)]


def served_media(entries):
    """[(media name, whether the full-size path was asked)] of the 200 image downloads."""
    return [(e["media"], bool(e.get("original_path"))) for e in entries
            if e.get("media") and e.get("status") == 200]


class WallFromTheHashtagTimeline(service_programs.ProgramFixture, harness.WineTestCase):
    BASE_OPTIONS = OPTIONS

    def start_service(self, arguments=()):
        self.service = self.session.fake_service(arguments=arguments)
        self.addCleanup(self.service.stop)
        return self.service

    def timeline_workdir(self, name, extra="", **options):
        """A working directory whose program reads the fake service's hashtag timeline: no
        key.txt, source=mastodon (and `extra`) in service.txt."""
        return self.session.workdir(name, options=dict(self.BASE_OPTIONS, **options), key=None,
                                    service="source=mastodon\n" + self.service_config() + extra)

    def wait_for_wall(self, program, cells, name):
        """The client image once each of the first `cells` cells wears a red frame."""
        def filled():
            image = self.session.capture(program.hwnd, name)
            return image if all(LAYOUT.has_frame(image, i, RED) for i in range(cells)) else None
        return self.wait_for("the timeline's pictures", filled, 60)

    def assert_picture(self, image, index, name):
        seen, expected = LAYOUT.interior_mean(image, index), LAYOUT.expected_interior_mean(name)
        self.assertTrue(close_colours(seen, expected, 24),
                        "cell %d: %s, expected about %s (%s)" % (index, seen, expected, name))

    def choose_on(self, program, index, command):
        left, top = self.session.probe("info", "--hwnd", program.hwnd)["client"][:2]
        x, y = LAYOUT.centre(index)
        menu.open_context_menu(self.session, left + x, top + y)
        menu.choose(self.session, command)

    def clipboard_becomes(self, text):
        self.wait_for("clipboard %r" % text,
                      lambda: self.session.probe("clipboard")["text"] == text, 10)

    def set_clipboard(self, text):
        self.session.probe("set-clipboard", "--hex", text.encode("ascii").hex())

    def test_previews_fill_the_wall_a_pinned_tile_keeps_its_cell_and_since_id_follows(self):
        service = self.start_service()
        workdir = self.timeline_workdir("fediverse-wall")
        # A timeline tile pinned in an earlier run, its full-size address with a comma.
        pinned_image = (harness.SOURCE_DIR / "tools" / "fakeservice" / "media" / "b01.jpg")
        (workdir / "kotei_tiles" / "b01.jpg").write_bytes(pinned_image.read_bytes())
        pin_line = (b"name=https://files.example/small/b01.jpg,x=9,y=4,"
                    b"orig=https://files.example/original/b01.jpg?a%2Cb,\r\n")
        (workdir / "txts" / "kotei_jpgs.txt").write_bytes(pin_line)

        program = self.start(workdir)
        expected = expected_pictures("cats", 20)
        self.assertEqual(len(expected), 12, expected)
        self.assertTrue({"p01.png", "p04.webp"} <= set(expected), "a PNG and a WebP land too")

        image = self.wait_for_wall(program, len(expected), "fediverse-wall")
        self.session.screenshot("fediverse-wall")

        entries = service.log_entries()
        first = timeline_requests(entries)[0]
        self.assertEqual(first["tag"], "cats")
        self.assertEqual(first["query_params"], {"limit": "20", "only_media": "true"})
        self.assertEqual(first["user_agent"], "tilvane/" + harness.project_version())
        self.assertIsNone(first["authorization"])
        self.assertEqual(first["http_version"], "HTTP/1.0")
        self.assertEqual(served_media(entries)[:len(expected)],
                         [(name, False) for name in expected])
        self.assertFalse([e for e in entries if e.get("path", "").startswith("/oauth/")])
        for index, name in enumerate(expected):
            with self.subTest(cell=index, image=name):
                self.assert_picture(image, index, name)
        self.assert_picture(image, COLUMNS * ROWS - 1, "b01.jpg")  # the pinned tile is back

        # The next search asks only for posts newer than the newest seen.
        self.wait_for("a second timeline request",
                      lambda: len(timeline_requests(service.log_entries())) >= 2, 30)
        second = timeline_requests(service.log_entries())[1]
        newest = max(int(p["id"]) for p in timeline_results.timeline_posts("cats", ""))
        self.assertEqual(second["since_id"], str(newest))

        program.exit_command()
        self.assertEqual(program.wait_exit(), 0)
        self.assertEqual((workdir / "txts" / "kotei_jpgs.txt").read_bytes(), pin_line)
        self.assertFalse((workdir / "txts" / "key.txt").exists())

    def test_original_fetches_the_full_size_pictures(self):
        service = self.start_service()
        workdir = self.timeline_workdir("fediverse-original", original=1)
        program = self.start(workdir)
        expected = expected_pictures("cats", 20)
        media = self.wait_for(
            "the full-size downloads",
            lambda: len(served_media(service.log_entries())) >= len(expected)
            and served_media(service.log_entries()), 60)
        self.assertEqual(media[:len(expected)], [(name, True) for name in expected])
        served = [e["served"] for e in service.log_entries() if e.get("media") == "a01.jpg"]
        self.assertEqual(served, ["orig/a01.jpg"], "the larger picture, not a ':orig' suffix")
        program.exit_command()
        self.assertEqual(program.wait_exit(), 0)

    def test_a_refused_timeline_is_told_once_naming_access_token(self):
        service = self.start_service(arguments=("--timeline-token", "e2e-bearer"))
        workdir = self.timeline_workdir("fediverse-refused")
        program = self.start(workdir)
        reply = self.session.probe("wait", "--title", REFUSAL_CAPTION, "--timeout-ms", "40000",
                                   check=False)
        self.assertTrue(reply.get("found"), reply)
        self.wait_for("two refused requests",
                      lambda: len(timeline_requests(service.log_entries())) >= 2, 40)
        boxes = self.session.probe("list", "--title", REFUSAL_CAPTION)["windows"]
        self.assertEqual(len(boxes), 1, boxes)
        self.assertTrue(all(e["status"] == 401 for e in timeline_requests(service.log_entries())))
        program.kill()

    def test_a_configured_token_opens_the_timeline(self):
        service = self.start_service(arguments=("--timeline-token", "e2e-bearer"))
        workdir = self.timeline_workdir("fediverse-token", extra="access_token=e2e-bearer\n")
        program = self.start(workdir)
        request = self.wait_for("an answered timeline request", lambda: [
            e for e in timeline_requests(service.log_entries()) if e["status"] == 200], 40)[0]
        self.assertEqual(request["authorization"], "Bearer e2e-bearer")
        program.exit_command()
        self.assertEqual(program.wait_exit(), 0)

    def test_the_copy_commands_give_both_addresses_and_a_pin_keeps_the_original(self):
        service = self.start_service()
        workdir = self.timeline_workdir("fediverse-copy")
        program = self.start(workdir)
        expected = expected_pictures("cats", 20)
        self.wait_for_wall(program, len(expected), "fediverse-copy")
        preview = "%s/media/%s" % (service.info["image_url"], expected[2])
        original = "%s/media/original/%s" % (service.info["image_url"], expected[2])

        self.set_clipboard("before")
        self.choose_on(program, 2, IDM_COPY_URL)
        self.clipboard_becomes(preview)
        self.choose_on(program, 2, IDM_COPY_ORIGINAL_URL)
        self.clipboard_becomes(original)

        self.choose_on(program, 2, IDM_PIN_TILE)
        author, page = origin_of("cats", expected[2])
        listed = b"name=%s,x=2,y=0,orig=%s,author=%s,page=%s,\r\n" % (
            preview.encode(), original.encode(), author.encode(), page.encode())
        pinned_list = workdir / "txts" / "kotei_jpgs.txt"
        self.wait_for("the pinned list", lambda: pinned_list.exists()
                      and pinned_list.read_bytes() == listed, 10)
        program.exit_command()
        self.assertEqual(program.wait_exit(), 0)

        # Back after a restart, the pinned tile still copies the attachment's address, and the
        # list written at exit still names its author and post page.
        program = self.start(workdir)
        self.wait_for("the pinned tile in its cell", lambda: close_colours(
            LAYOUT.interior_mean(self.session.capture(program.hwnd, "fediverse-copy-restart"), 2),
            LAYOUT.expected_interior_mean(expected[2]), 24), 20)
        self.set_clipboard("before")
        self.choose_on(program, 2, IDM_COPY_ORIGINAL_URL)
        self.clipboard_becomes(original)
        program.exit_command()
        self.assertEqual(program.wait_exit(), 0)
        self.assertEqual(pinned_list.read_bytes(), listed)


if __name__ == "__main__":
    unittest.main()
