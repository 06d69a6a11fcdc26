"""The "photos" feed: photographs from a directory, a few new ones with every search, and
the crops that make_photos.py cuts for it."""

import shutil
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

import signing_client as client
from service_process import REPO, ServiceTestCase
from test_media import MEDIA, jpeg_size
from test_search import media_names
from test_timeline import TIMELINE, fetch, images_of

MAKE_PHOTOS = REPO / "tools" / "fakeservice" / "make_photos.py"
PHOTOS = [f"p{n:02d}-test.jpg" for n in range(12)]


class PhotoFeedTest(ServiceTestCase):
    @classmethod
    def setUpClass(cls):
        cls.photo_dir = Path(tempfile.mkdtemp(prefix="fakeservice-photos-"))
        (cls.photo_dir / "orig").mkdir()
        sources = sorted(MEDIA.glob("[ab]*.jpg"))
        for name, source in zip(PHOTOS, sources):
            shutil.copyfile(source, cls.photo_dir / name)
        shutil.copyfile(MEDIA / "orig" / "a01.jpg", cls.photo_dir / "orig" / PHOTOS[0])
        # A photograph under a committed name must not replace the committed file.
        shutil.copyfile(MEDIA / "b01.jpg", cls.photo_dir / "a01.jpg")
        cls.service_arguments = ("--photo-dir", str(cls.photo_dir), "--photo-fresh", "3")
        super().setUpClass()

    @classmethod
    def tearDownClass(cls):
        super().tearDownClass()
        shutil.rmtree(cls.photo_dir, ignore_errors=True)

    def test_first_search_brings_count_new_then_a_few_before_the_latest_again(self):
        first = media_names(client.signed_search(self.service, "photos", 10))
        self.assertEqual(first, PHOTOS[:10])
        second = media_names(client.signed_search(self.service, "photos", 10))
        self.assertEqual(second[:3], [PHOTOS[10], PHOTOS[11], PHOTOS[0]], "wraps after the last")
        self.assertEqual(second[3:], PHOTOS[9:2:-1], "then the latest earlier ones, newest first")
        third = media_names(client.signed_search(self.service, "photos", 2))
        self.assertEqual(third, PHOTOS[1:3], "a count below the fresh number is all new")

    def test_the_photos_hashtag_timeline_posts_the_photographs(self):
        status, _, posts = fetch(self.service, TIMELINE + "photos?limit=40&only_media=true")
        self.assertEqual(status, 200)
        shown = [preview.rsplit("/", 1)[1] for post in reversed(posts)
                 for kind, preview, _ in images_of(post) if kind == "image"
                 and not preview.endswith((".png", ".webp"))]
        self.assertEqual(shown, PHOTOS, "oldest first once reversed")
        newest = max(int(post["id"]) for post in posts)
        _, _, later = fetch(self.service, TIMELINE + "photos?since_id=%d" % newest)
        self.assertEqual(later, [], "all twelve were posted at once")

    def test_photos_and_their_originals_are_served(self):
        plain = client.exchange(self.service["image_url"] + "/media/" + PHOTOS[0])
        self.assertEqual(plain.body, (self.photo_dir / PHOTOS[0]).read_bytes())
        orig = client.exchange(self.service["image_url"] + "/media/" + PHOTOS[0] + ":orig")
        self.assertEqual(orig.body, (self.photo_dir / "orig" / PHOTOS[0]).read_bytes())
        same = client.exchange(self.service["image_url"] + "/media/" + PHOTOS[1] + ":orig")
        self.assertEqual(same.body, (self.photo_dir / PHOTOS[1]).read_bytes())
        committed = client.exchange(self.service["image_url"] + "/media/a01.jpg")
        self.assertEqual(committed.body, (MEDIA / "a01.jpg").read_bytes())


