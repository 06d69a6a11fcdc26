"""Runs the real tilvane.exe under Wine on a private X server and looks at it.

A WineSession owns one Xvfb (a free display chosen by the server itself), one fresh
WINEPREFIX and everything started through it. Creating the prefix takes a while, so
tests of one process share a session: shared_session(). Everything is cleaned up on
every exit path: close(), interpreter exit, and, should this process be killed, by a
small watchdog that notices the closed pipe.

    session = shared_session()
    workdir = session.workdir("startup")           # fresh, with txts/, key.txt...
    program = session.start_program(workdir)
    hwnd = program.wait_window()
    info = session.probe("info", "--hwnd", hwnd)
    program.exit_command()                          # WM_COMMAND 40008
    program.wait_exit()
"""

import atexit
import json
import os
import re
import shutil
import signal
import ssl
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.request
from pathlib import Path

SOURCE_DIR = Path(os.environ.get("TILVANE_SOURCE_DIR", Path(__file__).resolve().parents[2]))
BUILD_DIR = Path(os.environ.get("TILVANE_BUILD_DIR", SOURCE_DIR / "build" / "windows"))
ARTIFACTS_DIR = BUILD_DIR / "e2e-artifacts"
TILVANE_EXE = BUILD_DIR / "tilvane.exe"
PROGRAMS_DIR = BUILD_DIR / "e2e"
TVPROBE_EXE = PROGRAMS_DIR / "tvprobe.exe"

MAIN_CLASS = "TWITTER_ORVELAN"
MAIN_TITLE = "tilvane"
SCREEN_WIDTH = 1920
SCREEN_HEIGHT = 1080

WM_COMMAND = 0x0111
WM_CLOSE = 0x0010
IDM_EXIT = 40008

# The fifteen options in the order the program writes them.
OPTION_KEYS = [
    "kotei_render", "window_wid", "window_hei", "window_kotei", "window_zzahyo",
    "serch_byo", "serch_ken", "syokeikoku", "original", "kaku_kousin", "kaku_fukusuu",
    "kaku_tubuyaki", "kensaku_word", "window_x", "window_y",
]

DEFAULT_OPTIONS = {
    "kotei_render": 1, "window_wid": 750, "window_hei": 375, "window_kotei": 1,
    "window_zzahyo": 1, "serch_byo": 25, "serch_ken": 20, "syokeikoku": 0, "original": 0,
    "kaku_kousin": 1, "kaku_fukusuu": 0, "kaku_tubuyaki": 0, "kensaku_word": "tilvane",
    "window_x": 100, "window_y": 120,
}

# Searches must never leave the machine: nothing listens on port 9 of the loopback.
UNREACHABLE_SERVICE = "service_url=https://127.0.0.1:9\n"

_WATCHDOG = r"""
import os, shutil, signal, subprocess, sys, time
xvfb_pid, prefix, tmp = int(sys.argv[1]), sys.argv[2], sys.argv[3]
if os.fork():
    os._exit(0)
os.setsid()
message = sys.stdin.read()
if message.strip() == "done":
    sys.exit(0)
env = dict(os.environ, WINEPREFIX=prefix)
try:
    subprocess.run(["wineserver", "-k"], env=env, timeout=30,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
except Exception:
    pass
try:
    with open("/proc/%d/cmdline" % xvfb_pid, "rb") as f:
        if b"Xvfb" in f.read():
            os.kill(xvfb_pid, signal.SIGTERM)
except OSError:
    pass
time.sleep(1)
shutil.rmtree(tmp, ignore_errors=True)
"""


class ProbeError(RuntimeError):
    pass


def project_version():
    """The version that project() names in the top CMakeLists.txt ("1.2.3")."""
    text = (SOURCE_DIR / "CMakeLists.txt").read_text()
    return re.search(r"project\(tilvane VERSION (\d+\.\d+\.\d+)", text).group(1)


def encode_option_value(value):
    if isinstance(value, bytes):
        return value
    if isinstance(value, str):
        return value.encode("cp932")
    return str(value).encode("ascii")


def option_file_bytes(options):
    """An option file as the program writes it: one key=value line each, CR LF ends."""
    if isinstance(options, bytes):
        return options
    lines = b""
    for key, value in (options.items() if isinstance(options, dict) else options):
        lines += key.encode("ascii") + b"=" + encode_option_value(value) + b"\r\n"
    return lines


