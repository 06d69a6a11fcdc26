"""Looking at the wall in a captured client area: where the cells land after the final
stretch, the coloured frame rings over them, and the colours of the pictures inside."""

import subprocess
from pathlib import Path

import harness

COLUMNS, ROWS = 10, 5
RED = (224, 0, 0)
GREEN = (0, 224, 0)
YELLOW = (254, 254, 0)
MARK_KEYS = ((255, 196, 196), (224, 160, 192))
SEARCH_PATH = "/1.1/search/tweets.json"


class WallLayout:
    """The cells of a client area: cell_width × cell_height each in the back buffer, whose
    grid region (10 cells by 5) is stretched over the whole client."""

    def __init__(self, client_width, client_height):
        self.client_width = client_width
        self.client_height = client_height
        self.cell_width = max(client_width // COLUMNS, 1)
        self.cell_height = max(client_height // ROWS, 1)

    def client_x(self, grid_x):
        return grid_x * self.client_width // (COLUMNS * self.cell_width)

    def client_y(self, grid_y):
        return grid_y * self.client_height // (ROWS * self.cell_height)

    def cell_origin(self, index):
        """Top-left corner of cell `index` (row-major) in back-buffer pixels."""
        return (index % COLUMNS) * self.cell_width, (index // COLUMNS) * self.cell_height

    def cell_on_client(self, index):
        """(left, top, right, bottom) of the cell in client pixels, right and bottom
        exclusive."""
        left, top = self.cell_origin(index)
        return (self.client_x(left), self.client_y(top), self.client_x(left + self.cell_width),
                self.client_y(top + self.cell_height))

    def centre(self, index):
        left, top, right, bottom = self.cell_on_client(index)
        return (left + right) // 2, (top + bottom) // 2

    def frame_sides(self, image, index, colour, depth=6):
        """For each side of the cell (left, right, top, bottom): at three places along it,
        the number of pixels of exactly that colour in the `depth` pixels reaching inwards
        from the edge."""
        left, top, right, bottom = self.cell_on_client(index)
        along_y = [top + (bottom - top) * k // 4 for k in (1, 2, 3)]
        along_x = [left + (right - left) * k // 4 for k in (1, 2, 3)]

        def run(points):
            return sum(1 for x, y in points if harness.pixel(image, x, y) == colour)
        return [
            [run((left + d, y) for d in range(depth)) for y in along_y],
            [run((right - 1 - d, y) for d in range(depth)) for y in along_y],
            [run((x, top + d) for d in range(depth)) for x in along_x],
            [run((x, bottom - 1 - d) for d in range(depth)) for x in along_x],
        ]

    def has_frame(self, image, index, colour, least=2):
        return all(count >= least for side in self.frame_sides(image, index, colour)
                   for count in side)

    def has_none_of(self, image, index, colour):
        return all(count == 0 for side in self.frame_sides(image, index, colour)
                   for count in side)

    def interior_mean(self, image, index, inset=10):
        """Mean colour of the cell inside its frame, in client pixels."""
        left, top, right, bottom = self.cell_on_client(index)
        return mean_colour(image, left + inset, top + inset, right - inset, bottom - inset)

    def expected_interior_mean(self, name, inset=10, cache={}, folder=None):
        """The same mean of a served picture (from the committed media, else from folder)
        squeezed into one cell by ImageMagick."""
        folder = Path(folder or harness.SOURCE_DIR / "tools" / "fakeservice" / "media")
        key = (str(folder / name), self.cell_width, self.cell_height, inset)
        if key not in cache:
            source = folder / name
            ppm = subprocess.run(["convert", str(source), "-sample",
                                  "%dx%d!" % (self.cell_width, self.cell_height), "-depth", "8",
                                  "ppm:-"],
                                 stdout=subprocess.PIPE, check=True, timeout=60).stdout
            path = harness.ARTIFACTS_DIR / ("expected-%dx%d-%s.ppm"
                                            % (self.cell_width, self.cell_height, name))
            path.write_bytes(ppm)
            cache[key] = mean_colour(harness.read_ppm(path), inset, inset,
                                     self.cell_width - inset, self.cell_height - inset)
        return cache[key]


def mean_colour(image, x0, y0, x1, y1):
    total = [0, 0, 0]
    count = 0
    for y in range(y0, y1):
        for x in range(x0, x1):
            for channel, value in enumerate(harness.pixel(image, x, y)):
                total[channel] += value
            count += 1
    return tuple(round(t / count) for t in total)


def close_colours(seen, expected, tolerance):
    return all(abs(a - b) <= tolerance for a, b in zip(seen, expected))


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
