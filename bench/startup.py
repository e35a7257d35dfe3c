"""Start-up: from exec to the window mapped and to the time drawn, for the real binary,
xclock and a bare Qt window (startup_probe)."""

import statistics
import time

from programs import log, run_program


def startup(build, servers, runs):
    log(f"start-up, {runs} runs each of vellomarin and xclock (one warm-up each not counted)")
    env = servers.env()
    commands = {"vellomarin": [f"{build}/src/app/vellomarin"],
                "xclock": ["xclock", "-digital", "-update", "1"],
                "bare_window": [f"{build}/bench/bare_window"]}
    results = {who: {"map": [], "shown": []} for who in commands}
    errors = []
    for i in range(runs + 1):
        for who, command in commands.items():
            # The bare window counts as drawn, as xclock does, once a second colour shows.
            mode = "vellomarin" if who == "vellomarin" else "xclock"
            samples, info = run_program([f"{build}/bench/startup_probe", mode] + command, env, 30)
            if "error" in info:
                errors.append(f"{who}: {info['error']}")
            if i == 0:
                continue
            for key in ("map", "shown"):
                results[who][key] += samples.get(key, [])
            time.sleep(0.2)
    return results, errors


def rows(t, starts, start_errors):
    """The start-up rows; the probe's errors become notes."""
    peer_shown = starts["xclock"]["shown"]
    peer_med = statistics.median(peer_shown) if peer_shown else None
    t.dist("start-up", "exec -> window mapped", starts["vellomarin"]["map"], "ms")
    bare_shown = starts["bare_window"]["shown"]
    bare_med = statistics.median(bare_shown) if bare_shown else None
    t.dist("start-up", "exec -> mapped, PANEL shows the time", starts["vellomarin"]["shown"], "ms",
           "med<=1.09x bare window",
           lambda v: bare_med is not None and statistics.median(v) <= 1.09 * bare_med, peer_med)
    if bare_med and starts["vellomarin"]["shown"]:
        t.value("start-up", "  median, x of the bare window",
                statistics.median(starts["vellomarin"]["shown"]) / bare_med, "x")
    t.dist("start-up", "peer: xclock -digital, exec -> mapped", starts["xclock"]["map"], "ms")
    t.dist("start-up", "peer: xclock -digital, exec -> drawn", peer_shown, "ms")
    t.dist("start-up", "floor: a bare Qt 6 QLabel window, exec -> drawn",
           starts["bare_window"]["shown"], "ms")
    for e in sorted(set(start_errors)):
        t.notes.append("start-up: " + e)
