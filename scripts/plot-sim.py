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


def by_nodes(data, *fields):
    """(nodes, points) for each network size: the fields of its rows, as
    numbers, in order."""
    for n in sorted({int(r["nodes"]) for r in data}):
        yield n, sorted(tuple(float(r[f]) for f in fields) for r in data if int(r["nodes"]) == n)


def column(points, i):
    return [p[i] for p in points]


def finish(axes, xlabel, ylabel, title=None, **legend):
    axes.set_xlabel(xlabel)
    axes.set_ylabel(ylabel)
    if title:
        axes.set_title(title)
    axes.grid(True, which="both", alpha=0.3)
    axes.legend(**legend)


def plot_degrees(data, out):
    if not data:
        return
    figure, axes = plt.subplots(figsize=(6.4, 4))
    for n, points in by_nodes(data, "connections", "count"):
        axes.loglog(column(points, 0), [p[1] / n for p in points], "o-", ms=3,
                    label="%d nodes" % n)
    finish(axes, "established connections of a node", "share of nodes",
           "Joining through 3 entry points")
    save(figure, out, "sim-connections.png")


def plot_spread(data, out):
    if not data:
        return
    figure, (reach, cost) = plt.subplots(1, 2, figsize=(9, 3.8))
    for variant in sorted({r["variant"] for r in data}):
        points = sorted((int(r["nodes"]), float(r["reach_mean_pct"]), float(r["reach_min_pct"]),
                         float(r["sent_per_node"]), float(r["duplicates_per_reached_node"]))
                        for r in data if r["variant"] == variant)
        xs = column(points, 0)
        line = reach.semilogx(xs, column(points, 1), "o-", label=variant)[0]
        reach.semilogx(xs, column(points, 2), "v:", color=line.get_color())
        cost.loglog(xs, column(points, 3), "o-", label=variant + ": messages sent",
                    color=line.get_color())
        cost.loglog(xs, column(points, 4), "s--", color=line.get_color(),
                    label=variant + ": repeats received")
    reach.set_ylim(0, 105)
    finish(reach, "nodes", "nodes reached, % (mean -, worst :)", fontsize=7)
    finish(cost, "nodes", "per node, per message", fontsize=7)
    figure.suptitle("One query or update: reach and cost")
    save(figure, out, "sim-reach-cost.png")


def plot_rate(data, out):
    if not data:
        return
    figure, axes = plt.subplots(figsize=(6.4, 4))
    for n, points in by_nodes(data, "updates_per_s", "let_through_per_node_per_s"):
        axes.plot(column(points, 0), column(points, 1), "o-", label="%d nodes" % n)
    axes.set_xscale("log")
    axes.set_yscale("symlog", linthresh=0.01)
    axes.set_ylim(bottom=0)
    finish(axes, "updates per second over the whole network",
           "repeats let through, per node and second",
           "The 1,000-id history under a steady rate of posts")
    save(figure, out, "sim-history.png")


def plot_churn(data, out):
    if not data:
        return
    figure, axes = plt.subplots(figsize=(6.4, 4))
    for n, points in by_nodes(data, "leaves_per_s", "reach_mean_pct", "reach_min_pct"):
        line = axes.semilogx(column(points, 0), column(points, 1), "o-",
                             label="%d nodes: mean" % n)[0]
        axes.semilogx(column(points, 0), column(points, 2), "v:", color=line.get_color(),
                      label="%d nodes: worst" % n)
    axes.set_ylim(0, 105)
    finish(axes, "nodes leaving (and joining) per second", "live nodes an update reaches, %",
           "Churn")
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