class PhotoFeedWithoutDirectoryTest(ServiceTestCase):
    def test_the_feed_falls_back_to_the_drawn_pictures(self):
        names = media_names(client.signed_search(self.service, "photos", 5))
        self.assertEqual(names, ["a01.jpg", "a02.jpg", "a03.jpg", "a04.jpg", "a05.jpg"])

    def test_a_missing_photo_directory_is_refused_at_start(self):
        with tempfile.TemporaryDirectory() as state_dir:
            reply = subprocess.run(
                [sys.executable, "-B", str(REPO / "tools" / "fakeservice" / "fakeservice.py"),
                 "--state-dir", state_dir, "--photo-dir", "/nonexistent/photos"],
                stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60)
        self.assertEqual(reply.returncode, 2)
        self.assertIn(b"--photo-dir", reply.stderr)


@unittest.skipUnless(shutil.which("convert") and shutil.which("identify"), "needs ImageMagick")
class MakePhotosTest(unittest.TestCase):
    def setUp(self):
        self.folder = Path(tempfile.mkdtemp(prefix="make-photos-"))
        self.addCleanup(shutil.rmtree, self.folder, True)
        self.sources = []
        for name, colours in (("Sunset Sky.jpg", "orange-purple"), ("sea.jpg", "blue-white")):
            source = self.folder / name
            subprocess.run(["convert", "-size", "400x300", "gradient:" + colours, str(source)],
                           check=True, timeout=60)
            self.sources.append(source)
        self.out = self.folder / "out"

    def make(self, *arguments, check=True):
        arguments = arguments or ("--per-photo", "6", *map(str, self.sources))
        return subprocess.run([sys.executable, "-B", str(MAKE_PHOTOS), "--out", str(self.out),
                               *arguments], check=check, timeout=300, text=True,
                              stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)

    def test_crops_of_many_shapes_interleaved_with_larger_originals(self):
        self.make()
        names = sorted(p.name for p in self.out.glob("*.jpg"))
        self.assertEqual(len(names), 12)
        self.assertEqual(names[:2], ["p00-sea.jpg", "p00-sunsetsky.jpg"])
        sizes = {jpeg_size((self.out / n).read_bytes()) for n in names}
        self.assertGreater(len({round(w / h, 2) for w, h in sizes}), 2, "several shapes")
        originals = sorted(p.name for p in (self.out / "orig").glob("*.jpg"))
        self.assertEqual(originals, ["p00-sea.jpg", "p00-sunsetsky.jpg",
                                     "p03-sea.jpg", "p03-sunsetsky.jpg"])
        for name in originals:
            width, height = jpeg_size((self.out / name).read_bytes())
            self.assertEqual(jpeg_size((self.out / "orig" / name).read_bytes()),
                             (width * 2, height * 2))

    def test_same_sources_are_not_cut_again_but_changed_ones_are(self):
        self.make()
        first = (self.out / "p01-sea.jpg").stat().st_mtime_ns
        self.make()
        self.assertEqual((self.out / "p01-sea.jpg").stat().st_mtime_ns, first)
        self.sources.pop()
        self.make()
        self.assertEqual(sorted(p.name for p in self.out.glob("*.jpg"))[0], "p00-sunsetsky.jpg")
        self.assertEqual(len(list(self.out.glob("*.jpg"))), 6, "crops of a dropped source go")

    def test_package_photos_are_found_under_a_root_and_a_thin_set_is_refused(self):
        root = self.folder / "root"
        refused = self.make("--package-root", str(root), check=False)
        self.assertEqual(refused.returncode, 1)
        self.assertIn("mate-backgrounds", refused.stderr)
        self.assertFalse(self.out.exists(), "nothing is cut from too few photographs")
        mate = root / "usr" / "share" / "backgrounds" / "mate"
        pictures = iter(sorted(MEDIA.glob("a*.jpg")))
        for name in [f"nature/N{n}.jpg" for n in range(7)] + ["abstract/Elephants.jpg",
                                                              "abstract/Other.jpg"]:
            (mate / name).parent.mkdir(parents=True, exist_ok=True)
            shutil.copyfile(next(pictures), mate / name)
        self.make("--per-photo", "1", "--package-root", str(root))
        self.assertEqual(sorted(p.name for p in self.out.glob("*.jpg")),
                         ["p00-elephants.jpg"] + [f"p00-n{n}.jpg" for n in range(7)])


if __name__ == "__main__":
    unittest.main()
