"""The service's own signature code against a published OAuth 1.0a example and against the
base-URL rules of the application's requests."""

import sys
import unittest

from service_process import REPO

sys.path.insert(0, str(REPO / "tools" / "fakeservice"))
import oauth_check  # noqa: E402

# The worked example of the service's developer documentation ("Creating a signature").
EXAMPLE_PARAMS = [
    ("status", "Hello Ladies + Gentlemen, a signed OAuth request!"),
    ("include_entities", "true"),
    ("oauth_consumer_key", "xvz1evFS4wEEPTGEFPHBog"),
    ("oauth_nonce", "kYjzVBB8Y0ZFabxSWbWovY3uYSQ2pTgmZeNu2VS4cg"),
    ("oauth_signature_method", "HMAC-SHA1"),
    ("oauth_timestamp", "1318622958"),
    ("oauth_token", "370773112-GmHxMAgYyLbNEtIKZeRNFsMKPR9EyMZeS9weJAEb"),
    ("oauth_version", "1.0"),
]
EXAMPLE_URL = "https://api.twitter.com/1.1/statuses/update.json"
EXAMPLE_CONSUMER_SECRET = "kAcSOqF21Fu85e7zjz7ZN2U4ZRhfV3WpwPAoE3Z7kBw"
EXAMPLE_TOKEN_SECRET = "LswwdoUaIvS8ltyTt5jkRh4J50vUPVVHtR2YPi5kE"
EXAMPLE_SIGNATURE = "hCtSmYh+iHYCEqBWrE7C7hYmtUk="


class PublishedExampleTest(unittest.TestCase):
    def test_signature_of_the_documented_example(self):
        base = oauth_check.signature_base_string("post", EXAMPLE_URL, EXAMPLE_PARAMS)
        self.assertTrue(base.startswith("POST&https%3A%2F%2Fapi.twitter.com%2F1.1%2Fstatuses%2Fupdate.json&"
                                        "include_entities%3Dtrue%26oauth_consumer_key%3D"))
        self.assertIn("status%3DHello%2520Ladies%2520%252B%2520Gentlemen%252C%2520a%2520signed", base)
        self.assertEqual(oauth_check.hmac_sha1_signature(base, EXAMPLE_CONSUMER_SECRET, EXAMPLE_TOKEN_SECRET),
                         EXAMPLE_SIGNATURE)

    def test_verification_accepts_the_example_once(self):
        params = EXAMPLE_PARAMS + [("oauth_signature", EXAMPLE_SIGNATURE)]
        nonces = oauth_check.NonceRegistry()

        def verify(**changes):
            arguments = dict(method="POST", base_url=EXAMPLE_URL, params=params,
                             consumer_key="xvz1evFS4wEEPTGEFPHBog", consumer_secret=EXAMPLE_CONSUMER_SECRET,
                             token_secret_for=lambda token: EXAMPLE_TOKEN_SECRET, nonces=nonces,
                             now=1318622958 + 100)
            arguments.update(changes)
            return oauth_check.verify_request(**arguments)

        self.assertFalse(verify(method="GET").ok)
        self.assertFalse(verify(now=1318622958 + 301).ok)
        self.assertFalse(verify(token_secret_for=lambda token: None).ok)
        self.assertTrue(verify().ok)
        self.assertEqual(verify().reason, "replayed nonce")


class NonceTallyTest(unittest.TestCase):
    def test_counts_reuse_under_any_timestamp_and_replays_of_the_same_pair(self):
        nonces = oauth_check.NonceRegistry()
        self.assertTrue(nonces.first_use("n1", "1000", 1000))
        self.assertTrue(nonces.first_use("n2", "1001", 1001))
        # Another timestamp is no replay, but the nonce was used before.
        self.assertTrue(nonces.first_use("n1", "999", 1002))
        self.assertFalse(nonces.first_use("n2", "1001", 1003))
        self.assertEqual(nonces.tally(), {
            "signed_requests": 4, "distinct_nonces": 2, "reused_nonces": 2, "replays": 1,
            "distinct_timestamps": 3, "earliest_timestamp": 999, "latest_timestamp": 1001,
            "backwards_timestamps": 1, "full": False})

    def test_a_refused_signature_is_not_tallied(self):
        params = EXAMPLE_PARAMS + [("oauth_signature", "AAAA" + EXAMPLE_SIGNATURE[4:])]
        nonces = oauth_check.NonceRegistry()
        verdict = oauth_check.verify_request(
            method="POST", base_url=EXAMPLE_URL, params=params,
            consumer_key="xvz1evFS4wEEPTGEFPHBog", consumer_secret=EXAMPLE_CONSUMER_SECRET,
            token_secret_for=lambda token: EXAMPLE_TOKEN_SECRET, nonces=nonces,
            now=1318622958)
        self.assertFalse(verdict.ok)
        self.assertEqual(nonces.tally()["signed_requests"], 0)


class BaseUrlTest(unittest.TestCase):
    def test_host_header_gives_the_host_and_the_server_its_port(self):
        url = oauth_check.signature_base_url
        self.assertEqual(url("https", "127.0.0.1", 4443, "/p"), "https://127.0.0.1:4443/p")
        self.assertEqual(url("https", "LocalHost:9", 4443, "/p"), "https://localhost:4443/p")
        self.assertEqual(url("HTTPS", None, 443, "/p"), "https://127.0.0.1/p")
        self.assertEqual(url("http", "127.0.0.1", 80, "/p"), "http://127.0.0.1/p")

    def test_form_values_keep_their_bytes(self):
        pairs = oauth_check.parse_form("q=%E7%8C%AB&flag&e=%zz&p=a+b")
        self.assertEqual([oauth_check.percent_encode(v) for _, v in pairs], ["%E7%8C%AB", "", "%25zz", "a%20b"])
        self.assertEqual(oauth_check.as_utf8(pairs[0][1]), "猫")


if __name__ == "__main__":
    unittest.main()
