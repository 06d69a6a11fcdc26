"""The settings dialog's "取得元" page of the real tilvane.exe under Wine: a program searching
the designed service switches to the fake service's hashtag timeline, then to Misskey, Flickr
and Bluesky, each without a restart, and its wall fills from each; service.txt keeps the lines
the page does not own. A tile pinned from each open source comes back after a restart with the
service gone, its author and post page still in the pinned list."""

import json
import shutil
import subprocess
import sys
import time
import unittest
from urllib.parse import unquote

import harness
import menu_driving as menu
import service_programs
from harness import WM_COMMAND
from test_fediverse_wall import LAYOUT, OPTIONS, expected_pictures, timeline_requests
from wall_pixels import COLUMNS, ROWS, close_colours

sys.path.insert(0, str(harness.SOURCE_DIR / "tools" / "fakeservice"))
import open_sources  # noqa: E402
import search_results  # noqa: E402

IDM_SETTINGS = 40003
TITLE = "tilvane(設定)"
SEARCH_PATH = "/1.1/search/tweets.json"
TABS = 1039
SOURCE_LIST, SERVER_URL, ACCESS_TOKEN, SHOW_SENSITIVE, MEANING = 1121, 1123, 1124, 1125, 1126
OK = 1
KEYWORD = 1001
IDM_PIN_TILE, IDM_COPY_ORIGINAL_URL = 40018, 40021
# The open sources after Mastodon, in the page's list order, each with a keyword that suits it
# and names an image set of its own, so that its tiles can be told from the ones before.
OPEN_SOURCES = (("misskey", "png", open_sources.MISSKEY_PATH),
                ("flickr", "dogs", open_sources.FLICKR_PATH),
                ("bluesky", "default.fake.invalid", open_sources.BSKY_AUTHOR_FEED))
DOCS_SCREENSHOT = harness.SOURCE_DIR / "docs" / "source-page.png"
OWN_LINES = "# my notes: keep these\r\nfuture_key=kept\r\n"


