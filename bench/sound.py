"""The cost of the alarm's beeps, with the private PulseAudio and with no sound server
(beep_bench)."""

import statistics
import subprocess
import time

from programs import log, run_program


def beeps(build, servers, ticks):
    out = {}
    if servers.pulse_error:
        out["server"] = None
    else:
        log(f"beep cost with the private PulseAudio, {ticks} Alarm ticks")
        # The server's own account of the plays: one new sink input for each sound.
        watcher = subprocess.Popen(["pactl", "subscribe"], env=servers.env(),
                                   stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        time.sleep(0.5)
        out["server"] = run_program([f"{build}/bench/beep_bench", str(ticks)], servers.env(),
                                    ticks + 60)
        time.sleep(0.5)
        watcher.terminate()
        events = watcher.communicate()[0]
        out["plays"] = sum(1 for line in events.splitlines()
                           if "'new'" in line and "sink-input" in line)
        listing = subprocess.run(["pactl", "list", "samples", "short"], env=servers.env(),
                                 capture_output=True, text=True)
        out["cached"] = [line.split("\t")[1] for line in listing.stdout.splitlines()
                         if "\t" in line]
    log(f"beep cost with no sound server, {ticks} Alarm ticks")
    out["none"] = run_program([f"{build}/bench/beep_bench", str(ticks)],
                              servers.env(sound=False), ticks + 60)
    return out


def rows(t, beeped, servers):
    """The beep cost rows, with the sound server and without."""
    if beeped["server"] is None:
        t.missing("beep cost", "two beeps of a tick, PulseAudio", servers.pulse_error)
    else:
        samples, info = beeped["server"]
        backend = info.get("backend", "?")
        ticks = samples.get("tick", [])
        first = samples.get("tick_first", [])
        t.dist("beep cost", f"two beeps of a tick, PulseAudio ({backend})", ticks + first, "ms",
               "med<=1 max<=10",
               lambda v: statistics.median(v) <= 1 and max(v) <= 10)
        if first:
            t.value("beep cost", "  of which the first tick of the ringing", first[0], "ms")
        t.dist("beep cost", "  libcanberra play called directly, two a tick",
               samples.get("direct_tick", []), "ms")
        if "beeper_open" in samples:
            t.value("beep cost", "  Beeper construction at start-up", samples["beeper_open"][0],
                    "ms")
        t.notes.append(f"beep with PulseAudio: backend {backend}, {info.get('calls', '?')} beep "
                       f"calls by the window and {len(samples.get('direct_tick', [])) * 2} direct "
                       f"plays; the server saw {beeped.get('plays', '?')} plays start; samples "
                       f"in its cache afterwards: {', '.join(beeped.get('cached', [])) or 'none'}")
        if backend != "sound-theme":
            t.notes.append("the private PulseAudio was running but the Beeper did not use it")
    samples, info = beeped["none"]
    t.dist("beep cost", f"two beeps of a tick, no server ({info.get('backend', '?')})",
           samples.get("tick", []), "ms", "med<=1 max<=10",
           lambda v: statistics.median(v) <= 1 and max(v) <= 10)
