"""The wall filling itself: tilvane.exe under Wine searches the fake service with the
preissued access token, downloads the images and shows them as tiles with red frames."""

import subprocess
import time
import unittest

import harness
from harness import DEFAULT_OPTIONS

CLIENT_WIDTH, CLIENT_HEIGHT = 755, 380
CELL_WIDTH, CELL_HEIGHT = 75, 76
COLUMNS, ROWS = 10, 5
RED = (224, 0, 0)
MARK_KEY = (255, 196, 196)
SEARCH_PATH = "/1.1/search/tweets.json"

# "rotate" moves on by the count with every search, so the second cycle brings new images.
WALL_OPTIONS = dict(DEFAULT_OPTIONS, kensaku_word="rotate", serch_ken=20,
                    window_wid=CLIENT_WIDTH, window_hei=CLIENT_HEIGHT, window_kotei=1,
                    window_zzahyo=1, window_x=40, window_y=50)


def client_x(grid_x):
    """Where a back-buffer column lands after the final stretch of 750 onto 755 pixels."""
    return grid_x * CLIENT_WIDTH // (COLUMNS * CELL_WIDTH)


def cell_rect(index):
    col, row = index % COLUMNS, index // COLUMNS
    return col * CELL_WIDTH, row * CELL_HEIGHT


def red_run(pixels):
    return sum(1 for p in pixels if p == RED)


def frame_sides(image, index):
    """For each side of the cell (left, right, top, bottom): at three places along it, the
    number of exactly red pixels in the six pixels reaching inwards from the edge."""
    left, top = cell_rect(index)
    right, bottom = left + CELL_WIDTH - 1, top + CELL_HEIGHT - 1
    sides = []
    along_y = [top + CELL_HEIGHT * k // 4 for k in (1, 2, 3)]
    along_x = [left + CELL_WIDTH * k // 4 for k in (1, 2, 3)]
    sides.append([red_run(harness.pixel(image, client_x(left) + d, y) for d in range(6))
                  for y in along_y])
    sides.append([red_run(harness.pixel(image, client_x(right + 1) - 1 - d, y)
                          for d in range(6)) for y in along_y])
    sides.append([red_run(harness.pixel(image, client_x(x), top + d) for d in range(6))
                  for x in along_x])
    sides.append([red_run(harness.pixel(image, client_x(x), bottom - d) for d in range(6))
                  for x in along_x])
    return sides


def has_red_frame(image, index):
    return all(count >= 2 for side in frame_sides(image, index) for count in side)


def has_no_red(image, index):
    return all(count == 0 for side in frame_sides(image, index) for count in side)


def mean_colour(image, x0, y0, x1, y1):
    total = [0, 0, 0]
    count = 0
    for y in range(y0, y1):
        for x in range(x0, x1):
            for channel, value in enumerate(harness.pixel(image, x, y)):
                total[channel] += value
            count += 1
    return tuple(round(t / count) for t in total)


def cell_interior_mean(image, index):
    """Mean colour of the cell inside its frame, in client coordinates."""
    left, top = cell_rect(index)
    inset = 10
    return mean_colour(image, client_x(left + inset), top + inset,
                       client_x(left + CELL_WIDTH - inset), top + CELL_HEIGHT - inset)


def expected_interior_mean(name, cache={}):
    """The same mean of the served picture squeezed into one cell by ImageMagick."""
    if name not in cache:
        path = harness.SOURCE_DIR / "tools" / "fakeservice" / "media" / name
        ppm = subprocess.run(["convert", str(path), "-sample", "%dx%d!" % (CELL_WIDTH,
                                                                              CELL_HEIGHT),
                              "ppm:-"], stdout=subprocess.PIPE, check=True, timeout=60).stdout
        path = harness.ARTIFACTS_DIR / ("expected-%s.ppm" % name)
        path.write_bytes(ppm)
        inset = 10
        cache[name] = mean_colour(harness.read_ppm(path), inset, inset,
                                  CELL_WIDTH - inset, CELL_HEIGHT - inset)
    return cache[name]


def search_cycles(entries):
    """[(search entry, [media names served with 200, first download of each, in order])]."""
    cycles = []
    for entry in entries:
        if entry.get("path") == SEARCH_PATH:
            cycles.append((entry, []))
        elif cycles and entry.get("media") and entry.get("status") == 200:
            names = cycles[-1][1]
            if entry["media"] not in names:
                names.append(entry["media"])
    return cycles


class WallFromTheService(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.session = harness.shared_session()

    def setUp(self):
        self.addCleanup(self.session.stop_programs)
        self.service = self.session.fake_service()
        self.addCleanup(self.service.stop)

    def wait_for(self, what, check, timeout):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            result = check()
            if result:
                return result
            time.sleep(0.5)
        self.fail("no %s within %ss" % (what, timeout))

    def assert_close(self, seen, expected, tolerance, message):
        self.assertTrue(all(abs(a - b) <= tolerance for a, b in zip(seen, expected)),
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
                    after >= COLUMNS * ROWS or not has_red_frame(image, after)):
                return cycles, image
            return None
        return self.wait_for("tiles of search %d" % number, placed, 30)

    def test_searches_fill_the_wall_and_the_red_frames_move_to_the_new_tiles(self):
        info = self.service.info
        service_txt = (self.service.state_dir / "service.txt").read_text()
        workdir = self.session.workdir("wall", options=WALL_OPTIONS,
                                       key=(info["access_token"], info["access_token_secret"]),
                                       service=service_txt)
        started = time.monotonic()
        program = self.session.start_program(workdir)
        program.wait_window()

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
                self.assert_close(cell_interior_mean(first, index),
                                  expected_interior_mean(name), 24, "cell colour")
                self.assertTrue(has_red_frame(first, index), frame_sides(first, index))
        for index in range(len(names), COLUMNS * ROWS):
            left, top = cell_rect(index)
            self.assertEqual(
                mean_colour(first, client_x(left) + 1, top + 1,
                            client_x(left + CELL_WIDTH) - 1, top + CELL_HEIGHT - 1),
                (0, 0, 0), "cell %d stays black" % index)
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
                self.assert_close(cell_interior_mean(second, index),
                                  expected_interior_mean(name), 24, "cell colour")
                self.assertTrue(has_red_frame(second, index), frame_sides(second, index))
        for index, name in enumerate(names):
            with self.subTest(cell=index, image=name):
                self.assertTrue(has_no_red(second, index), frame_sides(second, index))
                self.assert_close(cell_interior_mean(second, index),
                                  cell_interior_mean(first, index), 2, "cell unchanged")

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
