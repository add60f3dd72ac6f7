"""Leak check: a million repair() calls over a varied corpus, then a million
loads() calls on replies whose keys are nearly all distinct (so the shared
key cache keeps replacing what it holds) and on replies of one schema.
Resident size is read after a warm-up and again at the end of each; a leak
of even a few bytes per call would show as megabytes. Reference counts of
the class, the inputs and the option strings must come back unchanged.

    python bench/leak.py [CALLS]
"""

from __future__ import annotations

import gc
import sys
import time
from pathlib import Path

from tarnwick import RepairResult, _extras, loads, repair

ROOT = Path(__file__).resolve().parents[1]

OPTIONS = [
    {},
    {"fallback": "empty-object"},
    {"strip_code_fences": False, "unwrap_double_encoded": False},
    {"max_len": 16},
]


def corpus() -> list[str]:
    texts = [
        '```json\n{"a": [1, 2,],}\n```',
        '"{\\"k\\": [true, null, 1.5e300, -0]}"',
        '{"s": "line\nbreak", "n": 18446744073709551615}',
        "[" * 130 + "1",
        '{"a": "\\ud83d\\ude00 \\u00e9", "b": [1, {"c": "unterminated',
        "Here is the JSON: {}",
        "",
        "\u3000\u00a0null",
        '{"a":1,"a":2,"b":3}',
    ]
    for path in sorted((ROOT / "fuzz" / "seeds").glob("*")):
        texts.append(path.read_bytes().decode("utf-8", errors="replace"))
    return texts


def rss_kb() -> int:
    with open("/proc/self/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def run(calls: int, texts: list[str]) -> None:
    n = 0
    while n < calls:
        for text in texts:
            for options in OPTIONS:
                repair(text, **options)
                n += 1


def keyed_replies() -> list[str]:
    """Replies with 5-40 keys each, of which 200,000 distinct over the list,
    short enough to be cached, and some of one schema."""
    texts = []
    for n in range(10_000):
        keys = [f"k{n}_{i}" for i in range(n % 36 + 5)]
        texts.append("{" + ", ".join(f'"{k}": [{i}, "v{i}", {{"id": {n}}}]' for i, k in enumerate(keys)) + "}")
        if n % 4 == 0:
            texts.append('{"name": "lookup", "arguments": {"query": "Zürich", "limit": 5}}')
    return texts


def run_loads(calls: int, texts: list[str]) -> None:
    n = 0
    while n < calls:
        for text in texts:
            loads(text)
            n += 1
            if n == calls:
                return


def check_loads(calls: int) -> bool:
    texts = keyed_replies()
    refs_before = [sys.getrefcount(t) for t in texts]
    run_loads(50_000, texts)
    gc.collect()
    before = rss_kb()
    t0 = time.perf_counter()
    run_loads(calls, texts)
    elapsed = time.perf_counter() - t0
    gc.collect()
    after = rss_kb()
    held, slots, _ = _extras._key_cache()
    same_refs = refs_before == [sys.getrefcount(t) for t in texts]
    print(f"loads: {calls:,} calls over {len(texts)} texts, {elapsed:.1f} s")
    print(f"RSS before: {before} kB, after: {after} kB, growth: {after - before} kB")
    print(f"key cache: {held} of {slots} slots; input refcounts unchanged: {same_refs}")
    return same_refs and held <= slots


def main() -> None:
    calls = int(sys.argv[1]) if len(sys.argv) > 1 else 1_000_000
    if not check_loads(calls):
        sys.exit("loads(): reference counts changed or the key cache grew")
    texts = corpus()
    refs_before = [sys.getrefcount(RepairResult)] + [sys.getrefcount(t) for t in texts]
    option_refs_before = [sys.getrefcount(v) for o in OPTIONS for v in o.values()]

    run(20_000, texts)  # warm-up: allocator pools and caches settle
    gc.collect()
    before = rss_kb()
    t0 = time.perf_counter()
    run(calls, texts)
    elapsed = time.perf_counter() - t0
    gc.collect()
    after = rss_kb()

    refs_after = [sys.getrefcount(RepairResult)] + [sys.getrefcount(t) for t in texts]
    option_refs_after = [sys.getrefcount(v) for o in OPTIONS for v in o.values()]
    print(f"calls: {calls:,} over {len(texts)} texts x {len(OPTIONS)} option sets, {elapsed:.1f} s")
    print(f"RSS before: {before} kB, after: {after} kB, growth: {after - before} kB")
    print(f"RepairResult refcount: {refs_before[0]} -> {refs_after[0]}")
    print(f"input refcounts unchanged: {refs_before[1:] == refs_after[1:]}")
    print(f"option refcounts unchanged: {option_refs_before == option_refs_after}")
    if refs_before != refs_after or option_refs_before != option_refs_after:
        sys.exit("reference counts changed")


if __name__ == "__main__":
    main()