def expected_option_file(options):
    """What the program writes back for these options: table order, CR LF line ends."""
    lines = b""
    for key in OPTION_KEYS:
        if key in options:
            lines += key.encode("ascii") + b"=" + encode_option_value(options[key]) + b"\r\n"
    return lines


def parse_option_file(data):
    """key -> value bytes, in file order; a doubled key keeps its last value."""
    result = {}
    for line in data.split(b"\r\n"):
        if b"=" in line:
            key, value = line.split(b"=", 1)
            result[key.decode("ascii", "replace")] = value
    return result


def read_ppm(path):
    """(width, height, pixels): pixels is a bytes object of RGB triples, row by row."""
    data = Path(path).read_bytes()
    fields = []
    position = 0
    while len(fields) < 4:
        while data[position:position + 1].isspace():
            position += 1
        start = position
        while not data[position:position + 1].isspace():
            position += 1
        fields.append(data[start:position])
    position += 1
    if fields[0] != b"P6" or fields[3] != b"255":
        raise ValueError("not a binary 8-bit PPM: %s" % path)
    width, height = int(fields[1]), int(fields[2])
    return width, height, data[position:position + width * height * 3]


def pixel(image, x, y):
    width, _, pixels = image
    offset = (y * width + x) * 3
    return tuple(pixels[offset:offset + 3])


def colour_counts(image):
    """{(r, g, b): number of pixels}."""
    width, height, pixels = image
    counts = {}
    for offset in range(0, width * height * 3, 3):
        key = (pixels[offset], pixels[offset + 1], pixels[offset + 2])
        counts[key] = counts.get(key, 0) + 1
    return counts


