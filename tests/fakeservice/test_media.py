"""The committed pictures and how the image servers hand them out."""

import unittest

import signing_client as client
from service_process import REPO, ServiceTestCase

MEDIA = REPO / "tools" / "fakeservice" / "media"
SOF_MARKERS = {0xC0, 0xC1, 0xC2, 0xC3, 0xC5, 0xC6, 0xC7, 0xC9, 0xCA, 0xCB, 0xCD, 0xCE, 0xCF}


def jpeg_size(data: bytes) -> tuple[int, int] | None:
    """(width, height) from the first frame header, or None when there is none."""
    if data[:2] != b"\xff\xd8":
        return None
    position = 2
    while position + 4 <= len(data):
        if data[position] != 0xFF:
            return None
        marker = data[position + 1]
        length = int.from_bytes(data[position + 2:position + 4], "big")
        if marker in SOF_MARKERS and position + 9 <= len(data):
            height = int.from_bytes(data[position + 5:position + 7], "big")
            width = int.from_bytes(data[position + 7:position + 9], "big")
            return width, height
        position += 2 + length
    return None


class CommittedMediaTest(unittest.TestCase):
    def test_jpegs_are_small_complete_and_distinct(self):
        jpegs = {p.name: p.read_bytes() for p in MEDIA.glob("[abc]*.jpg")}
        self.assertEqual(len(jpegs), 26)
        sizes = {}
        for name, data in jpegs.items():
            with self.subTest(name=name):
                self.assertTrue(data.endswith(b"\xff\xd9"))
                width, height = jpeg_size(data)
                self.assertTrue(80 <= width <= 1200 and 60 <= height <= 800, (width, height))
                self.assertLess(len(data), 32 * 1024)
                sizes[(len(data), width, height)] = name
        self.assertEqual(len(sizes), len(jpegs), "no two default pictures look like duplicates")
        self.assertEqual(jpeg_size(jpegs["a01.jpg"]), (80, 60))
        self.assertEqual(jpeg_size(jpegs["c01.jpg"]), (1200, 800))
        total = sum(p.stat().st_size for p in MEDIA.rglob("*") if p.is_file())
        self.assertLess(total, 1024 * 1024)

    def test_duplicate_pairs_match_in_byte_count_and_size(self):
        d = {n: (MEDIA / f"{n}.jpg").read_bytes() for n in ("d01", "d02", "d03", "d04")}
        self.assertEqual(d["d01"], d["d02"])
        self.assertNotEqual(d["d03"], d["d04"])
        self.assertEqual(len(d["d03"]), len(d["d04"]))
        self.assertEqual(jpeg_size(d["d03"]), jpeg_size(d["d04"]))

    def test_broken_files_have_no_decodable_picture(self):
        for name in ("x01.jpg", "x02.jpg", "x03.jpg", "x04.jpg"):
            data = (MEDIA / name).read_bytes()
            with self.subTest(name=name):
                self.assertFalse(b"\xff\xda" in data and data.endswith(b"\xff\xd9"), "no scan data and end")

    def test_originals_are_larger_versions(self):
        for path in sorted((MEDIA / "orig").glob("*.jpg")):
            small = jpeg_size((MEDIA / path.name).read_bytes())
            self.assertEqual(jpeg_size(path.read_bytes()), (small[0] * 2, small[1] * 2))


class MediaServingTest(ServiceTestCase):
    def fetch(self, path, secure=False, method="GET"):
        if secure:
            return client.exchange(self.service["api_url"] + path, method=method, ca_file=self.service["ca_file"])
        return client.exchange(self.service["image_url"] + path, method=method)

    def test_every_listed_file_is_served_with_its_type(self):
        for path in sorted(MEDIA.glob("*.*")):
            for secure in (False, True):
                with self.subTest(name=path.name, secure=secure):
                    reply = self.fetch("/media/" + path.name, secure)
                    self.assertEqual(reply.status, 200)
                    self.assertEqual(reply.body, path.read_bytes())
                    expected = {".png": "image/png", ".webp": "image/webp"}.get(path.suffix,
                                                                                 "image/jpeg")
                    self.assertEqual(reply.headers["content-type"], expected)
                    self.assertEqual(int(reply.headers["content-length"]), len(reply.body))

    def test_orig_suffix_serves_the_larger_picture_when_there_is_one(self):
        large = self.fetch("/media/a01.jpg:orig")
        self.assertEqual(large.body, (MEDIA / "orig" / "a01.jpg").read_bytes())
        entry = self.last_entry("/media/a01.jpg:orig")
        self.assertEqual((entry["media"], entry["orig"], entry["served"]), ("a01.jpg", True, "orig/a01.jpg"))
        self.assertEqual(self.fetch("/media/a02.jpg%3Aorig").body, (MEDIA / "orig" / "a02.jpg").read_bytes())
        same = self.fetch("/media/b05.jpg:orig", secure=True)
        self.assertEqual(same.body, (MEDIA / "b05.jpg").read_bytes())
        plain = self.fetch("/media/a01.jpg")
        self.assertEqual(plain.body, (MEDIA / "a01.jpg").read_bytes())
        self.assertFalse(self.last_entry("/media/a01.jpg")["orig"])

    def test_unknown_and_hostile_names_get_404(self):
        for path in ("/media/zz.jpg", "/media/../fakeservice.py", "/media/%2e%2e/README.md",
                     "/media/orig/a01.jpg", "/media/", "/elsewhere.jpg", "/media/a01.jpg:orig:orig"):
            with self.subTest(path=path):
                self.assertEqual(self.fetch(path).status, 404)

    def test_head_reports_the_length_without_a_body(self):
        reply = self.fetch("/media/b10.jpg", method="HEAD")
        self.assertEqual(reply.status, 200)
        self.assertEqual(reply.body, b"")
        self.assertEqual(int(reply.headers["content-length"]), (MEDIA / "b10.jpg").stat().st_size)

    def test_image_server_offers_no_api(self):
        self.assertEqual(self.fetch("/1.1/search/tweets.json?q=cats").status, 404)
        self.assertEqual(self.fetch("/_test/log").status, 404)


if __name__ == "__main__":
    unittest.main()
