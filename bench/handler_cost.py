"""The handlers' cost on the fake platform (handler_bench, Google Benchmark)."""

import json
import subprocess

from programs import log


def handler_bench(build):
    log("handler cost (Google Benchmark, fake platform)")
    out = subprocess.run([f"{build}/bench/handler_bench", "--benchmark_format=json",
                          "--benchmark_repetitions=5", "--benchmark_min_time=0.2"],
                         capture_output=True, text=True, timeout=300)
    if out.returncode != 0:
        return None
    data = json.loads(out.stdout)
    results = {}
    for b in data["benchmarks"]:
        if b.get("run_type") == "iteration":
            scale = {"ns": 1e-3, "us": 1, "ms": 1e3, "s": 1e6}[b["time_unit"]]
            results.setdefault(b["run_name"], []).append(b["real_time"] * scale)
    return results


def rows(t, handlers):
    """One row per benchmark; the timer check is held to 2 us."""
    if handlers is None:
        t.missing("handler cost", "handler_bench", "the benchmark program failed")
    else:
        for name, values in handlers.items():
            is_check = name.startswith("Check_Timer")
            t.dist("handler cost", name + " (5 repetitions)", values, "us",
                   "<2" if is_check else "", (lambda v: max(v) < 2) if is_check else None)
