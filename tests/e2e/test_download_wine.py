"""The Windows image download (WinINet) and the picture decoder under Wine, driven through
programs/download_probe.cpp against the fake service's plain image server."""

import struct
import subprocess
import tempfile
import unittest

import harness


class DownloadUnderWine(harness.ProbeTestCase):
    PROBE_EXE = harness.PROGRAMS_DIR / "download_probe.exe"

    def probe(self, url, *extra):
        # Output goes to a file, not a pipe: Wine's background processes, started by the
        # first program of a session, inherit the pipe and would hold it open.
        with tempfile.TemporaryFile() as output:
            result = subprocess.run(["wine", str(self.PROBE_EXE), url, *extra], env=self.session.env,
                                    stdout=output, stderr=subprocess.STDOUT, timeout=120)
            output.seek(0)
            text = output.read().decode("utf-8", "replace")
        self.assertEqual(result.returncode, 0, text)
        lines = [line.strip() for line in text.splitlines() if line.strip()]
        self.assertTrue(lines, "probe printed nothing")
        return lines[-1]

    def image_requests(self, name):
        return [e for e in self.log_entries() if e.get("server") == "image" and e.get("media") == name]

    def test_jpeg_decodes_at_its_natural_size_with_the_exact_bytes(self):
        path = harness.SOURCE_DIR / "tools/fakeservice/media/a05.jpg"
        width, height = jpeg_size(path)
        self.assertEqual(self.probe(self.info["image_url"] + "/media/a05.jpg"),
                         "bytes=%d width=%d height=%d" % (path.stat().st_size, width, height))
        requests = self.image_requests("a05.jpg")
        self.assertTrue(requests)
        self.assertEqual(requests[-1]["headers"].get("User-Agent"), "NETINET Sample Program")
        self.assertFalse(requests[-1]["orig"])

    def test_bodies_that_are_no_picture(self):
        # x01 random bytes, x02 an HTML text, x04 a JPEG cut inside its header.
        for name in ("x01.jpg", "x02.jpg", "x04.jpg"):
            size = (harness.SOURCE_DIR / "tools/fakeservice/media" / name).stat().st_size
            with self.subTest(name=name):
                self.assertEqual(self.probe(self.info["image_url"] + "/media/" + name),
                                 "bytes=%d no picture" % size)
        self.assertEqual(self.probe(self.info["image_url"] + "/media/x03.jpg"), "bytes=0 no picture")
        self.assertEqual(self.probe(self.info["image_url"] + "/media/missing.jpg").split(" ", 1)[1],
                         "no picture")

    def test_png_bodies_are_decoded_by_their_content(self):
        # Served under a PNG name; the decoder goes by the signature and the header chunk.
        for name in ("p01.png", "p03.png"):
            data = (harness.SOURCE_DIR / "tools/fakeservice/media" / name).read_bytes()
            width, height = struct.unpack(">II", data[16:24])
            with self.subTest(name=name):
                self.assertEqual(self.probe(self.info["image_url"] + "/media/" + name),
                                 "bytes=%d width=%d height=%d" % (len(data), width, height))

    def test_original_asks_for_the_full_size_picture(self):
        media = harness.SOURCE_DIR / "tools/fakeservice/media"
        width, height = jpeg_size(media / "a02.jpg")
        reply = self.probe(self.info["image_url"] + "/media/a02.jpg", "original")
        self.assertRegex(reply, r"^bytes=\d+ width=%d height=%d$" % (2 * width, 2 * height))
        requests = self.image_requests("a02.jpg")
        self.assertTrue(requests)
        self.assertTrue(requests[-1]["orig"])
        self.assertTrue(requests[-1]["path"].endswith("/media/a02.jpg:orig"), requests[-1])

    def test_unreachable_host_and_oversized_body_fail(self):
        self.assertEqual(self.probe("http://127.0.0.1:9/media/a01.jpg"), "failed")
        self.misbehave({"path": "/media/a06.jpg", "mode": "oversize", "size": 40000000,
                        "server": "image"})
        self.assertEqual(self.probe(self.info["image_url"] + "/media/a06.jpg"), "failed")


def jpeg_size(path):
    """(width, height) from a JPEG's start-of-frame segment."""
    data = path.read_bytes()
    position = 2
    while position + 9 < len(data):
        if data[position] != 0xFF:
            raise ValueError("not a JPEG segment at %d in %s" % (position, path))
        marker = data[position + 1]
        length = int.from_bytes(data[position + 2:position + 4], "big")
        if marker in (0xC0, 0xC1, 0xC2):
            height = int.from_bytes(data[position + 5:position + 7], "big")
            width = int.from_bytes(data[position + 7:position + 9], "big")
            return width, height
        position += 2 + length
    raise ValueError("no frame header in %s" % path)


if __name__ == "__main__":
    unittest.main()
