"""tilvane.exe killed hard (SIGKILL of its Wine process) at random moments: during bursts of
pin and unpin toggles, right after the settings dialog's OK, during the exit that writes the
options, and during the PIN flow's credential write. Afterwards the option file, the
credential file, the pinned list and ./kotei_tiles/ are consistent (every list line names a
whole image that is there, nothing is cut) and the next start restores every pinned tile.

Each kind of kill is preceded by one run that is not killed, which shows that the driver
really pins, changes the options or stores the credentials. What each kill hit is printed and
written to e2e-artifacts/crash-safety.json."""

import json
import random
import ssl
import time
import urllib.request

import harness
from harness import DEFAULT_OPTIONS, WM_COMMAND
from service_programs import ProgramFixture, install_browser_stand_in
from wall_pixels import SEARCH_PATH, WallLayout

WM_TIMER = 0x0113
BM_CLICK = 0x00F5
IDOK = 1
IDM_SETTINGS = 40003
IDC_COUNT_30 = 1022
SETTINGS_TITLE = "tilvane(設定)"
PIN_TITLE = "認証処理(Tilvane)"
FAILURE_TITLE = "認証失敗"
IDC_PIN_EDIT = 1001
DIALOG_CLASS = "#32770"
LAYOUT = WallLayout(755, 380)
# "cats" brings twelve distinct photos: cells 0 to 11.
CAT_PHOTOS = 12
MEDIA_DIR = harness.SOURCE_DIR / "tools" / "fakeservice" / "media"
# Kill moments as fractions of the time a write took when not killed.
KILL_SPREAD = (0.3, 0.7, 0.9, 1.0, 1.1, 1.4)
CRASH_OPTIONS = dict(DEFAULT_OPTIONS, kensaku_word="cats", serch_ken=CAT_PHOTOS,
                     window_wid=LAYOUT.client_width, window_hei=LAYOUT.client_height,
                     window_x=40, window_y=50)


def list_lines(workdir):
    path = workdir / "txts" / "kotei_jpgs.txt"
    if not path.exists():
        return []
    pins = []
    for line in path.read_bytes().split(b"\r\n"):
        if not line:
            continue
        fields = dict(part.split(b"=", 1) for part in line.split(b","))
        pins.append((fields[b"name"].decode("ascii"), int(fields[b"x"]), int(fields[b"y"])))
    return pins


def served_file(stored):
    """The fake service's file that a stored image copies (olds/ names it _old_N_NAME)."""
    name = stored.name.split("_", 3)[-1] if stored.parent.name == "olds" else stored.name
    return MEDIA_DIR / name


