"""The memory of the programs that idle.watch() left alone: RSS, PSS and Private_Dirty,
as idle.measure() read them from /proc."""

from idle import LABELS, PEERS


def rows(t, watched):
    """RSS, PSS and Private_Dirty of each program watched but the wake floor."""
    for name, r in watched.items():
        if r is None or name == "wake_floor":
            continue
        is_peer = name in PEERS + ("bare_window",)
        label = LABELS.get(name, name)
        t.value("memory", f"{label}: RSS", r["rss"], "MiB", "" if is_peer else "<=30",
                "" if is_peer else ("met" if r["rss"] <= 30 else "NOT MET"))
        t.value("memory", f"{label}: PSS", r["pss"], "MiB")
        t.value("memory", f"{label}: Private_Dirty", r["private_dirty"], "MiB",
                "" if is_peer else "<=3",
                "" if is_peer else ("met" if r["private_dirty"] <= 3 else "NOT MET"))
        if name in ("vellomarin", "bare_window"):
            t.notes.append(f"RSS of {name} by mapping: " + ", ".join(
                f"{k} {v:.1f} MiB" for k, v in sorted(r["parts"].items(), key=lambda kv: -kv[1])))
