"""The settings dialog of the real tilvane.exe under Wine: what its two pages show, what OK,
キャンセル, Esc and the close box leave in the option file, and a Japanese keyword typed into
it reaching the fake service. Clicks and keys are real X input (xdotool); the keyword is
typed as UTF-8 text with `xdotool type`, which Wine turns into the characters."""

import subprocess
import time
import unittest

import harness
from harness import DEFAULT_OPTIONS, WM_COMMAND

IDM_SETTINGS = 40003
TITLE = "tilvane(設定)"
SEARCH_PATH = "/1.1/search/tweets.json"

KEYWORD = 1001
INTERVAL = {15: 1006, 25: 1007, 35: 1008}
COUNT = {10: 1020, 20: 1021, 30: 1022}
WARN_FEW_RESULTS = 1033
ORIGINAL = 1030
UPDATE_WHILE_ENLARGED = 1031
ALLOW_SEVERAL = 1032
ATTACH_MESSAGE = 1034
OK, CANCEL = 1, 2

STORED = dict(DEFAULT_OPTIONS, serch_byo=25, serch_ken=30, kensaku_word="東京タワー",
              syokeikoku=1, original=0, kaku_kousin=1, kaku_fukusuu=1, kaku_tubuyaki=0)


def centre(rect):
    left, top, right, bottom = rect
    return (left + right) // 2, (top + bottom) // 2


