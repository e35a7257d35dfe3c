"""What the clock costs while nobody looks at it: CPU and wake-ups of the real binary
beside xclock and bare floors, shown and then minimised. The memory rows (memory.py) come
from the same watch."""

import subprocess
import time

from machine import (CLK_TCK, proc_cpu_ticks, proc_memory, proc_memory_parts,
                     proc_private_dirty, proc_tasks)
from programs import log

# The programs watched beside the real binary, and the names they go by in the table.
PEERS = ("xclock", "wake_floor", "qt_clock")
LABELS = {"wake_floor": "floor: 1 bare timer wake-up/s (wake_floor)",
          "qt_clock": "floor: a bare Qt 6 QLabel clock, 1 s QTimer (qt_clock)",
          "bare_window": "floor: a bare Qt 6 QLabel window"}


def watch(build, servers, seconds):
    """The real binary, the real binary on Qt's own dispatcher, and xclock, side by side
    on the same X server, each left alone for `seconds`."""
    variants = {
        "vellomarin": ([f"{build}/src/app/vellomarin"], {}),
        "vellomarin QT_NO_GLIB=1": ([f"{build}/src/app/vellomarin"], {"QT_NO_GLIB": "1"}),
        "xclock": (["xclock", "-digital", "-update", "1"], {}),
        "wake_floor": ([f"{build}/bench/wake_floor"], {}),
        "bare_window": ([f"{build}/bench/bare_window"], {}),
        "qt_clock": ([f"{build}/bench/qt_clock"], {}),
    }
    log(f"watching for {seconds} s: {', '.join(variants)} side by side")
    procs = {}
    for name, (command, extra) in variants.items():
        env = servers.env()
        env.pop("QT_NO_GLIB", None)
        env.update(extra)
        procs[name] = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL,
                                       stderr=subprocess.DEVNULL)
    time.sleep(5)  # start-up done, first paints flushed
    return measure(procs, seconds)


def measure(procs, seconds):
    """CPU, wake-ups and memory of each running program over the next `seconds`; the
    programs are ended afterwards."""
    before = {}
    for name, p in procs.items():
        before[name] = (time.monotonic(), proc_cpu_ticks(p.pid), proc_tasks(p.pid))
    time.sleep(seconds)
    results = {}
    for name, p in procs.items():
        if p.poll() is not None:
            results[name] = None
            continue
        t1, cpu1, tasks1 = time.monotonic(), proc_cpu_ticks(p.pid), proc_tasks(p.pid)
        t0, cpu0, tasks0 = before[name]
        elapsed = t1 - t0
        rss, pss = proc_memory(p.pid)
        private_dirty = proc_private_dirty(p.pid)
        parts = proc_memory_parts(p.pid)
        switches = {}
        ns = 0
        for tid, (tname, vol, tns) in tasks1.items():
            v0, n0 = (tasks0[tid][1], tasks0[tid][2]) if tid in tasks0 else (0, 0)
            switches[f"{tname}"] = switches.get(tname, 0) + (vol - v0)
            ns += tns - n0
        results[name] = {
            "cpu_stat": (cpu1 - cpu0) / CLK_TCK / elapsed * 100,
            "cpu_sched": ns / 1e9 / elapsed * 100,
            "wakeups": sum(switches.values()) / elapsed,
            "threads": {k: v / elapsed for k, v in switches.items()},
            "rss": rss / 1024, "pss": pss / 1024, "elapsed": elapsed, "parts": parts,
            "private_dirty": private_dirty / 1024,
        }
    for p in procs.values():
        p.terminate()
    for p in procs.values():
        try:
            p.wait(5)
        except subprocess.TimeoutExpired:
            p.kill()
    return results


