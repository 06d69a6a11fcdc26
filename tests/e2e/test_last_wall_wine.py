"""The last wall coming back: with restore_wall=1 in txts/wall.txt the tiles on the wall at
exit are back in their cells at the next start, before any search and with the service gone;
with restore_wall=0 the start is the designed black wall."""

import unittest

import test_wall
from service_programs import ServiceProgramTestCase
from wall_pixels import COLUMNS, RED, ROWS, close_colours, search_cycles

LAYOUT = test_wall.LAYOUT
PIN_CELL = COLUMNS * ROWS - 1


class LastWall(ServiceProgramTestCase):
    BASE_OPTIONS = test_wall.WALL_OPTIONS

    def set_restore(self, workdir, value):
        (workdir / "txts" / "wall.txt").write_text("restore_wall=%d\n" % value)

    def filled_wall(self, program):
        """The client image once the first search's photos are placed, and their count."""
        def placed():
            cycles = search_cycles(self.service.log_entries())
            names = cycles[0][1] if cycles else []
            image = self.session.capture(program.hwnd, "last-wall-first-run")
            framed = names and all(LAYOUT.has_frame(image, i, RED) for i in range(len(names)))
            return (image, len(names)) if framed else None
        return self.wait_for("the first search's tiles", placed, 75)

    def restart_without_service(self, workdir, name):
        """The client image once the pin in the last cell shows, long before the first tick."""
        program = self.start(workdir, name=name)

        def painted():
            image = self.session.capture(program.hwnd, name)
            return image if LAYOUT.interior_mean(image, PIN_CELL) != (0, 0, 0) else None
        return program, self.wait_for("the pinned tile", painted, 20)

    def test_the_wall_at_exit_comes_back_only_when_asked_for(self):
        workdir = self.service_workdir("last-wall")
        self.set_restore(workdir, 1)
        program = self.start(workdir)
        _, count = self.filled_wall(program)
        self.assertGreater(count, 0)
        # Later ticks may fill more cells before the exit: the wall at exit is what comes back.
        before = self.session.capture(program.hwnd, "last-wall-at-exit")
        program.exit_command()
        self.assertEqual(program.wait_exit(), 0)
        self.service.stop()
        self.session.pin_tiles(workdir, [("http://127.0.0.1:9/media/a01.jpg", 9, 4, "a01.jpg")])

        program, after = self.restart_without_service(workdir, "last-wall-restored")
        for index in range(PIN_CELL):
            with self.subTest(cell=index):
                seen = LAYOUT.interior_mean(after, index)
                expected = LAYOUT.interior_mean(before, index)
                self.assertTrue(close_colours(seen, expected, 2), (seen, expected))
                self.assertTrue(LAYOUT.has_none_of(after, index, RED))
        program.exit_command()
        self.assertEqual(program.wait_exit(), 0)

        self.set_restore(workdir, 0)
        program, designed = self.restart_without_service(workdir, "last-wall-designed")
        for index in range(PIN_CELL):
            self.assertEqual(LAYOUT.interior_mean(designed, index, inset=1), (0, 0, 0), index)


if __name__ == "__main__":
    unittest.main()
