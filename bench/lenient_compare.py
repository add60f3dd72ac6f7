"""Times tarnwick.extract(s).value and tarnwick.loads(s) against json_repair.loads.

The same method as compare.py: every contender runs in this one process on
the same texts; a repetition times one pass of each over a category's texts,
in an order that rotates from one repetition to the next; tables give the
median pass time and the median over repetitions of the ratio of two
contenders' times in the same repetition. Unlike compare.py, the garbage
collector stays on during a pass, as it is when users call these functions
(--no-gc turns it off there, as compare.py does).

Categories: the broken ones of corpus.build() (json_repair.loads / extract
should be at least 50; json_repair returns the outer string on
double_encoded, so that row is shown but judged by nothing), every lenient
family of corpus.lenient_families() and corpus.rewrite_heavy() (reported),
and valid_small and valid_large, where extract should take at most 1.3 times
the time of tarnwick.repair(s).value.

    python bench/lenient_compare.py [--budget SECONDS] [--only NAME ...] [--no-gc]
"""

from __future__ import annotations

import argparse
import contextlib
import gc
import statistics
import sys
from dataclasses import dataclass
from importlib.metadata import PackageNotFoundError, version
from typing import Callable

import corpus
import tarnwick
from compare import Series, _fmt_time, _one_pass

# Targets of the lenient path.
PEER_FACTOR = 50.0  # json_repair.loads / extract on broken categories
VALID_FACTOR = 1.3  # extract / repair on valid ones
NOT_JUDGED = {"double_encoded"}  # json_repair stops at the outer string


@dataclass(frozen=True)
class Group:
    name: str
    texts: tuple[str, ...]
    kind: str  # "valid", "broken", "family" or "heavy"

    @property
    def total_bytes(self) -> int:
        return sum(len(t.encode("utf-8")) for t in self.texts)


def _extract(text: str) -> object:
    return tarnwick.extract(text).value


def _repair(text: str) -> object:
    return tarnwick.repair(text).value


def _contenders() -> dict[str, Callable[[str], object]]:
    out: dict[str, Callable[[str], object]] = {
        "extract": _extract,
        "loads": tarnwick.loads,
        "repair": _repair,
    }
    try:
        import json_repair
    except ImportError:
        print("note: json_repair is not installed; skipped", file=sys.stderr)
    else:
        out["json_repair.loads"] = json_repair.loads
    return out


def _groups() -> list[Group]:
    cats = {c.name: c for c in corpus.build()}
    out = [Group(n, cats[n].texts, "valid") for n in ("valid_small", "valid_large")]
    out += [Group(c.name, c.texts, "broken") for c in cats.values() if c.broken]
    out += [Group(f.name, tuple(t for t, _ in f.cases), "family") for f in corpus.lenient_families()]
    out.append(Group("rewrite_heavy", (corpus.rewrite_heavy()[0],), "heavy"))
    return out


def measure(
    group: Group, contenders: dict[str, Callable[[str], object]], budget: float, gc_off: bool
) -> dict[str, Series]:
    names = list(contenders)
    warm = {n: Series() for n in names}
    for n in names:
        _one_pass(contenders[n], group.texts, warm[n], gc_off)
    slowest = sum(w.times[0] for w in warm.values())
    # As many repetitions as fit the budget, between 5 and 101 (compare.py's rule).
    reps = 101 if slowest <= 0 else max(5, min(101, int(budget / slowest)))
    series = {n: Series() for n in names}
    for rep in range(reps):
        k = rep % len(names)
        for n in names[k:] + names[:k]:
            _one_pass(contenders[n], group.texts, series[n], gc_off)
        gc.collect()
    return series


def ratio(series: dict[str, Series], num: str, den: str) -> float | None:
    """Median over repetitions of num's time / den's time."""
    if num not in series or den not in series:
        return None
    return statistics.median(a / b for a, b in zip(series[num].times, series[den].times))


