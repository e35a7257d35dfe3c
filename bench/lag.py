"""How late the clock shows the time and acts on it: its lag behind the wall clock's
second (timing_bench lag), its repaint seen from outside (damage_probe), the alarm's
detection and first beep (timing_bench detect), and a step of the wall clock or a
resume shown (step_response, on the fake platform)."""

import statistics
import subprocess

from programs import log, run_program
from table import percentile


def step_response(build):
    """How soon PANEL shows the time after a step of the wall clock or a resume, on the
    fake platform (simulated ms), and the fake's wake delay it is held to."""
    log("step response (fake platform, simulated ms)")
    out = subprocess.run([f"{build}/bench/step_response"], capture_output=True, text=True,
                         timeout=300)
    if out.returncode != 0:
        return None
    wake_delay, responses = None, {}
    for line in out.stdout.splitlines():
        words = line.split()
        if words[0] == "wake_delay":
            wake_delay = float(words[1])
        elif words[0] == "response":
            responses.setdefault(words[1], []).append(float(words[2]))
    return wake_delay, responses


def timing(build, servers, seconds, trials):
    env = servers.env()
    out = {}
    log(f"clock lag, {seconds} s idle")
    out["idle"] = run_program([f"{build}/bench/timing_bench", "lag", str(seconds)], env,
                              seconds + 60)
    log(f"clock lag, {seconds} s with a busy loop on the other core")
    out["busy"] = run_program([f"{build}/bench/timing_bench", "lag", str(seconds), "busy"], env,
                              seconds + 60)
    log(f"detection and first beep, {trials} trials")
    out["detect"] = run_program([f"{build}/bench/timing_bench", "detect", str(trials)], env,
                                trials * 6 + 30)
    return out


def damage_lag(build, servers, seconds):
    """From each wall-clock second to the X server's first report of drawing into the
    clock's area (XDamage), for the real binary and for xclock, one after the other."""
    out = {}
    for who, command in (("vellomarin", [f"{build}/src/app/vellomarin"]),
                         ("xclock", ["xclock", "-digital", "-update", "1"])):
        log(f"repaint lag seen through XDamage, {seconds} s of {who}")
        out[who] = run_program([f"{build}/bench/damage_probe", who, str(seconds)] + command,
                               servers.env(), seconds + 30)
    return out


def rows(t, timed, damaged, steps):
    """The rows of clock lag, repaint lag, detection, first beep and clock step shown."""
    # clock lag
    for phase, label in (("idle", "idle"), ("busy", "other core busy")):
        samples, info = timed[phase]
        peer = samples.get(f"peer_{phase}", [])
        peer_med = statistics.median(peer) if peer else None
        t.dist("clock lag", f"PANEL rewritten, {label}", samples.get(f"lag_{phase}", []), "ms",
               "med<=0.3 p99<=1",
               lambda v: statistics.median(v) <= 0.3 and percentile(v, 99) <= 1, peer_med)
        t.dist("clock lag", f"PANEL paint starts, {label}", samples.get(f"paint_{phase}", []),
               "ms")
        t.dist("clock lag", f"peer: plain QTimer 1 s, {label}", peer, "ms")
        t.dist("clock lag", f"peer: plain QTimer 1 s, precise, {label}",
               samples.get(f"precise_peer_{phase}", []), "ms")
        late = samples.get(f"lag_{phase}", [])
        t.notes.append(f"clock lag {label}: {info.get(f'ticks_{phase}', '?')} ticks, "
                       f"{sum(1 for v in late if v > 5)} later than 5 ms, "
                       f"{sum(1 for v in late if v > 20)} later than 20 ms, "
                       f"{info.get(f'missed_seconds_{phase}', '?')} seconds never shown, "
                       f"{info.get(f'wrong_second_{phase}', '?')} ticks showing another second; "
                       f"load {info.get(f'load_before_{phase}', '?')} -> "
                       f"{info.get(f'load_after_{phase}', '?')}")

    # repaint lag seen from outside
    xclock_lag = damaged["xclock"][0].get("lag", [])
    for who in ("vellomarin", "xclock"):
        samples, info = damaged[who]
        lag = samples.get("lag", [])
        is_peer = who == "xclock"
        label = "vellomarin: second -> PANEL drawn" if not is_peer else \
            "peer: xclock -digital -update 1: second -> drawn"
        xclock_med = statistics.median(xclock_lag) if xclock_lag else None
        t.dist("repaint lag (XDamage)", label, lag, "ms",
               "" if is_peer else "med<=xclock's, p90<=2",
               None if is_peer else (lambda v: xclock_med is not None and
                                     statistics.median(v) <= xclock_med and
                                     percentile(v, 90) <= 2),
               None if is_peer else xclock_med)
        if lag:
            t.value("repaint lag (XDamage)", f"  {who}: p90", percentile(lag, 90), "ms")
        t.notes.append(f"repaint lag of {who}: {info.get('seconds_drawn', '?')} of "
                       f"{info.get('seconds', '?')} seconds drawn, "
                       f"{info.get('other_reports', '?')} reports of drawing elsewhere"
                       + (f"; {info['error']}" if "error" in info else ""))

    samples, info = timed["detect"]
    t.dist("detection", "scheduled second -> Alarm enabled", samples.get("detect", []), "ms",
           "p99<=1", lambda v: percentile(v, 99) <= 1)
    t.dist("first beep", "scheduled second -> first beep call", samples.get("first_beep", []),
           "ms", "p99<=1.5", lambda v: percentile(v, 99) <= 1.5)
    if steps is None:
        t.missing("clock step shown", "step_response", "the program failed")
    else:
        wake_delay, responses = steps
        for kind, values in responses.items():
            t.dist("clock step shown", f"fake, simulated: {kind.replace('_', ' ')} -> PANEL right",
                   values, "ms", f"<={wake_delay:g} (wake delay)",
                   lambda v: max(v) <= wake_delay)
    t.notes.append(f"detection: {info.get('detect_early', '?')} trials rang before the second, "
                   f"{info.get('detect_unanswered', '?')} never rang; load "
                   f"{info.get('load_before_detect', '?')} -> {info.get('load_after_detect', '?')}")
