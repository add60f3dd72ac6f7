"""Hostile input at the size limit: time per MB at 1 MB and 5 MB (growth
should be linear) and the peak memory of one repair() call, or with
--extract of one extract() call.

Each case runs in a fresh subprocess, so one case's high-water mark cannot
hide another's. tracemalloc cannot see the engine's C++ allocations, so the
peak is the process's resident high-water mark (getrusage ru_maxrss) after
the call, minus the resident size just before it; where Linux allows, the
high-water mark is first reset to the current size (/proc/self/clear_refs),
so that building the input does not count.

    python bench/hostile.py            # the whole table
    python bench/hostile.py --quick    # 1 MB rows only
    python bench/hostile.py --extract  # extract() instead of repair(), with
                                       # shapes aimed at its search as well
"""

from __future__ import annotations

import argparse
import json
import random
import resource
import subprocess
import sys
import time

MB = 1_000_000
LIMIT = 5_000_000  # the default max_len

# name -> the repeated unit, or (head, unit) (random noise is built
# separately)
PATTERNS = {
    "[": "[",
    "{": "{",
    '{"a":': '{"a":',
    '"': '"',
    '"\\': '"\\',
    "\\": "\\",
    ",": ",",
    "`": "`",
    "]}": "]}",
    "U+3000": "\u3000",
    "noise": None,
    # Cut-off arrays, for the peak of an ordinary tolerant repair: (head, unit)
    "[7,": ("[", "7,"),
    "[{rec},": ("[", '{"id":1024,"name":"caf\u00e9 \U0001F642","tags":["a","b"],"price":12.5},'),
}

# Shapes aimed at extract()'s search and its lenient pass, run only with
# --extract (bench/lenient_speed.cpp times the same ones in the engine).
EXTRACT_PATTERNS = {
    "[1] ": "[1] ",  # reference-like spans, each repaired
    "[x] ": "[x] ",  # bracketed phrases, each read and passed over
    "```\\nx\\n": "```\nx\n",  # fences whose content gives nothing
    "'": "'",  # single-quoted strings
    "/*": "/*",  # a comment that never closes
    "f(": "f(",  # wrapper calls nested without end
    "{a:": "{a:",  # objects with unquoted keys, never closed
}
PATTERNS.update(EXTRACT_PATTERNS)


def make_text(name: str, size: int) -> str:
    """About `size` bytes of UTF-8 (never more), built without a large
    temporary so the input's own footprint is the baseline."""
    unit = PATTERNS[name]
    head = ""
    if isinstance(unit, tuple):
        head, unit = unit
        size -= len(head.encode())
    if unit is None:
        rng = random.Random(size)
        table = bytes(32 + b % 95 for b in range(256))  # printable ASCII
        return rng.randbytes(size).translate(table).decode("ascii")
    width = len(unit.encode())
    text = unit * (size // width)
    pad = size - len(text) * width
    return head + (text + " " * pad if pad else text)


def current_rss_kb() -> int:
    with open("/proc/self/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def reset_peak() -> bool:
    try:
        with open("/proc/self/clear_refs", "w") as f:
            f.write("5")
        return True
    except OSError:
        return False


def child(name: str, size: int, max_len: int | None, function: str) -> None:
    import tarnwick

    repair = getattr(tarnwick, function)  # repair or extract: same options
    text = make_text(name, size)
    nbytes = len(text.encode())
    repair("[1]")  # first-call setup out of the measurement
    reset = reset_peak()
    before = current_rss_kb() if reset else resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
    t0 = time.perf_counter()
    result = repair(text, max_len=max_len)
    first = time.perf_counter() - t0
    peak = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
    times = [first]
    for _ in range(4):
        t0 = time.perf_counter()
        repair(text, max_len=max_len)
        times.append(time.perf_counter() - t0)
    print(
        json.dumps(
            {
                "bytes": nbytes,
                "seconds": min(times),
                "peak_kb": peak - before,
                "strategy": result.strategy,
                "json_len": len(result.json),
                "reset": reset,
            }
        )
    )


def run_case(name: str, size: int, max_len: int | None = None, function: str = "repair") -> dict:
    cmd = [sys.executable, __file__, "--child", name, str(size), "" if max_len is None else str(max_len), function]
    out = subprocess.run(cmd, check=True, capture_output=True, text=True)
    return json.loads(out.stdout)


def main() -> None:
    parser = argparse.ArgumentParser()
    parser.add_argument("--quick", action="store_true")
    parser.add_argument("--extract", action="store_true", help="time extract() instead of repair()")
    parser.add_argument("--child", nargs=4, metavar=("NAME", "SIZE", "MAX_LEN", "FUNCTION"))
    args = parser.parse_args()
    if args.child:
        name, size, max_len, function = args.child
        child(name, int(size), int(max_len) if max_len else None, function)
        return

    function = "extract" if args.extract else "repair"
    names = list(PATTERNS) if args.extract else [n for n in PATTERNS if n not in EXTRACT_PATTERNS]
    sizes = [MB] if args.quick else [MB, LIMIT]
    ratio = f" {'/ input':>7}" if args.extract else ""
    if args.extract:
        print("extract()")
    print(f"{'input':>8} {'bytes':>9} {'strategy':>22} {'ms':>8} {'ms/MB':>7} {'peak MiB':>8}{ratio}")
    for name in names:
        per_mb = []
        for size in sizes:
            r = run_case(name, size, function=function)
            per_mb.append(r["seconds"] * 1e3 / (r["bytes"] / MB))
            # Peak over input: resident bytes against the text's UTF-8 size.
            ratio = f" {r['peak_kb'] * 1024 / r['bytes']:6.1f}x" if args.extract else ""
            print(
                f"{name:>8} {r['bytes']:>9} {r['strategy']:>22} {r['seconds'] * 1e3:8.1f}"
                f" {per_mb[-1]:7.2f} {r['peak_kb'] / 1024:8.1f}{ratio}"
            )
        if len(per_mb) == 2:
            print(f"{'':>8} 5 MB / 1 MB time per MB: {per_mb[1] / per_mb[0]:.2f}")

    # The size guard: one byte over max_len costs a length check, not a parse.
    print("\nsize guard (5,000,000-byte '[' input):")
    for label, max_len in [("max_len = len - 1", LIMIT - 1), ("max_len = len", LIMIT)]:
        r = run_case("[", LIMIT, max_len, function)
        print(f"  {label:<18} {r['strategy']:>10} {r['seconds'] * 1e3:8.2f} ms  peak {r['peak_kb'] / 1024:.1f} MiB")
    r = run_case("[", LIMIT + 1, function=function)
    print(
        f"  {'5,000,001 bytes':<18} {r['strategy']:>10} {r['seconds'] * 1e3:8.2f} ms  peak {r['peak_kb'] / 1024:.1f} MiB"
    )


if __name__ == "__main__":
    main()
