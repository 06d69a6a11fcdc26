"""Starts the fake service in a temporary directory for one test class."""

import json
import signal
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

import signing_client

REPO = Path(__file__).resolve().parents[2]
SERVICE_SCRIPT = REPO / "tools" / "fakeservice" / "fakeservice.py"


class RunningService:
    def __init__(self, *arguments):
        self.directory = tempfile.TemporaryDirectory(prefix="fakeservice-test-")
        self.state_dir = Path(self.directory.name)
        self.process = subprocess.Popen(
            [sys.executable, "-B", str(SERVICE_SCRIPT), "--state-dir", str(self.state_dir),
             "--keep-running-seconds", "600", *arguments],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        description = self.state_dir / "service.json"
        deadline = time.monotonic() + 60
        while not description.exists():
            if self.process.poll() is not None or time.monotonic() > deadline:
                if self.process.poll() is None:
                    self.process.kill()
                problem = self.process.stderr.read().decode()
                self.stop()
                raise RuntimeError("fake service did not start: " + problem)
            time.sleep(0.05)
        self.info = json.loads(description.read_text())

    def url(self, path):
        return self.info["api_url"] + path

    def control(self, path, payload=None):
        data = None if payload is None else json.dumps(payload).encode()
        with signing_client.urlopen(self.url(path), self.info["ca_file"], data) as reply:
            return reply.read()

    def log(self):
        return json.loads(self.control("/_test/log"))

    def misbehave(self, **arming):
        self.control("/_test/misbehave", arming)

    def reset(self):
        self.control("/_test/reset", {})

    def stop(self) -> int:
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(timeout=30)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.process.stdout.close()
        self.process.stderr.close()
        code = self.process.returncode
        self.directory.cleanup()
        return code


class ServiceTestCase(unittest.TestCase):
    """One fake service per test class, its log and misbehaviours cleared before each test."""

    service_arguments: tuple = ()

    @classmethod
    def setUpClass(cls):
        cls.running = RunningService(*cls.service_arguments)
        cls.service = cls.running.info

    @classmethod
    def tearDownClass(cls):
        cls.running.stop()

    def setUp(self):
        self.running.reset()

    def wait_for_entries(self, predicate, seconds=10):
        """Log entries the server writes after the client is done (a failed handshake)."""
        deadline = time.monotonic() + seconds
        while True:
            found = [e for e in self.running.log() if predicate(e)]
            if found or time.monotonic() > deadline:
                return found
            time.sleep(0.05)

    def last_entry(self, path):
        entries = [e for e in self.running.log() if e.get("path") == path]
        self.assertTrue(entries, f"no log entry for {path}")
        return entries[-1]



