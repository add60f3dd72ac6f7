"""Renders engine_vs_simdjson's JSON output as one markdown table.

Rows are corpus categories, columns the benchmarks (MB/s, median over the
repetitions, from CPU time), plus the ratio of simdjson's throughput to the
strict reader's where both ran.

Usage: engine_table.py RESULTS.json
"""

from __future__ import annotations

import json
import sys

COLUMNS = (
    "parse_document",
    "simdjson_dom",
    "to_canonical_text",
    "strip_fences",
    "cleanup_needs",
    "strip_controls",
    "strip_trailing_commas",
    "parse_tolerant",
    "run_ladder",
)


def _fmt(bytes_per_second: float | None) -> str:
    if bytes_per_second is None:
        return "—"
    mb = bytes_per_second / 1e6
    if mb >= 100_000:  # a pass that returns after a look at the first bytes
        return "> 100 GB/s"
    return f"{mb / 1000:.2f} GB/s" if mb >= 1000 else f"{mb:.0f} MB/s"


def main() -> None:
    with open(sys.argv[1], encoding="utf-8") as f:
        report = json.load(f)
    speed: dict[tuple[str, str], float] = {}
    categories: list[str] = []
    for bench in report["benchmarks"]:
        if bench.get("run_type") == "aggregate" and bench.get("aggregate_name") != "median":
            continue
        name = bench.get("run_name", bench["name"])
        column, _, category = name.partition("/")
        speed[(column, category)] = bench["bytes_per_second"]
        if category not in categories:
            categories.append(category)
    print("| category | " + " | ".join(COLUMNS) + " | simdjson / parse_document |")
    print("|---|" + "---:|" * (len(COLUMNS) + 1))
    for cat in categories:
        cells = [_fmt(speed.get((col, cat))) for col in COLUMNS]
        ours = speed.get(("parse_document", cat))
        theirs = speed.get(("simdjson_dom", cat))
        ratio = f"{theirs / ours:.2f}x" if ours and theirs else "—"
        print(f"| {cat} | " + " | ".join(cells) + f" | {ratio} |")


if __name__ == "__main__":
    main()