class SourcePage(service_programs.ProgramFixture, harness.WineTestCase):
    BASE_OPTIONS = OPTIONS

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.session.draw_own_frames()

    def controls(self, dialog):
        return {c["id"]: c for c in self.session.probe("children", "--hwnd", dialog)["children"]
                if c["id"] > 0}

    def click_at(self, x, y):
        self.session.xdotool("mousemove", x, y, "click", 1)
        time.sleep(0.3)

    def show_source_tab(self, dialog):
        """Clicks the third tab, right of "全般" and "拡大表示"."""
        left, top, _, _ = self.controls(dialog)[TABS]["rect"]
        self.click_at(left + 140, top + 10)
        self.wait_for("the 取得元 page", lambda: self.controls(dialog)[SOURCE_LIST]["visible"], 10)

    def choose_source(self, dialog, steps_down):
        left, top, right, bottom = self.controls(dialog)[SOURCE_LIST]["rect"]
        self.click_at((left + right) // 2, (top + bottom) // 2)
        self.session.xdotool("key", *(["Down"] * steps_down), "Return")
        time.sleep(0.5)

    def keep_screenshot(self, dialog):
        left, top, right, bottom = self.session.probe("info", "--hwnd", dialog)["window"]
        png = self.session.screenshot("source-page")
        subprocess.run(["convert", str(png), "-crop", "%dx%d+%d+%d" % (
            right - left, bottom - top, left, top), "+repage", str(DOCS_SCREENSHOT)],
            check=True, timeout=60)
        shutil.copy(DOCS_SCREENSHOT, png.with_name("source-page-cropped.png"))

    def test_switches_from_the_designed_service_to_the_hashtag_timeline_without_a_restart(self):
        self.service = self.session.fake_service()
        self.addCleanup(self.service.stop)
        workdir = self.session.workdir(
            "source-page", options=dict(OPTIONS), key=self.access_pair(),
            service=OWN_LINES + self.service_config())
        program = self.start(workdir)
        self.wait_for("a search of the designed service", lambda: any(
            e.get("path") == SEARCH_PATH for e in self.service.log_entries()), 40)

        empty = LAYOUT.interior_mean(self.session.capture(program.hwnd, "source-page-empty"),
                                     COLUMNS * ROWS - 1)
        dialog = self.open_dialog(program)
        self.show_source_tab(dialog)
        shown = self.controls(dialog)
        self.assertEqual(shown[SOURCE_LIST]["value"], "Twitter (キーワード検索)")
        self.assertIn("key.txt", shown[MEANING]["value"])
        self.assertFalse(shown[ACCESS_TOKEN]["enabled"])
        self.assertFalse(shown[SHOW_SENSITIVE]["checked"])
        # The fake service is no built-in host, so its address shows and is kept.
        server = shown[SERVER_URL]["value"]
        self.assertTrue(server.startswith("https://127.0.0.1:"), server)

        self.choose_source(dialog, 1)
        shown = self.controls(dialog)
        self.assertEqual(shown[SOURCE_LIST]["value"], "Mastodon")
        self.assertIn("ハッシュタグ", shown[MEANING]["value"])
        self.assertTrue(shown[ACCESS_TOKEN]["enabled"])
        self.keep_screenshot(dialog)
        confirmed = self.confirm(dialog)

        expected = expected_pictures("cats", 20)
        first = self.wait_for("a timeline request after OK", lambda: next(
            (e for e in timeline_requests(self.service.log_entries())
             if e.get("time", 0) >= confirmed), None), 40)
        self.assertEqual(first["tag"], "cats")
        self.assertNotIn("since_id", first["query_params"], "the new source starts afresh")

        def wall_shows_the_timeline():
            image = self.session.capture(program.hwnd, "source-page-wall")
            means = [LAYOUT.interior_mean(image, i) for i in range(COLUMNS * ROWS)]
            return all(any(close_colours(m, LAYOUT.expected_interior_mean(name), 24)
                           for m in means) for name in expected)
        self.wait_for("the timeline's pictures on the wall", wall_shows_the_timeline, 60)
        self.session.screenshot("source-page-wall")
        later = [e for e in self.service.log_entries()
                 if e.get("path") == SEARCH_PATH and e.get("time", 0) > first["time"]]
        self.assertEqual(later, [], "no designed search once the timeline is asked")

        # On to each open source in turn, in the same run; one new tile of each is pinned.
        # The designed search answered one picture a post, the first of its default set.
        shown_before = search_results.DEFAULT[:OPTIONS["serch_ken"]] + expected + [empty]
        pins = []
        for source, keyword, path in OPEN_SOURCES:
            with self.subTest(source=source):
                request = self.switch_source(program, source, keyword, path)
                self.assertEqual(request["status"], 200, request)
                fresh = [n for n in self.names_of(keyword) if n not in shown_before]
                cell, picture = self.pin_new_tile(program, source, fresh, shown_before)
                origin = pinned_origin(source, keyword, picture, self.service.info["image_url"],
                                       server)
                self.assertEqual(self.pinned_entry(workdir, cell), origin)
                pins.append((cell, picture, origin))
                shown_before += self.names_of(keyword)

        program.exit_command()
        self.assertEqual(program.wait_exit(), 0)
        lines = (workdir / "txts" / "service.txt").read_text().splitlines()
        self.assertEqual(lines[:2], OWN_LINES.splitlines())
        self.assertIn("source=bluesky", lines)
        self.assertIn("service_url=" + server, lines)
        self.assertEqual(len(pins), len(OPEN_SOURCES))

        # The service gone, each pinned tile is back in its cell, still knows its full-size
        # address, and the list written at exit still names its author and post page.
        pinned_list = workdir / "txts" / "kotei_jpgs.txt"
        listed = pinned_list.read_bytes()
        self.service.stop()
        program = self.start(workdir)
        for cell, picture, origin in pins:
            self.wait_for("%s back in cell %d" % (picture, cell), lambda: close_colours(
                LAYOUT.interior_mean(self.session.capture(program.hwnd, "source-page-pins"),
                                     cell), LAYOUT.expected_interior_mean(picture), 24), 20)
            menu.set_clipboard(self.session, "before")
            menu.choose_on_cell(self.session, program.hwnd, LAYOUT, cell, IDM_COPY_ORIGINAL_URL)
            self.wait_for("clipboard %r" % origin["orig"],
                          lambda: menu.clipboard_text(self.session) == origin["orig"], 10)
        program.exit_command()
        self.assertEqual(program.wait_exit(), 0)
        self.assertEqual(pinned_list.read_bytes(), listed)

    def open_dialog(self, program):
        program.post(WM_COMMAND, IDM_SETTINGS)
        return self.session.probe("wait", "--title", TITLE, "--visible")["window"]["hwnd"]

    def confirm(self, dialog):
        """Clicks OK; the time of the click, once the dialog has closed."""
        self.click_at(*centre(self.controls(dialog)[OK]["rect"]))
        confirmed = time.time()
        harness.wait_until(lambda: not any(
            w["visible"] for w in self.session.probe("list", "--title", TITLE)["windows"]),
            10, "closing of the settings dialog")
        return confirmed

    def switch_source(self, program, source, keyword, path):
        """Types the keyword on the 全般 page, chooses the source after the current one on the
        取得元 page and confirms; the first request to `path` after OK."""
        dialog = self.open_dialog(program)
        left, top, _, _ = self.controls(dialog)[TABS]["rect"]
        self.click_at(left + 25, top + 10)
        self.click_at(*centre(self.controls(dialog)[KEYWORD]["rect"]))
        self.session.xdotool("key", "End", "shift+Home", "BackSpace")
        self.session.xdotool("type", "--delay", 60, keyword)
        self.show_source_tab(dialog)
        self.choose_source(dialog, 1)
        shown = self.controls(dialog)
        self.assertEqual(shown[SOURCE_LIST]["value"].lower(), source)
        self.assertEqual(shown[KEYWORD]["value"], keyword)
        confirmed = self.confirm(dialog)
        return self.wait_for("a %s request after OK" % source, lambda: next(
            (e for e in self.service.log_entries()
             if e.get("path") == path and e.get("time", 0) >= confirmed), None), 40)

    @staticmethod
    def names_of(keyword):
        return search_results.IMAGE_SETS[search_results.image_set_for(keyword.split(".")[0])][0]

    def pin_new_tile(self, program, source, fresh, shown_before):
        """Waits until a cell shows one of the `fresh` pictures whose colour none shown before
        (or an empty cell) passes for, and pins it; (cell, picture)."""
        def mean(item):
            return item if isinstance(item, tuple) else LAYOUT.expected_interior_mean(item)
        told = [n for n in fresh if not any(close_colours(mean(n), mean(o), 24)
                                            for o in shown_before)]
        self.assertTrue(told, "no picture of %s to tell apart: %s" % (source, fresh))

        def found():
            image = self.session.capture(program.hwnd, "source-page-" + source)
            return next(((cell, name) for cell in range(COLUMNS * ROWS) for name in told
                         if close_colours(LAYOUT.interior_mean(image, cell), mean(name), 24)),
                        None)
        cell, picture = self.wait_for("a %s picture on the wall" % source, found, 60)
        self.session.screenshot("source-page-" + source)
        menu.choose_on_cell(self.session, program.hwnd, LAYOUT, cell, IDM_PIN_TILE)
        return cell, picture

    def pinned_entry(self, workdir, cell):
        """The fields of the pinned list's line for the cell, percent-decoded, once it shows."""
        pinned_list = workdir / "txts" / "kotei_jpgs.txt"

        def entry():
            for line in pinned_list.read_text().splitlines() if pinned_list.exists() else []:
                fields = dict(f.split("=", 1) for f in line.split(",") if "=" in f)
                if (fields.get("x"), fields.get("y")) == (str(cell % COLUMNS),
                                                          str(cell // COLUMNS)):
                    return {k: unquote(v) for k, v in fields.items() if k not in ("x", "y")}
            return None
        return self.wait_for("the pin of cell %d in the list" % cell, entry, 10)


def centre(rect):
    left, top, right, bottom = rect
    return (left + right) // 2, (top + bottom) // 2


def pinned_origin(source, keyword, picture, image_base, server):
    """{name, orig, author, page} the fake service's stand-in for the source gives the
    picture: the tile's address, the full-size one, the post's author and its page."""
    names = SourcePage.names_of(keyword)
    if source == "misskey":
        note = next(n for n in open_sources.misskey_notes(keyword, image_base, names)
                    if any(f["name"] == picture for f in n["files"]))
        file = next(f for f in note["files"] if f["name"] == picture)
        user = note["user"]
        return {"name": file["thumbnailUrl"] or file["url"], "orig": file["url"],
                "author": user["username"] + ("@" + user["host"] if user["host"] else ""),
                "page": server + "/notes/" + note["id"]}
    if source == "flickr":
        feed = open_sources.flickr_feed([keyword], image_base, names).decode()
        item = next(i for i in json.loads(feed.replace("\\'", "'"))["items"]
                    if i["media"]["m"].endswith("/" + picture[:-len(".jpg")] + "_m.jpg"))
        stem = item["media"]["m"][:-len("_m.jpg")]
        author = item["author"].split('("', 1)[1].rsplit('")', 1)[0]
        return {"name": stem + "_z.jpg", "orig": stem + "_b.jpg", "author": author,
                "page": item["link"]}
    post = next(i["post"] for i in open_sources.bsky_feed(keyword, image_base, names, 100)["feed"]
                if "/" + picture in json.dumps(i["post"]["embed"]))
    image = (post["embed"].get("media") or post["embed"])["images"][0]

    def with_format(address):
        return address if "@" in address.rsplit("/", 1)[1] else address + "@jpeg"
    handle = post["author"]["handle"]
    return {"name": with_format(image["thumb"]), "orig": with_format(image["fullsize"]),
            "author": handle,
            "page": "https://bsky.app/profile/%s/post/%s" % (handle, post["uri"].rsplit("/", 1)[1])}


if __name__ == "__main__":
    unittest.main()
