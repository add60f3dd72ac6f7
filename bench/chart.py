"""Draws compare.py's measurements as a chart: throughput per category.

Reads the JSON that `compare.py --json PATH` writes and draws, for each
category, one bar per contender that ran there (MB/s of input, higher is
better), tarnwick first and set apart in colour and outline. A peer that was
not run on a category has no bar there; one that raised on some texts is
hatched, since its time covers texts it gave up on.

Usage: python bench/chart.py MEASUREMENTS.json OUT.png
"""

from __future__ import annotations

import argparse
import json

import matplotlib

matplotlib.use("Agg")  # files only; no display on a benchmark machine

import matplotlib.pyplot as plt  # noqa: E402 - after the backend is chosen
from matplotlib.patches import Patch  # noqa: E402
from matplotlib.ticker import FuncFormatter  # noqa: E402

TARNWICK = "tarnwick"
TARNWICK_COLOUR = "#d95f02"
# Muted colours for the peers, in the order they first appear, so that the
# one saturated bar in each group is tarnwick's.
PEER_COLOURS = ("#4c72b0", "#8da0cb", "#55a868", "#a6d854", "#8172b3", "#937860", "#b3b3b3")
# Throughputs spread wider than this factor are drawn on a log axis, where
# the slowest peer's bars would otherwise be invisible.
LOG_SPREAD = 20.0


def _colours(categories: list[dict]) -> dict[str, str]:
    out = {TARNWICK: TARNWICK_COLOUR}
    for cat in categories:
        for row in cat["contenders"]:
            if row["name"] not in out:
                out[row["name"]] = PEER_COLOURS[(len(out) - 1) % len(PEER_COLOURS)]
    return out


def _label(mb_per_s: float) -> str:
    if mb_per_s >= 100:
        return f"{mb_per_s:.0f}"
    if mb_per_s >= 1:
        return f"{mb_per_s:.1f}"
    return f"{mb_per_s:.2g}"


def _tick(cat: dict) -> str:
    texts = f"{cat['texts']} text" + ("" if cat["texts"] == 1 else "s")
    return f"{cat['name']}\n{texts}, {cat['bytes'] / 1e6:.2f} MB"


def draw(doc: dict, out: str) -> None:
    categories = doc["categories"]
    colours = _colours(categories)
    widest = max(len(c["contenders"]) for c in categories)
    width = 0.84 / widest
    # Wide enough for nine groups of six bars, no wider than a page shows.
    fig, ax = plt.subplots(figsize=(min(13.0, max(8.0, 2.5 + 1.15 * len(categories))), 6.5), dpi=150)

    values = []
    raised_any = False
    for i, cat in enumerate(categories):
        rows = cat["contenders"]
        # Only the contenders that ran, centred on the category's tick.
        left = i - width * (len(rows) - 1) / 2
        for k, row in enumerate(rows):
            name = row["name"]
            mbs = row["mb_per_s"]
            values.append(mbs)
            raised = bool(row["error_kinds"])
            raised_any = raised_any or raised
            is_tarnwick = name == TARNWICK
            ax.bar(
                left + k * width,
                mbs,
                width * 0.92,
                color=colours[name],
                edgecolor="black" if is_tarnwick else "white",
                linewidth=1.4 if is_tarnwick else 0.5,
                hatch="///" if raised else None,
                zorder=3,
            )
            ax.annotate(
                _label(mbs),
                (left + k * width, mbs),
                xytext=(0, 2),
                textcoords="offset points",
                ha="center",
                va="bottom",
                rotation=90,
                fontsize=7,
                fontweight="bold" if is_tarnwick else "normal",
            )

    if values and max(values) / max(min(values), 1e-9) > LOG_SPREAD:
        ax.set_yscale("log")
        ax.set_ylim(min(values) / 2, max(values) * 4)  # room for the labels above
        ax.yaxis.set_major_formatter(FuncFormatter(lambda v, _: f"{v:g}"))
        ax.set_ylabel("MB/s of input (log scale), higher is better")
    else:
        ax.set_ylim(0, max(values) * 1.25)
        ax.set_ylabel("MB/s of input, higher is better")

    ax.set_xticks(range(len(categories)))
    ax.set_xticklabels([_tick(c) for c in categories], fontsize=8)
    ax.set_xlim(-0.6, len(categories) - 0.4)
    ax.grid(axis="y", which="major", color="#dddddd", zorder=0)
    ax.set_axisbelow(True)
    for side in ("top", "right"):
        ax.spines[side].set_visible(False)

    gc = "on" if doc.get("gc", True) else "off"
    ax.set_title(
        f"repair(s).value against peers: throughput per category, garbage collector {gc}\n"
        f"Python {doc['python']}, median pass of each contender",
        fontsize=11,
    )
    handles = [
        Patch(
            facecolor=colour,
            edgecolor="black" if name == TARNWICK else "white",
            linewidth=1.4 if name == TARNWICK else 0.5,
            label=name,
        )
        for name, colour in colours.items()
    ]
    if raised_any:
        handles.append(Patch(facecolor="white", edgecolor="grey", hatch="///", label="raised on some texts"))
    ax.legend(handles=handles, loc="upper left", bbox_to_anchor=(1.0, 1.0), fontsize=8, frameon=False)
    versions = ", ".join(f"{d} {v}" for d, v in doc.get("versions", {}).items())
    if versions:
        fig.text(0.01, 0.01, versions, fontsize=7, color="#555555")
    fig.tight_layout(rect=(0, 0.03, 1, 1))
    fig.savefig(out)
    plt.close(fig)


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("measurements", help="JSON written by compare.py --json")
    parser.add_argument("out", help="PNG to write")
    args = parser.parse_args()
    with open(args.measurements, encoding="utf-8") as f:
        doc = json.load(f)
    if not doc["categories"]:
        parser.error(f"{args.measurements} holds no category")
    draw(doc, args.out)


if __name__ == "__main__":
    main()
