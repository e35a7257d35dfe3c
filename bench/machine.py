"""The bench's surroundings: an X server and a sound server of its own, and the kernel's
accounts of a running program in /proc."""

import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests"))
from harness.desktop import Desktop  # noqa: E402

CLK_TCK = os.sysconf("SC_CLK_TCK")


def load_average():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


# --- the environment: an X server and a sound server of our own ----------------------

class Servers:
    """Xvfb and a private PulseAudio with a null sink, started as the tests start them
    (tests/harness)."""

    def __init__(self, workdir):
        self.workdir = workdir
        self.desktop = Desktop("bench")
        self.display = None
        self.pulse_socket = None
        self.pulse_error = None

    def start(self):
        try:
            self.desktop.start_x(screen="1280x1024x24", dpi=None)
        except (unittest.SkipTest, RuntimeError, OSError) as e:
            raise SystemExit(f"bench: Xvfb did not start: {e}")
        self.display = self.desktop.display
        try:
            # Its default real-time scheduling, as a desktop's sound server has it.
            self.desktop.start_pulseaudio(sink="bench", realtime=True)
            self.pulse_socket = self.desktop.pulse_server[len("unix:"):]
        except (unittest.SkipTest, OSError) as e:
            self.pulse_error = str(e)

    def env(self, sound=True):
        """The environment of a program under test: our display, our sound server (or
        a server that is not there), no desktop settings."""
        env = {k: v for k, v in os.environ.items()
               if k not in ("QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "PULSE_SERVER",
                            "DBUS_SESSION_BUS_ADDRESS", "SESSION_MANAGER")}
        runtime = os.path.join(self.workdir, "runtime")
        os.makedirs(runtime, mode=0o700, exist_ok=True)
        client_conf = os.path.join(self.workdir, "client.conf")
        if not os.path.exists(client_conf):
            with open(client_conf, "w") as f:
                f.write("autospawn = no\n")
        env.update(DISPLAY=self.display, XDG_RUNTIME_DIR=runtime, LANG="C.UTF-8",
                   LC_ALL="C.UTF-8", PULSE_CLIENTCONFIG=client_conf)
        # As the program's main() sets it unless it is set: every Qt program measured
        # here (the in-process benches, the floors, the probes' children) then draws as
        # the program does, without MIT-SHM.
        env.setdefault("QT_XCB_NO_MITSHM", "1")
        if sound and not self.pulse_error:
            env["PULSE_SERVER"] = "unix:" + self.pulse_socket
        else:
            env["PULSE_SERVER"] = "unix:" + os.path.join(self.workdir, "no-such-server")
        return env

    def stop(self):
        self.desktop.close()


# --- /proc accounts ------------------------------------------------------------------

def proc_cpu_ticks(pid):
    """utime + stime of the whole process (live and ended threads), in clock ticks."""
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])


def proc_tasks(pid):
    """Per thread: name, voluntary switches, CPU time in ns (schedstat)."""
    tasks = {}
    for tid in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{tid}/comm") as f:
                name = f.read().strip()
            voluntary = 0
            with open(f"/proc/{pid}/task/{tid}/status") as f:
                for line in f:
                    if line.startswith("voluntary_ctxt_switches:"):
                        voluntary = int(line.split()[1])
            with open(f"/proc/{pid}/task/{tid}/schedstat") as f:
                ns = int(f.read().split()[0])
            tasks[tid] = (name, voluntary, ns)
        except (FileNotFoundError, ProcessLookupError):
            pass
    return tasks


SOUND_LIBS = ("canberra", "pulse", "sndfile", "vorbis", "libogg", "FLAC", "opus", "mpg123",
              "mp3lame", "ltdl", "asyncns", "libtdb")


def proc_memory_parts(pid):
    """RSS in MiB by kind of mapping, from /proc/pid/smaps."""
    parts = {}
    name = "anonymous"
    with open(f"/proc/{pid}/smaps") as f:
        for line in f:
            fields = line.split()
            if "-" in fields[0] and len(fields) >= 5 and ":" in fields[3]:
                path = fields[5] if len(fields) > 5 else ""
                if not path.startswith("/"):
                    name = "anonymous, heap and stacks"
                elif "/fonts/" in path:
                    name = "font files"
                elif "libQt6" in path:
                    name = "Qt 6 libraries"
                elif any(k in path for k in SOUND_LIBS):
                    name = "sound libraries"
                elif ".so" in path:
                    name = "other libraries"
                else:
                    name = "other files"
            elif fields[0] == "Rss:":
                parts[name] = parts.get(name, 0) + int(fields[1]) / 1024
    return parts


def proc_memory(pid):
    rss = pss = None
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                rss = int(line.split()[1])
    with open(f"/proc/{pid}/smaps_rollup") as f:
        for line in f:
            if line.startswith("Pss:"):
                pss = int(line.split()[1])
    return rss, pss


def proc_private_dirty(pid):
    """Private_Dirty in KiB, from /proc/pid/smaps_rollup: the pages only this process
    holds and has written, which no other process shares and nothing can drop."""
    with open(f"/proc/{pid}/smaps_rollup") as f:
        for line in f:
            if line.startswith("Private_Dirty:"):
                return int(line.split()[1])
    return None
