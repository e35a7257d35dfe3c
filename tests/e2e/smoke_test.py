#!/usr/bin/python3
"""The window comes up on a real X server: its title, client size, icon and clock."""

import re

import harness


def icon_sizes(xprop_output):
    # xprop prints each image of _NET_WM_ICON as "Icon (W x H):" followed by its art.
    return [(int(w), int(h)) for w, h in re.findall(r"Icon \((\d+) x (\d+)\)", xprop_output)]


class SmokeTest(harness.DesktopTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        # Every test only looks: one program serves them all.
        cls.app = cls.desktop.start_app(harness.binary())

    def tearDown(self):
        self.app.assert_healthy()

    def test_window_has_its_title_and_client_size(self):
        info = self.app.window_info()
        self.assertTrue(info.get("xwininfo", "").endswith('"Vellomarin"'),
                        f"window title: {info.get('xwininfo')}")
        self.assertEqual((int(info["Width"]), int(info["Height"])), harness.CLIENT_SIZE,
                         "client area")

    def test_window_has_a_32x32_icon(self):
        icon = self.app.run_tool(["xprop", "-id", self.app.window, "_NET_WM_ICON"])
        self.assertIn((32, 32), icon_sizes(icon), f"_NET_WM_ICON: {icon[:200]}")

    def test_clock_shows_a_time_and_nothing_is_scheduled(self):
        panel = self.app.text("PANEL")
        self.assertIsNotNone(harness.parse_time_text(panel), f"PANEL shows {panel!r}, not a time")
        self.assertEqual(self.app.text("YOTEI"), "", "YOTEI at start")

    def test_captions(self):
        self.assertEqual(self.app.texts("P5", "P10", "Cancel", "Settei", "Ji", "Fun", "Byou"),
                         {"P5": "３分後", "P10": "５分後", "Cancel": "解除", "Settei": "設定",
                          "Ji": "時", "Fun": "分", "Byou": "秒"})

    def test_screenshot_is_the_client_area(self):
        shot = self.app.screenshot("window")
        w, h, _ = harness.rgb(shot)
        self.assertEqual((w, h), harness.CLIENT_SIZE, "screenshot")
        print(f"screenshot: {shot}")


if __name__ == "__main__":
    harness.main()
