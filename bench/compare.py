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
"""

from __future__ import annotations

import argparse
import gc
import importlib
import statistics
import sys
import time
from dataclasses import dataclass, field
from typing import Callable

import corpus

import tarnwick


@dataclass
class Contender:
    name: str
    fn: Callable[[str], object]
    # Runs only on categories whose texts are all strict JSON.
    strict_only: bool


@dataclass
class Series:
    times: list[float] = field(default_factory=list)  # seconds per pass
    errors: int = 0  # texts that raised, over all passes
    error_kinds: set[str] = field(default_factory=set)


def _tarnwick(text: str) -> object:
    return tarnwick.repair(text).value


def _contenders() -> list[Contender]:
    out = [Contender("tarnwick", _tarnwick, False)]
    import json

    out.append(Contender("json.loads", json.loads, True))
    for module, attr, label, strict_only in (
        ("orjson", "loads", "orjson.loads", True),
        ("json_repair", "loads", "json_repair.loads", False),
        ("fast_json_repair", "loads", "fast_json_repair.loads", False),
    ):
        try:
            fn = getattr(importlib.import_module(module), attr)
        except ImportError:
            print(f"note: {module} is not installed; skipped", file=sys.stderr)
            continue
        out.append(Contender(label, fn, strict_only))
    return out


def _one_pass(
    fn: Callable[[str], object], texts: tuple[str, ...], series: Series, gc_off: bool
) -> None:
    # Results are kept until the pass ends so that every contender pays for
    # building its objects but none for freeing them inside the timing. The
    # collector runs as users run it, unless the run asks for it off.
    results = []
    if gc_off:
        gc.disable()
    start = time.perf_counter()
    for text in texts:
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
    active = [c for c in contenders if cat.strict or not c.strict_only]
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


def table(cat: corpus.Category, series: dict[str, Series]) -> str:
    reps = len(series["tarnwick"].times)
    lines = [
        f"### {cat.name}: {len(cat.texts)} texts, "
        f"{cat.total_bytes / 1e6:.3f} MB, {reps} repetitions",
        "",
        "| contender | median pass | MB/s | peer / tarnwick | raised |",
        "|---|---:|---:|---:|---:|",
    ]
    for name, s in series.items():
        med = statistics.median(s.times)
        ratio = "—" if name == "tarnwick" else f"{_ratio(series, name):.2f}x"
        raised = "0"
        if s.errors:
            per_pass = s.errors // reps
            raised = f"{per_pass}/{len(cat.texts)} ({', '.join(sorted(s.error_kinds))})"
        lines.append(
            f"| {name} | {_fmt_time(med)} | {cat.total_bytes / med / 1e6:.1f} | {ratio} | {raised} |"
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
    args = parser.parse_args()

    contenders = _contenders()
    versions = []
    for mod in ("tarnwick", "orjson", "json_repair", "fast_json_repair"):
        try:
            from importlib.metadata import version

            versions.append(f"{mod} {version(mod.replace('_', '-'))}")
        except Exception:  # noqa: BLE001 - a missing peer has no version
            pass
    print(f"Python {sys.version.split()[0]}; " + ", ".join(versions))
    print(f"garbage collector {'off' if args.no_gc else 'on'} while timing")
    print()
    for cat in corpus.build():
        if args.only and cat.name not in args.only:
            continue
        series = measure(cat, contenders, args.budget, args.no_gc)
        print(table(cat, series))
        print(flush=True)


if __name__ == "__main__":
    main()
