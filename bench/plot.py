#!/usr/bin/python3
"""Draws the explorer's results: (a) each variant's time per call on the full
image against the memory limits, (b) throughput against image size.

    build/test/mean4_explore --benchmark_repetitions=5 \\
        --benchmark_out=results.json --benchmark_out_format=json
    /usr/bin/python3 bench/plot.py results.json roofline.png

Needs matplotlib (Debian: python3-matplotlib).
"""
import json
import statistics
import sys
from collections import defaultdict

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402


def median_times(benchmarks):
    """Median milliseconds per call of every benchmark that ran, by name."""
    samples = defaultdict(list)
    for run in benchmarks:
        if run.get("run_type") == "aggregate" or run.get("error_occurred"):
            continue
        name = run.get("run_name", run["name"]).removesuffix("/manual_time")
        scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[run["time_unit"]]
        samples[name].append(run["real_time"] * scale)
    return {name: statistics.median(times) for name, times in samples.items()}


def skipped(benchmarks):
    return {run["name"]: run.get("error_message", "")
            for run in benchmarks if run.get("error_occurred")}


def main(json_path, png_path):
    with open(json_path) as f:
        benchmarks = json.load(f)["benchmarks"]
    times = median_times(benchmarks)
    fig, (full, sweep) = plt.subplots(1, 2, figsize=(14, 6))

    limit_styles = {
        "limit_cached": ("tab:blue", "-"),
        "limit_streaming": ("tab:orange", "-"),
        "limit_cached_all_cores": ("tab:blue", "--"),
        "limit_streaming_all_cores": ("tab:orange", "--"),
    }
    variants = [(name.removeprefix("full/"), ms) for name, ms in times.items()
                if name.startswith("full/") and "limit" not in name]
    variants.sort(key=lambda item: item[1], reverse=True)
    full.barh([name for name, _ in variants], [ms for _, ms in variants], color="tab:gray")
    for name, (colour, style) in limit_styles.items():
        if "full/" + name in times:
            full.axvline(times["full/" + name], color=colour, linestyle=style,
                         label=f"{name.removeprefix('limit_')}: {times['full/' + name]:.1f} ms")
    for name, message in skipped(benchmarks).items():
        if name.startswith("full/"):
            full.barh(name.removeprefix("full/"), 0)
            full.text(0, name.removeprefix("full/"), "  " + message, va="center", fontsize=8)
    full.set_xlabel("milliseconds per call, 9984 x 9984 (median)")
    full.set_title("Each variant against the memory limits")
    full.legend(title="limit", fontsize=8)

    curves = defaultdict(list)
    for name, ms in times.items():
        if name.startswith("sweep/"):
            _, variant, side = name.split("/")
            pixels = int(side) ** 2
            curves[variant].append((pixels, pixels / (ms * 1e-3) / 1e9))
    for variant, points in sorted(curves.items()):
        points.sort()
        colour, style = limit_styles.get(variant, (None, "-"))
        sweep.plot([p for p, _ in points], [g for _, g in points], marker="o",
                   color=colour, linestyle=":" if variant.startswith("limit") else style,
                   label=variant)
    sweep.set_xscale("log")
    sweep.set_xlabel("pixels per image (256 x 256 to 9984 x 9984)")
    sweep.set_ylabel("gigapixels per second (median)")
    sweep.set_title("Throughput against image size")
    sweep.legend(fontsize=8)
    sweep.grid(True, which="both", alpha=0.3)

    fig.tight_layout()
    fig.savefig(png_path, dpi=90)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: plot.py RESULTS.json CHART.png")
    main(sys.argv[1], sys.argv[2])
