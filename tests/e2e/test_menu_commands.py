"""The context menu's tile commands with real mouse input, on a wall that tilvane.exe fills
from the fake service under Wine: the yellow frame over the right-clicked tile, copying its
address and its original address, pinning and unpinning it (frame, file, list, restart) and
showing or hiding the green frames.

With TILVANE_E2E_DOCS=1 the test also renders docs/context-menu.png and
docs/wall-frames.png."""

import re
import unittest

import harness
import menu_driving as menu
from harness import DEFAULT_OPTIONS
from service_programs import ServiceProgramTestCase
from wall_pixels import GREEN, RED, YELLOW, WallLayout, close_colours, search_cycles

IDM_PIN_TILE, IDM_SHOW_PINNED, IDM_COPY_URL, IDM_COPY_ORIGINAL_URL = 40018, 40019, 40020, 40021
# "この画像を表示しない", "この投稿者を表示しない", "投稿を開く"
MODERATION_ITEMS = (40026, 40027, 40028)
LAYOUT = WallLayout(755, 380)
# "cats" brings twelve distinct photos, so cells 12 and on stay empty.
CAT_PHOTOS = 12
WALL_OPTIONS = dict(DEFAULT_OPTIONS, kensaku_word="cats", serch_ken=20, kotei_render=1,
                    window_wid=LAYOUT.client_width, window_hei=LAYOUT.client_height,
                    window_kotei=1, window_zzahyo=1, window_x=40, window_y=50)


def grayed(report, commands):
    items = menu.items_by_id(report["menus"][-1]["items"])
    return [items[command]["grayed"] for command in commands]


class TileCommandsTestCase(ServiceProgramTestCase):
    BASE_OPTIONS = WALL_OPTIONS

    def setUp(self):
        super().setUp()
        self.workdir = self.service_workdir(self.id().rsplit(".", 1)[-1])

    def wait_for_placement(self, program, cycle, cells, name):
        """(names the search downloaded, client image) once search number `cycle` of this
        service has been placed: every cell of `cells` wears a red frame."""
        self.wait_for("search %d" % cycle,
                      lambda: len(search_cycles(self.service.log_entries())) >= cycle, 45)

        def placed():
            image = self.session.capture(program.hwnd, name)
            downloaded = search_cycles(self.service.log_entries())[cycle - 1][1]
            if len(downloaded) >= len(cells) and all(
                    LAYOUT.has_frame(image, index, RED) for index in cells):
                return downloaded, image
            return None
        return self.wait_for("tiles of search %d" % cycle, placed)

    def capture_when(self, program, what, name, condition):
        """The first client capture for which condition(image) holds."""
        return self.wait_for(what, lambda: (lambda image: image if condition(image) else None)(
            self.session.capture(program.hwnd, name)), 10)

    def address_of(self, name):
        return "%s/media/%s" % (self.service.info["image_url"], name)

    def tile_point(self, program, index):
        """A screen point inside the cell near its bottom-right corner: the menu opens there
        and leaves the cell's frame in view."""
        left, top = self.session.probe("info", "--hwnd", program.hwnd)["client"][:2]
        _, _, right, bottom = LAYOUT.cell_on_client(index)
        return left + right - 9, top + bottom - 9

    def menu_on(self, program, index):
        return menu.open_context_menu(self.session, *self.tile_point(program, index))

    def clipboard_becomes(self, text):
        return self.wait_for("clipboard %r" % text,
                             lambda: self.session.probe("clipboard")["text"] == text, 10)

    def set_clipboard(self, text):
        self.session.probe("set-clipboard", "--hex", text.encode("ascii").hex())

    def pinned_list(self):
        path = self.workdir / "txts" / "kotei_jpgs.txt"
        return path.read_bytes() if path.exists() else None


