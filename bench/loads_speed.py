"""tarnwick.loads() against the parsers it would replace, and the cost of
finding and mending the value against loads() of the valid text.

The method of compare.py: one process, every contender's pass over the same
texts interleaved in an order that rotates each repetition, the collector on
(--no-gc turns it off), new `str` objects for every pass; a ratio is the
median over repetitions of two passes' times in the same repetition.

- valid_small, valid_large (corpus.py): loads() against orjson.loads,
  json.loads, msgspec and jiter (those installed); a ratio is loads() time
  over the peer's (below 1: loads() is faster).
- prose, fenced: each valid_small reply after a sentence of prose, or in a
  ```json fence, against loads() of the reply alone.
- trailing_commas, single_quotes, python_literals, comments, truncated,
  unquoted_keys: each valid_small reply rewritten with that defect, against
  loads() of the reply it came from; json_repair.loads beside it.
- column: repair_column(texts, extract=True, threads=1) against the loop
  [tarnwick.extract(t) for t in texts] on all of the above mixed.

    python bench/loads_speed.py [--budget SECONDS] [--only NAME ...] [--json PATH]
"""

from __future__ import annotations

import argparse
import gc
import importlib
import json
import random
import statistics
import time
from typing import Callable

import corpus
from compare import Series, _fmt_time, _one_pass

import tarnwick

SEED = 20261207
PROSE = (
    "Sure! Here is the JSON you asked for, with every field filled in as the "
    "schema describes:\n\n"
)
PROSE_AFTER = "\n\nLet me know if you need anything else."


def _dump(value: object, style: str) -> str:
    """One serialisation of a decoded reply with one defect throughout."""
    if isinstance(value, dict):
        items = [f"{_key(k, style)}: {_dump(v, style)}" for k, v in value.items()]
        return "{" + _join(items, style) + "}"
    if isinstance(value, list):
        return "[" + _join([_dump(v, style) for v in value], style) + "]"
    if style == "python_literals" and (value is None or isinstance(value, bool)):
        return repr(value)
    if style == "single_quotes" and isinstance(value, str):
        return "'" + json.dumps(value, ensure_ascii=False)[1:-1].replace("'", "\\'") + "'"
    return json.dumps(value, ensure_ascii=False)


def _key(key: str, style: str) -> str:
    if style == "unquoted_keys" and key.isidentifier():
        return key
    return _dump(key, style)


def _join(items: list[str], style: str) -> str:
    if style == "trailing_commas" and items:
        return ", ".join(items) + ","
    if style == "comments" and items:
        return ", // next\n".join(items) + " /* end */"
    return ", ".join(items)


BROKEN = ("trailing_commas", "single_quotes", "python_literals", "comments", "unquoted_keys")


def groups() -> dict[str, tuple[tuple[str, ...], tuple[str, ...]]]:
    """Each group: its texts, and the valid replies they came from."""
    cats = {c.name: c for c in corpus.build()}
    small = cats["valid_small"].texts
    out = {
        "valid_small": (small, small),
        "valid_large": (cats["valid_large"].texts, cats["valid_large"].texts),
        "prose": (tuple(PROSE + t + PROSE_AFTER for t in small), small),
        "fenced": (tuple(f"```json\n{t}\n```" for t in small), small),
    }
    for style in BROKEN:
        out[style] = (tuple(_dump(json.loads(t), style) for t in small), small)
    rng = random.Random(SEED)
    out["truncated"] = (tuple(t[: int(len(t) * rng.uniform(0.5, 0.95))] for t in small), small)
    return out


def _peers() -> dict[str, Callable[[str], object]]:
    out: dict[str, Callable[[str], object]] = {"json.loads": json.loads}
    for module, attr, label in (
        ("orjson", "loads", "orjson.loads"),
        ("msgspec.json", "decode", "msgspec.json.decode"),
        ("jiter", "from_json", "jiter.from_json"),
    ):
        try:
            fn = getattr(importlib.import_module(module), attr)
        except ImportError:
            continue
        if label == "jiter.from_json":
            out[label] = lambda s, f=fn: f(s.encode())
        else:
            out[label] = fn
    return out


