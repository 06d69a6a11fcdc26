"""The layering check passes on the tree as it is and fails on each kind of planted fault."""
import pathlib
import shutil
import subprocess
import sys
import tempfile
import unittest

SOURCE = pathlib.Path(__file__).resolve().parents[2]
CHECK = SOURCE / "tools" / "layering" / "check_layering.py"
PRODUCT = ("app", "mosaic", "http", "oauth", "settings", "resources")


class LayeringCheck(unittest.TestCase):
    def setUp(self):
        self.root = pathlib.Path(tempfile.mkdtemp())
        self.addCleanup(shutil.rmtree, self.root)
        for folder in PRODUCT:
            shutil.copytree(SOURCE / folder, self.root / folder,
                            ignore=shutil.ignore_patterns("*.bmp", "*.ico"))

    def check(self):
        run = subprocess.run([sys.executable, CHECK, "--root", self.root],
                             capture_output=True, text=True, check=False)
        return run.returncode, run.stdout

    def plant(self, path, text):
        with open(self.root / path, "a", encoding="utf-8") as file:
            file.write(text)

    def test_the_tree_as_it_is_passes(self):
        code, out = self.check()
        self.assertEqual(code, 0, out)
        self.assertTrue(out.endswith(" files, 0 findings\n"), out)

    def test_an_upward_include_fails(self):
        self.plant("mosaic/raster/surface.cpp", '#include "mosaic/wall/tile_grid.h"\n')
        code, out = self.check()
        self.assertEqual(code, 1)
        self.assertIn("upward include: mosaic/raster/surface.cpp includes "
                      "mosaic/wall/tile_grid.h (raster → wall)", out)

    def test_a_cycle_inside_a_room_fails(self):
        self.plant("mosaic/wall/tile_grid.cpp", '#include "mosaic/wall/cell_copies.h"\n')
        code, out = self.check()
        self.assertEqual(code, 1)
        self.assertIn("include cycle among:", out)
        self.assertIn("mosaic/wall/cell_copies", out)
        self.assertIn("mosaic/wall/tile_grid", out)

    def test_links_must_match_the_includes(self):
        cmake = self.root / "mosaic/wall/CMakeLists.txt"
        cmake.write_text(cmake.read_text().replace("tilvane_raster ", "tilvane_http "))
        code, out = self.check()
        self.assertEqual(code, 1)
        self.assertIn("undeclared link: tilvane_wall includes raster", out)
        self.assertIn("unneeded link: tilvane_wall links tilvane_http", out)


if __name__ == "__main__":
    unittest.main()
