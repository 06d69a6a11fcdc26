"""The HTTP client's verified TLS on Windows code paths (the "ROOT" store plus the CA bundle of
txts/service.txt), driven through programs/fetch_probe.cpp against the fake service."""

import time
import unittest

import harness

SEARCH_PATH = "/1.1/search/tweets.json"


class FetchUnderWine(harness.ProbeTestCase):
    PROBE_EXE = harness.PROGRAMS_DIR / "fetch_probe.exe"

    def workdir(self, name, service_txt=None):
        return self.session.workdir(
            name, service=self.service_txt if service_txt is None else service_txt)

    def probe(self, workdir, *args, timeout=120):
        # run_json passes the output through files: Wine's helper processes keep pipes open.
        return self.session.run_json(self.PROBE_EXE, "--workdir", self.session.windows_path(workdir),
                                     *args, timeout=timeout)

    def token_args(self):
        return ["--token", self.info["access_token"],
                "--token-secret", self.info["access_token_secret"]]

    def entries_since(self, seq_before):
        return [e for e in self.log_entries() if e.get("seq", 0) > seq_before]

    def last_seq(self):
        return max((e.get("seq", 0) for e in self.log_entries()), default=0)

    def wait_for_entries(self, seq_before, matches, timeout=10):
        """Log entries after seq_before that satisfy matches; the fake writes a refused
        handshake's entry from its own thread, possibly just after the client gave up."""
        deadline = time.monotonic() + timeout
        while True:
            found = [e for e in self.entries_since(seq_before) if matches(e)]
            if found or time.monotonic() > deadline:
                return found
            time.sleep(0.2)

    def test_signed_search_over_verified_tls(self):
        workdir = self.workdir("fetch-search")
        before = self.last_seq()
        reply = self.probe(workdir, "--search", "cats", "--count", "7", *self.token_args())
        self.assertTrue(reply["config_loaded"])
        self.assertEqual(reply["service_url"], self.info["api_url"])
        self.assertEqual(reply["ca_bundle"], self.info["ca_file"])
        self.assertTrue(reply["ok"], reply)
        self.assertTrue(reply["body_prefix"].startswith('{"statuses":[{'), reply["body_prefix"])
        searches = [e for e in self.entries_since(before) if e.get("path") == SEARCH_PATH]
        self.assertEqual(len(searches), 1, searches)
        search = searches[0]
        self.assertEqual(search["server"], "api")
        self.assertEqual(search["signature"], "ok", search.get("reason"))
        self.assertEqual(search["keyword"], "cats")
        self.assertEqual(str(search["count"]), "7")
        self.assertEqual(search["query_params"].get("oauth_token"), self.info["access_token"])
        self.assertEqual(search["status"], 200)

    def test_wrong_token_secret_is_refused_by_the_service(self):
        workdir = self.workdir("fetch-bad-secret")
        before = self.last_seq()
        reply = self.probe(workdir, "--search", "cats", "--count", "3", "--token",
                           self.info["access_token"], "--token-secret", "not-the-secret")
        self.assertFalse(reply["ok"])
        self.assertIn("Could not authenticate you.", reply["body_prefix"])
        searches = [e for e in self.entries_since(before) if e.get("path") == SEARCH_PATH]
        self.assertEqual([e["signature"] for e in searches], ["bad"])

    def test_status_other_than_200_fails_but_keeps_the_body(self):
        workdir = self.workdir("fetch-post-404")
        reply = self.probe(workdir, "--post", self.info["api_url"] + "/no/such/page", "q=cats")
        self.assertFalse(reply["ok"])
        self.assertIn('"code":34', reply["body_prefix"])

    def test_bundle_trusts_the_fake_and_system_roots_alone_do_not(self):
        url = self.info["api_url"] + "/_test/misbehaviours"
        trusted = self.probe(self.workdir("fetch-with-bundle"), "--get", url)
        self.assertTrue(trusted["ok"], trusted)
        self.assertTrue(trusted["body_prefix"].startswith("["), trusted)

        without_bundle = "".join(line + "\n" for line in self.service_txt.splitlines()
                                 if not line.startswith("ca_bundle="))
        before = self.last_seq()
        refused = self.probe(self.workdir("fetch-without-bundle", without_bundle), "--get", url)
        self.assertEqual(refused["ca_bundle"], "")
        self.assertFalse(refused["ok"])
        self.assertEqual(refused["body_bytes"], 0)
        self.assert_refused_handshake(before, "api")

    def test_server_of_another_ca_is_refused(self):
        before = self.last_seq()
        reply = self.probe(self.workdir("fetch-untrusted"), "--get",
                           self.info["untrusted_api_url"] + "/_test/misbehaviours")
        self.assertFalse(reply["ok"])
        self.assertEqual(reply["body_bytes"], 0)
        self.assert_refused_handshake(before, "untrusted")

    def assert_refused_handshake(self, seq_before, server):
        """The client broke off the handshake for the certificate: no request reached the
        server, and the server was told the issuer is unknown."""
        failures = self.wait_for_entries(
            seq_before, lambda e: e.get("event") == "tls_handshake_failed"
            and e.get("server") == server)
        self.assertTrue(failures, "no refused handshake on %s in the log" % server)
        self.assertIn("unknown ca", failures[-1]["reason"].lower())
        requests = [e for e in self.entries_since(seq_before)
                    if e.get("server") == server and "path" in e]
        self.assertEqual(requests, [])

    def test_stalled_search_ends_after_the_io_timeout(self):
        self.misbehave({"path": SEARCH_PATH, "mode": "stall", "keyword": "stall-me",
                        "seconds": 40})
        workdir = self.workdir("fetch-stall")
        before = self.last_seq()
        started = time.monotonic()
        reply = self.probe(workdir, "--timeout-ms", "2000", "--search", "stall-me",
                           *self.token_args(), timeout=60)
        wall_seconds = time.monotonic() - started
        self.assertFalse(reply["ok"])
        # The NUL that ends a search body stays even when the exchange failed.
        self.assertEqual(reply["body_bytes"], 1)
        # At least the time-out, so the stall was what ended it; far less than the stall.
        self.assertGreaterEqual(reply["elapsed_ms"], 1800)
        self.assertLess(reply["elapsed_ms"], 15000)
        self.assertLess(wall_seconds, 30)
        stalled = [e for e in self.entries_since(before) if e.get("path") == SEARCH_PATH]
        self.assertEqual([e["misbehaviour"] for e in stalled], ["stall"])


if __name__ == "__main__":
    unittest.main()
