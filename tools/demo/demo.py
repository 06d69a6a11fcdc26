"""The demo that scripts/demo runs: tilvane.exe under Wine, started for the first time in a
fresh working directory against the local fake service, so that it goes through the PIN
authorisation and then fills its wall with the photographs the service hands out.

With a display it runs there until the user ends the program (or presses Enter here).
Without one it runs on a private X server for a fixed course, takes screenshots along the
way, writes a contact sheet of them and prints the folder that holds them as its last line.

With --source mastodon|misskey|flickr|bluesky the program reads the service's stand-in for
that source instead (service.txt says source=...): it starts without key.txt and without the
PIN flow.

Needs the harness of the end-to-end tests (tests/e2e on PYTHONPATH) and a built
build/windows/tilvane.exe."""

import argparse
import os
import select
import shutil
import ssl
import subprocess
import sys
import time
import urllib.request
from pathlib import Path

import harness

KEYWORD = "photos"
PIN_DIALOG_TITLE = "認証処理(Tilvane)"
DIALOG_CLASS = "#32770"
MENU_CLASS = "#32768"
PIN_EDIT_ID = 1001
OK_BUTTON_ID = 1
SEARCH_PATH = "/1.1/search/tweets.json"
TIMELINE_PREFIX = "/api/v1/timelines/tag/"
# The requests of the open sources, and the keyword each reads the "photos" pictures by.
SOURCE_PATHS = ("/api/notes/search-by-tag", "/services/feeds/photos_public.gne",
                "/xrpc/app.bsky.feed.getAuthorFeed", "/xrpc/app.bsky.feed.getFeed")
SOURCE_KEYWORDS = {"mastodon": "#%s", "misskey": "#%s", "flickr": "%s",
                   "bluesky": "%s.fake.invalid"}
REQUEST_TOKEN_PATH = "/oauth/request_token"
WINDOW_WIDTH, WINDOW_HEIGHT = 1200, 600
COLUMNS, ROWS = 10, 5
NEW_TILE_RED = (224, 0, 0)
SHOT_MARGIN = 80


def say(text):
    print("demo: " + text, flush=True)


def wait_until(check, timeout, step=0.5):
    deadline = time.monotonic() + timeout
    while True:
        result = check()
        if result or time.monotonic() >= deadline:
            return result
        time.sleep(step)


def screen_size(display):
    """The size of the X screen the demo shows on; the private server's when unknown."""
    if display:
        try:
            info = subprocess.run(["xdpyinfo", "-display", display], stdout=subprocess.PIPE,
                                  stderr=subprocess.DEVNULL, text=True, timeout=10).stdout
            for line in info.splitlines():
                if "dimensions:" in line:
                    width, height = line.split()[1].split("x")
                    return int(width), int(height)
        except (OSError, ValueError, subprocess.TimeoutExpired):
            pass
    return harness.SCREEN_WIDTH, harness.SCREEN_HEIGHT


def label_font():
    """A font file for the contact sheet's labels; ImageMagick's default is often missing."""
    try:
        found = subprocess.run(["fc-match", "-f", "%{file}", "IPAGothic"], stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL, text=True, timeout=10).stdout.strip()
    except (OSError, subprocess.TimeoutExpired):
        return None
    return found if found and Path(found).is_file() else None


