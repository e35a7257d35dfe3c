#!/usr/bin/python3
"""Made larger, the window keeps every control where it was: the same places through
AT-SPI, and the same pixels in the top-left 201x175 (the clock itself aside)."""

import vmharness as vm

NAMES = list(vm.CONTROLS) + list(vm.FRAMED_LABELS)
SIZES = [(202, 176), (320, 240), (480, 360)]
CLOCK_AREA = vm.CONTROLS["Picture1"][1]


def differing_pixels(a, b, skip):
    """Pixels of the 201x175 area that differ between two screenshots, outside `skip`."""
    (wa, _, da), (wb, _, db) = a, b
    sx, sy, sw, sh = skip
    count = 0
    for y in range(vm.CLIENT_SIZE[1]):
        for x in range(vm.CLIENT_SIZE[0]):
            if sx <= x < sx + sw and sy <= y < sy + sh:
                continue
            i, j = (y * wa + x) * 3, (y * wb + x) * 3
            if da[i:i + 3] != db[j:j + 3]:
                count += 1
    return count


def body(s):
    s.start_x()
    s.start_accessibility()
    s.start_app(faketime="@2026-12-08 08:00:00")
    before = {n: s.relative_extents(n) for n in NAMES}
    shot = s.pixels(s.screenshot("resize-201x175"))
    failures = []
    for w, h in SIZES:
        s.run_tool(["xdotool", "windowsize", "--sync", s.window, str(w), str(h)])
        info = s.wait_for(lambda: (lambda i: i if (int(i["Width"]), int(i["Height"])) == (w, h)
                                   else None)(s.window_info()), 10, f"the window at {w}x{h}")
        vm.check(info, "resized")
        # The children were mapped by place before; they must still be found there.
        s._find_controls()
        after = {n: s.relative_extents(n) for n in NAMES}
        moved = {n: (before[n], after[n]) for n in NAMES if before[n] != after[n]}
        if moved:
            failures.append(f"at {w}x{h} these moved: {moved}")
        bigger = s.pixels(s.screenshot(f"resize-{w}x{h}"))
        if (bigger[0], bigger[1]) != (w, h):
            failures.append(f"screenshot at {w}x{h} is {bigger[0]}x{bigger[1]}")
            continue
        changed = differing_pixels(shot, bigger, CLOCK_AREA)
        if changed:
            failures.append(f"at {w}x{h}, {changed} pixels of the top-left 201x175 changed")
    s.assert_app_healthy()
    vm.check(not failures, "\n".join(failures))


vm.run(body)
