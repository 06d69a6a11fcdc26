"""scripts/deb-src-entries: deb-src entries copied from the binary entries of an apt folder."""

import pathlib
import subprocess
import tempfile
import unittest

SCRIPT = pathlib.Path(__file__).resolve().parents[2] / "scripts" / "deb-src-entries"

DEB822 = """\
Types: deb
# a mirror's comment
URIs: http://mirror.example/debian
Suites: bookworm bookworm-updates
Components: main contrib
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb deb-src
URIs: http://mirror.example/debian-security
Suites: bookworm-security
Components: main
Signed-By:
 -----BEGIN PGP PUBLIC KEY BLOCK-----
 .
 mQINBGP=
 -----END PGP PUBLIC KEY BLOCK-----

Types: deb
URIs: http://mirror.example/debian
Suites: bookworm-backports
Components: main
Enabled: no
"""

ONE_LINE = """\
# deb http://commented.example/debian bookworm main
deb [arch=amd64 signed-by=/etc/apt/keyrings/local.gpg] http://local.example/debian bookworm main
deb http://local.example/debian bookworm-updates main  # trailing comment
deb-src http://already.example/debian bookworm main
deb https://thirdparty.example/repo stable main
"""


def entries(files, codename="bookworm"):
    with tempfile.TemporaryDirectory() as folder:
        apt = pathlib.Path(folder)
        (apt / "sources.list.d").mkdir()
        for name, text in files.items():
            (apt / name).write_text(text)
        return subprocess.run(["python3", str(SCRIPT), "--apt-dir", str(apt),
                               "--codename", codename], capture_output=True, text=True)


class DebSrcEntries(unittest.TestCase):
    def test_copies_uris_suites_components_and_keyring_of_the_release(self):
        result = entries({"sources.list": ONE_LINE, "sources.list.d/debian.sources": DEB822})
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stdout.split("\n\n"), [
            "Types: deb-src\nURIs: http://local.example/debian\nSuites: bookworm"
            "\nComponents: main\nSigned-By: /etc/apt/keyrings/local.gpg",
            "Types: deb-src\nURIs: http://local.example/debian\nSuites: bookworm-updates"
            "\nComponents: main",
            "Types: deb-src\nURIs: http://mirror.example/debian\nSuites: bookworm bookworm-updates"
            "\nComponents: main contrib\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg",
            "Types: deb-src\nURIs: http://mirror.example/debian-security\nSuites: bookworm-security"
            "\nComponents: main\nSigned-By: \n -----BEGIN PGP PUBLIC KEY BLOCK-----\n .\n"
            " mQINBGP=\n -----END PGP PUBLIC KEY BLOCK-----\n"])

    def test_fails_when_no_entry_belongs_to_the_release(self):
        result = entries({"sources.list": ONE_LINE}, codename="trixie")
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.stdout, "")
        self.assertIn("trixie", result.stderr)


if __name__ == "__main__":
    unittest.main()
