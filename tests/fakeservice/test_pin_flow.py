"""The PIN authorisation: request token, authorisation page, access token, and the token's
use for searching."""

import re
import unittest
from urllib.parse import parse_qsl

import signing_client as client
from service_process import ServiceTestCase


class PinFlowTest(ServiceTestCase):
    def post_signed(self, path, params=(), token_secret="", in_query=False):
        url = self.service["api_url"] + path
        signed = client.oauth_parameters("POST", url, list(params), self.service["consumer_key"],
                                         self.service["consumer_secret"], token_secret=token_secret)
        if in_query:
            return client.exchange(url + "?" + client.form(signed), method="POST", body="",
                                   ca_file=self.service["ca_file"])
        return client.exchange(url, method="POST", body=client.form(signed), ca_file=self.service["ca_file"])

    def request_token(self):
        reply = self.post_signed("/oauth/request_token")
        self.assertEqual(reply.status, 200, reply.body)
        return reply

    def test_request_token_reply_lists_values_each_followed_by_an_ampersand(self):
        text = self.request_token().body.decode()
        self.assertRegex(text, r"^oauth_token=[A-Za-z0-9]+&oauth_token_secret=[A-Za-z0-9]+&oauth_callback_confirmed=true$")
        entry = self.last_entry("/oauth/request_token")
        self.assertEqual(entry["signature"], "ok")
        self.assertEqual(entry["query_params"], {})
        self.assertIn("oauth_signature", entry["body_params"])
        # Two request tokens are never the same.
        self.assertNotEqual(dict(parse_qsl(text))["oauth_token"],
                            dict(parse_qsl(self.request_token().body.decode()))["oauth_token"])

    def test_request_token_accepts_parameters_in_the_query_and_refuses_a_token_secret_in_the_key(self):
        self.assertEqual(self.post_signed("/oauth/request_token", in_query=True).status, 200)
        self.assertEqual(self.post_signed("/oauth/request_token", token_secret="something").status, 401)

    def test_full_flow_issues_a_working_token_once(self):
        issued = dict(parse_qsl(self.request_token().body.decode()))
        token = issued["oauth_token"]
        authorize = self.service["api_url"] + f"/oauth/authorize?oauth_token={token}&oauth_token_secret={issued['oauth_token_secret']}"
        with client.urlopen(authorize, self.service["ca_file"]) as page:
            shown = re.search(r'<code id="oauth_pin">(\d+)</code>', page.read().decode()).group(1)
        pin = self.running.control(f"/_test/pin?oauth_token={token}").decode()
        self.assertEqual(shown, pin)
        self.assertEqual(self.running.control("/_test/pin").decode(), pin, "latest request token")
        self.assertRegex(pin, r"^[1-9]\d{6}$")

        wrong = str((int(pin) + 1) % 10_000_000).zfill(7)
        refused = self.post_signed("/oauth/access_token", [("oauth_token", token), ("oauth_verifier", wrong)])
        self.assertEqual(refused.status, 401)
        self.assertIn(b"oauth_verifier", refused.body)

        reply = self.post_signed("/oauth/access_token", [("oauth_token", token), ("oauth_verifier", pin)])
        self.assertEqual(reply.status, 200, reply.body)
        text = reply.body.decode()
        self.assertRegex(text, r"^oauth_token=[^&]+&oauth_token_secret=[^&]+&user_id=\d+&screen_name=\w+$")
        access = dict(parse_qsl(text))

        search = client.signed_search(self.service, "cats", 3, token=access["oauth_token"],
                                      token_secret=access["oauth_token_secret"])
        self.assertEqual(search.status, 200)
        self.assertEqual(len(search.json()["statuses"]), 3)
        # Signed with the new token but the secret of another one: refused.
        self.assertEqual(client.signed_search(self.service, "cats", 3, token=access["oauth_token"]).status, 401)

        again = self.post_signed("/oauth/access_token", [("oauth_token", token), ("oauth_verifier", pin)])
        self.assertEqual(again.status, 401)
        self.assertEqual(self.last_entry("/oauth/access_token")["exchange"], "request token already exchanged")

    def test_access_token_parameters_in_the_query_and_signing_with_the_request_secret(self):
        issued = dict(parse_qsl(self.request_token().body.decode()))
        pin = self.running.control(f"/_test/pin?oauth_token={issued['oauth_token']}").decode()
        params = [("oauth_token", issued["oauth_token"]), ("oauth_verifier", pin)]
        refused = self.post_signed("/oauth/access_token", params, token_secret=issued["oauth_token_secret"])
        self.assertEqual(refused.status, 401)
        self.assertIn("request token secret", self.last_entry("/oauth/access_token")["reason"])
        accepted = self.post_signed("/oauth/access_token", params, in_query=True)
        self.assertEqual(accepted.status, 200, accepted.body)

    def test_unknown_request_token(self):
        reply = self.post_signed("/oauth/access_token", [("oauth_token", "nope"), ("oauth_verifier", "1234567")])
        self.assertEqual(reply.status, 401)
        self.assertEqual(self.last_entry("/oauth/access_token")["exchange"], "unknown request token")
        with self.assertRaises(client.urllib.error.HTTPError) as failure:
            self.running.control("/_test/pin?oauth_token=nope")
        self.assertEqual(failure.exception.code, 404)


if __name__ == "__main__":
    unittest.main()
