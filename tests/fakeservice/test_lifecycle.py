"""Start-up files, certificates, the request log and shutdown."""

import json
import signal
import socket
import ssl
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

import signing_client as client
from service_process import SERVICE_SCRIPT, RunningService, ServiceTestCase


class StartupFilesTest(ServiceTestCase):
    def test_service_json_and_txt_describe_the_running_servers(self):
        info, state = self.service, self.running.state_dir
        self.assertEqual(info["pid"], self.running.process.pid)
        self.assertEqual(info["ca_file"], str(state / "ca.pem"))
        for key in ("api_url", "untrusted_api_url"):
            self.assertRegex(info[key], r"^https://127\.0\.0\.1:\d+$")
        self.assertRegex(info["image_url"], r"^http://127\.0\.0\.1:\d+$")
        self.assertEqual(len({info["api_url"], info["untrusted_api_url"], info["image_url"].replace("http:", "https:")}), 3)
        self.assertEqual(info["consumer_key"], "tilvaneDemoConsumer22K")
        self.assertEqual(info["consumer_secret"], "tilvaneDemoConsumerSecretPlaceholder00041")
        lines = (state / "service.txt").read_text().splitlines()
        self.assertEqual(lines, [
            f"service_url={info['api_url']}",
            f"ca_bundle={state / 'ca.pem'}",
            "consumer_key=tilvaneDemoConsumer22K",
            "consumer_secret=tilvaneDemoConsumerSecretPlaceholder00041",
        ])
        self.assertEqual(list(state.glob("*.tmp*")), [])

    def test_certificates_are_checked_against_the_right_authority(self):
        trusted = ssl.create_default_context(cafile=self.service["ca_file"])
        for host in ("127.0.0.1", "localhost"):
            port = int(self.service["api_url"].rsplit(":", 1)[1])
            with socket.create_connection(("127.0.0.1", port), timeout=10) as raw:
                with trusted.wrap_socket(raw, server_hostname=host) as tls:
                    self.assertIsNotNone(tls.getpeercert())
        untrusted_port = int(self.service["untrusted_api_url"].rsplit(":", 1)[1])
        with socket.create_connection(("127.0.0.1", untrusted_port), timeout=10) as raw:
            with self.assertRaises(ssl.SSLCertVerificationError):
                trusted.wrap_socket(raw, server_hostname="127.0.0.1")
        handshakes = self.wait_for_entries(lambda e: e.get("event") == "tls_handshake_failed")
        self.assertEqual([e["server"] for e in handshakes], ["untrusted"])
        # With its own authority the untrusted server is a working API.
        reply = client.exchange(self.service["untrusted_api_url"] + "/media/a01.jpg",
                                ca_file=self.service["untrusted_ca_file"])
        self.assertEqual(reply.status, 200)
        self.assertEqual(self.last_entry("/media/a01.jpg")["server"], "untrusted")

    def test_log_file_and_log_endpoint_agree_and_reset_clears_both(self):
        client.signed_search(self.service, "cats", 1)
        client.exchange(self.service["image_url"] + "/media/b01.jpg")
        from_endpoint = self.running.log()
        log_file = Path(self.service["log_file"])
        from_file = [json.loads(line) for line in log_file.read_text().splitlines()]
        self.assertEqual(from_file, from_endpoint)
        self.assertEqual([(e["server"], e["path"]) for e in from_file],
                         [("api", "/1.1/search/tweets.json"), ("image", "/media/b01.jpg")])
        self.running.reset()
        self.assertEqual(self.running.log(), [])
        self.assertEqual(log_file.read_text(), "")

    def test_malformed_requests_are_answered_and_logged(self):
        port = int(self.service["image_url"].rsplit(":", 1)[1])
        with socket.create_connection(("127.0.0.1", port), timeout=10) as raw:
            raw.sendall(b"GET /media/a01.jpg HTTP/1.x\r\n\r\n")
            answer = raw.recv(4096)
        self.assertTrue(answer.startswith(b"HTTP/1.0 400"), answer)
        self.assertEqual(self.running.log()[-1]["event"], "malformed_request")
        # A body larger than any request needs is refused before it is read.
        port = int(self.service["api_url"].rsplit(":", 1)[1])
        context = ssl.create_default_context(cafile=self.service["ca_file"])
        with context.wrap_socket(socket.create_connection(("127.0.0.1", port), timeout=10),
                                 server_hostname="127.0.0.1") as tls:
            tls.sendall(b"POST /oauth/request_token HTTP/1.0\r\nHost: 127.0.0.1\r\n"
                        b"Content-Length: 2097152\r\n\r\nabc")
            self.assertTrue(tls.recv(4096).startswith(b"HTTP/1.1 413 "))


class ShutdownTest(unittest.TestCase):
    def test_sigterm_ends_cleanly_and_removes_the_description(self):
        running = RunningService()
        description = running.state_dir / "service.json"
        running.process.send_signal(signal.SIGTERM)
        self.assertEqual(running.process.wait(timeout=30), 0)
        self.assertFalse(description.exists())
        self.assertTrue((running.state_dir / "requests.jsonl").exists())
        running.stop()

    def test_keep_running_bound_ends_the_service(self):
        with tempfile.TemporaryDirectory() as state:
            result = subprocess.run(
                [sys.executable, "-B", str(SERVICE_SCRIPT), "--state-dir", state, "--keep-running-seconds", "1"],
                capture_output=True, timeout=60)
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertIn(b"fakeservice ready", result.stdout)
            self.assertFalse((Path(state) / "service.json").exists())


if __name__ == "__main__":
    unittest.main()
