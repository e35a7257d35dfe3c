#!/usr/bin/python3
"""With no display to open the window on, the program says so on one line and exits
with status 1: no abort, no core dump, no page of Qt's advice."""

import os
import subprocess
import unittest
from pathlib import Path

import harness


def gone_display():
    """An X display number no server listens on."""
    n = 90
    while Path(f"/tmp/.X11-unix/X{n}").exists() or Path(f"/tmp/.X{n}-lock").exists():
        n += 1
    return f":{n}"


class NoDisplayTest(unittest.TestCase):
    def run_without(self, env_extra):
        env = {k: v for k, v in os.environ.items()
               if k not in ("DISPLAY", "WAYLAND_DISPLAY", "WAYLAND_SOCKET", "XDG_SESSION_TYPE",
                            "QT_QPA_PLATFORM")}
        env.update(env_extra)
        return subprocess.run([str(harness.binary())], env=env, capture_output=True, text=True,
                              timeout=60)

    def test_one_line_and_status_1(self):
        gone = gone_display()
        cases = [
            ({}, "DISPLAY and WAYLAND_DISPLAY are unset"),
            ({"DISPLAY": gone}, f"DISPLAY={gone}"),
            ({"DISPLAY": gone, "QT_QPA_PLATFORM": "xcb"}, f"DISPLAY={gone}"),
            ({"WAYLAND_DISPLAY": "vellomarin-nowhere", "XDG_RUNTIME_DIR": "/tmp"},
             "WAYLAND_DISPLAY=vellomarin-nowhere"),
        ]
        for env, named in cases:
            with self.subTest(env=env):
                result = self.run_without(env)
                self.assertEqual(result.returncode, 1, result.stderr)
                lines = result.stderr.splitlines()
                self.assertEqual(len(lines), 1, result.stderr)
                self.assertTrue(lines[0].startswith("vellomarin: "), lines[0])
                self.assertIn(named, lines[0])


if __name__ == "__main__":
    harness.main()
