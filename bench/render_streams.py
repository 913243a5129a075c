#!/usr/bin/env python3
"""varnox-render through pipes, next to sox in the same run.

For a 10-minute 96 kHz 24-bit stereo WAV: peak resident memory and the time
from start to the first output byte, for a file read and written to standard
output (read by a pipe), standard input (a pipe) written to a file, and one
pipe to another.
sox copies (no effect), varnox-render runs the plug-in: the figures compare
what the streaming costs, not the effect.

    bench/render_streams.py [build/varnox-render] [--minutes 10]
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time

PIECE = 1 << 16


def first_byte_in(folder, started, stop):
    """Seconds until any file in `folder` (hidden ones too) holds a byte."""
    while not stop.is_set():
        for name in os.listdir(folder):
            try:
                if os.path.getsize(os.path.join(folder, name)) > 0:
                    return time.monotonic() - started
            except OSError:
                pass
        time.sleep(0.001)
    return None


def feed(pipe, source):
    with open(source, "rb") as data:
        try:
            while piece := data.read(PIECE):
                pipe.write(piece)
            pipe.close()
        except BrokenPipeError:
            pass


def run(argv, source=None, out_folder=None):
    """Runs argv; `source` a file fed through a pipe to its standard input;
    its output read through a pipe unless `out_folder` (a file there) says
    where it goes. Returns (first byte seconds, peak RSS MB, wall seconds,
    exit status)."""
    started = time.monotonic()
    child = subprocess.Popen(argv, stdin=subprocess.PIPE if source else subprocess.DEVNULL,
                             stdout=subprocess.DEVNULL if out_folder else subprocess.PIPE,
                             stderr=subprocess.DEVNULL)
    first = None
    feeder = None
    if source and not out_folder:
        feeder = threading.Thread(target=feed, args=(child.stdin, source))
        feeder.start()
    if source and out_folder:
        stop = threading.Event()
        result = {}
        watcher = threading.Thread(target=lambda: result.update(t=first_byte_in(out_folder, started, stop)))
        watcher.start()
        feed(child.stdin, source)
        _, status, usage = os.wait4(child.pid, 0)
        stop.set()
        watcher.join()
        first = result.get("t")
    else:
        if child.stdout.read(1):
            first = time.monotonic() - started
        while child.stdout.read(PIECE):
            pass
        _, status, usage = os.wait4(child.pid, 0)
        if feeder:
            feeder.join()
    child.returncode = os.waitstatus_to_exitcode(status)
    return first, usage.ru_maxrss / 1024.0, time.monotonic() - started, child.returncode


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("tool", nargs="?", default="build/varnox-render")
    parser.add_argument("--minutes", type=float, default=10.0)
    args = parser.parse_args()
    sox = shutil.which("sox")
    if sox is None:
        sys.exit("sox is needed for the input and the comparison: apt-get install sox")

    with tempfile.TemporaryDirectory(prefix="varnox_streams_") as work:
        source = os.path.join(work, "in.wav")
        subprocess.run([sox, "-n", "-r", "96000", "-c", "2", "-b", "24", source, "synth", str(args.minutes * 60),
                        "pinknoise", "vol", "0.3"], check=True)
        print(f"input: {args.minutes:g} min, 96 kHz 24-bit stereo WAV, {os.path.getsize(source) / 1e6:.0f} MB")
        print(f"{'case':34} {'first byte':>11} {'peak RSS':>10} {'wall':>8}")
        cases = [
            ("varnox-render file -> stdout", [args.tool, "-q", source, "-"], False),
            ("sox file -> stdout", [sox, source, "-t", "wav", "-"], False),
            ("varnox-render stdin -> file", [args.tool, "-q", "-", "OUT/out.wav"], True),
            ("sox stdin -> file", [sox, "-t", "wav", "-", "OUT/out.wav"], True),
            ("varnox-render stdin -> stdout", [args.tool, "-q", "-", "-"], True),
            ("sox stdin -> stdout", [sox, "-t", "wav", "-", "-t", "wav", "-"], True),
        ]
        for name, argv, from_stdin in cases:
            folder = os.path.join(work, "out")
            shutil.rmtree(folder, ignore_errors=True)
            os.mkdir(folder)
            to_file = "OUT" in " ".join(argv)
            argv = [word.replace("OUT", folder) for word in argv]
            first, rss, wall, status = run(argv, source if from_stdin else None, folder if to_file else None)
            shown = f"{first:.3f} s" if first is not None else "-"
            print(f"{name:34} {shown:>11} {rss:7.1f} MB {wall:6.1f} s" + ("" if status == 0 else f"  exit {status}"))


if __name__ == "__main__":
    main()
