"""The clock's text, "9時05分03秒", read and written."""

import re

TIME_TEXT = re.compile(r"^([1-9]?[0-9])時([0-5][0-9])分([0-5][0-9])秒$")


def parse_time_text(text):
    """(h, m, s) from "9時05分03秒", or None."""
    m = TIME_TEXT.match(text or "")
    if not m or int(m.group(1)) > 23:
        return None
    return tuple(int(g) for g in m.groups())


def time_text(h, m, s):
    return f"{h}時{m:02d}分{s:02d}秒"


def add_seconds(hms, seconds):
    total = (hms[0] * 3600 + hms[1] * 60 + hms[2] + seconds) % 86400
    return (total // 3600, total // 60 % 60, total % 60)
