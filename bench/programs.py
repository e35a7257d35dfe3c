"""Running the bench's own programs and reading the lines they print."""

import subprocess
import sys


def log(text):
    print(f"[bench] {text}", file=sys.stderr, flush=True)


def read_lines(text):
    """The "sample NAME VALUE" and "info NAME TEXT" lines of a bench program."""
    samples, info = {}, {}
    for line in text.splitlines():
        parts = line.split(" ", 2)
        if len(parts) == 3 and parts[0] == "sample":
            samples.setdefault(parts[1], []).append(float(parts[2]))
        elif len(parts) == 3 and parts[0] == "info":
            info[parts[1]] = parts[2]
    return samples, info


RAW = None  # where each program's own lines are kept, for a look after the run


def run_program(args, env, timeout):
    result = subprocess.run(args, env=env, capture_output=True, text=True, timeout=timeout)
    if RAW:
        with open(RAW, "a") as f:
            f.write(f"# {' '.join(args)} (exit {result.returncode})\n{result.stdout}")
    if result.returncode != 0:
        log(f"{' '.join(args)} exited with {result.returncode}: {result.stderr.strip()[-400:]}")
    return read_lines(result.stdout)
