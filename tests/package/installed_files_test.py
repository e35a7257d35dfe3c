"""`cmake --install` into a scratch prefix, and what a desktop makes of the result:
the files in their places, the menu entry and the software-centre entry passing
their validators and pointing at what was installed, the version the project
declares."""

import configparser
import gzip
import os
import re
import shutil
import stat
import subprocess
import tempfile
import unittest
import xml.etree.ElementTree as ET

from installed_layout import APP_ID, FILES, ICON_SIZES, png_size

BUILD = os.environ["VELLOMARIN_BUILD_DIR"]
VERSION = os.environ["VELLOMARIN_VERSION"]
CMAKE = os.environ.get("CMAKE_COMMAND", "cmake")

JAPANESE = re.compile(r"[\u3040-\u30ff\u4e00-\u9fff]")


def run(*argv):
    return subprocess.run(list(argv), capture_output=True, text=True)


class InstalledFilesTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix = tempfile.mkdtemp(prefix="vellomarin-install-")
        cls.addClassCleanup(shutil.rmtree, cls.prefix, True)
        subprocess.run([CMAKE, "--install", BUILD, "--prefix", cls.prefix], check=True,
                       stdout=subprocess.DEVNULL)
        entry = configparser.ConfigParser(interpolation=None)
        entry.optionxform = str  # keys are case-sensitive
        entry.read(cls.path("share/applications/vellomarin.desktop"), encoding="utf-8")
        cls.entry = entry["Desktop Entry"]
        cls.metainfo = ET.parse(cls.path(f"share/metainfo/{APP_ID}.metainfo.xml")).getroot()

    @classmethod
    def path(cls, relative):
        return os.path.join(cls.prefix, relative)

    def test_everything_is_in_its_place_and_nothing_else(self):
        installed = set()
        for root, _dirs, files in os.walk(self.prefix):
            installed.update(os.path.relpath(os.path.join(root, f), self.prefix) for f in files)
        self.assertEqual(installed, set(FILES))
        for relative, kind in FILES.items():
            with self.subTest(relative):
                mode = os.stat(self.path(relative)).st_mode
                self.assertEqual(bool(mode & stat.S_IXOTH), kind in ("program", "wake helper"),
                                 oct(mode))
                self.assertTrue(mode & stat.S_IROTH, "readable by everyone")

    def test_each_icon_has_the_size_of_its_folder(self):
        for size in ICON_SIZES:
            with self.subTest(size=size):
                png = self.path(f"share/icons/hicolor/{size}x{size}/apps/vellomarin.png")
                self.assertEqual(png_size(png), (size, size))
        svg = ET.parse(self.path("share/icons/hicolor/scalable/apps/vellomarin.svg")).getroot()
        self.assertEqual(svg.tag, "{http://www.w3.org/2000/svg}svg")

    def test_validators_pass(self):
        checks = [
            ("desktop-file-validate", self.path("share/applications/vellomarin.desktop")),
            ("appstreamcli", "validate", "--no-net", "--explain",
             self.path(f"share/metainfo/{APP_ID}.metainfo.xml")),
        ]
        for argv in checks:
            with self.subTest(argv[0]):
                result = run(*argv)
                print(f"$ {' '.join(argv[:-1])} ...\n{result.stdout}{result.stderr}", end="")
                self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
                # desktop-file-validate exits 0 on hints and warnings too.
                self.assertNotRegex(result.stdout, r"(error|warning):")

    def test_desktop_entry_starts_the_installed_program_with_its_icon(self):
        program = self.entry["Exec"].split()[0]
        self.assertEqual(os.path.join("bin", program), "bin/vellomarin")
        self.assertTrue(os.access(self.path(f"bin/{program}"), os.X_OK))
        icon = self.entry["Icon"]
        self.assertNotIn("/", icon, "a theme name, so that every size is found")
        self.assertIn(f"share/icons/hicolor/32x32/apps/{icon}.png", FILES)
        self.assertEqual(self.entry["Type"], "Application")
        self.assertEqual(self.entry["Terminal"], "false")

    def test_desktop_entry_reads_in_japanese(self):
        rows = [("Name", "^Vellomarin$"), ("GenericName", JAPANESE), ("Comment", JAPANESE)]
        for key, pattern in rows:
            with self.subTest(key):
                self.assertRegex(self.entry[key], pattern)
        self.assertEqual(set(self.entry["Categories"].strip(";").split(";")),
                         {"Utility", "Clock"})

    def test_metainfo_describes_this_release(self):
        m = self.metainfo
        rows = [
            ("id", APP_ID),
            ("metadata_license", "CC0-1.0"),
            ("project_license", "MIT"),
            ("name", "Vellomarin"),
            ("launchable", "vellomarin.desktop"),
            ("provides/binary", "vellomarin"),
        ]
        for path, want in rows:
            with self.subTest(path):
                self.assertEqual(m.findtext(path), want)
        releases = m.findall("releases/release")
        self.assertEqual(releases[0].get("version"), VERSION, "the newest release first")
        self.assertRegex(releases[0].get("date", ""), r"^\d{4}-\d{2}-\d{2}$")
        self.assertIsNotNone(m.find("content_rating[@type='oars-1.1']"))
        self.assertRegex(m.findtext("screenshots/screenshot/image", ""), r"^https://.*\.png$")
        self.assertTrue(m.findall("description/p"))
        summaries = {s.get("{http://www.w3.org/XML/1998/namespace}lang"): s.text
                     for s in m.findall("summary")}
        self.assertRegex(summaries.get("ja", ""), JAPANESE)

    def test_desktop_entry_and_metainfo_name_the_same_program(self):
        self.assertEqual([self.metainfo.findtext("launchable")],
                         os.listdir(self.path("share/applications")))
        self.assertEqual(self.metainfo.findtext("provides/binary"),
                         self.entry["Exec"].split()[0])

    def test_manual_page_and_changelog_carry_the_version(self):
        with gzip.open(self.path("share/man/man1/vellomarin.1.gz"), "rt",
                       encoding="utf-8") as f:
            self.assertRegex(f.readline(), rf'^\.TH VELLOMARIN 1 .*"Vellomarin {re.escape(VERSION)}"')
        with gzip.open(self.path("share/doc/vellomarin/changelog.gz"), "rt",
                       encoding="utf-8") as f:
            self.assertRegex(f.readline(), rf"^vellomarin \({re.escape(VERSION)}\) ")
        result = run("man", "--warnings", "-E", "UTF-8", "-l", "-Tutf8",
                     self.path("share/man/man1/vellomarin.1.gz"))
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stderr, "")
        self.assertIn("vellomarin", result.stdout)


if __name__ == "__main__":
    unittest.main(verbosity=2)