class CopyCommands(TileCommandsTestCase):
    def test_the_right_clicked_tile_is_framed_and_its_addresses_are_copied(self):
        program = self.start(self.workdir)
        names, _ = self.wait_for_placement(program, 1, range(CAT_PHOTOS), "copy-wall")
        self.assertEqual(len(names), CAT_PHOTOS, names)
        address = self.address_of(names[2])
        self.set_clipboard("before")

        report = self.menu_on(program, 2)
        marks = menu.check_marks(report)
        self.assertFalse(marks[IDM_PIN_TILE])
        # The designed search names neither the author nor the post of a picture.
        self.assertEqual(grayed(report, MODERATION_ITEMS), [False, True, True])
        self.assertTrue(marks[IDM_SHOW_PINNED])
        framed = self.session.capture(program.hwnd, "copy-menu-open")
        self.assertTrue(LAYOUT.has_frame(framed, 2, YELLOW), LAYOUT.frame_sides(framed, 2,
                                                                                 YELLOW))
        for index in (1, 3, 12):
            self.assertTrue(LAYOUT.has_none_of(framed, index, YELLOW), index)
        self.write_doc(program, "context-menu")
        menu.choose(self.session, IDM_COPY_URL)
        self.clipboard_becomes(address)
        after = self.session.capture(program.hwnd, "copy-menu-closed")
        self.assertTrue(LAYOUT.has_none_of(after, 2, YELLOW),
                        "the yellow frame goes with the menu")
        self.assertTrue(LAYOUT.has_frame(after, 2, RED))

        self.menu_on(program, 2)
        menu.choose(self.session, IDM_COPY_ORIGINAL_URL)
        self.clipboard_becomes(address + ":orig")

        # An empty cell selects nothing: the commands still act on the tile clicked before.
        self.set_clipboard("before")
        report = self.menu_on(program, 30)
        self.assertFalse(menu.check_marks(report)[IDM_PIN_TILE])
        self.assertEqual(grayed(report, MODERATION_ITEMS), [True, True, True])
        unframed = self.session.capture(program.hwnd, "copy-empty-cell")
        for index in (2, 30):
            self.assertTrue(LAYOUT.has_none_of(unframed, index, YELLOW), index)
        menu.choose(self.session, IDM_COPY_URL)
        self.clipboard_becomes(address)

        program.exit_command()
        self.assertEqual(program.wait_exit(), 0)


class PinCommand(TileCommandsTestCase):
    def assert_picture(self, image, index, name):
        seen = LAYOUT.interior_mean(image, index)
        expected = LAYOUT.expected_interior_mean(name)
        self.assertTrue(close_colours(seen, expected, 24),
                        "cell %d shows %s, expected about %s (%s)" % (index, seen, expected, name))

    def test_a_pinned_tile_keeps_its_cell_through_searches_and_a_restart(self):
        program = self.start(self.workdir)
        names, _ = self.wait_for_placement(program, 1, range(CAT_PHOTOS), "pin-wall")
        pinned_name = names[2]
        address = self.address_of(pinned_name)
        pinned_file = self.workdir / "kotei_tiles" / pinned_name
        served = (harness.SOURCE_DIR / "tools" / "fakeservice" / "media" /
                  pinned_name).read_bytes()

        self.menu_on(program, 2)
        menu.choose(self.session, IDM_PIN_TILE)
        self.wait_for("the pinned file", pinned_file.exists, 10)
        self.assertEqual(pinned_file.read_bytes(), served)
        self.assertEqual(self.pinned_list(), b"name=%s,x=2,y=0\r\n" % address.encode())
        image = self.session.capture(program.hwnd, "pin-pinned")
        self.assertTrue(LAYOUT.has_frame(image, 2, GREEN), LAYOUT.frame_sides(image, 2, GREEN))
        self.assertTrue(LAYOUT.has_frame(image, 1, RED))
        self.assertTrue(LAYOUT.has_none_of(image, 1, GREEN))
        self.assertTrue(menu.check_marks(self.menu_on(program, 2))[IDM_PIN_TILE])
        menu.close_menu(self.session)
        self.assertFalse(menu.check_marks(self.menu_on(program, 1))[IDM_PIN_TILE])
        menu.close_menu(self.session)

        # "固定状態のタイルを表示" hides the green frames (the red one shows again) and back.
        self.menu_on(program, 20)
        menu.choose(self.session, IDM_SHOW_PINNED)
        hidden = self.capture_when(program, "hidden green frames", "pin-hidden",
                                   lambda image: LAYOUT.has_none_of(image, 2, GREEN))
        self.assertTrue(LAYOUT.has_frame(hidden, 2, RED))
        self.assertFalse(menu.check_marks(self.menu_on(program, 20))[IDM_SHOW_PINNED])
        menu.choose(self.session, IDM_SHOW_PINNED)
        self.capture_when(program, "green frames again", "pin-shown",
                          lambda image: LAYOUT.has_frame(image, 2, GREEN))
        self.assertTrue(menu.check_marks(self.menu_on(program, 20))[IDM_SHOW_PINNED])
        menu.close_menu(self.session)
        self.write_doc(program, "wall-frames")

        program.exit_command()
        self.assertEqual(program.wait_exit(), 0)
        saved = harness.parse_option_file((self.workdir / "txts" / "tva_option.txt").read_bytes())
        self.assertEqual(saved["kotei_render"], b"1")

        # After a restart the tile is back in its cell, framed; the next search fills the
        # other cells only and leaves the pinned photo where it is.
        searches_before = len(search_cycles(self.service.log_entries()))
        program = self.start(self.workdir)
        restored = self.capture_when(program, "the pinned tile", "pin-restarted",
                                     lambda image: LAYOUT.has_frame(image, 2, GREEN))
        self.assert_picture(restored, 2, pinned_name)
        self.assertEqual(LAYOUT.interior_mean(restored, 1), (0, 0, 0))
        others = [index for index in range(CAT_PHOTOS) if index != 2]
        new_names, refilled = self.wait_for_placement(program, searches_before + 1, others,
                                                      "pin-refilled")
        self.assertEqual(len(new_names), CAT_PHOTOS - 1)
        self.assertNotIn(pinned_name, new_names)
        for index, name in zip(others, new_names):
            with self.subTest(cell=index, photo=name):
                self.assert_picture(refilled, index, name)
        self.assertTrue(LAYOUT.has_frame(refilled, 2, GREEN))
        self.assertTrue(LAYOUT.has_none_of(refilled, 2, RED))
        self.assert_picture(refilled, 2, pinned_name)
        self.assertTrue(LAYOUT.has_none_of(refilled, CAT_PHOTOS, RED))

        # Choosing the command again unpins: the file retires to olds/, the line goes.
        self.assertTrue(menu.check_marks(self.menu_on(program, 2))[IDM_PIN_TILE])
        menu.choose(self.session, IDM_PIN_TILE)
        self.wait_for("the retired file", lambda: not pinned_file.exists(), 10)
        retired = list((self.workdir / "kotei_tiles" / "olds").iterdir())
        self.assertEqual(len(retired), 1, retired)
        self.assertRegex(retired[0].name, r"^_old_\d{1,4}_%s$" % re.escape(pinned_name))
        self.assertEqual(retired[0].read_bytes(), served)
        self.assertEqual(self.pinned_list(), b"")
        self.capture_when(program, "no green frame", "pin-unpinned",
                          lambda image: LAYOUT.has_none_of(image, 2, GREEN))
        self.assertFalse(menu.check_marks(self.menu_on(program, 2))[IDM_PIN_TILE])
        menu.close_menu(self.session)
        program.exit_command()
        self.assertEqual(program.wait_exit(), 0)


