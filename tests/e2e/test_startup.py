"""Start-up, the main window's geometry and stacking, and the option file written at exit,
with the real tilvane.exe under Wine."""

import time
import unittest

import harness
from harness import DEFAULT_OPTIONS, WM_CLOSE, WM_COMMAND

IDOK = 1
WS_THICKFRAME = 0x00040000
IDM_SHOW_PINNED = 40019
WM_QUERYENDSESSION, WM_ENDSESSION = 0x0011, 0x0016


def options(**changes):
    result = dict(DEFAULT_OPTIONS)
    result.update(changes)
    return result


class ShellTestCase(harness.WineTestCase):
    def start(self, name, **workdir_args):
        return super().start(self.session.workdir(name, **workdir_args))

    def stop_with(self, program, message, wparam=0):
        program.post(message, wparam)
        self.assertEqual(program.wait_exit(), 0)
        self.assertEqual(self.session.main_windows(), [])

    def option_file(self, program):
        return (program.workdir / "txts" / "tva_option.txt").read_bytes()


class SecondCopy(ShellTestCase):
    def test_second_copy_is_refused_and_leaves_the_first_alone(self):
        first = self.start("first-copy")
        second = self.session.start_program(first.workdir, name="second-copy")
        box = self.session.probe("wait", "--title", "多重起動禁止", "--visible")
        self.assertEqual(box["window"]["class"], "#32770")
        texts = [c["text"] for c in self.session.probe("children", "--hwnd",
                                                        box["window"]["hwnd"])["children"]]
        self.assertIn("すでに起動しております。", texts)
        self.assertIn("OK", texts)
        self.session.screenshot("second-copy-refused")

        windows = self.session.main_windows()
        self.assertEqual([w["hwnd"] for w in windows], [first.hwnd])
        self.assertTrue(second.running(), "the refusal waits for its message box")

        second.post(WM_COMMAND, IDOK, hwnd=box["window"]["hwnd"])
        self.assertEqual(second.wait_exit(), 0)
        self.assertEqual(len(self.session.probe("list", "--title", "多重起動禁止")["windows"]),
                         0)
        self.assertTrue(first.running())
        self.assertEqual([w["hwnd"] for w in self.session.main_windows()], [first.hwnd])
        self.stop_with(first, WM_COMMAND, harness.IDM_EXIT)


