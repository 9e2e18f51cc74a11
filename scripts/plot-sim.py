#!/usr/bin/python3
"""Turns the overlay simulator's CSV files into the PNG plots the README shows.

Usage: scripts/plot-sim.py CSV_DIR [OUT_DIR]
CSV_DIR holds what `pelmar-sim --out CSV_DIR` wrote (join-degrees.csv,
spread.csv, rate.csv, churn.csv; any may be missing). The plots
go to OUT_DIR (default docs/) as sim-*.png.
"""
import csv
import os
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402


def rows(directory, name):
    path = os.path.join(directory, name + ".csv")
    if not os.path.exists(path):
        return []
    with open(path, newline="") as f:
        return list(csv.DictReader(f))


def save(figure, out, name):
    figure.tight_layout()
    path = os.path.join(out, name)
    figure.savefig(path, dpi=110)
    plt.close(figure)
    print(path)


def plot_degrees(data, out):
    if not data:
        return
    figure, axes = plt.subplots(figsize=(6.4, 4))
    for n in sorted({int(r["nodes"]) for r in data}):
        points = sorted((int(r["connections"]), int(r["count"]))
                        for r in data if int(r["nodes"]) == n)
        axes.loglog([p[0] for p in points], [p[1] / n for p in points], "o-", ms=3,
                    label="%d nodes" % n)
    axes.set_xlabel("established connections of a node")
    axes.set_ylabel("share of nodes")
    axes.set_title("Joining through 3 entry points")
    axes.grid(True, which="both", alpha=0.3)
    axes.legend()
    save(figure, out, "sim-connections.png")


def plot_spread(data, out):
    if not data:
        return
    figure, (reach, cost) = plt.subplots(1, 2, figsize=(9, 3.8))
    for variant in sorted({r["variant"] for r in data}):
        points = sorted((int(r["nodes"]), float(r["reach_mean_pct"]), float(r["reach_min_pct"]),
                         float(r["sent_per_node"]), float(r["duplicates_per_reached_node"]))
                        for r in data if r["variant"] == variant)
        xs = [p[0] for p in points]
        line = reach.semilogx(xs, [p[1] for p in points], "o-", label=variant)[0]
        reach.semilogx(xs, [p[2] for p in points], "v:", color=line.get_color())
        cost.loglog(xs, [p[3] for p in points], "o-", label=variant + ": messages sent",
                      color=line.get_color())
        cost.loglog(xs, [p[4] for p in points], "s--", color=line.get_color(),
                      label=variant + ": repeats received")
    reach.set_xlabel("nodes")
    reach.set_ylabel("nodes reached, % (mean -, worst :)")
    reach.set_ylim(0, 105)
    reach.grid(True, alpha=0.3)
    reach.legend(fontsize=7)
    cost.set_xlabel("nodes")
    cost.set_ylabel("per node, per message")
    cost.grid(True, alpha=0.3)
    cost.legend(fontsize=7)
    figure.suptitle("One query or update: reach and cost")
    save(figure, out, "sim-reach-cost.png")


def plot_rate(data, out):
    if not data:
        return
    figure, axes = plt.subplots(figsize=(6.4, 4))
    for n in sorted({int(r["nodes"]) for r in data}):
        points = sorted((float(r["updates_per_s"]), float(r["let_through_share_pct"]))
                        for r in data if int(r["nodes"]) == n)
        axes.loglog([p[0] for p in points], [max(p[1], 1e-4) for p in points], "o-",
                    label="%d nodes" % n)
    axes.set_xlabel("updates per second over the whole network")
    axes.set_ylabel("repeats the history let through, %")
    axes.set_title("The 1,000-id history under a steady rate of posts")
    axes.grid(True, which="both", alpha=0.3)
    axes.legend()
    save(figure, out, "sim-history.png")


def plot_churn(data, out):
    if not data:
        return
    figure, axes = plt.subplots(figsize=(6.4, 4))
    for n in sorted({int(r["nodes"]) for r in data}):
        points = sorted((float(r["leaves_per_s"]), float(r["reach_mean_pct"]),
                         float(r["reach_min_pct"])) for r in data if int(r["nodes"]) == n)
        line = axes.semilogx([p[0] for p in points], [p[1] for p in points], "o-",
                             label="%d nodes: mean" % n)[0]
        axes.semilogx([p[0] for p in points], [p[2] for p in points], "v:",
                      color=line.get_color(), label="%d nodes: worst" % n)
    axes.set_xlabel("nodes leaving (and joining) per second")
    axes.set_ylabel("live nodes an update reaches, %")
    axes.set_ylim(0, 105)
    axes.set_title("Churn")
    axes.grid(True, alpha=0.3)
    axes.legend()
    save(figure, out, "sim-churn.png")


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    directory = sys.argv[1]
    out = sys.argv[2] if len(sys.argv) > 2 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "docs")
    os.makedirs(out, exist_ok=True)
    plot_degrees(rows(directory, "join-degrees"), out)
    plot_spread(rows(directory, "spread"), out)
    plot_rate(rows(directory, "rate"), out)
    plot_churn(rows(directory, "churn"), out)


if __name__ == "__main__":
    main()