def _fmt_ratio(r: float | None) -> str:
    return "—" if r is None else f"{r:.2f}x" if r < 100 else f"{r:.0f}x"


def table(group: Group, series: dict[str, Series]) -> str:
    reps = len(series["extract"].times)
    lines = [
        f"### {group.name}: {len(group.texts)} texts, {group.total_bytes / 1e6:.3f} MB, {reps} repetitions",
        "",
        "| contender | median pass | MB/s | json_repair.loads / contender | contender / repair | raised |",
        "|---|---:|---:|---:|---:|---:|",
    ]
    for name, s in series.items():
        med = statistics.median(s.times)
        peer = "—" if name == "json_repair.loads" else _fmt_ratio(ratio(series, "json_repair.loads", name))
        own = "—" if name == "repair" else _fmt_ratio(ratio(series, name, "repair"))
        raised = "0"
        if s.errors:
            raised = f"{s.errors // reps}/{len(group.texts)} ({', '.join(sorted(s.error_kinds))})"
        lines.append(f"| {name} | {_fmt_time(med)} | {group.total_bytes / med / 1e6:.1f} | {peer} | {own} | {raised} |")
    return "\n".join(lines)


def _status(group: Group, series: dict[str, Series]) -> str:
    if group.kind == "valid":
        r = ratio(series, "extract", "repair")
        if r is None:
            return ""
        return "met" if r <= VALID_FACTOR else f"missed: {r / VALID_FACTOR:.2f}x over"
    r = ratio(series, "json_repair.loads", "extract")
    if r is None or group.kind != "broken":
        return "reported"
    if group.name in NOT_JUDGED:
        return "not judged (peer stops at the string)"
    return "met" if r >= PEER_FACTOR else f"missed: {PEER_FACTOR / r:.1f}x short"


def summary(rows: list[tuple[Group, dict[str, Series]]]) -> str:
    lines = [
        "### Summary",
        "",
        (
            f"Targets: json_repair.loads / extract at least {PEER_FACTOR:g}x on the broken "
            f"categories; extract / repair at most {VALID_FACTOR:g}x on the valid ones."
        ),
        "",
        "| kind | category | extract MB/s | json_repair / extract | json_repair / loads | extract / repair | target |",
        "|---|---|---:|---:|---:|---:|---|",
    ]
    for group, series in rows:
        med = statistics.median(series["extract"].times)
        lines.append(
            f"| {group.kind} | {group.name} | {group.total_bytes / med / 1e6:.1f}"
            f" | {_fmt_ratio(ratio(series, 'json_repair.loads', 'extract'))}"
            f" | {_fmt_ratio(ratio(series, 'json_repair.loads', 'loads'))}"
            f" | {_fmt_ratio(ratio(series, 'extract', 'repair'))}"
            f" | {_status(group, series)} |"
        )
    return "\n".join(lines)


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--budget", type=float, default=10.0, help="seconds of timing per category")
    parser.add_argument("--only", nargs="*", help="category or family names to run")
    parser.add_argument("--no-gc", action="store_true", help="collector off during a pass, as in compare.py")
    args = parser.parse_args()

    contenders = _contenders()
    versions = []
    for mod in ("tarnwick", "json_repair"):
        with contextlib.suppress(PackageNotFoundError):  # a missing peer has no version
            versions.append(f"{mod} {version(mod.replace('_', '-'))}")
    collector = "off" if args.no_gc else "on"
    print(f"Python {sys.version.split()[0]}; " + ", ".join(versions) + f"; garbage collector {collector} during passes")
    print()
    rows = []
    for group in _groups():
        if args.only and group.name not in args.only:
            continue
        series = measure(group, contenders, args.budget, args.no_gc)
        rows.append((group, series))
        print(table(group, series))
        print(flush=True)
    if rows:
        print(summary(rows))


if __name__ == "__main__":
    main()
