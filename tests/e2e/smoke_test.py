#!/usr/bin/python3
"""The window comes up on a real X server: its title, client size, icon and clock."""

import re

import vmharness as vm


def icon_sizes(xprop_output):
    # xprop prints each image of _NET_WM_ICON as "Icon (W x H):" followed by its art.
    return [(int(w), int(h)) for w, h in re.findall(r"Icon \((\d+) x (\d+)\)", xprop_output)]


def body(s):
    s.start_x()
    s.start_accessibility()
    s.start_app()

    info = s.window_info()
    vm.check(info.get("xwininfo", "").endswith('"Vellomarin"'),
             f"window title: {info.get('xwininfo')}")
    size = (int(info["Width"]), int(info["Height"]))
    vm.check(size == vm.CLIENT_SIZE, f"client area is {size}, not {vm.CLIENT_SIZE}")

    icon = s.run_tool(["xprop", "-id", s.window, "_NET_WM_ICON"])
    vm.check((32, 32) in icon_sizes(icon),
             f"_NET_WM_ICON has no 32x32 image; it lists {icon_sizes(icon)}: {icon[:200]}")

    panel = s.text("PANEL")
    vm.check(vm.parse_time_text(panel) is not None, f"PANEL shows {panel!r}, not a time")
    vm.check(s.text("YOTEI") == "", f"YOTEI starts as {s.text('YOTEI')!r}")
    captions = s.texts("P5", "P10", "Cancel", "Settei", "Ji", "Fun", "Byou")
    vm.check(captions == {"P5": "３分後", "P10": "５分後", "Cancel": "解除", "Settei": "設定",
                          "Ji": "時", "Fun": "分", "Byou": "秒"}, f"captions: {captions}")

    shot = s.screenshot("window")
    w, h, _ = s.pixels(shot)
    vm.check((w, h) == vm.CLIENT_SIZE, f"screenshot is {w}x{h}")
    print(f"screenshot: {shot}")
    s.assert_app_healthy()


vm.run(body)
