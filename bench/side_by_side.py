#!/usr/bin/env python3
"""zelviewer against the peer viewer f3d, side by side in one run on the same machine.

For each size a torus is generated with zelgen (ZEL) and written once more as binary PLY with
zel_to_ply (the same floats and faces); both files are kept in the work folder and reused. The
first table gives both programs the same binary PLY file; the second gives zelviewer the ZEL file
and f3d the PLY. Each run times, from the moment this script spawns the process:
  f3d        f3d --output=PNG --resolution=512,512 until the PNG is written and f3d has exited;
  report     zelviewer until the last edge report line arrives on standard error;
  frame      zelviewer until its first buffer swap has returned (noted by the preloaded
             libzel_swap_clock.so, the viewer itself is unchanged);
  convert    zelconvert turning the PLY into a ZEL file, until it has exited (the file written
             and synced);
and the peak resident memory of both (GNU time). zelviewer is closed with Esc after its third
swap, so its peak includes recording and replaying the display list. Runs alternate between the
programs. Right before each timed run about 4 GiB are faulted in and freed (--warm-gib), so that
both programs are measured, not the host handing out memory pages. The medians are printed with
the ratios zelviewer / f3d, and a third table sets zelconvert's time beside f3d's on the same
file.

Both run in the same X server: the one in DISPLAY, or else a private one under xvfb-run.

usage: side_by_side.py [--bin build/bin] [--faces 100000,1000000,4000000,10000000]
                       [--runs 3] [--work /tmp/zel-side-by-side] [--warm-gib 4]
"""
import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time

from bench_runs import (TIME_FORMAT, ensure_torus, load, peak_rss_mib, run_f3d,
                        run_under_display, start_zelviewer, warm_memory)

# A start-up that takes longer than this has failed.
TIMEOUT_SECONDS = 600


def run_zelconvert(bin_dir, ply, output):
    start = time.monotonic()
    done = subprocess.run(["/usr/bin/time", "-f", TIME_FORMAT,
                           os.path.join(bin_dir, "zelconvert"), ply, output],
                          stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True,
                          timeout=TIMEOUT_SECONDS)
    elapsed = time.monotonic() - start
    if done.returncode != 0:
        sys.exit("zelconvert failed on %s:\n%s" % (ply, done.stderr))
    os.remove(output)
    return elapsed, peak_rss_mib(done.stderr)


def run_zelviewer(bin_dir, mesh, log):
    viewer = start_zelviewer(bin_dir, mesh, log, TIMEOUT_SECONDS)
    return viewer.report, viewer.first_frame, viewer.close()


def print_table(title, sizes, results, runs):
    print()
    print("%s, medians of %d runs" % (title, runs))
    print("| faces | f3d | f3d peak | zelviewer report | first frame | zelviewer peak | "
          "first frame / f3d | report / f3d | peak / f3d | bytes per face |")
    print("|---|---|---|---|---|---|---|---|---|---|")
    for faces in sizes:
        f3d_time, f3d_peak, report, frame, peak = results[faces]
        print("| %s | %.2f s | %.0f MiB | %.2f s | %.2f s | %.0f MiB | %.2fx | %.2fx | %.2fx | %.0f |"
              % ("{:,}".format(faces), f3d_time, f3d_peak, report, frame, peak, frame / f3d_time,
                 report / f3d_time, peak / f3d_peak, peak * 1048576.0 / faces))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--bin", default="build/bin")
    parser.add_argument("--faces", default="100000,1000000,4000000,10000000")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--work", default=os.path.join(tempfile.gettempdir(), "zel-side-by-side"))
    parser.add_argument("--warm-gib", type=float, default=4.0)
    args = parser.parse_args()

    run_under_display()

    bin_dir = os.path.abspath(args.bin)
    os.makedirs(args.work, exist_ok=True)
    sizes = [int(n) for n in args.faces.split(",")]
    log = os.path.join(args.work, "swap.log")
    png = os.path.join(args.work, "f3d.png")
    print("load average before: %s; GALLIUM_DRIVER=%s" % (load(),
                                                          os.environ.get("GALLIUM_DRIVER", "")))
    from_ply = {}
    from_zel = {}
    converted = {}
    output = os.path.join(args.work, "converted.zel")
    for faces in sizes:
        zel, ply = ensure_torus(bin_dir, args.work, faces)
        ply_rows = []
        zel_rows = []
        convert_rows = []
        for run in range(args.runs):
            warm_memory(args.warm_gib)
            f3d_time, f3d_peak = run_f3d(ply, png, TIMEOUT_SECONDS)
            warm_memory(args.warm_gib)
            report, frame, peak = run_zelviewer(bin_dir, ply, log)
            warm_memory(args.warm_gib)
            zel_report, zel_frame, zel_peak = run_zelviewer(bin_dir, zel, log)
            warm_memory(args.warm_gib)
            convert_time, convert_peak = run_zelconvert(bin_dir, ply, output)
            ply_rows.append((f3d_time, f3d_peak, report, frame, peak))
            zel_rows.append((f3d_time, f3d_peak, zel_report, zel_frame, zel_peak))
            convert_rows.append((f3d_time, f3d_peak, convert_time, convert_peak))
            print("%9d faces run %d: f3d %.3f s %.0f MiB | zelviewer PLY report %.3f s, first "
                  "frame %.3f s, %.0f MiB | ZEL report %.3f s, first frame %.3f s, %.0f MiB | "
                  "zelconvert %.3f s %.0f MiB | load %s"
                  % (faces, run, f3d_time, f3d_peak, report, frame, peak, zel_report, zel_frame,
                     zel_peak, convert_time, convert_peak, load()), flush=True)
        from_ply[faces] = [statistics.median(column) for column in zip(*ply_rows)]
        from_zel[faces] = [statistics.median(column) for column in zip(*zel_rows)]
        converted[faces] = [statistics.median(column) for column in zip(*convert_rows)]
    print("load average after: %s" % load())

    print_table("Both programs on the same binary PLY file", sizes, from_ply, args.runs)
    print_table("zelviewer on the ZEL file, f3d on the binary PLY file", sizes, from_zel,
                args.runs)
    print()
    print("zelconvert PLY -> ZEL beside f3d on the same binary PLY file, medians of %d runs"
          % args.runs)
    print("| faces | f3d | zelconvert | zelconvert / f3d | zelconvert peak |")
    print("|---|---|---|---|---|")
    for faces in sizes:
        f3d_time, _, convert_time, convert_peak = converted[faces]
        print("| %s | %.2f s | %.2f s | %.2fx | %.0f MiB |"
              % ("{:,}".format(faces), f3d_time, convert_time, convert_time / f3d_time,
                 convert_peak))
    if 1000000 in from_ply and 4000000 in from_ply:
        small, large = from_ply[1000000], from_ply[4000000]
        print("growth 1M -> 4M from PLY: first frame %.2fx, report %.2fx, peak memory %.2fx "
              "(f3d %.2fx)" % (large[3] / small[3], large[2] / small[2], large[4] / small[4],
                               large[0] / small[0]))


if __name__ == "__main__":
    main()
