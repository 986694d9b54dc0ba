#!/usr/bin/env python3
"""Throughput of `stipplex render` on a 1920 x 1080 8-bit PNG sequence.

    bench/sequence.py [--stipplex build/linux/src/app/stipplex] [--frames 24]
                      [--threads 1,2] [--repetitions 3]

Makes the sequence once with ffmpeg (the demo picture scaled to 1920 x 1080,
its hue turned a little every frame, written as RGB PNG), then renders it
with the defaults at each thread count in turn, the counts interleaved
repetition by repetition. Prints, per thread count, the median of the
repetitions: wall-clock frames per second, CPU seconds per frame (user and
system time of the process, so other processes on the machine do not count
in it), and the mean per-stage times of --timings; then the load average.
"""
import argparse
import os
import resource
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
STAGES = ["read", "decode", "render", "encode", "write"]


def make_frames(folder, count):
    subprocess.run(
        ["ffmpeg", "-v", "error", "-loop", "1", "-i",
         os.path.join(ROOT, "assets", "demo-input.png"), "-frames:v", str(count),
         "-vf", "scale=1920:1080:flags=neighbor,hue=h=15*n", "-pix_fmt", "rgb24",
         "-start_number", "0", os.path.join(folder, "in.%02d.png")],
        check=True)


def mean_stages(timings):
    """The 'mean' row of --timings, in milliseconds per stage."""
    header = None
    for line in timings.splitlines():
        words = line.split()
        if words and words[0] == "frame":
            header = words[1:]
        elif words and words[0] == "mean" and header:
            return {name: float(v) for name, v in zip(header, words[1:])}
    raise RuntimeError("no timings in:\n" + timings)


def render(stipplex, folder, count, threads):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.monotonic()
    done = subprocess.run(
        [stipplex, "render", os.path.join(folder, "in.##.png"),
         os.path.join(folder, "out.##.png"), "--frames", f"0-{count - 1}",
         "--threads", str(threads), "--timings"],
        capture_output=True, text=True)
    wall = time.monotonic() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    if done.returncode != 0:
        raise RuntimeError(done.stderr)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return {"fps": count / wall, "cpu": cpu / count, "stages": mean_stages(done.stderr)}


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--stipplex",
                        default=os.path.join(ROOT, "build", "linux", "src", "app", "stipplex"))
    parser.add_argument("--frames", type=int, default=24)
    parser.add_argument("--threads", default="1,2")
    parser.add_argument("--repetitions", type=int, default=3)
    args = parser.parse_args()
    counts = [int(t) for t in args.threads.split(",")]

    folder = tempfile.mkdtemp(prefix="stipplex-sequence-")
    try:
        make_frames(folder, args.frames)
        load_before = os.getloadavg()[0]
        runs = {t: [] for t in counts}
        render(args.stipplex, folder, args.frames, counts[0])  # warm-up
        for _ in range(args.repetitions):
            for t in counts:
                runs[t].append(render(args.stipplex, folder, args.frames, t))
        load_after = os.getloadavg()[0]
    finally:
        shutil.rmtree(folder)

    def median(t, get):
        return statistics.median(get(r) for r in runs[t])

    print(f"{args.frames} frames of 1920 x 1080, 8-bit PNG, defaults; "
          f"median of {args.repetitions}\n")
    print("| threads | wall fps | CPU ms/frame | frames per CPU second | "
          + " | ".join(f"{s} ms" for s in STAGES) + " |")
    print("|--:|--:|--:|--:|" + "--:|" * len(STAGES))
    for t in counts:
        cpu = median(t, lambda r: r["cpu"])
        stages = " | ".join(f"{median(t, lambda r: r['stages'].get(s, float('nan'))):.1f}" for s in STAGES)
        print(f"| {t} | {median(t, lambda r: r['fps']):.1f} | {cpu * 1000:.0f} "
              f"| {1 / cpu:.1f} | {stages} |")
    if len(counts) > 1:
        base = counts[0]
        for t in counts[1:]:
            ratios = [b["fps"] / a["fps"] for a, b in zip(runs[base], runs[t])]
            print(f"\nwall fps, {t} threads / {base}: {statistics.median(ratios):.2f} "
                  f"(pair by pair, min {min(ratios):.2f}, max {max(ratios):.2f})")
    print(f"load average {load_before:.1f} before, {load_after:.1f} after "
          f"on {os.cpu_count()} cores")
    return 0


if __name__ == "__main__":
    sys.exit(main())
