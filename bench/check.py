#!/usr/bin/env python3
"""zelcheck against the viewer on the same files, median of several runs, the two alternating.

  viewer    zelviewer on each file in turn, from spawning it to the last line of its edge report
            on standard error (no display is needed: the report comes before the window), summed
            over the files;
  zelcheck  from spawning zelcheck on all the files to its last line on standard output, with
            -j 1 and with the default number of jobs, and to its exit.

usage: check.py BIN_DIR RUNS FILE...
"""
import os
import statistics
import subprocess
import sys
import time


def viewer_to_report(bin_dir, path, environment):
    start = time.monotonic()
    process = subprocess.Popen([os.path.join(bin_dir, "zelviewer"), "-file", path],
                               stderr=subprocess.PIPE, env=environment, text=True)
    report = None
    for line in process.stderr:
        if line.endswith("edges with inconsistent normals\n"):
            report = time.monotonic() - start
            break
    process.kill()
    process.wait()
    return report


def check_to_last_line(bin_dir, options, paths):
    start = time.monotonic()
    process = subprocess.Popen([os.path.join(bin_dir, "zelcheck")] + options + paths,
                               stdout=subprocess.PIPE, text=True)
    last = None
    for _ in process.stdout:
        last = time.monotonic() - start
    process.wait()
    return last, time.monotonic() - start


def main():
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    bin_dir, runs, paths = sys.argv[1], int(sys.argv[2]), sys.argv[3:]
    environment = dict(os.environ)
    environment.pop("DISPLAY", None)
    viewer, single, parallel, exits = [], [], [], []
    for _ in range(runs):
        viewer.append(sum(viewer_to_report(bin_dir, path, environment) for path in paths))
        single.append(check_to_last_line(bin_dir, ["-j", "1"], paths)[0])
        last, end = check_to_last_line(bin_dir, [], paths)
        parallel.append(last)
        exits.append(end)
    print("%d files, median of %d runs" % (len(paths), runs))
    print("viewer to its report, summed   %.3f s" % statistics.median(viewer))
    print("zelcheck -j 1 to its last line %.3f s" % statistics.median(single))
    print("zelcheck to its last line      %.3f s (exit %.3f s)" %
          (statistics.median(parallel), statistics.median(exits)))


if __name__ == "__main__":
    main()
