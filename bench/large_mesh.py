#!/usr/bin/env python3
"""A very large mesh in zelviewer, f3d and zelcheck, in one run on one machine.

Generates a torus of --faces faces (28 million by default: the size of the largest well-known 3D
scans) with zelgen and writes it as binary PLY (zel_to_ply); both are kept in the work folder
and reused. Then, once each, all three on the PLY file, with about --warm-gib GiB faulted in and
freed right before each run (more than the largest peak, 8 GiB: memory the host has taken back
costs this machine seconds a GiB, which would otherwise swamp the programs' own times):
  zelviewer  time to the last edge-report line and to the first buffer swap (noted by the
             preloaded libzel_swap_clock.so), then, once the display list is recorded, the
             frames per second while the left button drags the view for --drag seconds (swaps
             counted between press and release), closed with Esc; peak memory (GNU time);
  f3d        f3d --output=PNG --resolution=512,512 until the PNG is written and f3d has exited,
             and its peak memory;
  zelcheck   time and peak memory for its line on the file;
  estimate   what the memory estimate gives for the counts (memory_need), beside the peaks.
Both viewers run in the X server in DISPLAY, or else in a private one under xvfb-run.

usage: large_mesh.py [--bin build/bin] [--faces 28000000] [--drag 30] [--work /tmp/zel-large]
                     [--warm-gib 10]
"""
import argparse
import os
import subprocess
import sys
import tempfile
import time

from bench_runs import (TIME_FORMAT, ensure_torus, load, peak_rss_mib, read_swaps, run_f3d,
                        run_under_display, start_zelviewer, warm_memory)

TIMEOUT_SECONDS = 1800


def xdotool(*arguments):
    return subprocess.run(["xdotool"] + list(arguments), capture_output=True, text=True).stdout


def run_zelviewer(bin_dir, mesh, work, drag_seconds):
    viewer = start_zelviewer(bin_dir, mesh, os.path.join(work, "swap.log"), TIMEOUT_SECONDS,
                             swap_log_limit=100000)
    geometry = dict(line.split("=") for line in
                    xdotool("getwindowgeometry", "--shell", viewer.window).split())
    x = int(geometry["X"]) + int(geometry["WIDTH"]) // 2
    y = int(geometry["Y"]) + int(geometry["HEIGHT"]) // 2
    # a slow orbit in the default mode: one small step every 50 ms for the whole drag
    xdotool("mousemove", str(x - 100), str(y))
    xdotool("mousedown", "1")
    pressed = time.monotonic()
    step = 0
    while time.monotonic() - pressed < drag_seconds:
        xdotool("mousemove", str(x - 100 + (step % 200)), str(y + (step // 200) % 20))
        step += 1
        time.sleep(0.05)
    xdotool("mouseup", "1")
    released = time.monotonic()
    during = [t for t in read_swaps(viewer.log) if pressed <= t <= released]
    fps = (len(during) - 1) / (during[-1] - during[0]) if len(during) > 1 else float("nan")
    peak = viewer.close()
    return {"report": viewer.report, "first frame": viewer.first_frame,
            "frames while dragging": len(during), "fps while dragging": fps,
            "peak GiB": peak / 1024.0}


def run_zelcheck(bin_dir, mesh):
    start = time.monotonic()
    done = subprocess.run(["/usr/bin/time", "-f", TIME_FORMAT, os.path.join(bin_dir, "zelcheck"),
                           mesh], capture_output=True, text=True, timeout=TIMEOUT_SECONDS)
    elapsed = time.monotonic() - start
    if done.returncode not in (0, 1):
        sys.exit("zelcheck failed:\n" + done.stderr)
    return {"line printed": elapsed, "peak GiB": peak_rss_mib(done.stderr) / 1024.0,
            "line": done.stdout.strip()}


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--bin", default="build/bin")
    parser.add_argument("--faces", type=int, default=28000000)
    parser.add_argument("--drag", type=float, default=30.0)
    parser.add_argument("--work", default=os.path.join(tempfile.gettempdir(), "zel-large"))
    parser.add_argument("--warm-gib", type=float, default=10.0)
    args = parser.parse_args()

    run_under_display()

    bin_dir = os.path.abspath(args.bin)
    os.makedirs(args.work, exist_ok=True)
    zel, ply = ensure_torus(bin_dir, args.work, args.faces)
    with open(zel) as f:
        f.readline()
        vertices, faces = (int(n) for n in f.readline().split())

    print("load average before: " + load())
    print("mesh: %d vertices, %d faces (%.2f GB as ZEL)" % (vertices, faces,
                                                           os.path.getsize(zel) / 1e9))
    estimate = subprocess.run([os.path.join(bin_dir, "memory_need"), str(vertices), str(faces),
                               str(24 * 2**30)], capture_output=True, text=True, check=True)
    print("estimate:\n  " + estimate.stdout.strip().replace("\n", "\n  "))
    png = os.path.join(args.work, "f3d.png")

    def f3d():
        seconds, peak = run_f3d(ply, png, TIMEOUT_SECONDS)
        return {"PNG written": seconds, "peak GiB": peak / 1024.0}

    for name, run in (("zelviewer", lambda: run_zelviewer(bin_dir, ply, args.work, args.drag)),
                      ("f3d", f3d),
                      ("zelcheck", lambda: run_zelcheck(bin_dir, ply))):
        warm_memory(args.warm_gib)
        result = run()
        print(name + ": " + ", ".join(
            "%s %s" % (key, ("%.2f" % value) if isinstance(value, float) else value)
            for key, value in result.items()), flush=True)
    print("load average after: " + load())


if __name__ == "__main__":
    main()
