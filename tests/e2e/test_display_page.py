"""The wall as a desktop citizen, in the real tilvane.exe under Wine: with pause_unseen=1 it
searches (Wine cannot tell who sees the desktop, so the wall counts as seen) and rests while
the session is locked; the "表示" page drops a dormant pin at once and makes and removes the
Startup shortcut "ログオン時に起動", whose target and "Start in" are read back from the
.lnk bytes."""

import struct
import time
import unittest

import harness
from harness import WM_COMMAND
from service_programs import ServiceProgramTestCase

SEARCH_PATH = "/1.1/search/tweets.json"
IDM_SETTINGS = 40003
TITLE = "tilvane(設定)"
OK, CANCEL = 1, 2
TABS = 1039
TILE_FIT, START_AT_LOGON = 1101, 1106
DORMANT_PINS, DROP_DORMANT_PIN = 1110, 1111
WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, WTS_SESSION_UNLOCK = 0x02B1, 7, 8


def shortcut_fields(data):
    """The target (LinkInfo's local base path) and working directory of a shell link."""
    header_size, = struct.unpack_from("<I", data, 0)
    flags, = struct.unpack_from("<I", data, 20)
    at = header_size
    if flags & 0x01:  # HasLinkTargetIDList
        at += 2 + struct.unpack_from("<H", data, at)[0]
    target = None
    if flags & 0x02:  # HasLinkInfo
        info_size, = struct.unpack_from("<I", data, at)
        base_offset, = struct.unpack_from("<I", data, at + 16)
        start = at + base_offset
        target = data[start:data.index(b"\0", start)].decode("latin-1")
        at += info_size
    unicode = bool(flags & 0x80)
    working_dir = None
    for bit in (0x04, 0x08, 0x10, 0x20, 0x40):  # name, relative path, working dir, args, icon
        if flags & bit:
            count, = struct.unpack_from("<H", data, at)
            size = count * (2 if unicode else 1)
            text = data[at + 2:at + 2 + size].decode("utf-16-le" if unicode else "latin-1")
            if bit == 0x10:
                working_dir = text.split("\0")[0]  # Wine counts the terminator too
            at += 2 + size
    return target, working_dir


def same_windows_path(a, b):
    return a.rstrip("\\").lower() == b.rstrip("\\").lower()


class DisplayPage(ServiceProgramTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.session.draw_own_frames()

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
        """Opens "設定" and clicks its third tab, "表示"; the dialog's handle."""
        program.post(WM_COMMAND, IDM_SETTINGS)
        dialog = self.session.probe("wait", "--title", TITLE, "--visible")["window"]["hwnd"]
        left, top, _, _ = self.controls(dialog)[TABS]["rect"]
        for x in (125, 115, 135, 105, 145):  # the tab's place depends on the font's widths
            self.session.xdotool("mousemove", left + x, top + 10, "click", 1)
            time.sleep(0.3)
            if self.controls(dialog)[TILE_FIT]["visible"]:
                return dialog
        self.fail("the tab 表示 did not show its page")

    def confirm(self, dialog, button=OK):
        self.click(dialog, button)
        harness.wait_until(lambda: not any(
            w["visible"] for w in self.session.probe("list", "--title", TITLE)["windows"]),
            10, "closing of the settings dialog")

    def startup_shortcuts(self):
        users = self.session.prefix / "drive_c" / "users"
        return [p for p in users.glob("*/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/*/"
                                      "tilvane.lnk") if p.parent.name.lower() == "startup"]

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
        for stale in self.startup_shortcuts():
            stale.unlink()
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
        # At once, in the text mode the program writes its files in.
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
