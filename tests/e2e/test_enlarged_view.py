"""The enlarged view of the real tilvane.exe under Wine: a double-click on a tile shows its
picture at natural size centred on the screen, searching pauses or goes on by the option
kaku_kousin, the view is dragged at its size and closed by the right button's release, Esc
and the close message. Mouse and keys are real X input (xdotool); the pixels are read back
from the X screen."""

import subprocess
import time
import unittest

import harness
from harness import WM_CLOSE
from service_programs import ServiceProgramTestCase

SEARCH_PATH = "/1.1/search/tweets.json"
MEDIA_DIR = harness.SOURCE_DIR / "tools" / "fakeservice" / "media"
# The main window of DEFAULT_OPTIONS: fixed frame, 750 × 375 at (100, 120): 75-pixel cells.
MAIN_X, MAIN_Y, CELL = 100, 120, 75


def cell_centre(column, row):
    return MAIN_X + column * CELL + CELL // 2, MAIN_Y + row * CELL + CELL // 2


def decoded(path, name):
    """The picture's pixels as ImageMagick decodes it."""
    ppm = subprocess.run(["convert", str(path), "ppm:-"], stdout=subprocess.PIPE, check=True,
                         timeout=60).stdout
    out = harness.ARTIFACTS_DIR / ("expected-%s.ppm" % name)
    out.write_bytes(ppm)
    return harness.read_ppm(out)


def region(image, left, top, width, height):
    return [harness.pixel(image, x, y) for y in range(top, top + height)
            for x in range(left, left + width)]


def mean_difference(seen, expected):
    """Mean absolute difference per channel; two JPEG decoders differ by a little."""
    total = sum(abs(a - b) for p, q in zip(seen, expected) for a, b in zip(p, q))
    return total / (3 * len(expected))


def mean_colour(pixels):
    return tuple(round(sum(p[c] for p in pixels) / len(pixels)) for c in range(3))


