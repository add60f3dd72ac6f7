"""Times tarnwick.repair(s).value against its peers on the bench corpus.

All contenders run in this one process on the same texts. A repetition times
one pass of every contender over a category's texts, in an order that rotates
from one repetition to the next, so that drift on a shared machine touches
them all alike. The table reports the median pass time, the throughput it
gives, and the median over repetitions of each peer's time divided by
tarnwick's time in the same repetition (above 1: tarnwick is faster).

A peer that raises on a text is not stopped: the exception is counted and
the pass goes on. The peers are benchmark-only dependencies
(bench/requirements.txt).

--json PATH also writes the measurements as JSON, for bench/chart.py.
"""

from __future__ import annotations

import argparse
import gc
import importlib
import json
import statistics
import sys
import time
from dataclasses import dataclass, field
from importlib.metadata import PackageNotFoundError, version
from typing import Callable

import corpus

import tarnwick


@dataclass
class Contender:
    name: str
    fn: Callable[[str], object]
    # Runs only on categories whose texts are all strict JSON...
    strict_only: bool
    # ...and on these, whatever their texts.
    also: tuple[str, ...] = ()

    def runs_on(self, cat: corpus.Category) -> bool:
        return cat.strict or not self.strict_only or cat.name in self.also


@dataclass
class Series:
    times: list[float] = field(default_factory=list)  # seconds per pass
    errors: int = 0  # texts that raised, over all passes
    error_kinds: set[str] = field(default_factory=set)


def _tarnwick(text: str) -> object:
    return tarnwick.repair(text).value


def _loads(module) -> Callable[[str], object]:
    return module.loads


def _jiter(module) -> Callable[[str], object]:
    from_json = module.from_json

    # The partial parser streaming clients run on a reply still arriving: a
    # cut string keeps what came. It takes bytes, so the encoding a caller
    # holding str pays is timed with it.
    def parse(text: str) -> object:
        return from_json(text.encode(), partial_mode="trailing-strings")

    return parse


# Distributions whose versions the results name, tarnwick first.
DISTRIBUTIONS = ("tarnwick", "orjson", "json-repair", "fast-json-repair", "jiter")


def versions() -> dict[str, str]:
    """Installed version of each distribution in DISTRIBUTIONS; absent ones left out."""
    out = {}
    for dist in DISTRIBUTIONS:
        try:
            out[dist] = version(dist)
        except PackageNotFoundError:
            pass
    return out


def _contenders() -> list[Contender]:
    out = [
        Contender("tarnwick", _tarnwick, False),
        Contender("tarnwick.loads", tarnwick.loads, False),
        Contender("json.loads", json.loads, True),
    ]
    # jiter is a plain parser on strict texts; on truncated ones, where every
    # text is a prefix of a strict document, its partial mode is what it is
    # for. Other broken texts are outside what it claims to read.
    for module, make, label, strict_only, also in (
        ("orjson", _loads, "orjson.loads", True, ()),
        ("json_repair", _loads, "json_repair.loads", False, ()),
        ("fast_json_repair", _loads, "fast_json_repair.loads", False, ()),
        ("jiter", _jiter, "jiter.from_json", True, ("truncated",)),
    ):
        try:
            fn = make(importlib.import_module(module))
        except ImportError:
            print(f"note: {module} is not installed; skipped", file=sys.stderr)
            continue
        out.append(Contender(label, fn, strict_only, also))
    return out


def _one_pass(
    fn: Callable[[str], object], texts: tuple[str, ...], series: Series, gc_off: bool
) -> None:
    # Results are kept until the pass ends so that every contender pays for
    # building its objects but none for freeing them inside the timing. The
    # collector runs as users run it, unless the run asks for it off.
    results = []
    # New str objects for every pass, made before the clock starts: a reply
    # arrives as a new string, and the UTF-8 form a str caches the first time
    # it is asked for would flatter every later pass of a contender that asks.
    fresh = [text.encode().decode() for text in texts]
    if gc_off:
        gc.disable()
    start = time.perf_counter()
    for text in fresh:
        try:
            results.append(fn(text))
        except Exception as exc:  # noqa: BLE001 - a peer's failure is data
            series.errors += 1
            series.error_kinds.add(type(exc).__name__)
    elapsed = time.perf_counter() - start
    if gc_off:
        gc.enable()
    series.times.append(elapsed)
    del results


