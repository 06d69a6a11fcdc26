"""The settings dialog's "取得元" page of the real tilvane.exe under Wine: a program searching
the designed service switches to the fake service's hashtag timeline without a restart, its
wall fills from there, and service.txt keeps the lines the page does not own."""

import shutil
import subprocess
import time
import unittest

import harness
import service_programs
from harness import WM_COMMAND
from test_fediverse_wall import LAYOUT, OPTIONS, expected_pictures, timeline_requests
from wall_pixels import COLUMNS, ROWS, close_colours

IDM_SETTINGS = 40003
TITLE = "tilvane(設定)"
SEARCH_PATH = "/1.1/search/tweets.json"
TABS = 1039
SOURCE_LIST, SERVER_URL, ACCESS_TOKEN, SHOW_SENSITIVE, MEANING = 1121, 1123, 1124, 1125, 1126
OK = 1
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

        program.post(WM_COMMAND, IDM_SETTINGS)
        dialog = self.session.probe("wait", "--title", TITLE, "--visible")["window"]["hwnd"]
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
        self.click_at(*centre(shown[OK]["rect"]))
        confirmed = time.time()
        harness.wait_until(lambda: not any(
            w["visible"] for w in self.session.probe("list", "--title", TITLE)["windows"]),
            10, "closing of the settings dialog")

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

        program.exit_command()
        self.assertEqual(program.wait_exit(), 0)
        lines = (workdir / "txts" / "service.txt").read_text().splitlines()
        self.assertEqual(lines[:2], OWN_LINES.splitlines())
        self.assertIn("source=mastodon", lines)
        self.assertIn("service_url=" + server, lines)


def centre(rect):
    left, top, right, bottom = rect
    return (left + right) // 2, (top + bottom) // 2


if __name__ == "__main__":
    unittest.main()