class WindowFromOptions(ShellTestCase):
    def test_position_size_frame_and_topmost_follow_the_options(self):
        cases = [
            dict(window_kotei=1, window_zzahyo=2, window_x=300, window_y=200, window_wid=640,
                 window_hei=480),
            dict(window_kotei=0, window_zzahyo=1, window_x=40, window_y=60, window_wid=900,
                 window_hei=525),
            dict(window_kotei=1, window_zzahyo=1, window_x=-30, window_y=15, window_wid=320,
                 window_hei=240),
        ]
        for case in cases:
            with self.subTest(**case):
                program = self.start("geometry", options=options(**case))
                info = self.window_info(program)
                x, y = case["window_x"], case["window_y"]
                self.assertEqual(info["window"],
                                 [x, y, x + case["window_wid"], y + case["window_hei"]])
                self.assertTrue(info["popup"])
                self.assertFalse(info["caption"])
                self.assertEqual(info["thickFrame"], case["window_kotei"] == 0)
                self.assertEqual(info["topmost"], case["window_zzahyo"] == 2)
                client_width, client_height = info["clientSize"]
                if case["window_kotei"] == 0:
                    self.assertLess(client_width, case["window_wid"])
                    self.assertLess(client_height, case["window_hei"])
                else:
                    self.assertEqual(info["clientSize"],
                                     [case["window_wid"], case["window_hei"]])
                self.stop_with(program, WM_COMMAND, harness.IDM_EXIT)

    def test_a_stored_size_of_zero_or_less_starts_at_the_smallest_usable_size(self):
        program = self.start("zero-size", options=options(window_wid=0, window_hei=-40))
        x, y = DEFAULT_OPTIONS["window_x"], DEFAULT_OPTIONS["window_y"]
        self.assertEqual(self.window_info(program)["window"], [x, y, x + 100, y + 100])
        self.stop_with(program, WM_COMMAND, harness.IDM_EXIT)

    def raised_from_outside(self, zzahyo):
        """Whether the window ends above another one after a raise from another process."""
        holder, other = self.session.hold_window(title="other window", x=200, y=150)
        self.addCleanup(holder.kill)
        program = self.start("stacking-%d" % zzahyo, options=options(window_zzahyo=zzahyo))
        self.session.probe("lower", "--hwnd", program.hwnd)
        self.assertFalse(self.session.probe("zorder", "--hwnd", program.hwnd, "--other",
                                            other)["above"])
        self.session.probe("raise", "--hwnd", program.hwnd)
        above = self.session.probe("zorder", "--hwnd", program.hwnd, "--other", other)["above"]
        self.session.screenshot("stacking-%d" % zzahyo)
        self.stop_with(program, WM_COMMAND, harness.IDM_EXIT)
        holder.kill()
        return above

    def test_normal_mode_follows_a_raise(self):
        self.assertTrue(self.raised_from_outside(1))

    # On Windows the raise is turned back by the position-changing answer; Wine 8 raises the
    # window although the answer asks for the bottom, so under Wine this cannot be shown.
    @unittest.skip("Wine 8 ignores a bottom request in the answer to a raise")
    def test_bottom_mode_turns_a_raise_back(self):
        self.assertFalse(self.raised_from_outside(0))

    def test_client_area_is_black_where_the_options_put_the_window(self):
        program = self.start("black", options=options(window_kotei=0, window_x=300,
                                                       window_y=200, window_wid=640,
                                                       window_hei=480))
        info = self.window_info(program)
        time.sleep(0.5)  # let the first paint reach the screen
        width, height, _ = client = self.session.capture(program.hwnd, "black-client")
        self.assertEqual([width, height], info["clientSize"])
        self.assertEqual(harness.colour_counts(client), {(0, 0, 0): width * height})

        screen = self.session.screen_image("black-window")
        left, top, right, bottom = info["client"]
        for x, y in ((left, top), (right - 1, bottom - 1), ((left + right) // 2, top + 5)):
            self.assertEqual(harness.pixel(screen, x, y), (0, 0, 0), (x, y))
        # Outside the window the (white) root shows.
        self.assertEqual(harness.pixel(screen, 299 - 5, 199 - 5), (255, 255, 255))
        self.assertEqual(harness.pixel(screen, 940 + 5, 680 + 5), (255, 255, 255))
        self.stop_with(program, WM_COMMAND, harness.IDM_EXIT)


class OptionFileAtExit(ShellTestCase):
    KEYWORD = "東京タワー".encode("cp932")

    def test_exit_command_rewrites_the_file_in_table_order(self):
        written = b"".join([
            b"window_y=-20\r\n",
            b"foreign_key=7\r\n",
            b"kotei_render=0\r\n",
            b"window_wid=500\r\n",
            b"window_hei=300\r\n",
            b"window_kotei=1\r\n",
            b"window_zzahyo=1\r\n",
            b"serch_byo=40\r\n",
            b"serch_ken=5\r\n",
            b"syokeikoku=1\r\n",
            b"original=1\r\n",
            b"kaku_kousin=0\r\n",
            b"kaku_fukusuu=1\r\n",
            b"kaku_tubuyaki=1\r\n",
            b"kensaku_word=" + self.KEYWORD + b"\r\n",
            b"window_x=-40\r\n",
            b"window_wid=640\r\n",
        ])
        program = self.start("save-on-exit", options=written)
        info = self.window_info(program)
        self.assertEqual(info["window"], [-40, -20, 600, 280],
                         "the last of a doubled key counts, negative numbers too")
        self.stop_with(program, WM_COMMAND, harness.IDM_EXIT)

        expected = harness.expected_option_file({
            "kotei_render": 0, "window_wid": 640, "window_hei": 300, "window_kotei": 1,
            "window_zzahyo": 1, "serch_byo": 25, "serch_ken": 20, "syokeikoku": 1,
            "original": 1, "kaku_kousin": 0, "kaku_fukusuu": 1, "kaku_tubuyaki": 1,
            "kensaku_word": self.KEYWORD, "window_x": -40, "window_y": -20,
        })
        self.assertEqual(self.option_file(program), expected)

    def test_close_request_saves_as_well(self):
        written = harness.option_file_bytes(list(reversed(list(options(
            window_x=222, window_y=111).items()))))
        program = self.start("save-on-close", options=written)
        self.stop_with(program, WM_CLOSE)
        saved = self.option_file(program)
        self.assertEqual(saved, harness.expected_option_file(options(window_x=222,
                                                                      window_y=111)))

    def test_end_of_session_saves_a_setting_changed_in_the_session(self):
        program = self.start("save-at-log-off", options=options(kotei_render=1))
        # Sent, not posted: a sent message overtakes posted ones.
        program.send(WM_COMMAND, IDM_SHOW_PINNED)
        self.assertEqual(program.send(WM_QUERYENDSESSION)["result"], 1)
        ended = program.send(WM_ENDSESSION, 1)
        self.assertTrue(ended["sent"], "answered within the probe's 5 s")
        # The system ends the process after the answer, whatever it still holds.
        program.kill()
        self.assertEqual(self.option_file(program),
                         harness.expected_option_file(options(kotei_render=0)))

    def test_missing_folders_are_created_and_defaults_saved(self):
        # Without txts/ there is no key.txt either: the first start's authorisation cannot
        # reach a service here, says so, and the window follows once the box is closed.
        workdir = self.session.workdir("no-folders", txts=False, kotei=False)
        program = self.session.start_program(workdir)
        box = self.session.probe("wait", "--class", "#32770", "--title", "認証失敗", "--visible",
                                 "--timeout-ms", 60000, check=False)
        self.assertTrue(box.get("found") and not box.get("timeout"), box)
        program.post(WM_COMMAND, IDOK, hwnd=box["window"]["hwnd"])
        program.wait_window()
        info = self.window_info(program)
        left, top, right, bottom = info["window"]
        self.assertTrue(0 <= left < right <= harness.SCREEN_WIDTH, info["window"])
        self.assertTrue(0 <= top < bottom <= harness.SCREEN_HEIGHT, info["window"])
        self.stop_with(program, WM_COMMAND, harness.IDM_EXIT)

        self.assertTrue((program.workdir / "kotei_tiles" / "olds").is_dir())
        saved = harness.parse_option_file(self.option_file(program))
        self.assertEqual(list(saved), harness.OPTION_KEYS)
        self.assertEqual([int(saved[k]) for k in ("window_x", "window_y")], [left, top])
        self.assertEqual([int(saved[k]) for k in ("window_wid", "window_hei")],
                         [right - left, bottom - top])


if __name__ == "__main__":
    unittest.main()
