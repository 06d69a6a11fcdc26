"""The wall filling itself: tilvane.exe under Wine searches the fake service with the
preissued access token, downloads the images and shows them as tiles with red frames."""

import time
import unittest

import harness
from harness import DEFAULT_OPTIONS
from service_programs import ServiceProgramTestCase
from wall_pixels import COLUMNS, RED, ROWS, WallLayout, close_colours, search_cycles

LAYOUT = WallLayout(755, 380)
CLIENT_WIDTH, CLIENT_HEIGHT = LAYOUT.client_width, LAYOUT.client_height
CELLS = COLUMNS * ROWS
MARK_KEY = (255, 196, 196)

# "rotate" moves on by the count with every search, so the second cycle brings new images.
WALL_OPTIONS = dict(DEFAULT_OPTIONS, kensaku_word="rotate", serch_ken=20,
                    window_wid=CLIENT_WIDTH, window_hei=CLIENT_HEIGHT, window_kotei=1,
                    window_zzahyo=1, window_x=40, window_y=50)


def has_red_frame(image, index):
    return LAYOUT.has_frame(image, index, RED)


def has_no_red(image, index):
    return LAYOUT.has_none_of(image, index, RED)


class WallFromTheService(ServiceProgramTestCase):
    BASE_OPTIONS = WALL_OPTIONS

    def assert_close(self, seen, expected, tolerance, message):
        self.assertTrue(close_colours(seen, expected, tolerance),
                        "%s: %s, expected about %s" % (message, seen, expected))

    def capture_after_cycle(self, program, number, name):
        """(cycles, client image) once search number `number` has been placed: exactly the
        photos it downloaded wear red frames, in the cells after the earlier ones."""
        self.wait_for("search %d" % number,
                      lambda: len(search_cycles(self.service.log_entries())) >= number, 45)

        def placed():
            image = self.session.capture(program.hwnd, name)
            # The log is read after the capture: placement follows the whole cycle.
            cycles = search_cycles(self.service.log_entries())[:number]
            names = cycles[-1][1]
            first_new = sum(len(earlier) for _, earlier in cycles[:-1])
            after = first_new + len(names)
            if names and all(has_red_frame(image, i) for i in range(first_new, after)) and (
                    after >= CELLS or not has_red_frame(image, after)):
                return cycles, image
            return None
        return self.wait_for("tiles of search %d" % number, placed, 30)

    def test_searches_fill_the_wall_and_the_red_frames_move_to_the_new_tiles(self):
        info = self.service.info
        workdir = self.service_workdir("wall")
        started = time.monotonic()
        program = self.start(workdir)

        black = self.session.capture(program.hwnd, "wall-before-search")
        self.assertEqual((black[0], black[1]), (CLIENT_WIDTH, CLIENT_HEIGHT))
        self.assertEqual(set(harness.colour_counts(black)), {(0, 0, 0)})

        cycles, first = self.capture_after_cycle(program, 1, "wall-first-search")
        self.session.screenshot("wall-first-search")
        search, names = cycles[0]
        self.assertEqual(search["signature"], "ok", search.get("reason"))
        self.assertEqual(search["query_params"].get("q"), "rotate")
        self.assertEqual(search["query_params"].get("count"), "20")
        self.assertEqual(search["count"], 20)
        self.assertEqual(search["status"], 200)
        self.assertEqual(search["query_params"].get("oauth_token"), info["access_token"])
        self.assertGreaterEqual(time.monotonic() - started, 8,
                                "the first search waits for the first timer tick")
        # Twenty distinct photos, each downloaded once, from the plain-HTTP image host.
        self.assertEqual(len(names), 20, names)

        for index, name in enumerate(names):
            with self.subTest(cell=index, image=name):
                self.assert_close(LAYOUT.interior_mean(first, index),
                                  LAYOUT.expected_interior_mean(name), 24, "cell colour")
                self.assertTrue(has_red_frame(first, index),
                                LAYOUT.frame_sides(first, index, RED))
        for index in range(len(names), CELLS):
            self.assertEqual(LAYOUT.interior_mean(first, index, inset=1), (0, 0, 0),
                             "cell %d stays black" % index)
        counts = harness.colour_counts(first)
        self.assertLess(counts.get(MARK_KEY, 0), 50, "the mark's key colour is transparent")
        self.assertGreater(len(counts), 500, "image colours, not flat fills")

        # The second search brings the last six photos of the set; they go after the
        # twenty, and only they wear the red frame now.
        cycles, second = self.capture_after_cycle(program, 2, "wall-second-search")
        self.session.screenshot("wall-second-search")
        search, new_names = cycles[1]
        self.assertEqual(search["signature"], "ok", search.get("reason"))
        self.assertEqual(len(new_names), 6, new_names)
        self.assertFalse(set(new_names) & set(names))
        for offset, name in enumerate(new_names):
            index = len(names) + offset
            with self.subTest(cell=index, image=name):
                self.assert_close(LAYOUT.interior_mean(second, index),
                                  LAYOUT.expected_interior_mean(name), 24, "cell colour")
                self.assertTrue(has_red_frame(second, index),
                                LAYOUT.frame_sides(second, index, RED))
        for index, name in enumerate(names):
            with self.subTest(cell=index, image=name):
                self.assertTrue(has_no_red(second, index),
                                LAYOUT.frame_sides(second, index, RED))
                self.assert_close(LAYOUT.interior_mean(second, index),
                                  LAYOUT.interior_mean(first, index), 2, "cell unchanged")

        program.exit_command()
        self.assertEqual(program.wait_exit(), 0)
        written = harness.parse_option_file(
            (workdir / "txts" / "tva_option.txt").read_bytes())
        self.assertEqual(written["kensaku_word"], b"rotate")
        self.assertEqual(written["serch_ken"], b"20")
        self.assertEqual(written["window_wid"], b"%d" % CLIENT_WIDTH)
        self.assertEqual((written["window_x"], written["window_y"]), (b"40", b"50"))
        print("wall test: %.1f s from start to exit" % (time.monotonic() - started))


if __name__ == "__main__":
    unittest.main()