def demo_options(display, keyword):
    width, height = screen_size(display)
    # Thirty results a search: the first one fills most of the wall at once.
    return dict(harness.DEFAULT_OPTIONS, kensaku_word=keyword, serch_ken=30, original=0,
                kaku_kousin=1, window_wid=WINDOW_WIDTH, window_hei=WINDOW_HEIGHT,
                window_kotei=1, window_zzahyo=1,
                window_x=max(0, (width - WINDOW_WIDTH) // 2),
                window_y=max(0, (height - WINDOW_HEIGHT) // 2))


class Demo:
    def __init__(self, session, service, out, display, source="twitter"):
        self.session = session
        self.source = source
        self.timeline = source != "twitter"
        self.service = service
        self.display = display
        self.shots = out / "shots"
        self.taken = []  # (file, label)
        self.skipped = []
        self.program = None
        self.workdir = None
        self.context = ssl.create_default_context(cafile=service.info["ca_file"])

    # -- the service ------------------------------------------------------------------

    def searches(self):
        return [e for e in self.service.log_entries()
                if e.get("path") in (SEARCH_PATH,) + SOURCE_PATHS
                or e.get("path", "").startswith(TIMELINE_PREFIX)]

    def issued_pin(self):
        """The PIN of the request token the program asked for last, as the service's page
        shows it; None before the program asked for one."""
        tokens = [e.get("request_token") for e in self.service.log_entries()
                  if e.get("path") == REQUEST_TOKEN_PATH and e.get("request_token")]
        if not tokens:
            return None
        url = "%s/_test/pin?oauth_token=%s" % (self.service.info["api_url"], tokens[-1])
        with urllib.request.urlopen(url, context=self.context, timeout=10) as reply:
            return reply.read().decode().strip()

    def authorisation_page(self):
        entries = [e for e in self.service.log_entries() if e.get("path") == "/oauth/authorize"]
        return entries[-1] if entries else None

    # -- windows --------------------------------------------------------------------------

    def visible_windows(self, cls, title=None):
        args = ["list", "--class", cls] + (["--title", title] if title is not None else [])
        return [w for w in self.session.probe(*args)["windows"] if w["visible"]]

    def info(self, hwnd):
        return self.session.probe("info", "--hwnd", hwnd)

    def child(self, dialog, control_id):
        for child in self.session.probe("children", "--hwnd", dialog)["children"]:
            if child["id"] == control_id:
                return child["hwnd"]
        return None

    def click(self, x, y, button=1, repeat=1):
        self.session.xdotool("mousemove", "--sync", x, y)
        self.session.xdotool("click", "--repeat", repeat, "--delay", 120, button)

    def click_control(self, hwnd, button=1, repeat=1):
        left, top, right, bottom = self.info(hwnd)["client"]
        self.click((left + right) // 2, (top + bottom) // 2, button, repeat)

    def cell_centre(self, column, row):
        left, top, right, bottom = self.info(self.program.hwnd)["client"]
        return (left + (2 * column + 1) * (right - left) // (2 * COLUMNS),
                top + (2 * row + 1) * (bottom - top) // (2 * ROWS))

    # -- screenshots ------------------------------------------------------------------

    def shot(self, name, label, around=None, margin=SHOT_MARGIN):
        """The screen around the main window (or the window `around`), as shots/NAME.png."""
        self.shots.mkdir(parents=True, exist_ok=True)
        path = self.session.screenshot(name, path=self.shots / (name + ".png"))
        left, top, right, bottom = self.info(around or self.program.hwnd)["window"]
        width, height = screen_size(self.session.display)
        left, top = max(0, left - margin), max(0, top - margin)
        right, bottom = min(width, right + margin), min(height, bottom + margin)
        subprocess.run(["convert", str(path), "-crop",
                        "%dx%d+%d+%d" % (right - left, bottom - top, left, top), "+repage",
                        str(path)], check=True, timeout=60)
        self.taken.append((path, label))
        say("screenshot: %s (%s)" % (path, label))
        return path

    def skip(self, what, why):
        self.skipped.append(what)
        say("no screenshot of %s: %s" % (what, why))

    def wall_picture(self, name):
        """The main window's client area as the screen shows it; also kept as NAME.png."""
        image = self.session.capture(self.program.hwnd, name)
        self.shots.mkdir(parents=True, exist_ok=True)
        ppm = self.session.artifacts / ("%s.ppm" % name)
        subprocess.run(["convert", str(ppm), str(self.shots / (name + ".png"))], check=True,
                       timeout=60)
        return image

    def contact_sheet(self):
        if not self.taken:
            return None
        sheet = self.shots / "contact-sheet.png"
        arguments = ["montage", "-background", "#202020", "-fill", "white", "-pointsize", "18"]
        font = label_font()
        if font:
            arguments += ["-font", font]
        for path, label in self.taken:
            arguments += ["-label", label, str(path)]
        arguments += ["-geometry", "760x460+10+10", "-tile", "2x", "-depth", "8", str(sheet)]
        subprocess.run(arguments, check=True, timeout=120)
        return sheet

    # -- the first start --------------------------------------------------------------

    def start(self, options):
        service = (self.service.state_dir / "service.txt").read_text()
        if self.timeline:
            service = "source=%s\n" % self.source + service
        self.workdir = self.session.workdir(
            "work", base=self.shots.parent, options=options, key=None, service=service)
        say("first start in %s: txts/ holds service.txt%s and the option file, no key.txt"
            % (self.workdir, " (source=%s)" % self.source if self.timeline else ""))
        self.program = self.session.start_program(self.workdir)

    def wait_for_pin_dialog(self):
        """The PIN dialog's handle; None when the main window showed without asking."""
        def state():
            if not self.program.running():
                return ("ended", None)
            dialogs = self.visible_windows(DIALOG_CLASS, PIN_DIALOG_TITLE)
            if dialogs:
                return ("pin", dialogs[0]["hwnd"])
            if self.visible_windows(harness.MAIN_CLASS, harness.MAIN_TITLE):
                return ("main", None)
            return None

        found = wait_until(state, 60)
        if found and found[0] == "main":
            # Give a dialog that comes a moment after the window the chance to show.
            found = wait_until(lambda: (("pin", d[0]["hwnd"]) if (
                d := self.visible_windows(DIALOG_CLASS, PIN_DIALOG_TITLE)) else None), 3) or found
        return found[1] if found and found[0] == "pin" else None

    def authorise(self):
        """Goes through the PIN dialog; False when this build showed none."""
        dialog = self.wait_for_pin_dialog()
        if dialog is None:
            return False
        pin = wait_until(self.issued_pin, 10)
        page = self.authorisation_page()
        if page:
            say("the program opened the authorisation page %s?%s"
                % (page["path"], page.get("query", "").split("&")[0]))
        if self.display:
            say("your browser shows the service's authorisation page (its certificate is the "
                "demo's own, so the browser may warn about it)")
            say("type the PIN %s into the dialog 「%s」 and press OK" % (pin, PIN_DIALOG_TITLE))
            wait_until(lambda: not self.program.running() or not self.visible_windows(
                DIALOG_CLASS, PIN_DIALOG_TITLE), 24 * 3600, 1)
            return True
        time.sleep(1)  # the dialog's first paint
        say("playing the user: typing the PIN %s into 「%s」" % (pin, PIN_DIALOG_TITLE))
        edit = self.child(dialog, PIN_EDIT_ID)
        self.click_control(edit)
        self.session.xdotool("type", "--delay", 80, pin)
        time.sleep(0.5)
        self.shot("1-pin-dialog", "first start: the PIN typed into the dialog", around=dialog,
                  margin=120)
        self.click_control(self.child(dialog, OK_BUTTON_ID))
        if not wait_until(lambda: not self.visible_windows(DIALOG_CLASS, PIN_DIALOG_TITLE), 20):
            raise RuntimeError("the PIN dialog stayed open after OK")
        return True

    def use_preissued_token(self, options):
        """For a build without the PIN flow: the service's pre-issued token in key.txt."""
        say("this build showed no PIN dialog; restarting with the service's pre-issued token")
        if self.program.running():
            self.program.wait_window()
            self.program.exit_command()
            self.program.wait_exit()
        key = (self.service.info["access_token"], self.service.info["access_token_secret"])
        (self.workdir / "txts" / "key.txt").write_bytes(("%s\r\n%s\r\n" % key).encode("ascii"))
        self.program = self.session.start_program(self.workdir)

    def first_start(self, options):
        self.start(options)
        if self.timeline:
            if self.wait_for_pin_dialog() is not None:
                raise RuntimeError("source=%s asked for a PIN" % self.source)
            self.program.wait_window(timeout=60)
            say("no PIN asked; tilvane reads %s from %s every 10 s"
                % (options["kensaku_word"], self.source))
            return
        if not self.authorise():
            self.skip("the PIN dialog", "this build has no PIN authorisation yet")
            self.use_preissued_token(options)
        self.program.wait_window(timeout=60)
        key = self.workdir / "txts" / "key.txt"
        if key.exists():
            say("access granted; the token is in %s" % key)
        say("tilvane searches for \"%s\" every 10 s" % options["kensaku_word"])

    # -- the course without a display -------------------------------------------------

    def wall_census(self, image):
        """(cells holding a picture, cells framed red)."""
        width, height, pixels = image
        filled = framed = 0
        for index in range(COLUMNS * ROWS):
            column, row = index % COLUMNS, index // COLUMNS
            x0, x1 = column * width // COLUMNS, (column + 1) * width // COLUMNS
            y0, y1 = row * height // ROWS, (row + 1) * height // ROWS
            samples = [harness.pixel(image, x, y) for y in range(y0 + 12, y1 - 12, 4)
                       for x in range(x0 + 12, x1 - 12, 4)]
            if sum(1 for p in samples if p != (0, 0, 0)) > len(samples) // 2:
                filled += 1
            # A new tile's frame: red on all four sides, a few pixels deep.
            sides = [[harness.pixel(image, x0 + d, (y0 + y1) // 2) for d in range(6)],
                     [harness.pixel(image, x1 - 1 - d, (y0 + y1) // 2) for d in range(6)],
                     [harness.pixel(image, (x0 + x1) // 2, y0 + d) for d in range(6)],
                     [harness.pixel(image, (x0 + x1) // 2, y1 - 1 - d) for d in range(6)]]
            if all(sum(1 for p in side if p == NEW_TILE_RED) >= 2 for side in sides):
                framed += 1
        return filled, framed

    def wait_for_search(self, done_before, timeout=40):
        """Waits for the next search's pictures to be placed; False when none came."""
        if not wait_until(lambda: len(self.searches()) > done_before, timeout):
            return False
        time.sleep(4)  # the downloads and the placing paint
        return True

    def course(self, searches):
        if not self.wait_for_search(0, 60):
            raise RuntimeError("no search reached the service within 60 s; see %s"
                               % self.service.log.name)
        filled, framed = self.wall_census(self.wall_picture("wall-first-search"))
        say("first search: %d of 50 cells hold pictures, %d framed red" % (filled, framed))
        self.shot("2-filling", "the first search: the wall fills")
        number = 1
        for number in range(2, searches + 1):
            if not self.wait_for_search(len(self.searches())):
                say("no further search within 40 s")
                break
            filled, framed = self.wall_census(self.wall_picture("wall"))
            say("search %d: %d of 50 cells hold pictures, %d framed red (the newest)"
                % (number, filled, framed))
        self.shot("3-wall", "after %d searches: red frames mark the newest" % number)
        self.context_menu()
        self.enlarged_view()
        return filled, framed

    def context_menu(self):
        self.click(*self.cell_centre(3, 2), button=3)
        if not wait_until(lambda: self.visible_windows(MENU_CLASS), 5):
            self.skip("the context menu", "right-click showed none")
            return
        time.sleep(0.5)
        self.shot("4-context-menu", "right-click on a tile: the context menu")
        self.session.xdotool("key", "Escape")
        if not wait_until(lambda: not self.visible_windows(MENU_CLASS), 5):
            self.session.xdotool("key", "Escape")

    def enlarged_views(self):
        return [w for w in self.visible_windows(DIALOG_CLASS) if w["title"] == ""]

    def enlarged_view(self):
        self.click(*self.cell_centre(6, 1), repeat=2)
        if not wait_until(self.enlarged_views, 6):
            self.skip("the enlarged view", "a double-click on a tile opens nothing in this build")
            return
        time.sleep(1)
        self.shot("5-enlarged-view", "double-click on a tile: the enlarged view")
        self.click_control(self.enlarged_views()[0]["hwnd"], button=3)
        wait_until(lambda: not self.enlarged_views(), 5)

    # -- the end ------------------------------------------------------------------------

    def stop(self):
        if self.program is None:
            return
        if self.program.running():
            self.program.exit_command()
            code = self.program.wait_exit()
            say("tilvane closed with exit code %d; options written to %s"
                % (code, self.workdir / "txts" / "tva_option.txt"))
        else:
            say("tilvane ended with exit code %d" % self.program.process.returncode)


def wait_for_user(program):
    say("close tilvane through its menu (右クリック → 終了), or press Enter here to end the demo")
    while program.running():
        readable, _, _ = select.select([sys.stdin], [], [], 0.5)
        if readable:
            sys.stdin.readline()
            break


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", type=Path, default=Path("build/demo"))
    parser.add_argument("--photo-dir", type=Path, help="crops made by make_photos.py")
    parser.add_argument("--searches", type=int, default=5)
    parser.add_argument("--source", choices=("twitter",) + tuple(SOURCE_KEYWORDS),
                        default="twitter", help="another source than the designed service: "
                        "the fake service's stand-in for it, no PIN")
    args = parser.parse_args(argv)
    out = args.out.resolve()
    shots = out / "shots"
    shutil.rmtree(shots, ignore_errors=True)
    display = os.environ.get("DISPLAY") or None

    service_arguments = []
    if args.photo_dir:
        photos = len(list(args.photo_dir.glob("*.jpg")))
        service_arguments = ["--photo-dir", args.photo_dir.resolve()]
        say("the service hands out %d photographs, a few new ones with every search" % photos)
    else:
        say("no photographs: the service hands out its drawn test pictures")

    say("preparing Wine%s (this takes a little while the first time)"
        % (" on " + display if display else " on a private X server"))
    with harness.WineSession(name="demo", display=display) as session:
        service = session.fake_service(state_dir=out / "service", arguments=service_arguments)
        say("fake service at %s, requests logged to %s"
            % (service.info["api_url"], service.info["log_file"]))
        timeline = args.source != "twitter"
        demo = Demo(session, service, out, display, args.source)
        # The timeline's own "photos" tag brings the photographs; without them its drawn
        # pictures fill about half the wall.
        keyword = (SOURCE_KEYWORDS[args.source] % (KEYWORD if args.photo_dir else "tilvane")
                   if timeline else KEYWORD)
        enough = 40 if args.photo_dir or not timeline else 20
        try:
            demo.first_start(demo_options(display, keyword))
            if display:
                wait_for_user(demo.program)
                demo.stop()
                return 0
            filled, framed = demo.course(args.searches)
            demo.stop()
        finally:
            service.stop()
        sheet = demo.contact_sheet()
        say("contact sheet: %s" % sheet)
        if demo.skipped:
            say("not shown: %s" % ", ".join(demo.skipped))
        if filled < enough:
            say("the wall held only %d pictures" % filled)
            return 1
    print(shots, flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