def japanese_locale_dir():
    """A private compiled ja_JP.UTF-8 locale, so Wine runs with the Japanese ANSI code page
    (932) without changing the system. None when localedef is missing."""
    target = BUILD_DIR / "e2e-locale"
    if (target / "ja_JP.UTF-8" / "LC_CTYPE").exists():
        return target
    if shutil.which("localedef") is None:
        return None
    target.mkdir(parents=True, exist_ok=True)
    result = subprocess.run(["localedef", "-i", "ja_JP", "-f", "UTF-8",
                             str(target / "ja_JP.UTF-8")],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    if not (target / "ja_JP.UTF-8" / "LC_CTYPE").exists():
        print("harness: localedef failed (%d); running Wine without a Japanese locale"
              % result.returncode, file=sys.stderr)
        return None
    return target


def wait_until(check, timeout, what, interval=0.3):
    """check()'s first true result within timeout seconds; AssertionError naming `what`
    when there is none."""
    deadline = time.monotonic() + timeout
    while True:
        result = check()
        if result:
            return result
        if time.monotonic() > deadline:
            raise AssertionError("no %s within %ss" % (what, timeout))
        time.sleep(interval)


class Program:
    """One tilvane.exe (or other Windows program) started by a session."""

    def __init__(self, session, process, workdir, log_path):
        self.session = session
        self.process = process
        self.workdir = Path(workdir)
        self.log_path = log_path
        self.hwnd = None

    @property
    def pid(self):
        return self.process.pid

    def running(self):
        return self.process.poll() is None

    def wait_window(self, cls=MAIN_CLASS, title=MAIN_TITLE, timeout=30):
        """The handle of the program's visible window of that class and title."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if not self.running():
                raise AssertionError("program ended with %s before its window appeared"
                                     % self.process.returncode)
            reply = self.session.probe("wait", "--class", cls, "--title", title, "--visible",
                                       "--timeout-ms", "2000", check=False)
            if reply.get("found") and not reply.get("timeout"):
                window = reply["window"]
                if window["visible"]:
                    self.hwnd = window["hwnd"]
                    return self.hwnd
        raise AssertionError("no window %s/%s within %ss" % (cls, title, timeout))

    def post(self, message, wparam=0, lparam=0, hwnd=None):
        return self.session.probe("post", "--hwnd", hwnd or self.hwnd, "--msg", message,
                                  "--wparam", wparam, "--lparam", lparam)

    def send(self, message, wparam=0, lparam=0):
        return self.session.probe("send", "--hwnd", self.hwnd, "--msg", message,
                                  "--wparam", wparam, "--lparam", lparam)

    def exit_command(self):
        """The menu command "終了" as the menu would deliver it."""
        return self.post(WM_COMMAND, IDM_EXIT)

    def wait_exit(self, timeout=30):
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError("program still running after %ss" % timeout) from None

    def stop(self):
        """Ends the program: the exit command first, its process id if it stays."""
        if not self.running():
            return self.process.returncode
        if self.hwnd is not None:
            try:
                self.exit_command()
                return self.process.wait(timeout=15)
            except (ProbeError, subprocess.TimeoutExpired):
                pass
        self.kill()
        return self.process.returncode

    def kill(self):
        if self.running():
            self.process.kill()
            self.process.wait(timeout=15)


class FakeService:
    """tools/fakeservice/fakeservice.py with its state in state_dir; info is service.json."""

    def __init__(self, session, state_dir, timeout=20, arguments=()):
        self.state_dir = Path(state_dir)
        self.state_dir.mkdir(parents=True, exist_ok=True)
        script = SOURCE_DIR / "tools" / "fakeservice" / "fakeservice.py"
        self.log = open(self.state_dir / "fakeservice.log", "wb")
        self.process = subprocess.Popen(
            [sys.executable, str(script), "--state-dir", str(self.state_dir), *map(str, arguments)],
            stdout=self.log, stderr=subprocess.STDOUT)
        info_path = self.state_dir / "service.json"
        deadline = time.monotonic() + timeout
        self.info = None
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                break
            if info_path.exists():
                try:
                    self.info = json.loads(info_path.read_text())
                    break
                except ValueError:
                    pass  # still being written
            time.sleep(0.1)
        if self.info is None:
            self.stop()
            raise AssertionError("fake service did not start; see %s" % self.log.name)

    def log_entries(self):
        """The request log so far, one dict per request."""
        with open(self.info["log_file"], encoding="utf-8") as log:
            return [json.loads(line) for line in log if line.strip()]

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.log.close()


PREFIX_TEMPLATE = BUILD_DIR / "e2e-prefix-template"
# Wine's own binaries in a prefix are only ever read, so copies of the template share them.
_SHARED_SUFFIXES = (".dll", ".exe", ".drv", ".sys", ".ocx", ".cpl", ".acm", ".ax", ".tlb",
                    ".nls", ".mui")


def prefix_template(env):
    """A prefix made once per build by wineboot; each session starts from a copy of it."""
    if (PREFIX_TEMPLATE / ".update-timestamp").exists():
        return PREFIX_TEMPLATE
    making = Path(tempfile.mkdtemp(prefix="prefix-", dir=BUILD_DIR))
    making_env = dict(env, WINEPREFIX=str(making))
    subprocess.run(["wineboot", "-i"], env=making_env, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=300, check=False)
    subprocess.run(["wineserver", "-w"], env=making_env, timeout=300, check=False)
    try:
        making.rename(PREFIX_TEMPLATE)
    except OSError:  # another run made it first
        shutil.rmtree(making, ignore_errors=True)
    return PREFIX_TEMPLATE


def copy_prefix(template, target):
    shutil.copytree(template, target, symlinks=True, copy_function=link_or_copy)


def link_or_copy(source, destination):
    if str(source).lower().endswith(_SHARED_SUFFIXES):
        try:
            os.link(source, destination)
            return destination
        except OSError:
            pass
    return shutil.copy2(source, destination)


class WineSession:
    def __init__(self, name="e2e", display=None, screen=(SCREEN_WIDTH, SCREEN_HEIGHT)):
        """display: an X display to use instead of a private Xvfb (left running at close);
        screen: the private Xvfb's width and height."""
        for tool in ("Xvfb", "wine", "wineserver", "wineboot"):
            if shutil.which(tool) is None:
                raise RuntimeError("harness: %s is missing (run scripts/install-deps)" % tool)
        if not TILVANE_EXE.exists() or not TVPROBE_EXE.exists():
            raise RuntimeError("harness: build the windows preset first (%s, %s)"
                               % (TILVANE_EXE, TVPROBE_EXE))
        self.name = name
        self.screen_size = tuple(screen)
        self.artifacts = ARTIFACTS_DIR / name
        self.artifacts.mkdir(parents=True, exist_ok=True)
        self.tmp = Path(tempfile.mkdtemp(prefix="tilvane-e2e-"))
        self.prefix = self.tmp / "prefix"
        self.programs = []
        self.services = []
        self.closed = False
        self.xvfb = None
        self.watchdog = None
        try:
            if display:
                self.display = display
            else:
                self._start_xvfb()
            self._start_watchdog()
            self._create_prefix()
        except BaseException:
            self.close()
            raise
        atexit.register(self.close)

    # -- set-up ---------------------------------------------------------------------------

    def _start_xvfb(self):
        read_end, write_end = os.pipe()
        self.xvfb_log = open(self.tmp / "xvfb.log", "wb")
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0",
             "%dx%dx24" % self.screen_size, "-nolisten", "tcp", "-noreset", "-wr"],
            pass_fds=(write_end,), stdout=self.xvfb_log, stderr=subprocess.STDOUT)
        os.close(write_end)
        number = b""
        deadline = time.monotonic() + 20
        while not number.endswith(b"\n") and time.monotonic() < deadline:
            chunk = os.read(read_end, 16)
            if not chunk:
                break
            number += chunk
        os.close(read_end)
        if not number.strip().isdigit():
            raise RuntimeError("Xvfb did not report its display")
        self.display = ":" + number.strip().decode()

    def _start_watchdog(self):
        self.watchdog = subprocess.Popen(
            [sys.executable, "-c", _WATCHDOG, str(self.xvfb.pid if self.xvfb else 0),
             str(self.prefix),
             str(self.tmp)],
            stdin=subprocess.PIPE, env=self.env)
        self.watchdog.wait()  # the watchdog forks; its child keeps the pipe

    @property
    def env(self):
        if getattr(self, "_env", None) is None:
            self._env = self._make_env()
        return self._env

    def _make_env(self):
        env = dict(os.environ)
        for key in ("LC_ALL", "LC_CTYPE", "LANGUAGE"):
            env.pop(key, None)
        env.update({
            "DISPLAY": self.display,
            "WINEPREFIX": str(self.prefix),
            "WINEDEBUG": "-all",
            "WINEARCH": "win64",
            # No Mono or Gecko installer dialogs while the prefix is made.
            "WINEDLLOVERRIDES": "mscoree,mshtml=",
        })
        locale_dir = japanese_locale_dir()
        if locale_dir is not None:
            env["LOCPATH"] = str(locale_dir)
            env["LANG"] = "ja_JP.UTF-8"
        return env

    def _create_prefix(self):
        started = time.monotonic()
        template = prefix_template(self.env)
        copy_prefix(template, self.prefix)
        # Keep the server between programs: every later start is then quick.
        subprocess.run(["wineserver", "-p"], env=self.env, timeout=30, check=False)
        self.prefix_seconds = time.monotonic() - started

    # -- programs -------------------------------------------------------------------------

    def workdir(self, name, options=None, key=("e2e-token", "e2e-secret"),
                service=UNREACHABLE_SERVICE, txts=True, kotei=True, base=None):
        """A fresh working directory (under base, else the session's temporary folder):
        txts/ with the option file (DEFAULT_OPTIONS unless given; False for none), key.txt
        and service.txt (None for none), and kotei_tiles/olds/."""
        path = Path(base or self.tmp / "work") / name
        if path.exists():
            shutil.rmtree(path)
        path.mkdir(parents=True)
        if kotei:
            (path / "kotei_tiles" / "olds").mkdir(parents=True)
        if txts:
            txts_dir = path / "txts"
            txts_dir.mkdir()
            if options is not False:
                data = option_file_bytes(DEFAULT_OPTIONS if options is None else options)
                (txts_dir / "tva_option.txt").write_bytes(data)
            if key is not None:
                (txts_dir / "key.txt").write_bytes(("%s\r\n%s\r\n" % key).encode("ascii"))
            if service is not None:
                (txts_dir / "service.txt").write_bytes(service.encode("ascii"))
        return path

    def pin_tiles(self, workdir, pins):
        """Writes txts/kotei_jpgs.txt and the image files for pins [(address, column, row,
        photo of the fake service's media folder)], so the tiles come back at start-up."""
        media = SOURCE_DIR / "tools" / "fakeservice" / "media"
        lines = b""
        for address, column, row, photo in pins:
            shutil.copy(media / photo, Path(workdir) / "kotei_tiles" / address.rsplit("/", 1)[1])
            lines += b"name=%s,x=%d,y=%d\r\n" % (address.encode("ascii"), column, row)
        (Path(workdir) / "txts" / "kotei_jpgs.txt").write_bytes(lines)

    def start_program(self, workdir, exe=TILVANE_EXE, args=(), name=None):
        name = name or Path(exe).stem
        log_path = self.artifacts / ("%s-%d.log" % (name, len(self.programs)))
        log = open(log_path, "wb")
        process = subprocess.Popen(["wine", str(exe), *map(str, args)], cwd=str(workdir),
                                   env=self.env, stdin=subprocess.DEVNULL, stdout=log,
                                   stderr=subprocess.STDOUT)
        log.close()
        program = Program(self, process, workdir, log_path)
        self.programs.append(program)
        return program

    def probe(self, *args, check=True, timeout=60):
        """Runs tvprobe.exe with the arguments; its JSON reply as a dict."""
        return self.run_json(TVPROBE_EXE, *args, check=check, timeout=timeout)

    def run_json(self, exe, *args, check=True, timeout=60):
        # Output goes through files, not pipes: Wine's helper processes that a program may
        # start inherit its handles, and a pipe would then never report its end.
        with tempfile.TemporaryFile(dir=self.tmp) as out, \
                tempfile.TemporaryFile(dir=self.tmp) as err:
            process = subprocess.Popen(["wine", str(exe), *map(str, args)], env=self.env,
                                       stdin=subprocess.DEVNULL, stdout=out, stderr=err)
            try:
                returncode = process.wait(timeout=timeout)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
                raise ProbeError("%s %s: no reply within %ss"
                                 % (Path(exe).name, " ".join(map(str, args)), timeout))
            out.seek(0)
            err.seek(0)
            stdout = out.read().decode("utf-8", "replace")
            stderr = err.read().decode("utf-8", "replace")
        lines = [line for line in stdout.splitlines() if line.startswith("{")]
        command = "%s %s" % (Path(exe).name, " ".join(map(str, args)))
        if not lines:
            raise ProbeError("%s: no reply (exit %d): %s" % (command, returncode, stderr[-500:]))
        reply = json.loads(lines[-1])
        if check and returncode != 0:
            raise ProbeError("%s: exit %d: %s" % (command, returncode, lines[-1]))
        return reply

    def hold_window(self, title="tvprobe hold", x=100, y=100, w=300, h=200, topmost=False):
        """Shows a plain window of another process; returns (program, hwnd)."""
        args = ["hold-window", "--title", title, "--x", x, "--y", y, "--w", w, "--h", h]
        if topmost:
            args.append("--topmost")
        program = self.start_program(self.tmp, exe=TVPROBE_EXE, args=args, name="hold")
        program.wait_window(cls="TVPROBE_HOLD", title=title)
        return program, program.hwnd

    def main_windows(self):
        return self.probe("list", "--class", MAIN_CLASS)["windows"]

    def capture(self, hwnd, name, method="dc"):
        """The window's client area as read back from the screen: (width, height, rgb)."""
        path = self.artifacts / ("%s.ppm" % name)
        self.probe("capture", "--hwnd", hwnd, "--out", self.windows_path(path), "--method",
                   method)
        return read_ppm(path)

    def screen_image(self, name):
        """The whole screen as (width, height, rgb), with the PNG kept for people to look at."""
        png = self.screenshot(name)
        ppm = subprocess.run(["convert", str(png), "ppm:-"], stdout=subprocess.PIPE, check=True,
                             timeout=60).stdout
        path = png.with_suffix(".screen.ppm")
        path.write_bytes(ppm)
        return read_ppm(path)

    def windows_path(self, path):
        # The prefix maps Z: to the Unix root.
        return "Z:" + str(Path(path).resolve()).replace("/", "\\")

    def screenshot(self, name, path=None):
        """The whole X screen as a PNG under the artifacts folder (or at path); its path."""
        path = Path(path) if path else self.artifacts / ("%s.png" % name)
        subprocess.run(["import", "-display", self.display, "-window", "root", str(path)],
                       check=True, timeout=60, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        return path

    def draw_own_frames(self):
        """Has Wine draw captions and close boxes itself, as there is no window manager to
        draw them; for tests that click a caption's buttons. Applies to programs started
        afterwards."""
        subprocess.run(["wine", "reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v",
                        "Decorated", "/d", "N", "/f"], env=self.env, check=True, timeout=60,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def xdotool(self, *args):
        """Real X input (mouse, keys) on the session's display."""
        return subprocess.run(["xdotool", *map(str, args)], env=self.env, check=True,
                              timeout=30, stdout=subprocess.PIPE).stdout.decode()

    def fake_service(self, state_dir=None, arguments=()):
        """The fake service, started with these extra command-line arguments."""
        state_dir = Path(state_dir or self.tmp / ("fakeservice-%d" % len(self.services)))
        service = FakeService(self, state_dir, arguments=arguments)
        self.services.append(service)
        return service

    def stop_programs(self):
        for program in self.programs:
            try:
                program.stop()
            except Exception:
                program.kill()
        self.programs = [p for p in self.programs if p.running()]

    # -- tear-down ------------------------------------------------------------------------

    def close(self):
        if self.closed:
            return
        self.closed = True
        for program in self.programs:
            try:
                program.kill()
            except Exception:
                pass
        for service in self.services:
            try:
                service.stop()
            except Exception:
                pass
        if self.prefix.exists():
            subprocess.run(["wineserver", "-k"], env=self.env, timeout=60, check=False,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if self.xvfb is not None and self.xvfb.poll() is None:
            self.xvfb.send_signal(signal.SIGTERM)
            try:
                self.xvfb.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.xvfb.kill()
                self.xvfb.wait()
        if self.watchdog is not None:
            try:
                self.watchdog_pipe_done()
            except OSError:
                pass
        shutil.rmtree(self.tmp, ignore_errors=True)

    def watchdog_pipe_done(self):
        self.watchdog.stdin.write(b"done\n")
        self.watchdog.stdin.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


_shared = None


def shared_session():
    """One session per test process; closed when the process exits."""
    global _shared
    if _shared is None or _shared.closed:
        _shared = WineSession()
    return _shared


class WineTestCase(unittest.TestCase):
    """Tests in a Wine session (the shared one unless session_for_class says otherwise);
    programs still running at the end of a test are stopped."""

    @classmethod
    def session_for_class(cls):
        return shared_session()

    @classmethod
    def setUpClass(cls):
        cls.session = cls.session_for_class()

    def setUp(self):
        self.addCleanup(self.session.stop_programs)

    def start(self, workdir, name=None):
        """tilvane.exe started in workdir, once its window shows."""
        program = self.session.start_program(workdir, name=name)
        program.wait_window()
        return program

    def window_info(self, program):
        """What tvprobe reads of the program's main window."""
        return self.session.probe("info", "--hwnd", program.hwnd)

    def wait_for(self, what, check, timeout=30, interval=0.25):
        return wait_until(check, timeout, what, interval=interval)


class ProbeTestCase(WineTestCase):
    """Tests that run one of the test programs (PROBE_EXE) in the shared Wine session against
    the shared fake service."""

    PROBE_EXE = None

    @classmethod
    def service_arguments(cls):
        """Extra command-line arguments of the shared fake service."""
        return ()

    @classmethod
    def setUpClass(cls):
        if not cls.PROBE_EXE.exists():
            raise AssertionError("build the windows preset first: %s is missing" % cls.PROBE_EXE)
        super().setUpClass()
        cls.service = cls.session.fake_service(arguments=cls.service_arguments())
        cls.info = cls.service.info
        cls.service_txt = (cls.service.state_dir / "service.txt").read_text()

    def log_entries(self):
        return self.service.log_entries()

    def misbehave(self, rule):
        """Arms a misbehaviour of the fake service (see tools/fakeservice/README.md)."""
        self.service_control("/_test/misbehave", rule)

    def reset_service(self):
        """Clears the fake service's misbehaviours and its log."""
        self.service_control("/_test/reset", {})

    def service_control(self, path, body):
        context = ssl.create_default_context(cafile=self.info["ca_file"])
        request = urllib.request.Request(self.info["api_url"] + path,
                                         data=json.dumps(body).encode(), method="POST")
        with urllib.request.urlopen(request, context=context, timeout=30) as reply:
            self.assertEqual(reply.status, 200)