class LongAddresses(unittest.TestCase):
    """Pinned tiles whose addresses come near the 255 bytes a tile name holds: the original
    address is copied only when it fits whole."""

    def test_an_original_address_that_would_not_fit_leaves_the_clipboard_alone(self):
        session = harness.shared_session()
        self.addCleanup(session.stop_programs)
        base = "http://127.0.0.1:9/"
        fits, too_long = [base + letter * (length - len(base) - 8) + "/a%02d.jpg" % number
                          for letter, length, number in (("f", 250, 1), ("t", 251, 2))]
        self.assertEqual((len(fits), len(too_long)), (250, 251))
        workdir = session.workdir("long-addresses", options=WALL_OPTIONS)
        session.pin_tiles(workdir, [(fits, 0, 0, "a01.jpg"), (too_long, 1, 0, "a02.jpg")])
        program = session.start_program(workdir)
        program.wait_window()
        left, top = session.probe("info", "--hwnd", program.hwnd)["client"][:2]

        def choose_on(cell, command):
            x, y = LAYOUT.centre(cell)
            menu.open_context_menu(session, left + x, top + y)
            menu.choose(session, command)

        def clipboard_becomes(text):
            harness.wait_until(lambda: session.probe("clipboard")["text"] == text, 10,
                               "clipboard %r" % text)

        choose_on(0, IDM_COPY_ORIGINAL_URL)
        clipboard_becomes(fits + ":orig")
        choose_on(1, IDM_COPY_URL)
        clipboard_becomes(too_long)
        session.probe("set-clipboard", "--hex", b"before".hex())
        choose_on(1, IDM_COPY_ORIGINAL_URL)
        # Commands run in the order chosen: once the green frames are gone, the copy
        # command before has run as well.
        choose_on(1, IDM_SHOW_PINNED)
        harness.wait_until(lambda: LAYOUT.has_none_of(
            session.capture(program.hwnd, "long-addresses"), 1, GREEN), 10, "hidden frames")
        self.assertEqual(session.probe("clipboard")["text"], "before")
        program.exit_command()
        self.assertEqual(program.wait_exit(), 0)


if __name__ == "__main__":
    unittest.main()