def interleave(
    passes: dict[str, tuple[Callable, tuple[str, ...]]], budget: float, one_pass: Callable = _one_pass
) -> dict[str, Series]:
    series = {name: Series() for name in passes}
    warm = Series()
    for fn, texts in passes.values():
        one_pass(fn, texts, warm, False)
    reps = max(5, min(101, int(budget / max(sum(warm.times), 1e-9))))
    names = list(passes)
    for rep in range(reps):
        k = rep % len(names)
        for name in names[k:] + names[:k]:
            fn, texts = passes[name]
            one_pass(fn, texts, series[name], GC_OFF)
    return series


GC_OFF = False


def ratio(series: dict[str, Series], num: str, den: str) -> float:
    return statistics.median(a / b for a, b in zip(series[num].times, series[den].times))


def _column_pass(fn: Callable, texts: tuple[str, ...], series: Series, gc_off: bool) -> None:
    # The whole column is one call: one pass over new str objects.
    fresh = [t.encode().decode() for t in texts]
    if gc_off:
        gc.disable()
    start = time.perf_counter()
    result = fn(fresh)
    series.times.append(time.perf_counter() - start)
    if gc_off:
        gc.enable()
    del result


def _column(texts: list[str]) -> object:
    return tarnwick.repair_column(texts, extract=True, threads=1)


def _loop(texts: list[str]) -> object:
    return [tarnwick.extract(t) for t in texts]


def main() -> None:
    global GC_OFF
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--budget", type=float, default=6.0, help="seconds of timing per group")
    parser.add_argument("--only", nargs="*")
    parser.add_argument("--no-gc", action="store_true")
    parser.add_argument("--json", metavar="PATH")
    args = parser.parse_args()
    GC_OFF = args.no_gc
    peers = _peers()
    try:
        import json_repair
    except ImportError:
        json_repair = None
    rows = []
    all_texts: list[str] = []
    for name, (texts, origin) in groups().items():
        all_texts += texts
        if args.only and name not in args.only:
            continue
        passes = {"loads": (tarnwick.loads, texts)}
        if texts is origin:
            passes.update((p, (fn, texts)) for p, fn in peers.items())
        else:
            passes["loads(valid)"] = (tarnwick.loads, origin)
            if json_repair is not None and name not in ("prose", "fenced"):
                passes["json_repair.loads"] = (json_repair.loads, texts)
        s = interleave(passes, args.budget)
        mb = sum(len(t.encode()) for t in texts) / 1e6
        line = f"{name}: {len(texts)} texts, {mb:.3f} MB, loads {_fmt_time(statistics.median(s['loads'].times))}"
        row = {"name": name, "loads_s": statistics.median(s["loads"].times)}
        for other in passes:
            if other == "loads":
                continue
            if other == "json_repair.loads":
                r = ratio(s, other, "loads")
                line += f"; {other} / loads {r:.1f}x"
            else:
                r = ratio(s, "loads", other)
                line += f"; loads / {other} {r:.2f}x"
            row[other] = r
        print(line, flush=True)
        rows.append(row)
    if not args.only or "column" in args.only:
        texts = tuple(all_texts)
        s = interleave({"column": (_column, texts), "loop": (_loop, texts)}, args.budget, _column_pass)
        r = ratio(s, "loop", "column")
        print(f"column: {len(texts)} texts; loop / repair_column(extract=True, threads=1) {r:.2f}x")
        rows.append({"name": "column", "loop/column": r})
    if args.json:
        with open(args.json, "w", encoding="utf-8") as f:
            json.dump(rows, f, indent=1)


if __name__ == "__main__":
    main()
