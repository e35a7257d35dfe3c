"""The Debian package: made by CPack from the build under test (or given ready
made as $VELLOMARIN_DEB), then read back with dpkg-deb, unpacked, and judged by
lintian."""

import glob
import os
import re
import shutil
import subprocess
import tempfile
import unittest

from installed_layout import FILES

BUILD = os.environ.get("VELLOMARIN_BUILD_DIR")
VERSION = os.environ["VELLOMARIN_VERSION"]
CPACK = os.environ.get("CPACK_COMMAND", "cpack")
FOLDERS = "\n".join([os.path.abspath(os.path.join(__file__, "../../..")), BUILD])  # grep -F
EPOCH = int(os.environ.setdefault("SOURCE_DATE_EPOCH", "1000000000"))  # every time stamp's

# What the program needs at run time that no linker sees, and the libraries it links;
# each must be in Depends, the libraries with the version dpkg-shlibdeps found, under
# their name or, from Debian 13 on, the name that the 64-bit time_t transition gave them.
LOADED_AT_RUN_TIME = ["qt6-wayland", "fonts-ipafont-mincho", "sound-theme-freedesktop"]
LINKED = ["libc6", "libstdc++6", "libqt6core6", "libqt6gui6", "libqt6widgets6", "libcanberra0"]

def run(*argv, check=True, env=None):
    return subprocess.run(list(argv), capture_output=True, text=True, check=check, env=env)


def relation_names(field):
    """Package names in a Depends-like field, with alternatives flattened."""
    return {re.split(r"[\s(:]", alt.strip())[0]
            for part in field.split(",") for alt in part.split("|") if alt.strip()}


class DebPackageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.mkdtemp(prefix="vellomarin-deb-")
        cls.addClassCleanup(shutil.rmtree, cls.scratch, True)
        cls.deb = os.environ.get("VELLOMARIN_DEB")
        if not cls.deb:
            run(CPACK, "--config", os.path.join(BUILD, "CPackConfig.cmake"),
                "-B", cls.scratch)
            (cls.deb,) = glob.glob(os.path.join(cls.scratch, "*.deb"))
        cls.unpacked = os.path.join(cls.scratch, "root")
        run("dpkg-deb", "-x", cls.deb, cls.unpacked)
        print(run("dpkg-deb", "--info", cls.deb).stdout)

    def field(self, name):
        return run("dpkg-deb", "--field", self.deb, name).stdout.strip()

    def test_file_name_carries_name_version_and_architecture(self):
        arch = run("dpkg", "--print-architecture").stdout.strip()
        self.assertEqual(os.path.basename(self.deb), f"vellomarin_{VERSION}_{arch}.deb")

    def test_control_fields(self):
        rows = [
            ("Package", "^vellomarin$"),
            ("Version", f"^{re.escape(VERSION)}$"),
            ("Section", "^utils$"),
            ("Priority", "^optional$"),
            ("Maintainer", r"^[^<>]+ <[^@<>\s]+@[^@<>\s]+>$"),
            ("Homepage", r"^https://"),
            ("Description", r"^[a-z][^\n]*[^.\n]\n [^\n]"),  # synopsis, then a long text
        ]
        for name, pattern in rows:
            with self.subTest(name):
                self.assertRegex(self.field(name), pattern)

    def test_depends_covers_what_the_program_links_and_loads(self):
        depends = self.field("Depends")
        names = relation_names(depends)
        for package in LOADED_AT_RUN_TIME:
            with self.subTest(package):
                self.assertIn(package, names, depends)
        for package in LINKED:
            with self.subTest(package):
                self.assertRegex(depends, rf"(^|, ){re.escape(package)}(t64)? \(>= [^)]+\)")
        self.assertEqual(relation_names(self.field("Recommends")), {"libcanberra-pulse"})

    def test_contents_are_the_installed_files_under_usr(self):
        listed = run("dpkg-deb", "--contents", self.deb).stdout.splitlines()
        files = {line.split()[-1][len("./usr/"):] for line in listed if line.startswith("-")}
        self.assertEqual(files, set(FILES))
        for line in listed:
            with self.subTest(line.split()[-1]):
                self.assertEqual(line.split()[1], "root/root")
                self.assertEqual(os.lstat(f"{self.unpacked}/{line.split()[-1]}").st_mtime, EPOCH)

    def test_programs_are_stripped_and_find_their_libraries(self):
        for path, library in (("usr/bin/vellomarin", "libQt6Widgets.so.6"),
                              ("usr/libexec/vellomarin/vellomarin-wake", "libcap-ng.so.0")):
            with self.subTest(path):
                program = os.path.join(self.unpacked, path)
                self.assertRegex(run("file", "-b", program).stdout, r"ELF .*, stripped")
                ldd = run("ldd", program).stdout
                self.assertNotIn("not found", ldd)
                self.assertIn(library, ldd)
                self.assertEqual(run("grep", "-caF", FOLDERS, program, check=False).stdout, "0\n")

    def test_postinst_gives_the_wake_helper_alone_its_capability(self):
        if os.geteuid() != 0:
            self.skipTest("setcap needs root")
        control = os.path.join(self.scratch, "control")
        run("dpkg-deb", "--control", self.deb, control)
        run("sh", os.path.join(control, "postinst"), "configure",
            env=dict(os.environ, DPKG_ROOT=self.unpacked))
        listed = re.findall(r"^(\S+)\s+=?\s*(\S+)$", run("getcap", "-r", self.unpacked).stdout,
                            re.M)
        self.assertEqual(listed, [(f"{self.unpacked}/usr/libexec/vellomarin/vellomarin-wake",
                                   "cap_wake_alarm=p")])

    def test_lintian_finds_no_error_and_no_warning(self):
        # Info tags are printed for the record; in a test build (the project's flags,
        # not Debian's) they are hardening-no-bindnow and the .comment section that
        # CMake's plain `strip` keeps.
        result = run("lintian", "--display-info", "--allow-root", self.deb,
                     check=False)
        print(result.stdout)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        tags = re.findall(r"^([EW]): vellomarin[^:]*: (.*)$", result.stdout, re.M)
        self.assertEqual(tags, [], result.stdout)


if __name__ == "__main__":
    unittest.main(verbosity=2)
