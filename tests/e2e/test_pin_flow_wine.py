"""The first start under Wine: without txts/key.txt tilvane.exe asks the fake service for a
request token, opens its authorisation page in the browser and waits for the PIN in its
dialog; the PIN typed in gives the access pair, stored in key.txt and used by the searches.

The test plays the browser: Wine's ShellExecute hands a web address to winebrowser, which
runs the first of its browsers found on the Unix PATH (xdg-open first); a stand-in xdg-open
early on the PATH records the address, and the test reads the PIN off that page."""

import os
import re
import shutil
import ssl
import subprocess
import time
import unittest
import urllib.request

import harness
from service_programs import install_browser_stand_in

WM_COMMAND = 0x0111
WM_SYSCOMMAND = 0x0112
SC_CLOSE = 0xF060
IDOK = 1
IDCANCEL = 2
IDC_PIN_EDIT = 1001  # resources/resource.h
DIALOG_CLASS = "#32770"
PIN_TITLE = "認証処理(Tilvane)"
FAILURE_TITLE = "認証失敗"
FAILURE_TEXT = ("認証に失敗しました。次回起動時に再度認証します。"
                "設定 → 取得元 で別の取得元も選べます。")
SEARCH_PATH = "/1.1/search/tweets.json"
DOCS_SCREENSHOT = harness.SOURCE_DIR / "docs" / "pin-dialog.png"