class EnlargedView(ServiceProgramTestCase):
    def searches(self):
        return [e for e in self.service.log_entries() if e.get("path") == SEARCH_PATH]

    def first_images(self):
        """The media names downloaded after the first search, in order."""
        names, seen_search = [], False
        for entry in self.service.log_entries():
            if entry.get("path") == SEARCH_PATH:
                if seen_search:
                    break
                seen_search = True
            elif seen_search and entry.get("media") and entry.get("status") == 200:
                if entry["media"] not in names:
                    names.append(entry["media"])
        return names

    def main_cell(self, program, column, row):
        image = self.session.capture(program.hwnd, "main-client")
        return region(image, column * CELL + 10, row * CELL + 10, CELL - 20, CELL - 20)

    def wait_for_tiles(self, program):
        harness.wait_until(lambda: mean_colour(self.main_cell(program, 0, 0)) != (0, 0, 0), 45,
                           "tiles in the first cell")

    def views(self):
        return [w for w in self.session.probe("list", "--class", "#32770")["windows"]
                if w["visible"] and w["title"] == ""]

    def double_click(self, x, y):
        self.session.xdotool("mousemove", x, y)
        time.sleep(0.2)
        self.session.xdotool("click", "--repeat", 2, "--delay", 80, 1)
        views = harness.wait_until(self.views, 10, "enlarged view")
        self.assertEqual(len(views), 1)
        time.sleep(0.5)  # its first paint
        return views[0]["hwnd"]

    def rect(self, view):
        return self.session.probe("info", "--hwnd", view)["window"]

    def drag(self, start, end, steps=10):
        (x0, y0), (x1, y1) = start, end
        self.session.xdotool("mousemove", x0, y0, "mousedown", 1)
        time.sleep(0.3)
        for k in range(1, steps + 1):
            self.session.xdotool("mousemove", x0 + (x1 - x0) * k // steps,
                                 y0 + (y1 - y0) * k // steps)
            time.sleep(0.05)
        self.session.xdotool("mouseup", 1)
        time.sleep(0.8)

    def wait_closed(self):
        harness.wait_until(lambda: not self.views(), 10, "closing of the view")

    def assert_shows(self, screen, left, top, picture, columns=None):
        """The screen at (left, top) shows the picture, or its columns from columns[0] on."""
        width, height, _ = picture
        first = columns[0] if columns else 0
        seen = region(screen, left, top, width - first, height)
        expected = region(picture, first, 0, width - first, height)
        difference = mean_difference(seen, expected)
        self.assertLess(difference, 4, "mean difference %.2f from the picture" % difference)

    def test_paused_search_natural_size_drag_and_right_button_release(self):
        program = self.start(self.service_workdir("view-paused", kensaku_word="cats",
                                                  kaku_kousin=0))
        self.wait_for_tiles(program)
        name = self.first_images()[0]
        picture = decoded(MEDIA_DIR / name, name)
        width, height, _ = picture

        view = self.double_click(*cell_centre(0, 0))
        opened = time.monotonic()
        left = (harness.SCREEN_WIDTH - width) // 2
        top = (harness.SCREEN_HEIGHT - height) // 2
        self.assertEqual(self.rect(view), [left, top, left + width, top + height])
        self.assert_shows(self.session.screen_image("view-opened"), left, top, picture)

        # A click without moving leaves it where it is; a drag moves it at its size.
        centre = (left + width // 2, top + height // 2)
        self.session.xdotool("mousemove", *centre, "click", 1)
        time.sleep(0.8)
        self.assertEqual(self.rect(view), [left, top, left + width, top + height])
        self.drag(centre, (centre[0] - 300, centre[1] + 200))
        self.assertEqual(self.rect(view), [left - 300, top + 200, left - 300 + width,
                                           top + 200 + height])
        # Partly beyond the left edge only the part from the edge on is drawn; back on the
        # screen the whole picture is drawn again.
        beyond = width // 4
        self.drag((centre[0] - 300, centre[1] + 200), (width // 2 - beyond, centre[1] + 200),
                  steps=20)
        self.assertEqual(self.rect(view), [-beyond, top + 200, width - beyond,
                                           top + 200 + height])
        self.assert_shows(self.session.screen_image("view-beyond-left"), 0, top + 200,
                          picture, columns=(beyond,))
        self.drag((width // 2 - beyond, centre[1] + 200), (500, 500))
        moved = self.rect(view)
        self.assertEqual((moved[2] - moved[0], moved[3] - moved[1]), (width, height))
        self.assert_shows(self.session.screen_image("view-back"), moved[0], moved[1], picture)

        # No search while the view is open (a cycle already under way may still be logged).
        time.sleep(max(0, opened + 3 - time.monotonic()))
        paused = len(self.searches())
        time.sleep(max(0, opened + 15 - time.monotonic()))
        self.assertEqual(len(self.searches()), paused, "searched while the view was open")

        # The press of the right button leaves it open; its release closes it.
        self.session.xdotool("mousemove", moved[0] + 5, moved[1] + 5, "mousedown", 3)
        time.sleep(0.8)
        self.assertEqual(len(self.views()), 1)
        self.session.xdotool("mouseup", 3)
        self.wait_closed()
        harness.wait_until(lambda: len(self.searches()) > paused, 25, "search after closing")

        program.exit_command()
        self.assertEqual(program.wait_exit(), 0)

    def test_searches_go_on_and_a_replaced_tile_leaves_the_view_as_it_was(self):
        workdir = self.service_workdir("view-updating", kensaku_word="rotate", serch_ken=10,
                                       kaku_kousin=1)
        # Rows 1 to 4 are pinned, so every search of ten replaces the whole first row. The
        # pinned tile in the last cell is larger than the screen.
        big = workdir / "big.jpg"
        subprocess.run(["convert", "-size", "2100x1200", "gradient:green-yellow", "-quality",
                        "90", str(big)], check=True, timeout=60)
        self.session.pin_tiles(workdir, [
            ("http://127.0.0.1:9/pins/pin%d%d.jpg" % (column, row), column, row,
             big if (column, row) == (9, 4) else "a12.jpg")
            for row in range(1, 5) for column in range(10)])

        program = self.start(workdir)
        self.wait_for_tiles(program)
        before = mean_colour(self.main_cell(program, 0, 0))
        name = self.first_images()[0]
        picture = decoded(MEDIA_DIR / name, name)
        width, height, _ = picture
        view = self.double_click(*cell_centre(0, 0))
        left, top, right, bottom = self.rect(view)
        self.assertEqual((right - left, bottom - top), (width, height))
        shown = region(self.session.screen_image("view-before-replacement"), left, top, width,
                       height)
        self.assertLess(mean_difference(shown, region(picture, 0, 0, width, height)), 4)
        searches = len(self.searches())

        harness.wait_until(lambda: mean_colour(self.main_cell(program, 0, 0)) != before, 45,
                           "replacement of the first tile")
        self.assertGreater(len(self.searches()), searches)
        self.assertEqual(region(self.session.screen_image("view-after-replacement"), left, top,
                                width, height), shown)
        # Moved, the view paints itself again: still from its own copy.
        self.drag((left + width // 2, top + height // 2),
                  (left + width // 2 + 40, top + height // 2 + 30))
        self.assertEqual(self.rect(view), [left + 40, top + 30, right + 40, bottom + 30])
        self.assertEqual(region(self.session.screen_image("view-moved-after-replacement"),
                                left + 40, top + 30, width, height), shown)

        self.session.xdotool("key", "Escape")
        self.wait_closed()

        big = self.double_click(*cell_centre(9, 4))
        self.assertEqual(self.rect(big), [0, 0, 2100, 1200])
        self.session.probe("post", "--hwnd", big, "--msg", WM_CLOSE)
        self.wait_closed()
        program.exit_command()
        self.assertEqual(program.wait_exit(), 0)


if __name__ == "__main__":
    unittest.main()
