"""Waiting for what another process does."""

import time


class Timeout(AssertionError):
    """What was waited for did not come: the test fails."""


def wait_for(condition, what, timeout=30, interval=0.05):
    """Polls `condition` until it returns something true, and returns that."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Timeout(f"timed out after {timeout} s waiting for {what}")
        time.sleep(interval)
