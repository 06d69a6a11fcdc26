"""The fixture that the Wine tests of a wall fed by the fake service share: the session of
this process, a fake service, working directories that hold its preissued access pair and
its address, tilvane.exe started on them and waits that poll for a condition.

    class MyTest(service_programs.ServiceProgramTestCase):   # a fresh service per test
        def test_x(self):
            program = self.start(self.service_workdir("x", kensaku_word="cats"))

ProgramFixture alone adds the same helpers to harness.ProbeTestCase, whose service is shared
by the whole class and can be told to misbehave."""

import os
import subprocess

import harness

WRITE_DOCS = os.environ.get("TILVANE_E2E_DOCS") == "1"

BROWSER_STAND_IN = """#!/bin/sh
printf '%s\\n' "$1" >> "{record}"
"""


def install_browser_stand_in(session):
    """Wine's ShellExecute hands a web address to winebrowser, which runs the first browser
    it finds on the Unix PATH (xdg-open first): a stand-in early on the session's PATH
    records the addresses instead. The path of that record."""
    browser_dir = session.tmp / "browser"
    browser_dir.mkdir(exist_ok=True)
    record = browser_dir / "opened.txt"
    stand_in = browser_dir / "xdg-open"
    stand_in.write_text(BROWSER_STAND_IN.format(record=record))
    stand_in.chmod(0o755)
    path = session.env.get("PATH", os.defpath)
    if not path.startswith(str(browser_dir) + ":"):
        session.env["PATH"] = "%s:%s" % (browser_dir, path)
    return record


class ProgramFixture:
    """Working directories pointed at self.service, beside harness.WineTestCase."""

    BASE_OPTIONS = harness.DEFAULT_OPTIONS

    def access_pair(self):
        return self.service.info["access_token"], self.service.info["access_token_secret"]

    def write_doc(self, program, name):
        """With TILVANE_E2E_DOCS=1, docs/<name>.png: the window as the screen shows it (with
        a menu open over it, if one is)."""
        if not WRITE_DOCS:
            return
        left, top, right, bottom = self.session.probe("info", "--hwnd", program.hwnd)["window"]
        screen = self.session.screenshot(name)
        docs = harness.SOURCE_DIR / "docs"
        docs.mkdir(exist_ok=True)
        subprocess.run(["convert", str(screen), "-crop", "%dx%d+%d+%d" % (
            right - left, bottom - top, left, top), "+repage", "-colors", "256",
            str(docs / ("%s.png" % name))], check=True, timeout=60)

    def service_config(self):
        """The text of the service.txt that points a program at the fake service."""
        return (self.service.state_dir / "service.txt").read_text()

    def service_workdir(self, name, **options):
        """A fresh working directory whose program searches the fake service with its
        preissued access pair; the options are BASE_OPTIONS with these changes."""
        return self.session.workdir(name, options=dict(self.BASE_OPTIONS, **options),
                                    key=self.access_pair(), service=self.service_config())


class ServiceProgramTestCase(ProgramFixture, harness.WineTestCase):
    """A fresh fake service for every test; programs still running at its end are stopped."""

    def setUp(self):
        super().setUp()
        self.service = self.session.fake_service()
        self.addCleanup(self.service.stop)