class SettingsDialog(harness.WineTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.session.draw_own_frames()

    def start(self, name, options, **workdir_args):
        return super().start(self.session.workdir(name, options=options, **workdir_args))

    def open_settings(self, program):
        """Runs "設定" as the menu delivers it; the dialog's handle."""
        program.post(WM_COMMAND, IDM_SETTINGS)
        return self.session.probe("wait", "--title", TITLE, "--visible")["window"]["hwnd"]

    def controls(self, dialog):
        return {c["id"]: c for c in self.session.probe("children", "--hwnd", dialog)["children"]
                if c["id"] > 0}

    def click(self, dialog, control_id, button=1):
        x, y = centre(self.controls(dialog)[control_id]["rect"])
        self.session.xdotool("mousemove", x, y, "click", button)
        time.sleep(0.3)

    def click_tab(self, dialog, index):
        """Clicks the tab "全般" (0) or "拡大表示" (1) at the top of the tab control."""
        left, top, _, _ = self.controls(dialog)[1039]["rect"]
        self.session.xdotool("mousemove", left + (25 if index == 0 else 85), top + 10,
                             "click", 1)
        time.sleep(0.3)
        self.assertEqual(self.controls(dialog)[KEYWORD]["visible"], index == 0)
        self.assertEqual(self.controls(dialog)[ORIGINAL]["visible"], index == 1)

    def type_keyword(self, dialog, text, delay=120):
        self.click(dialog, KEYWORD)
        self.session.xdotool("key", "End", "shift+Home", "BackSpace")
        self.session.xdotool("type", "--delay", delay, text)
        time.sleep(0.5)

    def settled_keyword(self, dialog):
        """The keyword field once two readings a second apart agree (at most 20 s)."""
        value = self.controls(dialog)[KEYWORD]["value"]
        for _ in range(20):
            time.sleep(1)
            again = self.controls(dialog)[KEYWORD]["value"]
            if again == value:
                break
            value = again
        return value

    def checked(self, dialog):
        return {i: c["checked"] for i, c in self.controls(dialog).items()
                if c["checked"] is not None}

    def wait_gone(self, dialog):
        harness.wait_until(lambda: not any(
            w["visible"] for w in self.session.probe("list", "--title", TITLE)["windows"]),
            10, "closing of the settings dialog")

    def exit_and_read_options(self, program):
        program.exit_command()
        self.assertEqual(program.wait_exit(), 0)
        return (program.workdir / "txts" / "tva_option.txt").read_bytes()

    def change_everything(self, dialog):
        self.click(dialog, INTERVAL[15])
        self.click(dialog, COUNT[10])
        self.type_keyword(dialog, "dogs")
        self.click_tab(dialog, 1)
        self.click(dialog, ORIGINAL)
        self.click(dialog, UPDATE_WHILE_ENLARGED)

    def test_pages_show_the_stored_values_centred_and_cancel_keeps_them(self):
        program = self.start("settings-shown", STORED)
        dialog = self.open_settings(program)
        info = self.session.probe("info", "--hwnd", dialog)
        left, top, right, bottom = info["window"]
        self.assertEqual((left, top), ((harness.SCREEN_WIDTH - (right - left)) // 2,
                                       (harness.SCREEN_HEIGHT - (bottom - top)) // 2))
        self.assertTrue(info["caption"])
        controls = self.controls(dialog)
        self.assertEqual(controls[KEYWORD]["value"], "東京タワー")
        self.assertEqual(controls[OK]["text"], "OK")
        self.assertEqual(controls[CANCEL]["text"], "キャンセル")
        checked = self.checked(dialog)
        self.assertEqual([checked[INTERVAL[v]] for v in (15, 25, 35)], [False, True, False])
        self.assertEqual([checked[COUNT[v]] for v in (10, 20, 30)], [False, False, True])
        self.assertEqual([checked[i] for i in (WARN_FEW_RESULTS, ORIGINAL,
                                               UPDATE_WHILE_ENLARGED, ALLOW_SEVERAL,
                                               ATTACH_MESSAGE)],
                         [True, False, True, True, False])
        self.assertEqual([controls[i]["enabled"] for i in (WARN_FEW_RESULTS, ALLOW_SEVERAL,
                                                            ATTACH_MESSAGE, ORIGINAL)],
                         [False, False, False, True])
        self.assertEqual([controls[i]["visible"] for i in (KEYWORD, ORIGINAL)], [True, False])
        self.keep_screenshot(info["window"])

        self.change_everything(dialog)
        self.click(dialog, CANCEL)
        self.wait_gone(dialog)
        self.assertEqual(self.exit_and_read_options(program),
                         harness.expected_option_file(STORED))

    def keep_screenshot(self, window):
        left, top, right, bottom = window
        png = self.session.screenshot("settings-dialog")
        cropped = png.with_name("settings-dialog-cropped.png")
        subprocess.run(["convert", str(png), "-crop", "%dx%d+%d+%d" % (
            right - left + 40, bottom - top + 40, left - 20, top - 20), "+repage",
            str(cropped)], check=True, timeout=60)
        print("settings dialog screenshot: %s" % cropped)

    def test_values_between_the_buttons_select_the_last_one(self):
        # 30 seconds and 15 results are stored as they are and lie between the buttons; a
        # stored 40 is out of range and loads as 25.
        for options, interval, count in ((dict(serch_byo=30, serch_ken=15), 35, 30),
                                         (dict(serch_byo=40, serch_ken=5), 25, 20)):
            with self.subTest(**options):
                program = self.start("settings-between", dict(STORED, **options))
                dialog = self.open_settings(program)
                checked = self.checked(dialog)
                self.assertEqual([v for v, i in INTERVAL.items() if checked[i]], [interval])
                self.assertEqual([v for v, i in COUNT.items() if checked[i]], [count])
                self.click(dialog, OK)
                self.wait_gone(dialog)
                saved = harness.parse_option_file(self.exit_and_read_options(program))
                self.assertEqual((saved["serch_byo"], saved["serch_ken"]),
                                 (b"%d" % interval, b"%d" % count))

    def test_escape_and_the_close_box_store_nothing(self):
        program = self.start("settings-escape", STORED)
        dialog = self.open_settings(program)
        self.change_everything(dialog)
        self.session.xdotool("key", "Escape")
        self.wait_gone(dialog)

        dialog = self.open_settings(program)
        self.assertEqual(self.controls(dialog)[KEYWORD]["value"], "東京タワー")
        self.assertTrue(self.checked(dialog)[INTERVAL[25]])
        self.change_everything(dialog)
        _, top, right, _ = self.session.probe("info", "--hwnd", dialog)["window"]
        self.session.xdotool("mousemove", right - 10, top + 10, "click", 1)
        self.wait_gone(dialog)
        self.assertEqual(self.exit_and_read_options(program),
                         harness.expected_option_file(STORED))

    def test_a_keyword_longer_than_the_store_holds_is_cut_at_whole_characters(self):
        program = self.start("settings-long", STORED)
        dialog = self.open_settings(program)
        self.type_keyword(dialog, "猫" * 130, delay=60)
        # Fast typing on a busy machine can drop a key now and then; the rest is typed again,
        # once the keys still queued have arrived.
        for _ in range(3):
            typed = self.settled_keyword(dialog)
            if len(typed) >= 130:
                break
            self.session.xdotool("type", "--delay", 120, "猫" * (130 - len(typed)))
        self.assertEqual(self.controls(dialog)[KEYWORD]["value"], "猫" * 130)
        self.click(dialog, OK)
        self.wait_gone(dialog)
        saved = harness.parse_option_file(self.exit_and_read_options(program))
        # 255 bytes would split the 128th double-byte character.
        self.assertEqual(saved["kensaku_word"], ("猫" * 127).encode("cp932"))

    def test_ok_stores_the_changes_of_both_pages_and_the_next_search_uses_the_keyword(self):
        service = self.session.fake_service()
        self.addCleanup(service.stop)
        info = service.info
        program = self.start("settings-ok", STORED,
                             key=(info["access_token"], info["access_token_secret"]),
                             service=(service.state_dir / "service.txt").read_text())
        dialog = self.open_settings(program)
        self.change_everything(dialog)
        self.click_tab(dialog, 0)
        self.type_keyword(dialog, "猫")
        # Switching pages keeps what was changed on either of them.
        self.click_tab(dialog, 1)
        self.click_tab(dialog, 0)
        self.assertEqual(self.controls(dialog)[KEYWORD]["value"], "猫")
        checked = self.checked(dialog)
        self.assertEqual([checked[i] for i in (INTERVAL[15], COUNT[10], ORIGINAL,
                                               UPDATE_WHILE_ENLARGED)],
                         [True, True, True, False])
        self.click(dialog, OK)
        self.wait_gone(dialog)
        confirmed = time.time()

        # A search already under way at OK may still carry the old keyword; the next one
        # carries the new one.
        search = harness.wait_until(lambda: next(
            (e for e in service.log_entries() if e.get("path") == SEARCH_PATH
             and e.get("time", 0) >= confirmed and e.get("keyword") == "猫"), None),
            45, "search for the new keyword after OK")
        self.assertEqual(search["image_set"], "cats")
        self.assertEqual(search["query_params"].get("count"), "10")
        self.assertEqual(search["signature"], "ok", search.get("reason"))

        saved = self.exit_and_read_options(program)
        self.assertEqual(saved, harness.expected_option_file(dict(
            STORED, serch_byo=15, serch_ken=10, original=1, kaku_kousin=0,
            kensaku_word="猫".encode("cp932"))))


if __name__ == "__main__":
    unittest.main()