def _reps_for(cat: corpus.Category, budget: float, slowest: float) -> int:
    """As many repetitions as fit the time budget, between 5 and 101."""
    if slowest <= 0:
        return 101
    return max(5, min(101, int(budget / slowest)))


def measure(
    cat: corpus.Category, contenders: list[Contender], budget: float, gc_off: bool
) -> dict[str, Series]:
    active = [c for c in contenders if c.runs_on(cat)]
    series = {c.name: Series() for c in active}
    # One warm-up pass each; its time sizes the run, then it is dropped.
    warm = {c.name: Series() for c in active}
    for c in active:
        _one_pass(c.fn, cat.texts, warm[c.name], gc_off)
    slowest = sum(w.times[0] for w in warm.values())
    reps = _reps_for(cat, budget, slowest)
    for rep in range(reps):
        k = rep % len(active)
        for c in active[k:] + active[:k]:
            _one_pass(c.fn, cat.texts, series[c.name], gc_off)
        gc.collect()
    return series


def _fmt_time(seconds: float) -> str:
    if seconds >= 1:
        return f"{seconds:.2f} s"
    if seconds >= 1e-3:
        return f"{seconds * 1e3:.2f} ms"
    return f"{seconds * 1e6:.1f} µs"


def _ratio(series: dict[str, Series], name: str) -> float:
    base = series["tarnwick"].times
    return statistics.median(p / t for p, t in zip(series[name].times, base))


def record(cat: corpus.Category, series: dict[str, Series]) -> dict:
    """One category's measurements as plain data: what table() prints and --json writes."""
    reps = len(series["tarnwick"].times)
    rows = []
    for name, s in series.items():
        med = statistics.median(s.times)
        rows.append(
            {
                "name": name,
                "median_pass_s": med,
                "mb_per_s": cat.total_bytes / med / 1e6,
                "ratio_to_tarnwick": None if name == "tarnwick" else _ratio(series, name),
                "raised_per_pass": s.errors // reps,
                "error_kinds": sorted(s.error_kinds),
            }
        )
    return {
        "name": cat.name,
        "texts": len(cat.texts),
        "bytes": cat.total_bytes,
        "repetitions": reps,
        "contenders": rows,
    }


def table(rec: dict) -> str:
    """The Markdown table of one category's record()."""
    lines = [
        f"### {rec['name']}: {rec['texts']} texts, "
        f"{rec['bytes'] / 1e6:.3f} MB, {rec['repetitions']} repetitions",
        "",
        "| contender | median pass | MB/s | peer / tarnwick | raised |",
        "|---|---:|---:|---:|---:|",
    ]
    for row in rec["contenders"]:
        ratio = "—" if row["ratio_to_tarnwick"] is None else f"{row['ratio_to_tarnwick']:.2f}x"
        raised = "0"
        if row["error_kinds"]:
            raised = f"{row['raised_per_pass']}/{rec['texts']} ({', '.join(row['error_kinds'])})"
        lines.append(
            f"| {row['name']} | {_fmt_time(row['median_pass_s'])} | {row['mb_per_s']:.1f} | {ratio} | {raised} |"
        )
    return "\n".join(lines)


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument(
        "--budget", type=float, default=10.0, help="seconds of timing per category"
    )
    parser.add_argument("--only", nargs="*", help="category names to run")
    parser.add_argument(
        "--no-gc", action="store_true",
        help="the garbage collector off while timing (it is on by default, as users run)",
    )
    parser.add_argument("--json", metavar="PATH", help="also write the measurements here as JSON")
    args = parser.parse_args()

    contenders = _contenders()
    found = versions()
    python = sys.version.split()[0]
    print(f"Python {python}; " + ", ".join(f"{d} {v}" for d, v in found.items()))
    print(f"garbage collector {'off' if args.no_gc else 'on'} while timing")
    print()
    records = []
    for cat in corpus.build():
        if args.only and cat.name not in args.only:
            continue
        rec = record(cat, measure(cat, contenders, args.budget, args.no_gc))
        print(table(rec))
        print(flush=True)
        records.append(rec)
    if args.json:
        doc = {
            "python": python,
            "versions": found,
            "gc": not args.no_gc,
            "budget_s": args.budget,
            "categories": records,
        }
        with open(args.json, "w", encoding="utf-8") as f:
            json.dump(doc, f, indent=1)
            f.write("\n")


if __name__ == "__main__":
    main()
