"""The one table that `make bench` prints."""

import math
import statistics


def percentile(values, p):
    """Nearest rank: the smallest sample with at least p % of the samples at or below it."""
    ordered = sorted(values)
    rank = max(1, math.ceil(p / 100 * len(ordered)))
    return ordered[rank - 1]


class Table:
    def __init__(self):
        self.rows = []
        self.notes = []

    def dist(self, figure, what, values, unit, target=None, check=None, peer=None):
        if not values:
            self.rows.append([figure, what, "0", "-", "-", "-", "-", unit, target or "",
                              "NOT MEASURED"])
            return
        med = statistics.median(values)
        verdict = ""
        if check is not None:
            verdict = "met" if check(values) else "NOT MET"
        if peer:
            verdict = (verdict + ", " if verdict else "") + f"x{med / peer:.2g} of peer"
        self.rows.append([figure, what, str(len(values)), f"{min(values):.3f}", f"{med:.3f}",
                          f"{percentile(values, 99):.3f}", f"{max(values):.3f}", unit,
                          target or "", verdict])

    def value(self, figure, what, value, unit, target="", verdict=""):
        self.rows.append([figure, what, "1", "", f"{value:.3f}" if isinstance(value, float)
                          else str(value), "", "", unit, target, verdict])

    def missing(self, figure, what, reason):
        self.rows.append([figure, what, "0", "", "", "", "", "", "", "NOT MEASURED"])
        self.notes.append(f"{figure} / {what}: not measured: {reason}")

    def print(self):
        header = ["figure", "measure", "n", "min", "median", "p99", "max", "unit", "target",
                  "result"]
        widths = [max(len(str(r[i])) for r in self.rows + [header]) for i in range(len(header))]
        line = "+" + "+".join("-" * (w + 2) for w in widths) + "+"
        def show(r):
            print("| " + " | ".join(str(c).ljust(w) for c, w in zip(r, widths)) + " |")
        print(line)
        show(header)
        print(line)
        last = None
        for r in self.rows:
            if last is not None and r[0] != last:
                print(line)
            show([r[0] if r[0] != last else ""] + r[1:])
            last = r[0]
        print(line)
        for n in self.notes:
            print("note: " + n)
