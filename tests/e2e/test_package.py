"""The Windows package: build/tilvane-<version>-win64.zip unpacked into a clean folder holds
the program, its folders, an example service.txt, the read-me and the licence, and the
program starts from there and keeps its options there."""

import shutil
import subprocess
import tempfile
import unittest
import zipfile
from pathlib import Path

import harness

SERVICE_KEYS = ("service_url", "consumer_key", "consumer_secret", "ca_bundle", "source",
                "access_token", "show_sensitive")


def package_path():
    return harness.SOURCE_DIR / "build" / ("tilvane-%s-win64.zip" % harness.project_version())


def ensure_package():
    """The ZIP, made again with cpack when it is missing or older than the program."""
    package = package_path()
    if not package.exists() or package.stat().st_mtime < harness.TILVANE_EXE.stat().st_mtime:
        subprocess.run(["cpack", "--config", str(harness.BUILD_DIR / "CPackConfig.cmake")],
                       cwd=harness.BUILD_DIR, check=True, timeout=300,
                       stdout=subprocess.DEVNULL)
    return package


class PackageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.package = ensure_package()
        cls.folder = Path(tempfile.mkdtemp(prefix="tilvane-package-"))
        with zipfile.ZipFile(cls.package) as archive:
            cls.names = archive.namelist()
            archive.extractall(cls.folder)
        cls.top = cls.folder / cls.package.stem

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.folder, ignore_errors=True)

    def test_archive_holds_one_folder_with_program_skeleton_and_texts(self):
        self.assertEqual({name.split("/")[0] for name in self.names}, {self.package.stem})
        for part in ("tilvane.exe", "README.txt", "LICENSE.txt", "txts/service.txt"):
            self.assertTrue((self.top / part).is_file(), part)
        self.assertTrue((self.top / "kotei_tiles" / "olds").is_dir())
        self.assertEqual((self.top / "tilvane.exe").read_bytes(), harness.TILVANE_EXE.read_bytes())
        self.assertFalse((self.top / "txts" / "key.txt").exists())
        self.assertIn("MIT License", (self.top / "LICENSE.txt").read_text())
        readme = (self.top / "README.txt").read_text(encoding="utf-8")
        self.assertIn("認証処理(Tilvane)", readme)
        self.assertIn("How to use it", readme)
        self.assertIn("設定 → 取得元", "\n".join(readme.splitlines()[:8]))

    def test_starts_on_an_open_source_with_a_keyword_of_its_own(self):
        """Flickr's public feed needs no account and no server; every other key is shown
        commented out, and the option file holds only the keyword."""
        lines = (self.top / "txts" / "service.txt").read_text().splitlines()
        for key in SERVICE_KEYS:
            if key != "source":
                self.assertTrue(any(line.startswith("#" + key + "=") for line in lines), key)
        self.assertEqual([line for line in lines if line.strip() and not line.startswith("#")],
                         ["source=flickr"])
        options = harness.parse_option_file((self.top / "txts" / "tva_option.txt").read_bytes())
        self.assertEqual(options, {"kensaku_word": b"landscape nature"})

    def test_wall_file_brings_the_last_wall_back_with_fitted_smooth_tiles(self):
        lines = (self.top / "txts" / "wall.txt").read_text().splitlines()
        self.assertEqual(sorted(lines), ["restore_wall=1", "tile_filter=1", "tile_fit=1"])

    def test_program_carries_version_icon_and_manifest(self):
        session = harness.shared_session()
        probe = harness.PROGRAMS_DIR / "file_version_probe.exe"
        info = session.run_json(probe, session.windows_path(self.top / "tilvane.exe"))
        version = harness.project_version()
        self.assertEqual(info["fileVersion"], version + ".0")
        self.assertEqual((info["FileVersion"], info["ProductVersion"]), (version, version))
        self.assertEqual((info["ProductName"], info["OriginalFilename"]),
                         ("tilvane", "tilvane.exe"))
        self.assertIn("tilvane developers", info["LegalCopyright"])
        self.assertTrue(info["iconGroup"])
        manifest = info["manifest"] or ""
        self.assertIn('name="tilvane" version="%s.0"' % version, manifest)
        self.assertIn("<dpiAwareness", manifest)
        self.assertIn("PerMonitorV2", manifest)
        self.assertIn("true/pm", manifest)
        self.assertRegex(manifest, r'name="Microsoft\.Windows\.Common-Controls"\s+version="6\.0')

    def test_program_decodes_pictures_with_its_own_static_libraries(self):
        """No OLE picture decoding and no picture library DLL: the decoders the native tests
        and fuzzers cover are linked in."""
        table = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", str(self.top / "tilvane.exe")],
                               stdout=subprocess.PIPE, text=True, check=True, timeout=60).stdout
        dlls = {line.split(":", 1)[1].strip().lower() for line in table.splitlines()
                if "DLL Name:" in line}
        self.assertIn("kernel32.dll", dlls, "the import table was read")
        self.assertNotIn("OleLoadPicture", table)
        self.assertNotIn("oleaut32.dll", dlls)
        self.assertFalse([dll for dll in dlls if any(part in dll for part in
                                                     ("jpeg", "png", "webp", "zlib"))], dlls)

    def test_starts_from_the_unpacked_folder_and_keeps_its_options_there(self):
        session = harness.shared_session()
        folder = self.folder / "run"
        shutil.copytree(self.top, folder)
        txts = folder / "txts"
        # A granted token and an unreachable service, so that nothing leaves the machine.
        (txts / "key.txt").write_bytes(b"package-token\r\npackage-secret\r\n")
        with open(txts / "service.txt", "a", encoding="ascii") as service:
            service.write(harness.UNREACHABLE_SERVICE)
        program = session.start_program(folder, exe=folder / "tilvane.exe")
        try:
            program.wait_window()
            program.exit_command()
            self.assertEqual(program.wait_exit(), 0)
        finally:
            program.stop()
        written = harness.parse_option_file((txts / "tva_option.txt").read_bytes())
        self.assertEqual(list(written), harness.OPTION_KEYS)


if __name__ == "__main__":
    unittest.main()