class FirstStart(harness.WineTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.service = cls.session.fake_service()
        cls.info = cls.service.info
        cls.service_txt = (cls.service.state_dir / "service.txt").read_text()
        cls.context = ssl.create_default_context(cafile=cls.info["ca_file"])
        cls.browser_record = install_browser_stand_in(cls.session)
        env = cls.session.env
        # Without a window manager nobody would draw the dialog's caption: Wine draws it.
        subprocess.run(["wine", "reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v",
                        "Decorated", "/t", "REG_SZ", "/d", "N", "/f"], env=env, timeout=60,
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    # -- the browser's part ---------------------------------------------------------------

    def opened_addresses(self):
        if not self.browser_record.exists():
            return []
        return self.browser_record.read_text().split()

    def wait_for_address(self, count, timeout=30):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            addresses = self.opened_addresses()
            if len(addresses) >= count:
                return addresses[count - 1]
            time.sleep(0.2)
        self.fail("the browser was not asked to open the authorisation page")

    def pin_on_page(self, address):
        with urllib.request.urlopen(address, context=self.context, timeout=30) as page:
            html = page.read().decode("utf-8")
        found = re.search(r'id="oauth_pin">(\d+)<', html)
        self.assertIsNotNone(found, html)
        return found.group(1)

    # -- the user's part ------------------------------------------------------------------

    def wait_dialog(self, title, timeout_ms=30000):
        reply = self.session.probe("wait", "--class", DIALOG_CLASS, "--title", title,
                                   "--visible", "--timeout-ms", timeout_ms, check=False)
        self.assertTrue(reply.get("found") and not reply.get("timeout"),
                        "no dialog %s: %s" % (title, reply))
        return reply["window"]["hwnd"]

    def dialog_open(self, title):
        return any(w["visible"] for w in
                   self.session.probe("list", "--class", DIALOG_CLASS, "--title", title)["windows"])

    def controls(self, dialog):
        return self.session.probe("children", "--hwnd", dialog)["children"]

    def control(self, dialog, control_id):
        return next(c for c in self.controls(dialog) if c["id"] == control_id)

    def click_at(self, x, y):
        self.session.xdotool("mousemove", x, y, "click", "1")

    def click(self, hwnd):
        rect = self.session.probe("info", "--hwnd", hwnd)["window"]
        self.click_at((rect[0] + rect[2]) // 2, (rect[1] + rect[3]) // 2)

    def click_close_box(self, dialog):
        info = self.session.probe("info", "--hwnd", dialog)
        outer, client = info["window"], info["client"]
        border = client[0] - outer[0]
        caption = client[1] - outer[1] - border
        self.click_at(outer[2] - border - caption // 2 - 1, outer[1] + border + caption // 2)

    def field_text(self, dialog):
        return self.control(dialog, IDC_PIN_EDIT)["value"]

    def enter_pin(self, dialog, typed):
        """Types into the field; its text once the digits of what was typed arrived."""
        self.click(self.control(dialog, IDC_PIN_EDIT)["hwnd"])
        self.session.xdotool("type", "--delay", "50", typed)
        digits = "".join(c for c in typed if c.isdigit())
        deadline = time.monotonic() + 10
        while len(self.field_text(dialog)) < len(digits) and time.monotonic() < deadline:
            time.sleep(0.2)
        return self.field_text(dialog)

    def start_first(self, name):
        workdir = self.session.workdir(name, key=None, service=self.service_txt)
        program = self.session.start_program(workdir)
        return program, workdir

    def searches(self):
        return [e for e in self.service.log_entries() if e.get("path") == SEARCH_PATH]

    def wait_for_search(self, timeout=40):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            found = self.searches()
            if found:
                return found[-1]
            time.sleep(0.5)
        self.fail("no search reached the service")

    def save_dialog_picture(self, dialog):
        rect = self.session.probe("info", "--hwnd", dialog)["window"]
        whole = self.session.screenshot("pin-dialog-screen")
        picture = self.session.artifacts / "pin-dialog.png"
        subprocess.run(["convert", str(whole), "-crop", "%dx%d+%d+%d" % (
            rect[2] - rect[0], rect[3] - rect[1], rect[0], rect[1]), "+repage", str(picture)],
            check=True, timeout=60)
        if os.environ.get("TILVANE_UPDATE_DOCS"):
            DOCS_SCREENSHOT.parent.mkdir(exist_ok=True)
            shutil.copyfile(picture, DOCS_SCREENSHOT)

    # -- tests ----------------------------------------------------------------------------

    def test_the_pin_from_the_page_grants_the_pair_that_signs_the_searches(self):
        before = len(self.opened_addresses())
        program, workdir = self.start_first("first-start")
        dialog = self.wait_dialog(PIN_TITLE)
        address = self.wait_for_address(before + 1)
        self.assertRegex(address, "^" + re.escape(self.info["api_url"]) +
                         r"/oauth/authorize\?oauth_token=\w+&oauth_token_secret=\w+$")
        pin = self.pin_on_page(address)

        # The dialog speaks Japanese; the main window waits behind it.
        self.assertEqual(self.session.probe("info", "--hwnd", dialog)["title"], PIN_TITLE)
        texts = [c["text"] for c in self.controls(dialog)]
        self.assertIn("PINコード", texts)
        self.assertIn("OK", texts)
        self.assertEqual(self.session.main_windows()[0]["visible"], False)

        # Escape and the close box leave it open.
        self.click(self.control(dialog, IDC_PIN_EDIT)["hwnd"])
        self.session.xdotool("key", "Escape")
        self.click_close_box(dialog)
        program.post(WM_SYSCOMMAND, SC_CLOSE, hwnd=dialog)
        program.post(WM_COMMAND, IDCANCEL, hwnd=dialog)
        time.sleep(1)
        self.assertTrue(self.dialog_open(PIN_TITLE))

        # Only digits go into the field.
        self.assertEqual(self.enter_pin(dialog, "ab" + pin), pin)
        self.save_dialog_picture(dialog)
        self.click(self.control(dialog, IDOK)["hwnd"])

        program.wait_window()
        self.assertFalse(self.dialog_open(PIN_TITLE))
        exchange = next(e for e in reversed(self.service.log_entries())
                        if e.get("path") == "/oauth/access_token")
        self.assertEqual(exchange["exchange"], "ok")
        self.assertEqual(exchange["body_params"]["oauth_verifier"], pin)
        token = exchange["access_token"]
        key = (workdir / "txts" / "key.txt").read_bytes()
        lines = key.split(b"\r\n")
        self.assertEqual(len(lines), 3, key)
        self.assertEqual(lines[0].decode(), token)
        self.assertEqual(lines[2], b"")

        search = self.wait_for_search()
        self.assertEqual(search["signature"], "ok", search.get("reason"))
        self.assertEqual(search["query_params"]["oauth_token"], token)
        program.exit_command()
        self.assertEqual(program.wait_exit(), 0)

        # The next start reads the pair and asks nothing.
        opened = len(self.opened_addresses())
        again = self.session.start_program(workdir, name="second-start")
        again.wait_window()
        self.assertFalse(self.dialog_open(PIN_TITLE))
        self.assertEqual(len(self.opened_addresses()), opened)
        self.assertEqual((workdir / "txts" / "key.txt").read_bytes(), key)

    def test_a_wrong_pin_says_so_writes_nothing_and_the_window_still_comes(self):
        before = len(self.opened_addresses())
        program, workdir = self.start_first("wrong-pin")
        dialog = self.wait_dialog(PIN_TITLE)
        pin = self.pin_on_page(self.wait_for_address(before + 1))
        wrong = "1" + "0" * (len(pin) - 1) if pin != "1" + "0" * (len(pin) - 1) else "2" * len(pin)
        self.assertEqual(self.enter_pin(dialog, wrong), wrong)
        self.session.xdotool("key", "Return")

        box = self.wait_dialog(FAILURE_TITLE)
        self.assertIn(FAILURE_TEXT, [c["text"] for c in self.controls(box)])
        self.session.screenshot("pin-refused")
        self.assertFalse((workdir / "txts" / "key.txt").exists())
        program.post(WM_COMMAND, IDOK, hwnd=box)
        program.wait_window()
        self.assertFalse((workdir / "txts" / "key.txt").exists())
        self.assertEqual(list((workdir / "txts").glob("key.txt*")), [])

    def associate_web_addresses(self, command):
        """Has the shell start command for http and https addresses until the test ends."""
        def change(key, value):
            return ["wine", "reg", "add", key, "/ve", "/d", value, "/f"]
        env = self.session.env
        for scheme in ("http", "https"):
            key = r"HKLM\Software\Classes\%s\shell\open\command" % scheme
            listed = subprocess.run(["wine", "reg", "query", key, "/ve"], env=env, timeout=60,
                                    capture_output=True, check=True).stdout
            previous = re.search(r"REG_SZ\s+(.*\S)", listed.decode("utf-8", "replace")).group(1)
            subprocess.run(change(key, command), env=env, timeout=60, check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            self.addCleanup(subprocess.run, change(key, previous), env=env, timeout=60,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def test_the_page_is_opened_with_the_plain_show_command(self):
        record = self.session.tmp / "browser" / "show-commands.txt"
        record.unlink(missing_ok=True)
        self.associate_web_addresses('"%s" startup-show --out "%s" "%%1"' % (
            self.session.windows_path(harness.TVPROBE_EXE), self.session.windows_path(record)))
        self.start_first("show-command")
        self.wait_dialog(PIN_TITLE)
        harness.wait_until(record.exists, 30, "the stand-in browser")
        self.assertEqual(record.read_text().split(), ["5"], "SW_SHOW, not SW_SHOWNORMAL")

    def test_a_refused_request_token_opens_no_browser_and_no_dialog(self):
        before = len(self.opened_addresses())
        workdir = self.session.workdir("no-request-token", key=None,
                                       service=self.service_txt + "consumer_secret=wrong\n")
        program = self.session.start_program(workdir)
        box = self.wait_dialog(FAILURE_TITLE)
        self.assertFalse(self.dialog_open(PIN_TITLE))
        self.assertEqual(len(self.opened_addresses()), before)
        program.post(WM_COMMAND, IDOK, hwnd=box)
        program.wait_window()
        self.assertFalse(self.dialog_open(PIN_TITLE))
        self.assertFalse((workdir / "txts" / "key.txt").exists())


if __name__ == "__main__":
    unittest.main()
