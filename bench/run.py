#!/usr/bin/python3
"""Runs every benchmark of `make bench` and prints one table.

Usage: bench/run.py BUILD_DIR [--quick]

Starts its own Xvfb and a private PulseAudio with a null sink, runs the programs built
in BUILD_DIR (the real binary, the in-process benches, the start-up probe) and xclock
beside them, and reads the kernel's accounts in /proc. Every figure printed is measured
in this run; what cannot be measured is said so, with the reason. --quick shortens
every phase (for trying the bench out, not for figures).
"""

# This file is the driver: it runs the phases in order and prints the table. machine.py
# holds the servers and the /proc readings, programs.py runs a bench program, table.py
# is the table; each family of figures has a module that runs its phase and adds its
# rows: lag.py (clock and repaint lag, detection, clock step shown), sound.py (beep
# cost), idle.py (idle CPU, wake-ups, minimised), memory.py, startup.py, handler_cost.py.

import os
import shutil
import sys
import tempfile
import time

import handler_cost
import idle
import lag
import memory
import programs
import sound
import startup
from machine import Servers, load_average
from programs import log
from table import Table


def main():
    if len(sys.argv) < 2:
        raise SystemExit(__doc__)
    build = os.path.abspath(sys.argv[1])
    quick = "--quick" in sys.argv
    seconds = 8 if quick else 60
    # The lag's p99 over 60 ticks would be its maximum; twice as many let one tick
    # delayed by another process on this shared machine show as what it is.
    lag_seconds = 8 if quick else 120
    trials = 5 if quick else 25
    start_runs = 3 if quick else 15
    ring_ticks = 20 if quick else 100

    started = time.monotonic()
    programs.RAW = os.path.join(build, "bench-samples.txt")
    open(programs.RAW, "w").close()
    workdir = tempfile.mkdtemp(prefix="vellomarin-bench-")
    servers = Servers(workdir)
    t = Table()
    try:
        servers.start()
        log(f"Xvfb on {servers.display}; PulseAudio: {servers.pulse_error or 'private null sink'}")
        load_start = load_average()
        handlers = handler_cost.handler_bench(build)
        steps = lag.step_response(build)
        starts, start_errors = startup.startup(build, servers, start_runs)
        watched = idle.watch(build, servers, seconds)
        timed = lag.timing(build, servers, lag_seconds, trials)
        damaged = lag.damage_lag(build, servers, seconds)
        beeped = sound.beeps(build, servers, ring_ticks)
        hidden = idle.minimised(build, servers, seconds)
        load_end = load_average()
    finally:
        servers.stop()
        shutil.rmtree(workdir, ignore_errors=True)

    # The table's order, which is not the order of the phases.
    lag.rows(t, timed, damaged, steps)
    sound.rows(t, beeped, servers)
    idle.rows(t, watched)
    memory.rows(t, watched)
    idle.minimised_rows(t, hidden)
    startup.rows(t, starts, start_errors)
    handler_cost.rows(t, handlers)

    t.notes.append(f"every sample of this run: {programs.RAW}")
    print()
    print(f"Vellomarin bench, {time.strftime('%Y-%m-%d %H:%M:%S')}, {os.cpu_count()} cores, "
          f"load {load_start} at start, {load_end} at end, {time.monotonic() - started:.0f} s")
    t.print()
    return 0


if __name__ == "__main__":
    sys.exit(main())