class CrashSafety(ProgramFixture, harness.ProbeTestCase):
    PROBE_EXE = harness.TVPROBE_EXE
    BASE_OPTIONS = CRASH_OPTIONS
    record = []

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        # The PIN flow opens the authorisation page in a browser.
        install_browser_stand_in(cls.session)

    @classmethod
    def tearDownClass(cls):
        path = harness.ARTIFACTS_DIR / "crash-safety.json"
        path.write_text(json.dumps(cls.record, indent=2))
        print("\ncrash safety (%s):" % path)
        for entry in cls.record:
            print("  %s" % json.dumps(entry, ensure_ascii=False))

    def setUp(self):
        super().setUp()
        self.reset_service()
        self.random = random.Random(20261208)

    # -- driving -----------------------------------------------------------------------

    def cell_is_dark(self, image, index):
        return harness.pixel(image, *LAYOUT.centre(index)) == (0, 0, 0)

    def fill_wall(self, program):
        """Ticks until the twelve photos of "cats" are on the wall."""
        program.post(WM_TIMER, 1)
        self.wait_for("the search", lambda: any(
            e.get("path") == SEARCH_PATH and e.get("status") == 200
            for e in self.log_entries()), 30)
        self.wait_for("twelve tiles", lambda: not any(
            self.cell_is_dark(self.session.capture(program.hwnd, "crash-wall"), index)
            for index in range(CAT_PHOTOS)), 30, interval=0.5)

    def kill_after(self, program, delay, *others):
        time.sleep(delay)
        program.kill()
        for other in others:
            other.kill()

    def around(self, seconds, kill_round):
        """A kill moment near `seconds`, the time the write took in a run not killed: the
        rounds spread from well before to after it."""
        return seconds * KILL_SPREAD[kill_round] * self.random.uniform(0.95, 1.05)

    def wait_settings_closed(self):
        self.wait_for("the closed settings dialog", lambda: not any(
            w["visible"] for w in self.session.probe(
                "list", "--title", SETTINGS_TITLE)["windows"]), 10)

    def wait_dialog(self, title):
        reply = self.session.probe("wait", "--class", DIALOG_CLASS, "--title", title,
                                   "--visible", "--timeout-ms", 30000, check=False)
        self.assertTrue(reply.get("found") and not reply.get("timeout"),
                        "no dialog %s: %s" % (title, reply))
        return reply["window"]["hwnd"]

    def control(self, dialog, control_id):
        return next(c for c in self.session.probe("children", "--hwnd", dialog)["children"]
                    if c["id"] == control_id)

    def open_settings_and_choose_thirty(self, program):
        """Opens "設定", chooses 30 results a search and returns the dialog."""
        program.post(WM_COMMAND, IDM_SETTINGS)
        dialog = self.wait_dialog(SETTINGS_TITLE)
        program.post(BM_CLICK, hwnd=self.control(dialog, IDC_COUNT_30)["hwnd"])
        self.wait_for("the chosen count",
                      lambda: self.control(dialog, IDC_COUNT_30)["checked"], 10)
        return dialog

    def pin_flow_up_to_ok(self, workdir):
        """A first start up to the PIN typed into its dialog; (program, dialog)."""
        program = self.session.start_program(workdir)
        dialog = self.wait_dialog(PIN_TITLE)
        pin = self.current_pin()
        left, top, right, bottom = self.control(dialog, IDC_PIN_EDIT)["rect"]
        self.session.xdotool("mousemove", (left + right) // 2, (top + bottom) // 2, "click", 1)
        self.session.xdotool("type", "--delay", 30, pin)
        self.wait_for("the typed PIN",
                      lambda: self.control(dialog, IDC_PIN_EDIT)["value"] == pin, 10)
        return program, dialog

    def current_pin(self):
        context = ssl.create_default_context(cafile=self.info["ca_file"])
        with urllib.request.urlopen(self.info["api_url"] + "/_test/pin", context=context,
                                    timeout=30) as reply:
            return reply.read().decode("ascii")

    # -- checks ------------------------------------------------------------------------

    def assert_consistent(self, workdir, original_options, key, changed_options=None):
        """Every list line names a whole served image in kotei_tiles/; no file is cut; the
        option file is the original one or a whole new one with changed_options; key.txt holds
        the pair `key` (a secret of None: any), or is absent while it was not written yet;
        without a key (None) there is no key.txt."""
        pins = list_lines(workdir)
        for name, x, y in pins:
            stored = workdir / "kotei_tiles" / name.rsplit("/", 1)[1]
            self.assertTrue(stored.exists(), "listed %s is missing" % stored.name)
            self.assertTrue(0 <= x < 10 and 0 <= y < 5, (name, x, y))
        self.assertEqual(len({(x, y) for _, x, y in pins}), len(pins), pins)
        for stored in (workdir / "kotei_tiles").rglob("*.jpg"):
            self.assertEqual(stored.read_bytes(), served_file(stored).read_bytes(),
                             "%s is cut" % stored)
        options = (workdir / "txts" / "tva_option.txt").read_bytes()
        if options != original_options:
            written = harness.parse_option_file(options)
            self.assertEqual(list(written), harness.OPTION_KEYS, options)
            self.assertTrue(options.endswith(b"\r\n"), options)
            for option, value in (changed_options or {}).items():
                self.assertEqual(written[option], harness.encode_option_value(value))
        key_file = workdir / "txts" / "key.txt"
        if key is None:
            self.assertFalse(key_file.exists(), "a key without an exchange")
        elif key_file.exists():
            lines = key_file.read_bytes().split(b"\r\n")
            token, secret = key
            self.assertEqual(len(lines), 3, lines)
            self.assertEqual((lines[0], lines[2]), (token.encode("ascii"), b""))
            if secret is None:
                self.assertRegex(lines[1], rb"^\w+$")
            else:
                self.assertEqual(lines[1], secret.encode("ascii"))
        return pins

    def assert_restored(self, workdir, pins):
        """A start without a reachable service shows exactly the listed tiles (a first start
        without a key gets through its refused authorisation first)."""
        service = workdir / "txts" / "service.txt"
        real_service = service.read_bytes()
        service.write_text(harness.UNREACHABLE_SERVICE)
        program = self.session.start_program(workdir)

        def window_or_failure():
            box = self.session.probe("list", "--class", DIALOG_CLASS, "--title", FAILURE_TITLE)
            for window in box["windows"]:
                if window["visible"]:
                    program.post(WM_COMMAND, IDOK, hwnd=window["hwnd"])
            return any(w["visible"] for w in self.session.main_windows())
        self.wait_for("the window of the restart", window_or_failure, 30)
        program.wait_window()
        pinned_cells = {y * 10 + x for _, x, y in pins}

        def shows_the_pins():
            image = self.session.capture(program.hwnd, "crash-restored")
            return all(self.cell_is_dark(image, index) != (index in pinned_cells)
                       for index in range(50))
        try:
            self.wait_for("the pinned tiles", shows_the_pins, 10)
        except AssertionError:
            image = self.session.capture(program.hwnd, "crash-restored")
            self.fail("cells shown %s, pinned %s" % (
                sorted(i for i in range(50) if not self.cell_is_dark(image, i)),
                sorted(pinned_cells)))
        program.exit_command()
        self.assertEqual(program.wait_exit(), 0)
        service.write_bytes(real_service)

    def note(self, kill, delay, workdir, pins, **found):
        self.record.append(dict(kill=kill, after_s=round(delay, 2), pinned_after=len(pins),
                                retired=len(list((workdir / "kotei_tiles" / "olds").iterdir())),
                                left_temporary=sorted(p.name for p in workdir.rglob("*.tmp")),
                                **found))

    # -- kills -------------------------------------------------------------------------

    def test_kills_during_pin_bursts(self):
        workdir = self.service_workdir("crash-pins")
        original_options = (workdir / "txts" / "tva_option.txt").read_bytes()
        cells = ";".join("%d,%d" % LAYOUT.centre(i) for i in range(CAT_PHOTOS))
        for kill_round in range(4):
            with self.subTest(round=kill_round):
                program = self.start(workdir)
                self.fill_wall(program)
                if kill_round == 0:
                    # One whole pass pins each of the twelve: the driver works.
                    done = self.session.probe("pin-burst", "--hwnd", program.hwnd,
                                              "--cells", cells)
                    self.assertEqual(done["toggles"], CAT_PHOTOS)
                    self.wait_for("twelve pins",
                                  lambda: len(list_lines(workdir)) == CAT_PHOTOS, 10)
                # An odd number of passes, far more than the kill leaves time for.
                burst = self.session.start_program(
                    self.session.tmp, exe=harness.TVPROBE_EXE, name="pin-burst",
                    args=["pin-burst", "--hwnd", program.hwnd, "--cells", cells,
                          "--rounds", 301])
                delay = self.random.uniform(1.0, 6.0)
                self.kill_after(program, delay, burst)
                pins = self.assert_consistent(workdir, original_options, self.access_pair())
                self.note("pin burst", delay, workdir, pins)
                self.assert_restored(workdir, pins)
                self.reset_service()

    def test_kills_after_the_settings_ok_and_during_the_exit_that_writes_the_options(self):
        workdir = self.service_workdir("crash-settings")
        self.session.pin_tiles(workdir, [
            ("%s/media/a%02d.jpg" % (self.info["image_url"], n), n, 1, "a%02d.jpg" % n)
            for n in (1, 2, 3)])
        original_options = (workdir / "txts" / "tva_option.txt").read_bytes()
        changed = {"serch_ken": 30}

        # Not killed: OK stores the choice, and the exit writes it.
        program = self.start(workdir)
        dialog = self.open_settings_and_choose_thirty(program)
        program.post(WM_COMMAND, IDOK, hwnd=dialog)
        self.wait_settings_closed()
        option_file = workdir / "txts" / "tva_option.txt"
        program.exit_command()
        started = time.monotonic()
        self.wait_for("the written options", lambda: option_file.read_bytes() != original_options,
                      10, interval=0.01)
        write_s = time.monotonic() - started
        self.assertEqual(program.wait_exit(), 0)
        self.assertEqual(harness.parse_option_file(option_file.read_bytes())["serch_ken"], b"30")
        option_file.write_bytes(original_options)
        self.record.append({"kill": None, "exit command to the written options s":
                            round(write_s, 2)})

        for kill_round in range(3):
            with self.subTest(kill="settings OK", round=kill_round):
                program = self.start(workdir)
                dialog = self.open_settings_and_choose_thirty(program)
                delay = self.random.uniform(0.0, 0.3)
                program.post(WM_COMMAND, IDOK, hwnd=dialog)
                self.kill_after(program, delay)
                pins = self.assert_consistent(workdir, original_options, self.access_pair())
                # The options reach their file at the exit only.
                self.assertEqual((workdir / "txts" / "tva_option.txt").read_bytes(),
                                 original_options)
                self.note("settings OK", delay, workdir, pins)
                self.assert_restored(workdir, pins)

        for kill_round in range(len(KILL_SPREAD)):
            with self.subTest(kill="exit", round=kill_round):
                program = self.start(workdir)
                dialog = self.open_settings_and_choose_thirty(program)
                program.post(WM_COMMAND, IDOK, hwnd=dialog)
                self.wait_settings_closed()
                delay = self.around(write_s, kill_round)
                program.exit_command()
                self.kill_after(program, delay)
                pins = self.assert_consistent(workdir, original_options, self.access_pair(),
                                              changed)
                options_now = (workdir / "txts" / "tva_option.txt").read_bytes()
                self.note("exit", delay, workdir, pins,
                          options_written=options_now != original_options)
                self.assert_restored(workdir, pins)
                (workdir / "txts" / "tva_option.txt").write_bytes(original_options)

    def test_kills_during_the_pin_flows_credential_write(self):
        pins = [("%s/media/a%02d.jpg" % (self.info["image_url"], n), n, 2, "a%02d.jpg" % n)
                for n in (4, 5)]

        def first_start_workdir():
            workdir = self.session.workdir("crash-pin-flow", options=CRASH_OPTIONS, key=None,
                                           service=self.service_config())
            self.session.pin_tiles(workdir, pins)
            return workdir

        def issued_pair():
            exchange = [e for e in self.log_entries() if e.get("path") == "/oauth/access_token"
                        and e.get("exchange") == "ok"]
            # The log names the token only.
            return (exchange[-1]["access_token"], None) if exchange else None

        # Not killed: how long OK takes to the stored key.
        workdir = first_start_workdir()
        original_options = (workdir / "txts" / "tva_option.txt").read_bytes()
        program, dialog = self.pin_flow_up_to_ok(workdir)
        program.post(WM_COMMAND, IDOK, hwnd=dialog)
        started = time.monotonic()
        key_file = workdir / "txts" / "key.txt"
        self.wait_for("the stored key", key_file.exists, 20, interval=0.02)
        write_s = time.monotonic() - started
        program.wait_window()
        self.assert_consistent(workdir, original_options, issued_pair())
        program.exit_command()
        self.assertEqual(program.wait_exit(), 0)
        self.record.append({"kill": None, "pin flow OK to key.txt s": round(write_s, 2)})

        for kill_round in range(len(KILL_SPREAD)):
            with self.subTest(round=kill_round):
                self.reset_service()
                workdir = first_start_workdir()
                program, dialog = self.pin_flow_up_to_ok(workdir)
                delay = self.around(write_s, kill_round)
                program.post(WM_COMMAND, IDOK, hwnd=dialog)
                self.kill_after(program, delay)
                pair = issued_pair()
                pins_after = self.assert_consistent(workdir, original_options, pair)
                key_present = key_file.exists()
                self.note("PIN flow OK", delay, workdir, pins_after, pair_issued=bool(pair),
                          key_stored=key_present)
                self.assert_restored(workdir, pins_after)


if __name__ == "__main__":
    import unittest
    unittest.main()
