"""tilvane.exe under Wine: with pause_unseen=1 it searches (Wine cannot tell who sees the
desktop) and rests while the session is locked; the "表示" page drops a dormant pin and makes
and removes the Startup shortcut, read back from the .lnk bytes."""

import struct
import time
import unittest

import harness
from harness import WM_COMMAND
from service_programs import ServiceProgramTestCase

SEARCH_PATH = "/1.1/search/tweets.json"
IDM_SETTINGS = 40003
TITLE = "tilvane(設定)"
OK = 1
TABS = 1039
TILE_FIT, START_AT_LOGON, DORMANT_PINS, DROP_DORMANT_PIN = 1101, 1106, 1110, 1111
WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, WTS_SESSION_UNLOCK = 0x02B1, 7, 8


def shortcut_fields(data):
    """The target (LinkInfo's local base path) and "Start in" of a Unicode shell link."""
    flags, = struct.unpack_from("<I", data, 20)
    at = 0x4C
    if flags & 0x01:  # an item id list
        at += 2 + struct.unpack_from("<H", data, at)[0]
    base = at + struct.unpack_from("<I", data, at + 16)[0]
    target = data[base:data.index(b"\0", base)].decode("latin-1")
    at += struct.unpack_from("<I", data, at)[0]
    text = None
    for bit in (0x04, 0x08, 0x10):  # name, relative path, working directory
        if flags & bit:
            count, = struct.unpack_from("<H", data, at)
            text = data[at + 2:at + 2 + 2 * count].decode("utf-16-le")
            at += 2 + 2 * count
    return target, (text or "").split("\0")[0]  # Wine counts the terminator too


def same_windows_path(a, b):
    return a.rstrip("\\").lower() == b.rstrip("\\").lower()


class DisplayPage(ServiceProgramTestCase):
    def searches(self):
        return [e for e in self.service.log_entries() if e.get("path") == SEARCH_PATH]

    def controls(self, dialog):
        return {c["id"]: c for c in self.session.probe("children", "--hwnd", dialog)["children"]
                if c["id"] > 0}

    def click(self, dialog, control_id):
        left, top, right, bottom = self.controls(dialog)[control_id]["rect"]
        self.session.xdotool("mousemove", (left + right) // 2, (top + bottom) // 2, "click", 1)
        time.sleep(0.3)

    def open_display_page(self, program):
        """Opens "設定" and clicks its fourth tab, "表示"; the dialog's handle."""
        program.post(WM_COMMAND, IDM_SETTINGS)
        dialog = self.session.probe("wait", "--title", TITLE, "--visible")["window"]["hwnd"]
        left, top, _, _ = self.controls(dialog)[TABS]["rect"]
        for x in (205, 195, 215, 185, 225):  # the tab's place depends on the font's widths
            self.session.xdotool("mousemove", left + x, top + 10, "click", 1)
            time.sleep(0.3)
            if self.controls(dialog)[TILE_FIT]["visible"]:
                return dialog
        self.fail("the tab 表示 did not show its page")

    def confirm(self, dialog):
        self.click(dialog, OK)
        harness.wait_until(lambda: not any(
            w["visible"] for w in self.session.probe("list", "--title", TITLE)["windows"]),
            10, "closing of the settings dialog")

    def startup_shortcuts(self):
        return list((self.session.prefix / "drive_c" / "users").glob(
            "*/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/[Ss]tart[Uu]p/tilvane.lnk"))

    def test_an_unseen_wall_rests_while_locked_and_searches_again_after(self):
        workdir = self.service_workdir("unseen", kensaku_word="cats")
        (workdir / "txts" / "wall.txt").write_bytes(b"pause_unseen=1\n")
        program = self.start(workdir)
        harness.wait_until(self.searches, 25, "a search with pause_unseen=1 under Wine")

        program.post(WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK)
        time.sleep(3)  # a cycle under way at the lock may still be logged
        resting = len(self.searches())
        time.sleep(13)
        self.assertEqual(len(self.searches()), resting, "searched while the session was locked")

        program.post(WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK)
        harness.wait_until(lambda: len(self.searches()) > resting, 15, "search after unlock")
        program.exit_command()
        self.assertEqual(program.wait_exit(), 0)

    def test_dormant_pins_are_dropped_and_the_startup_shortcut_made_and_removed(self):
        workdir = self.service_workdir("display-page")
        self.session.pin_tiles(workdir, [("http://pics.example/a01.jpg", 0, 0, "a01.jpg")])
        pinned = (workdir / "txts" / "kotei_jpgs.txt").read_bytes()
        with open(workdir / "txts" / "kotei_jpgs.txt", "ab") as listed:
            listed.write(b"name=http://gone.example/x.jpg,x=1,y=1\r\n"
                         b"name=http://gone.example/y.jpg,x=2,y=1\r\n")
        program = self.start(workdir)

        dialog = self.open_display_page(program)
        controls = self.controls(dialog)
        self.assertFalse(controls[START_AT_LOGON]["checked"])
        self.assertEqual(controls[DORMANT_PINS]["value"], "http://gone.example/x.jpg")
        self.click(dialog, DROP_DORMANT_PIN)
        self.assertEqual((workdir / "txts" / "kotei_jpgs.txt").read_bytes(),
                         pinned + b"name=http://gone.example/y.jpg,x=2,y=1\r\n")
        self.assertEqual(self.controls(dialog)[DORMANT_PINS]["value"],
                         "http://gone.example/y.jpg")
        self.click(dialog, START_AT_LOGON)
        self.confirm(dialog)

        shortcuts = self.startup_shortcuts()
        self.assertEqual(len(shortcuts), 1)
        target, start_in = shortcut_fields(shortcuts[0].read_bytes())
        self.assertTrue(same_windows_path(start_in, self.session.windows_path(workdir)),
                        repr(start_in))
        self.assertTrue(same_windows_path(target, self.session.windows_path(harness.TILVANE_EXE)),
                        repr(target))

        dialog = self.open_display_page(program)
        self.assertTrue(self.controls(dialog)[START_AT_LOGON]["checked"])
        self.click(dialog, START_AT_LOGON)
        self.confirm(dialog)
        self.assertEqual(self.startup_shortcuts(), [])
        program.exit_command()
        self.assertEqual(program.wait_exit(), 0)


if __name__ == "__main__":
    unittest.main()
