"""What the side-by-side scripts share: the test meshes, warm memory, peak memory and f3d's run.

This machine hands out memory the host took back several times slower than a desktop does, so
each timed run is preceded by warm_memory(): about 4 GiB faulted in and freed, so that the program
is measured, not the host. Peak memory is read from GNU time, which starts the program from its
own small process: a program started from this script directly would inherit the script's
high-water mark as its own.
"""
import mmap
import os
import subprocess
import sys
import time

TIME_FORMAT = "peak-rss-kb %M"


def ensure_torus(bin_dir, work, faces):
    """The torus of `faces` faces as ZEL (zelgen) and as binary PLY (zel_to_ply), kept in work."""
    zel = os.path.join(work, "torus%d.zel" % faces)
    ply = os.path.join(work, "torus%d.ply" % faces)
    if not os.path.exists(zel):
        subprocess.run([os.path.join(bin_dir, "zelgen"), "torus", "--faces", str(faces), zel],
                       check=True, stdout=subprocess.DEVNULL)
    if not os.path.exists(ply) or os.path.getmtime(ply) < os.path.getmtime(zel):
        subprocess.run([os.path.join(bin_dir, "zel_to_ply"), zel, ply], check=True)
    return zel, ply


def warm_memory(gib):
    """Faults in and frees about gib GiB, 64 MiB at a time."""
    if gib <= 0:
        return
    chunk = 64 << 20
    ones = b"\1" * chunk
    size = int(gib * (1 << 30)) // chunk * chunk
    memory = mmap.mmap(-1, size)
    for offset in range(0, size, chunk):
        memory[offset:offset + chunk] = ones
    memory.close()


def peak_rss_mib(text):
    """The peak memory GNU time printed with TIME_FORMAT, in MiB."""
    values = [int(line.split()[1]) for line in text.splitlines() if line.startswith("peak-rss-kb")]
    return values[-1] / 1024.0 if values else float("nan")


def read_swaps(log):
    """The buffer-swap times libzel_swap_clock.so wrote, in CLOCK_MONOTONIC seconds."""
    try:
        with open(log) as f:
            return [float(line.split()[2]) for line in f if line.startswith("swap ")]
    except FileNotFoundError:
        return []


def run_f3d(ply, png, timeout):
    """Seconds until f3d has written its 512 x 512 PNG of ply and exited, and its peak in MiB."""
    start = time.monotonic()
    done = subprocess.run(["/usr/bin/time", "-f", TIME_FORMAT, "f3d", "--output=" + png,
                           "--resolution=512,512", ply],
                          stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True,
                          timeout=timeout)
    elapsed = time.monotonic() - start
    if done.returncode != 0 or not os.path.exists(png):
        sys.exit("f3d failed on %s:\n%s" % (ply, done.stderr))
    os.remove(png)
    return elapsed, peak_rss_mib(done.stderr)


class ViewerRun:
    """A zelviewer started by start_zelviewer, its third frame drawn."""

    def __init__(self, process, start, report, first_frame, window, log):
        self.process = process
        self.start = start              # time.monotonic() when it was spawned
        self.report = report            # seconds to the last edge-report line
        self.first_frame = first_frame  # seconds to the first buffer swap
        self.window = window            # the X window id
        self.log = log                  # the swap log

    def close(self):
        """Ends the viewer with Esc; its peak memory in MiB."""
        subprocess.run(["xdotool", "key", "--window", self.window, "Escape"],
                       stderr=subprocess.DEVNULL)
        rest = self.process.stderr.read()
        self.process.wait()
        return peak_rss_mib(rest)


def start_zelviewer(bin_dir, mesh, log, timeout, swap_log_limit=None):
    """Starts zelviewer on mesh with its buffer swaps noted in log (libzel_swap_clock.so,
    preloaded; the viewer itself is unchanged) and waits for its report and its third frame: the
    first, the one that records the display list, and one replay."""
    if os.path.exists(log):
        os.remove(log)
    env = dict(os.environ, ZEL_SWAP_LOG=log,
               LD_PRELOAD=os.path.join(bin_dir, "libzel_swap_clock.so"))
    if swap_log_limit is not None:
        env["ZEL_SWAP_LOG_LIMIT"] = str(swap_log_limit)
    start = time.monotonic()
    process = subprocess.Popen(
        ["/usr/bin/time", "-f", TIME_FORMAT, os.path.join(bin_dir, "zelviewer"), "-file", mesh],
        stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True, env=env)
    report = None
    lines = []
    for line in process.stderr:
        lines.append(line)
        if line.endswith("edges with inconsistent normals\n"):
            report = time.monotonic() - start
            break
    if report is None:
        process.wait()
        sys.exit("zelviewer printed no edge report for %s:\n%s" % (mesh, "".join(lines)))
    # The swap times are absolute CLOCK_MONOTONIC seconds, the clock time.monotonic() reads.
    deadline = time.monotonic() + timeout
    swaps = read_swaps(log)
    while len(swaps) < 3 and time.monotonic() < deadline:
        time.sleep(0.01)
        swaps = read_swaps(log)
    if len(swaps) < 3:
        process.kill()
        sys.exit("zelviewer drew no frames for %s" % mesh)
    window = subprocess.run(["xdotool", "search", "--name", "^ZEL viewer$"], capture_output=True,
                            text=True).stdout.split()
    if not window:
        process.kill()
        sys.exit("no zelviewer window found")
    return ViewerRun(process, start, report, swaps[0] - start, window[0], log)


def run_under_display():
    """Runs this script again under a private X server (xvfb-run) when there is no DISPLAY."""
    if not os.environ.get("DISPLAY"):
        os.execvp("xvfb-run", ["xvfb-run", "-a", "-s", "-screen 0 1280x1024x24",
                               sys.executable] + sys.argv)


def load():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])
