#!/usr/bin/env python3
"""Turns one run of stipplex_bench into the tables of the README.

    stipplex_bench --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \\
        --benchmark_out=bench.json --benchmark_out_format=json
    bench/figures.py bench.json

Takes the medians of the repetitions (or the single run when there was only
one), so every ratio comes from figures of the same run.
"""
import json
import sys

SIZES = ["1920x1080", "3840x2160"]
DEPTHS = ["8-bit", "16-bit", "float"]
SCENES = ["defaults", "dense", "stars", "effectors"]


def load(path):
    with open(path) as f:
        data = json.load(f)
    rows = {}
    for b in data["benchmarks"]:
        if b.get("error_occurred"):
            continue
        aggregate = b.get("aggregate_name")
        if aggregate not in (None, "median"):
            continue
        name = b["run_name"].split("/min_time")[0]
        if aggregate is None and name in rows:
            continue  # repetitions without aggregates: keep the first
        scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b["time_unit"]]
        rows[name] = {
            "ms": b["real_time"] * scale,
            "dots": b.get("dots", 0),
            "dots/s": b.get("dots/s", 0),
            "Mpx/s": b.get("Mpx/s", 0),
        }
    return data.get("context", {}), rows


def key(what, scene, depth, size):
    return f"{what}/{scene}/{depth}/{size}"


def pixels(size):
    w, h = size.split("x")
    return int(w) * int(h)


def fmt_ms(v):
    return f"{v:.3g}" if v < 10 else f"{v:.0f}"


def fmt_rate(v):
    for unit, div in (("G", 1e9), ("M", 1e6), ("k", 1e3)):
        if v >= div:
            return f"{v / div:.3g} {unit}"
    return f"{v:.3g}"


def main():
    context, rows = load(sys.argv[1])
    get = rows.get

    print("Frame times (median, ms), dots per second and megapixels per second:\n")
    print("| scene | size | depth | dots | RenderDots ms | dots/s | Mpx/s "
          "| host frame ms | dots/s | Mpx/s | cold frame ms |")
    print("|---|---|---|--:|--:|--:|--:|--:|--:|--:|--:|")
    for scene in SCENES:
        for size in SIZES:
            for depth in DEPTHS:
                r = get(key("RenderDots", scene, depth, size))
                h = get(key("HostFrame", scene, depth, size))
                c = get(key("HostFrameCold", scene, depth, size))
                if not r or not h:
                    continue
                print(f"| {scene} | {size} | {depth} | {int(r['dots'])} "
                      f"| {fmt_ms(r['ms'])} | {fmt_rate(r['dots/s'])} | {r['Mpx/s']:.0f} "
                      f"| {fmt_ms(h['ms'])} | {fmt_rate(h['dots/s'])} | {h['Mpx/s']:.0f} "
                      f"| {fmt_ms(c['ms']) if c else '–'} |")

    def ratio(a, b):
        if not a or not b:
            return "–"
        return f"{a['ms'] / b['ms']:.2f}"

    print("\nDepth: frame time against 8-bit (same scene and size).\n")
    print("| scene | size | RenderDots 16-bit | RenderDots float "
          "| host 16-bit | host float |")
    print("|---|---|--:|--:|--:|--:|")
    for scene in SCENES:
        for size in SIZES:
            cells = []
            for what in ("RenderDots", "HostFrame"):
                base = get(key(what, scene, "8-bit", size))
                for depth in ("16-bit", "float"):
                    cells.append(ratio(get(key(what, scene, depth, size)), base))
            print(f"| {scene} | {size} | " + " | ".join(cells) + " |")

    print("\nSize: time per pixel at 3840x2160 against 1920x1080 (same scene and depth).\n")
    print("| scene | RenderDots 8-bit | 16-bit | float | host frame 8-bit | 16-bit | float |")
    print("|---|--:|--:|--:|--:|--:|--:|")
    small, large = SIZES
    px = pixels(large) / pixels(small)
    for scene in SCENES:
        cells = []
        for what in ("RenderDots", "HostFrame"):
            for depth in DEPTHS:
                a = get(key(what, scene, depth, large))
                b = get(key(what, scene, depth, small))
                cells.append(f"{a['ms'] / b['ms'] / px:.2f}" if a and b else "–")
        print(f"| {scene} | " + " | ".join(cells) + " |")

    print("\nEffectors: time per dot with all three on against none (defaults scene, same dots).\n")
    print("| size | depth | LayOutDots ns/dot without | with | LayOutDots "
          "| RenderDots | host frame |")
    print("|---|---|--:|--:|--:|--:|--:|")
    for size in SIZES:
        for depth in DEPTHS:
            cells = []
            for what in ("LayOutDots", "RenderDots", "HostFrame"):
                a = get(key(what, "effectors", depth, size))
                b = get(key(what, "defaults", depth, size))
                if what == "LayOutDots":
                    for r in (b, a):
                        cells.append(f"{r['ms'] * 1e6 / r['dots']:.0f}" if r and r["dots"]
                                     else "–")
                if a and b and a["dots"] and b["dots"]:
                    cells.append(f"{(a['ms'] / a['dots']) / (b['ms'] / b['dots']):.2f}")
                else:
                    cells.append("–")
            print(f"| {size} | {depth} | " + " | ".join(cells) + " |")

    print("\nHost: whole frame through the host against RenderDots alone, warm (cold "
          "beside it), and cold against warm.\n")
    print("| scene | size | 8-bit | 16-bit | float | cold/warm 8-bit | 16-bit | float |")
    print("|---|---|--:|--:|--:|--:|--:|--:|")
    for scene in SCENES:
        for size in SIZES:
            cells = []
            for d in DEPTHS:
                r = get(key("RenderDots", scene, d, size))
                cells.append(f"{ratio(get(key('HostFrame', scene, d, size)), r)} "
                             f"({ratio(get(key('HostFrameCold', scene, d, size)), r)})")
            cells += [ratio(get(key("HostFrameCold", scene, d, size)),
                            get(key("HostFrame", scene, d, size))) for d in DEPTHS]
            print(f"| {scene} | {size} | " + " | ".join(cells) + " |")


if __name__ == "__main__":
    main()