def minimised(build, servers, seconds):
    """The real binary with no alarm, and with one three minutes ahead (its ３分後
    clicked), and xclock, each minimised under openbox, then left alone for `seconds`.
    Last of the run: the window manager stays until the end."""
    servers.desktop.start_window_manager()
    env = servers.env()
    variants = {"vellomarin": [f"{build}/src/app/vellomarin"],
                "vellomarin, alarm in 3 min": [f"{build}/src/app/vellomarin"],
                "xclock": ["xclock", "-digital", "-update", "1"]}
    log(f"minimised for {seconds} s: {', '.join(variants)} side by side")
    procs = {}
    for name, command in variants.items():
        procs[name] = p = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL,
                                           stderr=subprocess.DEVNULL)
        window = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--pid",
                                 str(p.pid)], env=env, capture_output=True, text=True,
                                timeout=30).stdout.split()[0]
        time.sleep(2)  # start-up done
        if "alarm" in name:  # ３分後 (P5), 8,80 57x25 in the window
            subprocess.run(["xdotool", "mousemove", "--window", window, "36", "92", "click", "1"],
                           env=env, check=True)
        subprocess.run(["xdotool", "windowminimize", "--sync", window], env=env, check=True)
    time.sleep(2)
    return measure(procs, seconds)


def rows(t, watched):
    """The idle CPU and wake-up rows of the programs watched side by side."""
    xclock = watched.get("xclock")
    floor = watched.get("wake_floor")
    qt_clock = watched.get("qt_clock")
    for name, r in watched.items():
        if name == "bare_window":
            continue
        if r is None:
            t.missing("idle CPU", name, "the program ended during the run")
            continue
        is_peer = name in PEERS
        target = "" if is_peer else "<=1.5x xclock, < qt_clock"
        verdict = ""
        if not is_peer:
            ok = (xclock is not None and r["cpu_sched"] <= 1.5 * xclock["cpu_sched"]
                  and qt_clock is not None and r["cpu_sched"] < qt_clock["cpu_sched"])
            verdict = "met" if ok else "NOT MET"
            for peer_name, peer in (("xclock", xclock), ("floor", floor),
                                    ("qt_clock", qt_clock)):
                if peer and peer["cpu_sched"]:
                    verdict += f", x{r['cpu_sched'] / peer['cpu_sched']:.2g} of {peer_name}"
        label = LABELS.get(name, name)
        t.value("idle CPU", f"{label}: schedstat, all threads", r["cpu_sched"], "% core", target,
                verdict)
        t.value("idle CPU", f"{name}: /proc/pid/stat (1/{CLK_TCK} s ticks)", r["cpu_stat"],
                "% core")
    for name, r in watched.items():
        if r is None or name == "bare_window":
            continue
        is_peer = name in PEERS
        verdict = "" if is_peer else ("met" if r["wakeups"] <= 1.05 else "NOT MET")
        if xclock and not is_peer and xclock["wakeups"]:
            verdict += f", x{r['wakeups'] / xclock['wakeups']:.2g} of xclock"
        t.value("wake-ups", f"{name}: voluntary switches, all threads", r["wakeups"], "/s",
                "" if is_peer else "<=1.05", verdict)
        t.notes.append(f"wake-ups of {name} by thread: " + ", ".join(
            f"{k} {v:.2f}/s" for k, v in sorted(r["threads"].items(), key=lambda kv: -kv[1])))


def minimised_rows(t, hidden):
    """The minimised rows: xclock draws on; the clock rests until the alarm."""
    for name, r in hidden.items():
        if r is None:
            t.missing("minimised", name, "the program ended during the run")
            continue
        ours = name != "xclock"
        verdict = ("met" if r["wakeups"] <= 0.02 else "NOT MET") if ours else ""
        if ours and hidden.get("xclock") and hidden["xclock"]["wakeups"]:
            verdict += f", x{r['wakeups'] / hidden['xclock']['wakeups']:.2g} of xclock"
        t.value("minimised", f"{name}: voluntary switches, all threads", r["wakeups"], "/s",
                "<=0.02" if ours else "", verdict)
        t.value("minimised", f"{name}: idle CPU, schedstat, all threads", r["cpu_sched"],
                "% core")
