"""Leak check: a million repair() calls over a varied corpus. Resident size
is read after a warm-up and again at the end; a leak of even a few bytes per
call would show as megabytes. Reference counts of the class, the inputs and
the option strings must come back unchanged.

    python bench/leak.py [CALLS]
"""

from __future__ import annotations

import gc
import sys
import time
from pathlib import Path

from tarnwick import RepairResult, repair

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


def main() -> None:
    calls = int(sys.argv[1]) if len(sys.argv) > 1 else 1_000_000
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
