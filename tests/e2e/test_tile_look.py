"""How a picture becomes a tile, chosen in txts/wall.txt: the designed nearest-pixel stretch
shows fine black and white stripes as pure black or white, the area average as grey, and the
fill look shows the middle half of a 2:1 picture. The fake service serves the test's own
pictures (PNG bytes under the names its "cats" set uses). With TILVANE_E2E_DOCS=1 the test
also writes docs/tile-filter-side-by-side.png: the same wall picked and averaged."""

import os
import shutil
import subprocess
import unittest

import harness
import service_programs
from wall_pixels import RED, WallLayout, close_colours, mean_colour

LAYOUT = WallLayout(755, 380)
OPTIONS = dict(harness.DEFAULT_OPTIONS, kensaku_word="cats", serch_ken=12,
               window_wid=LAYOUT.client_width, window_hei=LAYOUT.client_height,
               window_kotei=1, window_zzahyo=1, window_x=40, window_y=50)
STRIPED = 4  # a01..a04: stripes of one pixel; a05: four upright bands
BANDS = ((255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 0))
WHITE, BLACK = (255, 255, 255), (0, 0, 0)


def write_png(path, width, height, colour_at, scratch):
    """A lossless picture (PNG bytes, whatever path's name says) made by ImageMagick."""
    ppm = bytearray(b"P6\n%d %d\n255\n" % (width, height))
    for y in range(height):
        for x in range(width):
            ppm += bytes(colour_at(x, y))
    scratch.write_bytes(bytes(ppm))
    subprocess.run(["convert", str(scratch), "png:" + str(path)], check=True, timeout=60)


def interior_pixels(image, index, inset=10):
    left, top, right, bottom = LAYOUT.cell_on_client(index)
    return {harness.pixel(image, x, y) for y in range(top + inset, bottom - inset)
            for x in range(left + inset, right - inset)}


class TileLook(service_programs.ProgramFixture, harness.WineTestCase):
    BASE_OPTIONS = OPTIONS

    def setUp(self):
        super().setUp()
        media = self.session.tmp / "tile-look-media"
        if not media.exists():
            shutil.copytree(harness.SOURCE_DIR / "tools" / "fakeservice" / "media", media)
            scratch = self.session.tmp / "tile-look.ppm"
            for n in range(STRIPED):  # widths differ, so none is taken for a duplicate
                write_png(media / ("a%02d.jpg" % (n + 1)), 600 + 40 * n, 400,
                          lambda x, y: WHITE if x % 2 else BLACK, scratch)
            write_png(media / "a05.jpg", 400, 200, lambda x, y: BANDS[x // 100], scratch)
        self.service = self.session.fake_service(arguments=["--media-dir", str(media)])
        self.addCleanup(self.service.stop)

    def wall_in(self, name, **choices):
        """The client image once all twelve pictures are placed, tile_fit and tile_filter
        as given in txts/wall.txt."""
        workdir = self.service_workdir(name)
        (workdir / "txts" / "wall.txt").write_bytes(
            b"".join(b"%s=%d\r\n" % (key.encode(), value) for key, value in choices.items()))
        program = self.start(workdir)

        def placed():
            image = self.session.capture(program.hwnd, name)
            return image if all(LAYOUT.has_frame(image, i, RED) for i in range(12)) else None
        image = self.wait_for("twelve tiles", placed, 60)
        program.stop()
        return image

    def test_stripes_are_pure_when_picked_and_grey_when_averaged_and_fill_shows_the_middle(self):
        picked = self.wall_in("tile-look-picked", tile_filter=0, tile_fit=0)
        averaged = self.wall_in("tile-look-averaged", tile_filter=1, tile_fit=0)
        filled = self.wall_in("tile-look-filled", tile_filter=0, tile_fit=1)
        artifacts = self.session.artifacts
        side_by_side = (harness.SOURCE_DIR / "docs" if os.environ.get("TILVANE_E2E_DOCS") == "1"
                        else artifacts) / "tile-filter-side-by-side.png"
        subprocess.run(["convert", str(artifacts / "tile-look-picked.ppm"),
                        str(artifacts / "tile-look-averaged.ppm"), "-bordercolor", "white",
                        "-border", "4", "+append", str(side_by_side)], check=True, timeout=60)
        for index in range(STRIPED):
            with self.subTest(cell=index):
                self.assertLessEqual(interior_pixels(picked, index), {WHITE, BLACK})
                seen = interior_pixels(averaged, index)
                self.assertTrue(all(close_colours(p, (188, 188, 188), 24) for p in seen), seen)

        left, top, right, bottom = LAYOUT.cell_on_client(STRIPED)
        middle = (left + right) // 2
        halves = [(left + 10, middle - 4), (middle + 4, right - 10)]
        for (x0, x1), colour in zip(halves, BANDS[1:3]):
            seen = mean_colour(filled, x0, top + 10, x1, bottom - 10)
            self.assertTrue(close_colours(seen, colour, 8), "%s, expected %s" % (seen, colour))
        # Stretched, the same cell begins with the first band and ends with the last.
        edges = [mean_colour(picked, left + 10, top + 10, left + 14, bottom - 10),
                 mean_colour(picked, right - 14, top + 10, right - 10, bottom - 10)]
        self.assertTrue(close_colours(edges[0], BANDS[0], 8), edges)
        self.assertTrue(close_colours(edges[1], BANDS[3], 8), edges)


if __name__ == "__main__":
    unittest.main()
