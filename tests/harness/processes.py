"""Starting the processes of a private desktop, and ending every one of them by its id,
however the test ends."""

import ctypes
import os
import shutil
import signal
import subprocess
import time
import unittest
from pathlib import Path

_libc = ctypes.CDLL(None, use_errno=True)
_PR_SET_PDEATHSIG = 1
_PR_SET_CHILD_SUBREAPER = 36


def need(tool, package):
    """The path of `tool`; skips the test where it is not installed."""
    path = shutil.which(tool)
    if not path:
        raise unittest.SkipTest(f"{tool} is not installed (Debian package {package}; "
                                "scripts/setup.sh test installs it)")
    return path


def adopt_orphans():
    """Has what a service starts and leaves (the D-Bus daemon's activated services)
    come to this process rather than to init, so that it can be ended here."""
    _libc.prctl(_PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0)


def _die_with_parent():
    # A child outlives a harness killed outright (SIGKILL from a CTest timeout) no more.
    _libc.prctl(_PR_SET_PDEATHSIG, signal.SIGTERM, 0, 0, 0)


def read_line(fd, timeout, what):
    """The first line written to the pipe `fd` by a server reporting that it is up."""
    deadline = time.monotonic() + timeout
    data = b""
    os.set_blocking(fd, False)
    try:
        while not data.endswith(b"\n"):
            if time.monotonic() > deadline:
                raise RuntimeError(f"{what} did not report in {timeout} s")
            try:
                chunk = os.read(fd, 256)
            except BlockingIOError:
                time.sleep(0.01)
                continue
            if not chunk:
                raise RuntimeError(f"{what} exited before reporting")
            data += chunk
    finally:
        os.close(fd)
    return data.decode().strip()


def _parents():
    """{pid: parent pid} of every process, from /proc."""
    found = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                stat = Path(f"/proc/{entry}/stat").read_text()
            except OSError:
                continue
            # The command name may hold spaces and parentheses: split after the last ")".
            found[int(entry)] = int(stat[stat.rindex(")") + 2:].split()[1])
    return found


def _descendants(pid):
    parents = _parents()
    found, level = [], [pid]
    while level:
        level = [p for p, parent in parents.items() if parent in level]
        found += level
    return found


class Processes:
    """What one desktop started, in order, each with its log file. `marker` is a
    NAME=VALUE in the environment of everything started, by which the orphans of its
    services are told from other children of this process."""

    def __init__(self, logs, marker):
        self.logs = logs
        self.marker = marker.encode()
        self.started = []  # (label, Popen)

    def spawn(self, label, argv, env, pass_fds=(), stdout=None):
        with open(self.logs / f"{label}.log", "wb") as log:
            proc = subprocess.Popen(argv, env=env, pass_fds=pass_fds,
                                    stdin=subprocess.DEVNULL, stdout=stdout or log,
                                    stderr=log, preexec_fn=_die_with_parent)
        self.started.append((label, proc))
        return proc

    @staticmethod
    def stop(proc, patience=10):
        if proc.poll() is None:
            proc.terminate()
            try:
                proc.wait(patience)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()

    def _orphans(self):
        """What the started processes started in turn and that carries the marker."""
        started = {proc.pid for _, proc in self.started}
        mine = []
        for pid in _descendants(os.getpid()):
            try:
                environ = Path(f"/proc/{pid}/environ").read_bytes().split(b"\0")
            except OSError:
                continue
            if pid not in started and self.marker in environ:
                mine.append(pid)
        return mine

    def close(self):
        # The orphans are listed while they live: most end by themselves once their
        # bus is gone, and are reaped below all the same.
        orphans = set(self._orphans())
        # Last started, first stopped.
        for _, proc in reversed(self.started):
            if proc.poll() is None:
                proc.terminate()
        for _, proc in reversed(self.started):
            self.stop(proc, 5)
        self.started = []
        orphans.update(self._orphans())
        for sig in (signal.SIGTERM, signal.SIGKILL):
            for pid in orphans:
                try:
                    os.kill(pid, sig)
                except ProcessLookupError:
                    pass
            deadline = time.monotonic() + 2
            while orphans and time.monotonic() < deadline:
                for pid in list(orphans):
                    try:
                        if os.waitpid(pid, os.WNOHANG)[0]:
                            orphans.discard(pid)
                    except ChildProcessError:
                        # Not handed to this process (yet): its parent lives on, or
                        # it is gone.
                        if not Path(f"/proc/{pid}").exists():
                            orphans.discard(pid)
                time.sleep(0.02)
