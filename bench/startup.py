#!/usr/bin/env python3
"""Start-up timing of the viewer on one ZEL file, median of several runs.

Two measurements per run, both timed from the moment this script spawns the process:
  viewer   the real zelviewer under /usr/bin/time: when the last edge report line arrives on
           standard error, and the peak resident memory (the window is closed with Esc once it
           has appeared);
  replay   build/bin/startup_bench, which replays main's steps and prints when each one ends,
           including the first frame drawn, swapped and finished.
Needs an X server in DISPLAY (e.g. Xvfb :77) and xdotool.

usage: startup.py BIN_DIR FILE.zel [RUNS]
"""
import os
import statistics
import subprocess
import sys
import time


def viewer_run(bin_dir, path):
    start = time.monotonic()
    process = subprocess.Popen(
        ["/usr/bin/time", "-f", "peak-rss-kb %M", os.path.join(bin_dir, "zelviewer"), "-file", path],
        stderr=subprocess.PIPE, text=True)
    report = None
    for line in process.stderr:
        if line.endswith("edges with inconsistent normals\n"):
            report = time.monotonic() - start
            break
    window = None
    while window is None:
        found = subprocess.run(["xdotool", "search", "--name", "^ZEL viewer$"],
                               capture_output=True, text=True).stdout.split()
        if found:
            window = found[0]
        else:
            time.sleep(0.02)
    # Let a few frames go by, so the peak includes drawing.
    time.sleep(2.0)
    subprocess.run(["xdotool", "key", "--window", window, "Escape"], stderr=subprocess.DEVNULL)
    rest = process.stderr.read()
    process.wait()
    rss = [int(l.split()[1]) for l in rest.splitlines() if l.startswith("peak-rss-kb")]
    return report, rss[0] / 1024.0 if rss else float("nan")


def replay_run(bin_dir, path):
    start = time.monotonic()
    out = subprocess.run([os.path.join(bin_dir, "startup_bench"), path, "5"], capture_output=True,
                         text=True).stdout
    steps = {}
    frames = []
    for line in out.splitlines():
        parts = line.split()
        if len(parts) == 3 and parts[0] == "step":
            if parts[1] == "next":
                frames.append(float(parts[2]))
            else:
                steps[parts[1]] = float(parts[2]) - start
    if frames:
        previous = [steps["frame"] + start] + frames[:-1]
        steps["later-frame"] = statistics.median(b - a for a, b in zip(previous, frames))
    return steps


def main():
    bin_dir, path = sys.argv[1], sys.argv[2]
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 5
    with open("/proc/loadavg") as f:
        print("load average before:", f.read().split()[:3])
    viewer = []
    replay = []
    for run in range(runs):
        viewer.append(viewer_run(bin_dir, path))
        replay.append(replay_run(bin_dir, path))
        r = replay[-1]
        print("run %d: viewer report %.3f s, peak RSS %.0f MiB | replay read %.3f report %.3f "
              "built %.3f scene %.3f first frame %.3f, later frames %.3f s"
              % (run, viewer[-1][0], viewer[-1][1], r["read"], r["report"], r["built"], r["scene"],
                 r["frame"], r.get("later-frame", float("nan"))), flush=True)
    with open("/proc/loadavg") as f:
        print("load average after:", f.read().split()[:3])
    med = lambda values: statistics.median(values)
    print("median of %d: viewer report %.3f s, peak RSS %.0f MiB; replay report %.3f s, "
          "first frame %.3f s, later frames %.3f s"
          % (runs, med(v[0] for v in viewer), med(v[1] for v in viewer),
             med(r["report"] for r in replay), med(r["frame"] for r in replay),
             med(r.get("later-frame", float("nan")) for r in replay)))


if __name__ == "__main__":
    main()
