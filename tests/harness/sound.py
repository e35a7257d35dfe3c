"""What the program plays, recorded from the desktop's PulseAudio."""

import array
import os
import subprocess
import threading
import time
from pathlib import Path

from .processes import need
from .waiting import wait_for


class Recorder:
    """Records a PulseAudio source (by default the null sink's monitor) as 16-bit mono,
    and tells the wall-clock time of each sample.

    Every chunk is stamped with time.time() as it arrives. A sample cannot arrive
    before it was rendered, so the earliest (arrival - position / rate) over all chunks
    is the wall time of sample 0 give or take the shortest delivery delay (a few ms
    with a 10 ms latency request)."""

    def __init__(self, desktop, source="vm.monitor", rate=44100):
        need("parec", "pulseaudio-utils")
        self.RATE = rate
        self.data = bytearray()
        self.stamps = []  # (arrival time, bytes received by then)
        self.proc = desktop.procs.spawn("parec", [
            "parec", "-d", source, "--raw", "--format=s16le", f"--rate={self.RATE}",
            "--channels=1", "--latency-msec=10"], desktop.env, stdout=subprocess.PIPE)
        self._thread = threading.Thread(target=self._read, daemon=True)
        self._thread.start()
        wait_for(lambda: len(self.data) > self.RATE // 10, "parec to deliver sound", 10)

    def _read(self):
        fd = self.proc.stdout.fileno()
        while True:
            chunk = os.read(fd, 8192)
            if not chunk:
                return
            self.data += chunk
            self.stamps.append((time.time(), len(self.data)))

    def stop(self):
        self.proc.terminate()
        self._thread.join(10)
        self.data = self.data[:len(self.data) // 2 * 2]

    def origin(self):
        return min(t - n / 2 / self.RATE for t, n in self.stamps)

    def windows(self, ms=10, since=None):
        """[(wall time of the window's start, RMS of the window)] over the recording,
        or over what was recorded from wall time `since` on."""
        t0 = self.origin()
        first = 0 if since is None else max(0, int((since - t0) * self.RATE))
        samples = array.array("h")
        samples.frombytes(bytes(self.data[first * 2:len(self.data) // 2 * 2]))
        t0 += first / self.RATE
        per = self.RATE * ms // 1000
        out = []
        for start in range(0, len(samples) - per + 1, per):
            chunk = samples[start:start + per]
            rms = (sum(v * v for v in chunk) / per) ** 0.5
            out.append((t0 + start / self.RATE, rms))
        return out

    def save_wav(self, path):
        raw = Path(str(path) + ".raw")
        raw.write_bytes(bytes(self.data))
        subprocess.run(["sox", "-t", "raw", "-r", str(self.RATE), "-e", "signed", "-b", "16",
                        "-c", "1", str(raw), str(path)], check=True)
        raw.unlink()
        return path
